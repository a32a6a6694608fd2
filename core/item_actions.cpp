#include "core/item_actions.h"

#include <algorithm>
#include <ctime>

#include "model/detail_columns.h"
#include "model/size_text.h"
#include "platform/path_rules.h"
#include "platform/trash_name.h"
#include "platform/visible_text.h"
#include "scan/list_edit.h"

namespace sizewalk {

ItemKind KindOf(const CScanEntry& entry) {
    if (entry.IsDirectory()) return ItemKind::Directory;
    return entry.IsNotRegular() ? ItemKind::Other : ItemKind::File;
}

std::string ShownName(std::string_view text) { return VisibleText(text, kPathSeparator); }

namespace {

// After the item's name, whatever told that it is not what the scan saw.
constexpr std::string_view kChangedSinceScan =
    " has changed since the scan; press F5 to read it again.";

}  // namespace

std::string ChangedText(const std::string& path, const ItemLook& look) {
    std::string text = ShownName(path);
    switch (look.eStatus) {
        case LookStatus::Same:
            return {};
        case LookStatus::Gone:
            return text + " is no longer there; press F5 to read it again.";
        case LookStatus::Failed:
            return text + " could not be looked at: " + look.strWhy;
        case LookStatus::Changed:
            break;
    }
    text += kChangedSinceScan;
    if (!look.strWhy.empty()) text += "\n\n(" + look.strWhy + ")";
    return text;
}

CScanList ListWithItemNow(const CScanList& list, std::size_t index, const ItemLook& look,
                          const CScanList* fresh) {
    if (fresh) return ListWithSubtree(list, index, *fresh);
    return ListWithFileSizes(list, index, look.nSize, look.nDiskSize,
                             ItemModified(list.PathOf(index), list.PathOf(0)));
}

bool FiguresChanged(const CScanList& was, const CScanList& now, std::size_t index, SizeMode mode) {
    return was[index].GetShownSize(mode) != now[index].GetShownSize(mode) ||
           was.SubtreeEnd(index) - index != now.SubtreeEnd(index) - index;
}

std::string ConfirmRemoveText(const CScanList& list, std::size_t index, RemoveKind kind,
                              SizeMode mode, std::string_view separator, bool changed) {
    const CScanEntry& entry = list[index];
    std::string text = kind == RemoveKind::Trash
                           ? "Move this item to " + std::string(kTrashName) + "?\n\n"
                           : "Delete this item permanently? This cannot be undone.\n\n";
    text += ShownName(list.PathOf(index));
    const std::uint64_t size = entry.GetShownSize(mode);
    text += mode == SizeMode::OnDisk ? "\n\nSize on disk: " : "\n\nSize: ";
    text += GroupDigits(size, separator) + " bytes";
    const std::size_t below = list.SubtreeEnd(index) - index - 1;
    if (entry.IsDirectory()) {
        text += "\nEntries: " + GroupDigits(below, separator);
        if (list.ReadErrorOf(index) != 0 || list.HasUnreadableBelow(index))
            text += " (at least: some could not be read)";
    }
    if (changed) {
        text += "\n\nIt has changed since the scan: now " + FormatAutoSize(size, separator);
        if (entry.IsDirectory())
            text += " in " + GroupDigits(below, separator) + (below == 1 ? " entry" : " entries");
        text += ".";
    }
    return text;
}

RemoveResult RemoveItem(RemoveKind kind, const std::string& path, const std::string& start,
                        const ItemId& id) {
    return kind == RemoveKind::Trash ? MoveToTrash(path, start, id)
                                     : DeletePermanently(path, start, id);
}

std::string ConfirmRemoveItemsText(const CScanList& list, const std::vector<std::size_t>& indices,
                                   RemoveKind kind, SizeMode mode, std::string_view separator) {
    const std::string count = GroupDigits(indices.size(), separator);
    std::string text =
        kind == RemoveKind::Trash
            ? "Move these " + count + " items to " + std::string(kTrashName) + "?\n\n"
            : "Delete these " + count + " items permanently? This cannot be undone.\n\n";
    // Enough names to recognise the choice, not a page of them.
    constexpr std::size_t kNamed = 5;
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < indices.size(); ++i) {
        total = SaturatingAdd(total, list[indices[i]].GetShownSize(mode));
        if (i < kNamed) text += ShownName(list.PathOf(indices[i])) + "\n";
    }
    if (indices.size() > kNamed)
        text += "and " + GroupDigits(indices.size() - kNamed, separator) + " more\n";
    text += mode == SizeMode::OnDisk ? "\nSize on disk: " : "\nSize: ";
    text += GroupDigits(total, separator) + " bytes in all";
    return text;
}

std::string ItemsProblemsText(const std::vector<std::string>& problems) {
    std::string text;
    for (const std::string& problem : problems) {
        if (!text.empty()) text += "\n\n";
        text += problem;
    }
    return text;
}

std::size_t IndexOfPath(const CScanList& list, std::string_view path) {
    if (list.Empty()) return list.Count();
    std::size_t at = 0;
    std::string here = list.PathOf(0);
    // Down from the start, one child at a time, by the path's next name.
    while (path != here) {
        if (path.size() <= here.size() || path.substr(0, here.size()) != here) return list.Count();
        std::string_view rest = path.substr(here.size());
        if (!rest.empty() && rest.front() == kPathSeparator) rest.remove_prefix(1);
        const std::string_view name = rest.substr(0, rest.find(kPathSeparator));
        std::size_t child = at + 1;
        const std::size_t end = list.SubtreeEnd(at);
        while (child < end && list[child].GetName() != name) child = list.SubtreeEnd(child);
        if (child >= end) return list.Count();
        at = child;
        here = list.PathOf(at);
    }
    return at;
}

std::string RemoveFailureText(const RemoveResult& result, RemoveKind kind,
                              const std::string& path) {
    // What failed is named by the platform, already shown visibly.
    const std::string& failures = result.strFailures;
    switch (result.eStatus) {
        case RemoveStatus::Removed:
            return {};
        case RemoveStatus::NoTrash:
            return "There is no trash on this item's volume. Nothing was done.\n\n" + failures;
        case RemoveStatus::Partial:
            return (kind == RemoveKind::Trash
                        ? "Part of it could not be moved to " + std::string(kTrashName) + ":\n\n"
                        : std::string("Part of it could not be deleted:\n\n")) +
                   failures + "\nWhat is left is read again.";
        case RemoveStatus::Changed:
            return ShownName(path) + std::string(kChangedSinceScan) +
                   (failures.empty() ? std::string() : "\n\n" + failures);
        case RemoveStatus::NotRemoved:
            break;
    }
    return (kind == RemoveKind::Trash
                ? "It could not be moved to " + std::string(kTrashName) + ":\n\n"
                : std::string("It could not be deleted:\n\n")) +
           failures;
}

CScanTree::Item NeighbourOf(const CScanTree& tree, CScanTree::Item item) {
    const CScanTree::Item parent = tree.Parent(item);
    if (parent == CScanTree::kNoItem) return CScanTree::kNoItem;
    const std::span<const CScanTree::Item> siblings = tree.Children(parent);
    const auto at = std::find(siblings.begin(), siblings.end(), item);
    if (at == siblings.end()) return parent;
    if (at + 1 != siblings.end()) return *(at + 1);
    return at != siblings.begin() ? *(at - 1) : parent;
}

std::optional<CScanList> ListAfterRemove(const CScanList& list, std::size_t index,
                                         const RemoveResult& result, CEntrySource& source) {
    if (index == 0 || index >= list.Count()) return std::nullopt;
    const std::string path = list.PathOf(index);
    const std::string start = list.PathOf(0);
    // Whatever the result said, the disk decides: a file that vanished
    // meanwhile leaves the tree too.
    if (!ItemExists(path, start)) {
        // The parent's time as the disk now has it, changed by the removal.
        const std::int64_t changed = ItemModified(list.PathOf(list.ParentOf(index)), start);
        return ListWithout(list, index, changed ? changed : std::time(nullptr));
    }
    if (result.eStatus != RemoveStatus::Partial || !list[index].IsDirectory()) return std::nullopt;
    CScanList fresh;
    if (source.ScanInto(path, fresh, nullptr) != ScanStatus::Complete || fresh.Empty())
        return std::nullopt;
    return ListWithSubtree(list, index, fresh);
}

}  // namespace sizewalk
