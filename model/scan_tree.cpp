#include "model/scan_tree.h"

#include <new>

namespace sizewalk {

CScanTree::CScanTree(const CScanList& list, Files files, const CNameOrder& names)
    : m_list(list), m_names(names), m_files(files) {
    const std::size_t n = list.Count();
    if (n >= kNoItem) throw std::bad_alloc();  // items are 32-bit
    if (n == 0) return;
    const auto dirs = list.Dirs();
    m_parent.assign(n, kNoItem);
    m_slot.assign(n, 0);
    m_first.assign(dirs.size() + 1, 0);
    m_sorted.assign(dirs.size(), false);

    // Parents from the directories' extents, in one pass with a stack of
    // the directories still open; the k-th directory met is table entry k.
    std::vector<std::uint32_t> open;  // table indices
    std::size_t nextDir = 0;
    for (std::size_t i = 0; i < n; ++i) {
        while (!open.empty() && dirs[open.back()].nEnd <= i) open.pop_back();
        if (!open.empty()) {
            m_parent[i] = dirs[open.back()].nEntry;
            if (IsShown(i)) ++m_first[open.back() + 1];
        }
        if (nextDir < dirs.size() && dirs[nextDir].nEntry == i)
            open.push_back(static_cast<std::uint32_t>(nextDir++));
    }
    for (std::size_t d = 1; d < m_first.size(); ++d) m_first[d] += m_first[d - 1];
    m_nItems = std::size_t{m_first.back()} + 1;  // the top item is no one's child

    // Every parent's children in list order, each item knowing its slot.
    m_children.resize(m_first.back());
    std::vector<Item> next(m_first.begin(), m_first.end() - 1);
    open.clear();
    nextDir = 0;
    for (std::size_t i = 0; i < n; ++i) {
        while (!open.empty() && dirs[open.back()].nEnd <= i) open.pop_back();
        if (!open.empty() && IsShown(i)) {
            const Item pos = next[open.back()]++;
            m_children[pos] = static_cast<Item>(i);
            m_slot[i] = pos;
        }
        if (nextDir < dirs.size() && dirs[nextDir].nEntry == i)
            open.push_back(static_cast<std::uint32_t>(nextDir++));
    }
}

bool CScanTree::IsShown(std::size_t index) const {
    return m_files == Files::Shown || m_list[index].IsDirectory();
}

void CScanTree::EnsureSorted(std::size_t dir) const {
    if (m_sorted[dir]) return;
    const Item begin = m_first[dir], end = m_first[dir + 1];
    std::span<Item> children(m_children.data() + begin, end - begin);
    SortChildren(children, m_list, m_order, m_mode, m_names);
    for (Item pos = begin; pos < end; ++pos) m_slot[m_children[pos]] = pos;
    m_sorted[dir] = true;
}

std::span<const CScanTree::Item> CScanTree::Children(Item item) const {
    const std::size_t dir = DirOf(item);
    if (dir == CScanList::kNone) return {};
    EnsureSorted(dir);
    return {m_children.data() + m_first[dir], m_first[dir + 1] - m_first[dir]};
}

std::size_t CScanTree::ChildCount(Item item) const {
    const std::size_t dir = DirOf(item);
    return dir == CScanList::kNone ? 0 : m_first[dir + 1] - m_first[dir];
}

std::size_t CScanTree::Row(Item item) const {
    const Item parent = m_parent[item];
    if (parent == kNoItem) return 0;
    const std::size_t dir = DirOf(parent);
    EnsureSorted(dir);
    return m_slot[item] - m_first[dir];
}

void CScanTree::SetOrder(SortOrder order, SizeMode mode) {
    if (order == m_order && mode == m_mode) return;
    // By name the order stays when only the size on show changes.
    const bool resort = order != m_order || order == SortOrder::Size;
    m_order = order;
    m_mode = mode;
    if (resort) m_sorted.assign(m_sorted.size(), false);
}

CScanTree::Counts CScanTree::CountsBelow(Item item) const {
    Counts counts;
    const std::size_t end = m_list.SubtreeEnd(item);
    counts.nEntries = end - item - 1;
    counts.nDirectories = m_list.DirsBetween(item + 1, end);
    counts.nFiles = counts.nEntries - counts.nDirectories;
    return counts;
}

CScanTree::Item CScanTree::Find(std::string_view path) const {
    if (m_list.Empty()) return kNoItem;
    const std::string_view root = m_list[0].GetName();
    if (path.substr(0, root.size()) != root) return kNoItem;
    path.remove_prefix(root.size());
    Item item = 0;
    while (!path.empty()) {
        if (path.front() == kPathSeparator)
            path.remove_prefix(1);
        else if (item != 0 || (!root.empty() && root.back() != kPathSeparator))
            return kNoItem;
        const std::string_view name = path.substr(0, path.find(kPathSeparator));
        path.remove_prefix(name.size());
        if (name.empty()) return kNoItem;
        Item next = kNoItem;
        for (Item child : Children(item))
            if (m_list[child].GetName() == name) {
                next = child;
                break;
            }
        if (next == kNoItem) return kNoItem;
        item = next;
    }
    return item;
}

std::size_t CScanTree::MemoryBytes() const {
    return (m_parent.capacity() + m_slot.capacity() + m_first.capacity() + m_children.capacity()) *
               sizeof(Item) +
           m_sorted.capacity() / 8;
}

}  // namespace sizewalk
