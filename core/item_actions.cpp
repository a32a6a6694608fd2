#include "core/item_actions.h"

#include <ctime>

#include "model/size_text.h"
#include "platform/visible_text.h"
#include "scan/list_edit.h"

namespace sizewalk {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

#ifdef _WIN32
constexpr std::string_view kTrash = "the Recycle Bin";
#else
constexpr std::string_view kTrash = "the trash";
#endif

}  // namespace

ItemKind KindOf(const CScanEntry& entry) {
    if (entry.IsDirectory()) return ItemKind::Directory;
    return entry.IsNotRegular() ? ItemKind::Other : ItemKind::File;
}

std::string ChangedText(const std::string& path, const ItemLook& look) {
    std::string text = VisibleText(path, kSeparator);
    switch (look.eStatus) {
        case LookStatus::Same: return {};
        case LookStatus::Gone: return text + " is no longer there; press F5 to read it again.";
        case LookStatus::Failed: return text + " could not be looked at: " + look.strWhy;
        case LookStatus::Changed: break;
    }
    text += " has changed since the scan; press F5 to read it again.";
    if (!look.strWhy.empty()) text += "\n\n(" + look.strWhy + ")";
    return text;
}

std::string ConfirmRemoveText(const CScanList& list, std::size_t index, RemoveKind kind,
                              SizeMode mode, std::string_view separator) {
    const CScanEntry& entry = list[index];
    std::string text = kind == RemoveKind::Trash
                           ? "Move this item to " + std::string(kTrash) + "?\n\n"
                           : "Delete this item permanently? This cannot be undone.\n\n";
    text += list.PathOf(index);
    text += mode == SizeMode::OnDisk ? "\n\nSize on disk: " : "\n\nSize: ";
    text += GroupDigits(entry.GetShownSize(mode), separator) + " bytes";
    if (entry.IsDirectory()) {
        const std::size_t below = list.SubtreeEnd(index) - index - 1;
        text += "\nEntries: " + GroupDigits(below, separator);
        if (list.ReadErrorOf(index) != 0 || list.HasUnreadableBelow(index))
            text += " (at least: some could not be read)";
    }
    return text;
}

std::string RemoveFailureText(const RemoveResult& result, RemoveKind kind) {
    switch (result.eStatus) {
        case RemoveStatus::Removed: return {};
        case RemoveStatus::NoTrash:
            return "There is no trash on this item's volume. Nothing was done.\n\n" +
                   result.strFailures;
        case RemoveStatus::Partial:
            return (kind == RemoveKind::Trash
                        ? "Part of it could not be moved to " + std::string(kTrash) + ":\n\n"
                        : std::string("Part of it could not be deleted:\n\n")) +
                   result.strFailures + "\nWhat is left is read again.";
        case RemoveStatus::Changed:
            return "It has changed since the scan; press F5 to read it again. Nothing was done.\n\n" +
                   result.strFailures;
        case RemoveStatus::NotRemoved: break;
    }
    return (kind == RemoveKind::Trash ? "It could not be moved to " + std::string(kTrash) + ":\n\n"
                                      : std::string("It could not be deleted:\n\n")) +
           result.strFailures;
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
