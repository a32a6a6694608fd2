#pragma once
// File Types as a view shows it: each kind's own row followed by the rows
// of its types, with the texts of their columns (Type, Files, Size, Share)
// and the kind's colour, so the table is also the map's legend. A
// toolkit's list only adapts this table. It holds a copy of the counts, no
// pointer into the scan list.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/file_types.h"

namespace sizewalk {

enum class TypeColumn : std::uint8_t { Type, Files, Size, Share };
inline constexpr std::size_t kTypeColumnCount = 4;

class CTypeTable {
public:
    CTypeTable() = default;
    // `types` as counted, sorted by size; `separator` groups digits.
    explicit CTypeTable(CFileTypes types, std::string separator = ",");

    std::size_t RowCount() const { return m_rows.size(); }
    // "Type", "Files", "Size", "Share".
    static std::string_view Header(TypeColumn column);
    // The kind's name ("Images") or the type's (".png", "(no extension)",
    // "(hidden)"); the number of files; the size in the details' units;
    // the share of the scan's total ("12.3%").
    std::string Text(std::size_t row, TypeColumn column) const;
    // The exact size in bytes, for a tip.
    std::uint64_t Size(std::size_t row) const { return Row(row).nSize; }
    // A kind's own row, whose type rows follow it.
    bool IsKind(std::size_t row) const { return m_rows[row].nType < 0; }
    FileKind Kind(std::size_t row) const { return Row(row).kind; }
    // The kind's colour as the map draws it, 0xRRGGBB.
    std::uint32_t Color(std::size_t row) const;
    // The files a row stands for, for the map's highlight and Largest Files.
    FileTypeFilter Filter(std::size_t row) const { return Row(row).Filter(); }

    // The row of a kind, or of the filter's type; npos when it has none.
    std::size_t RowOf(const FileTypeFilter& filter) const;
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // Re-sorts the kinds and, within each, its types; a kind's types stay
    // below it. Ties go by name.
    void Sort(TypeColumn column, bool ascending);
    TypeColumn SortColumn() const { return m_eSortColumn; }
    bool SortAscending() const { return m_bAscending; }

    const CFileTypes& Types() const { return m_types; }

private:
    struct Ref {
        std::uint16_t nKind = 0;
        std::int32_t nType = -1;  // -1: the kind's own row
    };
    const FileTypeRow& Row(std::size_t row) const;
    void Flatten();

    CFileTypes m_types;
    std::vector<Ref> m_rows;
    std::string m_strSeparator = ",";
    TypeColumn m_eSortColumn = TypeColumn::Size;
    bool m_bAscending = false;
};

}  // namespace sizewalk
