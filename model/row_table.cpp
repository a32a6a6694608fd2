#include "model/row_table.h"

#include <utility>

#include "model/detail_columns.h"

namespace sizewalk {

CRowTable::CRowTable(const CScanList& list, RankedRows rows, SizeMode mode, std::string separator)
    : m_pList(&list),
      m_rows(std::move(rows)),
      m_eMode(mode),
      m_strSeparator(std::move(separator)) {}

std::string_view CRowTable::Header(RowColumn column) {
    switch (column) {
        case RowColumn::Name:
            return "Name";
        case RowColumn::Folder:
            return "Folder";
        case RowColumn::Size:
            return "Size";
        case RowColumn::Modified:
            return "Last Modified";
    }
    return {};
}

std::string CRowTable::Text(std::size_t row, RowColumn column) const {
    const std::uint32_t item = ItemAt(row);
    switch (column) {
        case RowColumn::Name:
            // The start entry's name is its whole path.
            return item == 0 ? m_pList->PathOf(0) : std::string((*m_pList)[item].GetName());
        case RowColumn::Folder:
            return item == 0 ? std::string() : m_pList->DirPathOf(item);
        case RowColumn::Size:
            return FormatAutoSize(Size(row), m_strSeparator);
        case RowColumn::Modified: {
            const std::int64_t when = m_pList->ModifiedOf(item);
            return when == CScanList::kNoTime ? std::string() : FormatLocalTime(when);
        }
    }
    return {};
}

std::uint64_t CRowTable::Size(std::size_t row) const {
    return m_rows.SizeOf(*m_pList, ItemAt(row), m_eMode);
}

bool CRowTable::IsDirectory(std::size_t row) const {
    return (*m_pList)[ItemAt(row)].IsDirectory() != 0;
}

std::size_t CRowTable::RowOf(std::uint32_t item) const {
    for (std::size_t row = 0; row < m_rows.rows.size(); ++row)
        if (m_rows.rows[row] == item) return row;
    return npos;
}

void CRowTable::Sort(RowColumn column, bool ascending) {
    if (!m_pList) return;
    SortRows(*m_pList, m_rows, column, ascending, m_eMode);
    m_eSortColumn = column;
    m_bAscending = ascending;
}

}  // namespace sizewalk
