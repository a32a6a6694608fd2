#pragma once
// The details columns beside the tree: share of the parent, size in
// automatic units, entries below, newest modification. Texts and sort keys
// for any view; bytes in, bytes out. Sizes follow the size on show. A
// directory with an unreadable directory in it (or unreadable itself) shows
// its totals as lower bounds, as its tooltip does.

#include <cstdint>
#include <string>
#include <string_view>

#include "model/scan_tree.h"

namespace sizewalk {

// The columns in their order on screen; Name is the tree's own column.
enum class DetailColumn : int { Name = 0, Percent, Size, Items, Modified };
inline constexpr int kDetailColumnCount = 5;

// The header of a column: "Name", "% of Parent", "Size", "Items", "Last Modified".
std::string_view DetailHeader(DetailColumn column);

// The order clicking a column's header asks for: % and Size sort by size.
SortOrder DetailSortOrder(DetailColumn column);
// The column whose header shows the order `order` (Size: the Size column).
DetailColumn DetailColumnOf(SortOrder order);

// An item's share of its parent in the size on show: a fraction of 1 for the
// bar and its text with one decimal ("55.1%"). No share (text empty,
// fraction 0) for the top item and under a parent of size 0.
struct Share {
    double fFraction = 0;
    std::string strText;
};
Share ShareOfParent(const CScanTree& tree, CScanTree::Item item, SizeMode mode);

// A size in the largest unit of 1024 that keeps it at 1 or more, one decimal,
// the integer part grouped: "512 bytes", "1.5 KB", "1,023.9 GB", "2.0 TB".
std::string FormatAutoSize(std::uint64_t size, std::string_view separator = ",");

// The cell texts of an item (Name is the label: see FormatItemLabel).
// Size: "at least 1.5 MB" where it is a lower bound. Items: the entries below
// a directory, grouped ("at least 1,234" likewise), empty for a file.
// Modified: the newest time in the subtree, local time "2026-12-10 03:24",
// empty where no time is known.
std::string DetailText(const CScanTree& tree, CScanTree::Item item, DetailColumn column,
                       SizeMode mode, std::string_view separator = ",");

// Seconds since 1970 as local time "YYYY-MM-DD HH:MM"; empty when the
// system cannot convert it.
std::string FormatLocalTime(std::int64_t seconds);

}  // namespace sizewalk
