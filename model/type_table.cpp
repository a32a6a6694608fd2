#include "model/type_table.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "model/detail_columns.h"
#include "model/size_text.h"
#include "model/treemap_render.h"

namespace sizewalk {

CTypeTable::CTypeTable(CFileTypes types, std::string separator)
    : m_types(std::move(types)), m_strSeparator(std::move(separator)) {
    Sort(TypeColumn::Size, false);
}

std::string_view CTypeTable::Header(TypeColumn column) {
    switch (column) {
        case TypeColumn::Type:
            return "Type";
        case TypeColumn::Files:
            return "Files";
        case TypeColumn::Size:
            return "Size";
        case TypeColumn::Share:
            break;
    }
    return "Share";
}

const FileTypeRow& CTypeTable::Row(std::size_t row) const {
    const Ref ref = m_rows[row];
    const FileTypeKind& kind = m_types.Kinds()[ref.nKind];
    return ref.nType < 0 ? kind.total : kind.rows[static_cast<std::size_t>(ref.nType)];
}

std::string CTypeTable::Text(std::size_t row, TypeColumn column) const {
    const FileTypeRow& r = Row(row);
    switch (column) {
        case TypeColumn::Type: {
            if (r.eClass != FileTypeClass::Extension) return r.Label();
            // Appended: MinGW's GCC 12 takes "." + string for an overlapping copy.
            std::string text = ".";
            text += r.Label();
            return text;
        }
        case TypeColumn::Files:
            return GroupDigits(r.nFiles, m_strSeparator);
        case TypeColumn::Size:
            return FormatAutoSize(r.nSize, m_strSeparator);
        case TypeColumn::Share:
            break;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * m_types.Share(r.nSize));
    return text;
}

std::uint32_t CTypeTable::Color(std::size_t row) const {
    return TreemapKindColor(Row(row).kind) & 0xFFFFFFu;
}

std::size_t CTypeTable::RowOf(const FileTypeFilter& filter) const {
    for (std::size_t row = 0; row < m_rows.size(); ++row)
        if (Row(row).Filter() == filter) return row;
    return npos;
}

void CTypeTable::Sort(TypeColumn column, bool ascending) {
    m_eSortColumn = column;
    m_bAscending = ascending;
    switch (column) {
        case TypeColumn::Type:
            m_types.Sort(FileTypeOrder::Name);
            break;
        case TypeColumn::Files:
            m_types.Sort(FileTypeOrder::Files);
            break;
        case TypeColumn::Size:
        case TypeColumn::Share:
            m_types.Sort(FileTypeOrder::Size);
            break;
    }
    // Names read A to Z and numbers largest first unless asked the other way.
    const bool reverse = (column == TypeColumn::Type) != ascending;
    Flatten();
    if (!reverse) return;
    // Kinds reversed, each kind's types reversed below it.
    std::vector<Ref> rows;
    rows.reserve(m_rows.size());
    const auto& kinds = m_types.Kinds();
    for (std::size_t k = kinds.size(); k-- > 0;) {
        rows.push_back({static_cast<std::uint16_t>(k), -1});
        for (std::size_t t = kinds[k].rows.size(); t-- > 0;)
            rows.push_back({static_cast<std::uint16_t>(k), static_cast<std::int32_t>(t)});
    }
    m_rows = std::move(rows);
}

void CTypeTable::Flatten() {
    m_rows.clear();
    const auto& kinds = m_types.Kinds();
    for (std::size_t k = 0; k < kinds.size(); ++k) {
        m_rows.push_back({static_cast<std::uint16_t>(k), -1});
        for (std::size_t t = 0; t < kinds[k].rows.size(); ++t)
            m_rows.push_back({static_cast<std::uint16_t>(k), static_cast<std::int32_t>(t)});
    }
}

}  // namespace sizewalk
