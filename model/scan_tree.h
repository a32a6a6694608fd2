#pragma once
// The tree a scan list makes, as every view shows it: each item's parent,
// its children in the order on show (by name, or largest first by the size
// on show), its path, its size and what lies below it. Built once per list
// and file choice in one linear pass; a parent's children are sorted the
// first time anyone asks for them, so a tree of a million items costs its
// structure alone until it is browsed. No toolkit: the Qt model, the Win32
// tree sink, the benchmark and the treemap read this one tree.
//
// Items are the list's indices: an item is the entry it shows. With files
// hidden only directories are items (a file's Parent() is still its
// directory). The tree refers to the list and to the name order, which must
// outlive it; it is read on one thread (sorting on first look writes).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "model/labels.h"
#include "model/tree_order.h"
#include "scan/scan_list.h"

namespace sizewalk {

class CScanTree {
public:
    using Item = std::uint32_t;
    static constexpr Item kNoItem = 0xFFFFFFFFu;

    // Throws std::bad_alloc past 2^32 - 1 entries, or when memory runs out.
    CScanTree(const CScanList& list, Files files, const CNameOrder& names);
    CScanTree(const CScanTree&) = delete;
    CScanTree& operator=(const CScanTree&) = delete;

    const CScanList& List() const { return m_list; }
    const CScanEntry& Entry(Item item) const { return m_list[item]; }
    Files GetFiles() const { return m_files; }
    // The number of items shown (0 for an empty list); the top item is 0.
    std::size_t ItemCount() const { return m_nItems; }
    bool IsShown(std::size_t index) const;

    // The directory holding `item`; kNoItem for the top item.
    Item Parent(Item item) const { return m_parent[item]; }
    // The children shown under `item`, in the order on show.
    std::span<const Item> Children(Item item) const;
    std::size_t ChildCount(Item item) const;
    // Where `item` stands among its parent's children (0 for the top item).
    std::size_t Row(Item item) const;

    // The order of every parent's children and the size they sort by; a
    // change re-sorts each parent when it is next looked at.
    void SetOrder(SortOrder order, SizeMode mode);
    SortOrder GetOrder() const { return m_order; }
    SizeMode GetSizeMode() const { return m_mode; }

    // The size of an item: a directory's total, a file's own.
    std::uint64_t Size(Item item, SizeMode mode) const { return Entry(item).GetShownSize(mode); }
    // What lies below an item (all zero for a file), whether shown or not.
    struct Counts {
        std::uint64_t nEntries = 0, nFiles = 0, nDirectories = 0;
    };
    Counts CountsBelow(Item item) const;
    std::string Path(Item item) const { return m_list.PathOf(item); }
    // The item whose path is `path` (as Path gives it), kNoItem when the
    // tree holds none.
    Item Find(std::string_view path) const;

    // Bytes the tree holds for its structure.
    std::size_t MemoryBytes() const;

private:
    // The table index of a directory item (every parent is one).
    std::size_t DirOf(Item item) const { return m_list.DirIndexOf(item); }
    void EnsureSorted(std::size_t dir) const;

    const CScanList& m_list;
    const CNameOrder& m_names;
    Files m_files;
    std::size_t m_nItems = 0;
    SortOrder m_order = SortOrder::Name;
    SizeMode m_mode = SizeMode::Apparent;
    // Per list index: the parent, and the item's slot in m_children.
    std::vector<Item> m_parent;
    mutable std::vector<Item> m_slot;
    // Per directory (table index): its children are m_children[m_first[d] ..
    // m_first[d + 1]), in list order until m_sorted[d] is set.
    std::vector<Item> m_first;
    mutable std::vector<Item> m_children;
    mutable std::vector<bool> m_sorted;
};

}  // namespace sizewalk
