#pragma once
// A flat list of scan entries for a view beside the tree (the largest
// files, a search's results): the rows as list indices, and for each row
// the texts its columns show. A toolkit's list only adapts this table; it
// asks for rows as they scroll into view, so the table keeps no text.
//
// The table reads the scan list it was made from; it is made again
// whenever that list changes (a removal, a new scan).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/largest_files.h"
#include "model/row_order.h"
#include "scan/scan_list.h"

namespace sizewalk {

inline constexpr std::size_t kRowColumnCount = 4;

class CRowTable {
public:
    CRowTable() = default;
    // `rows` ranked in `mode`, largest first; `separator` groups digits.
    CRowTable(const CScanList& list, RankedRows rows, SizeMode mode, std::string separator = ",");

    const CScanList* List() const { return m_pList; }
    std::size_t RowCount() const { return m_rows.rows.size(); }
    // How many entries qualified and their total (more than the rows kept
    // when the list was cut at its limit).
    std::uint64_t MatchCount() const { return m_rows.nCount; }
    std::uint64_t MatchTotal() const { return m_rows.nTotal; }

    // "Name", "Folder", "Size", "Last Modified".
    static std::string_view Header(RowColumn column);
    // The name; the folder holding it (its full path); the size on show in
    // the details' units ("1.2 GB"); the local time of its last change
    // ("" when not known).
    std::string Text(std::size_t row, RowColumn column) const;
    // The exact size in bytes, for a tip.
    std::uint64_t Size(std::size_t row) const;
    bool IsDirectory(std::size_t row) const;

    // The scan list's index of a row, and back (npos: not a row).
    std::uint32_t ItemAt(std::size_t row) const { return m_rows.rows[row]; }
    std::size_t RowOf(std::uint32_t item) const;
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // Re-sorts by a column (stable); the header shows the last choice.
    void Sort(RowColumn column, bool ascending);
    RowColumn SortColumn() const { return m_eSortColumn; }
    bool SortAscending() const { return m_bAscending; }

private:
    const CScanList* m_pList = nullptr;
    RankedRows m_rows;
    SizeMode m_eMode = SizeMode::Apparent;
    std::string m_strSeparator = ",";
    RowColumn m_eSortColumn = RowColumn::Size;
    bool m_bAscending = false;
};

}  // namespace sizewalk
