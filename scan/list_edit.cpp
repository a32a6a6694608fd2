#include "scan/list_edit.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "scan/list_builder.h"
#include "scan/name_arena.h"

namespace sizewalk {

namespace {

// Each directory's own blocks (its total less its children's), by list
// index; files keep their own sizes, so only directories need this.
std::vector<std::uint64_t> OwnDiskSizes(const CScanList& list) {
    std::vector<std::uint64_t> own(list.Count(), 0);
    for (const CScanList::DirRecord& dir : list.Dirs()) {
        std::uint64_t below = 0;
        for (std::size_t i = dir.nEntry + 1; i < dir.nEnd; i = list.SubtreeEnd(i))
            below = SaturatingAdd(below, list[i].GetDiskSize());
        const std::uint64_t total = list[dir.nEntry].GetDiskSize();
        own[dir.nEntry] = total >= below ? total - below : 0;
    }
    return own;
}

// Appends the entries [begin, end) of `from` with their own sizes (totals
// are rolled up again by Finish), depth keys moved by `shift`.
class Copier {
public:
    explicit Copier(CScanList& to) : m_to(to) {}

    void Copy(const CScanList& from, const std::vector<std::uint64_t>& own, std::size_t begin,
              std::size_t end, std::int32_t shift) {
        for (std::size_t i = begin; i < end; ++i) {
            const CScanEntry& e = from[i];
            Add(e, e.GetName(), e.IsDirectory() ? own[i] : e.GetDiskSize(), e.m_nDepth + shift);
            // A directory's time is the newest below it: rolled up again, it
            // stays that unless something newer comes.
            m_to.SetModified(m_to.Count() - 1, from.ModifiedOf(i));
            if (const int error = from.ReadErrorOf(i)) m_to.MarkUnreadable(m_to.Count() - 1, error);
            if (const CScanList::LinkRecord* link = from.LinkOf(i))
                m_to.AddLink(m_to.Count() - 1, link->nDevice, link->nInode);
        }
    }

    void Add(const CScanEntry& e, std::string_view name, std::uint64_t diskSize,
             std::int32_t depth) {
        FindRecord record;
        record.dwFileAttributes = static_cast<std::uint32_t>(e.IsDirectory());
        record.SetSize(e.GetFileSize());
        record.nDiskSize = diskSize;
        record.nLinkInode = e.IsMultiLinked() ? 1 : 0;
        record.bSpecial = e.IsNotRegular();
        record.bOtherFileSystem = e.IsOtherFileSystem();
        CScanEntry& added = m_to.Append(CScanEntry(record, m_to.Names().Add(name)));
        added.m_nDepth = depth;
    }

private:
    CScanList& m_to;
};

// Files with several links are keyed as the walks key them.
using LinkKey = CDirScanner::Builder::DeviceInode;
using LinkBlocks =
    std::unordered_map<LinkKey, std::uint64_t, CDirScanner::Builder::DeviceInodeHash>;

// The blocks of each multi-linked file of `list`, whichever link held them.
void AddLinkBlocks(const CScanList& list, LinkBlocks& blocks) {
    for (std::size_t i = 0; i < list.Count(); ++i) {
        if (!list[i].IsMultiLinked()) continue;
        if (const CScanList::LinkRecord* link = list.LinkOf(i)) {
            auto& held = blocks[{link->nDevice, link->nInode}];
            held = std::max(held, list[i].GetDiskSize());
        }
    }
}

// The first link of each file in list order holds its blocks, the others
// none; then the totals are rolled up. The copier added links in list
// order, which is the order LinkOf looks them up in.
CScanList Assemble(CScanList&& list, LinkBlocks& blocks) {
    if (!blocks.empty()) {
        for (std::size_t i = 0; i < list.Count(); ++i) {
            if (!list[i].IsMultiLinked()) continue;
            if (const CScanList::LinkRecord* link = list.LinkOf(i)) {
                auto it = blocks.find({link->nDevice, link->nInode});
                if (it == blocks.end()) continue;
                list.At(i).m_nDiskSize = it->second;
                it->second = 0;  // the later links hold none
            }
        }
    }
    list.Finish();
    return std::move(list);
}

}  // namespace

CScanList ListWithout(const CScanList& list, std::size_t index, std::int64_t removedAt) {
    return ListWithoutAll(list, {index}, removedAt);
}

CScanList ListWithoutAll(const CScanList& list, const std::vector<std::size_t>& indices,
                         std::int64_t removedAt) {
    const std::vector<std::uint64_t> own = OwnDiskSizes(list);
    CScanList edited;
    Copier copier(edited);
    std::size_t from = 0;
    for (const std::size_t index : indices) {
        if (index == 0 || index < from || index >= list.Count()) continue;
        copier.Copy(list, own, from, index, 0);
        from = list.SubtreeEnd(index);
    }
    copier.Copy(list, own, from, list.Count(), 0);
    // The removals changed their parent directories: their times, and so
    // their ancestors' newest, are when it happened. A parent keeps its
    // place less the entries removed before it.
    if (removedAt != CScanList::kNoTime) {
        std::vector<std::size_t> starts, goneBefore;  // removed runs, and what went before each
        std::size_t gone = 0, end = 0;
        for (const std::size_t index : indices) {
            if (index == 0 || index < end || index >= list.Count()) continue;
            end = list.SubtreeEnd(index);
            starts.push_back(index);
            goneBefore.push_back(gone);
            gone += end - index;
        }
        for (std::size_t run = 0; run < starts.size(); ++run) {
            const std::size_t parent = list.ParentOf(starts[run]);
            if (parent >= starts[run]) continue;
            // The runs that start before the parent lie wholly before it.
            const auto after = std::upper_bound(starts.begin(), starts.end(), parent);
            const std::size_t shift =
                after == starts.begin()
                    ? 0
                    : goneBefore[static_cast<std::size_t>(after - starts.begin() - 1)] +
                          (list.SubtreeEnd(*(after - 1)) - *(after - 1));
            edited.SetModified(parent - shift, std::max(list.ModifiedOf(parent), removedAt));
        }
    }
    LinkBlocks blocks;
    AddLinkBlocks(list, blocks);
    return Assemble(std::move(edited), blocks);
}

CScanList ListWithSubtree(const CScanList& list, std::size_t index, const CScanList& fresh) {
    const std::vector<std::uint64_t> own = OwnDiskSizes(list);
    const std::vector<std::uint64_t> freshOwn = OwnDiskSizes(fresh);
    CScanList edited;
    Copier copier(edited);
    copier.Copy(list, own, 0, index, 0);
    const CScanEntry& item = list[index];
    // A scan's start entry sits two keys above its children, any other
    // directory one.
    const std::int32_t shift = fresh.Count() > 0 ? item.m_nDepth + 1 - (fresh[0].m_nDepth + 2) : 0;
    copier.Add(fresh.Count() > 0 ? fresh[0] : item, item.GetName(),
               fresh.Count() > 0 ? freshOwn[0] : own[index], item.m_nDepth);
    edited.SetModified(edited.Count() - 1,
                       fresh.Count() > 0 ? fresh.ModifiedOf(0) : list.ModifiedOf(index));
    if (fresh.Count() > 0) {
        if (const int error = fresh.ReadErrorOf(0))
            edited.MarkUnreadable(edited.Count() - 1, error);
        copier.Copy(fresh, freshOwn, 1, fresh.Count(), shift);
    }
    copier.Copy(list, own, list.SubtreeEnd(index), list.Count(), 0);
    LinkBlocks blocks;
    AddLinkBlocks(list, blocks);
    AddLinkBlocks(fresh, blocks);
    return Assemble(std::move(edited), blocks);
}

CScanList ListWithFileSizes(const CScanList& list, std::size_t index, std::uint64_t size,
                            std::uint64_t diskSize, std::int64_t modified) {
    const std::vector<std::uint64_t> own = OwnDiskSizes(list);
    CScanList edited;
    Copier copier(edited);
    copier.Copy(list, own, 0, list.Count(), 0);
    const CScanList::LinkRecord* link = list.LinkOf(index);
    // Every link of a file of several links is that file: all change.
    for (std::size_t i = 0; i < edited.Count(); ++i) {
        const CScanList::LinkRecord* other = i == index || !link ? nullptr : edited.LinkOf(i);
        if (i != index &&
            !(other && other->nDevice == link->nDevice && other->nInode == link->nInode))
            continue;
        edited.At(i).m_nSize = size;
        edited.At(i).m_nDiskSize = diskSize;
        if (modified != CScanList::kNoTime) edited.SetModified(i, modified);
        if (!link) break;
    }
    LinkBlocks blocks;
    AddLinkBlocks(list, blocks);
    // Its blocks are these now, whichever link holds them.
    if (link) blocks[{link->nDevice, link->nInode}] = diskSize;
    return Assemble(std::move(edited), blocks);
}

}  // namespace sizewalk
