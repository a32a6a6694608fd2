#pragma once
// The order of the items under one parent: by name (the default), or by size
// with the largest first and names breaking ties; likewise by the number of
// entries below (most first) or by the newest modification in the subtree
// (newest first). The size is the one on show, apparent or on disk. How two names compare belongs
// to the platform (a locale-aware collator) and comes in through CNameOrder; the rest is here, for
// every dialog to share.

#include <cstdint>
#include <span>
#include <string_view>

#include "scan/scan_entry.h"
#include "scan/scan_list.h"

namespace sizewalk {

enum class SortOrder { Name, Size, Items, Modified };

class CNameOrder {
public:
    virtual ~CNameOrder() = default;
    // <0, 0 or >0: how two names order for the user; 0 only for equal bytes.
    virtual int Compare(std::string_view a, std::string_view b) const = 0;
    // Sorts `ids` (list indices) by the names of their entries as Compare
    // orders them, equal names by id. This one compares pairs; a collator
    // may do better.
    virtual void SortByName(std::span<std::uint32_t> ids, const CScanList& list) const;
};

// <0, 0 or >0: which of two entries comes first under one parent, by Name or
// Size (the other orders need the list: see SortChildren).
int CompareEntries(const CScanEntry& a, const CScanEntry& b, SortOrder order, SizeMode mode,
                   const CNameOrder& names);

// Sorts `ids` (indices into `list`) in `order`. Entries that tie on both
// name and size keep the order of their ids, so the result never depends on
// the order given.
void SortChildren(std::span<std::uint32_t> ids, const CScanList& list, SortOrder order,
                  SizeMode mode, const CNameOrder& names);

}  // namespace sizewalk
