#pragma once
// The lists that take the tree's place, free of any toolkit: Largest Files
// (of every file, or of one type), a search's results and the folders that
// could not be read, each made from the kept scan below one directory, and
// File Types of the whole scan, each with the line that says what it holds
// ("Largest Files in /home: 1,000 of 52,340 files, 3.2 GB"; "\"*.iso\" in
// /home: 12 found, 4.4 GB"; "Unreadable Folders in /home: 3 folders";
// "File Types in /home: 52,340 files, 3.2 GB").
//
// A list follows the kept scan: when the scan is edited (a removal) or read
// again from the same start, each list is made again below its directory,
// in its column order; when its directory is gone or another scan shows,
// it is dropped.

#include <optional>
#include <string>
#include <string_view>

#include "core/find_fields.h"
#include "model/row_table.h"
#include "model/scan_tree.h"
#include "model/type_table.h"

namespace sizewalk {

enum class AreaView : std::uint8_t;

class CRowLists {
public:
    // Largest Files (with `type`, of that type only), or the results of
    // `request`, below the directory `root` of `tree` (the whole scan when
    // it holds no such directory).
    void MakeLargest(const CScanTree& tree, const std::string& root, SizeMode mode,
                     std::string_view separator, std::optional<FileTypeFilter> type = std::nullopt);
    void MakeUnreadable(const CScanTree& tree, const std::string& root, SizeMode mode,
                        std::string_view separator);
    void MakeFound(const CScanTree& tree, const std::string& root, FindRequest request,
                   SizeMode mode, std::string_view separator);
    // File Types of the whole scan `tree` shows. Throws std::bad_alloc.
    void MakeTypes(const CScanTree& tree, SizeMode mode, std::string_view separator);
    // Every made list again from `tree` (see above); none when null.
    void Follow(const CScanTree* tree, SizeMode mode, std::string_view separator);
    // Every list gone, before the list they read is.
    void Drop();

    bool IsMade(AreaView area) const;
    // Whether `area` shows rows of scan entries (not the tree or File Types).
    static bool HasRows(AreaView area);
    // The list of `area` (one that HasRows) and its title line (any but
    // the tree's).
    CRowTable& Table(AreaView area);
    CTypeTable& Types() { return m_types; }
    const std::string& Title(AreaView area) const;
    // The last search's request, to fill the dialog again.
    const std::optional<FindRequest>& LastFind() const { return m_found.find; }

private:
    struct RowList {
        bool bMade = false;
        bool bUnreadable = false;  // the folders that could not be read
        std::string strRoot;
        std::optional<FindRequest> find;     // none: the largest files
        std::optional<FileTypeFilter> type;  // the largest files of one type
        CRowTable table;
        std::string strTitle;
    };
    RowList& Of(AreaView area);
    const RowList& Of(AreaView area) const;
    // `rows` gone, its search kept.
    static void Unmake(RowList& rows);
    // Ranks `rows` from `tree`; false when its directory is gone.
    static bool Make(RowList& rows, const CScanTree& tree, SizeMode mode,
                     std::string_view separator);

    std::string m_strStart;  // the scan's start the lists were made from
    void DropTypes();
    // Counts File Types again, keeping the order chosen.
    void RemakeTypes(const CScanTree& tree, SizeMode mode, std::string_view separator);

    RowList m_largest, m_found, m_unreadable;
    bool m_bTypes = false;
    CTypeTable m_types;
    std::string m_strTypesTitle;
};

}  // namespace sizewalk
