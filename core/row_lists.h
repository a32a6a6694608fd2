#pragma once
// The lists that take the tree's place, free of any toolkit: Largest Files,
// a search's results and the folders that could not be read, each made from
// the kept scan below one directory, with the line that says what it holds
// ("Largest Files in /home: 1,000 of 52,340 files, 3.2 GB"; "\"*.iso\" in
// /home: 12 found, 4.4 GB"; "Unreadable Folders in /home: 3 folders").
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

namespace sizewalk {

enum class AreaView : std::uint8_t;

class CRowLists {
public:
    // Largest Files, or the results of `request`, below the directory
    // `root` of `tree` (the whole scan when it holds no such directory).
    void MakeLargest(const CScanTree& tree, const std::string& root, SizeMode mode,
                     std::string_view separator);
    void MakeUnreadable(const CScanTree& tree, const std::string& root, SizeMode mode,
                        std::string_view separator);
    void MakeFound(const CScanTree& tree, const std::string& root, FindRequest request,
                   SizeMode mode, std::string_view separator);
    // Every made list again from `tree` (see above); none when null.
    void Follow(const CScanTree* tree, SizeMode mode, std::string_view separator);
    // Every list gone, before the list they read is.
    void Drop();

    bool IsMade(AreaView area) const;
    // The list of `area` (not the tree) and its title line.
    CRowTable& Table(AreaView area);
    const std::string& Title(AreaView area) const;
    // The last search's request, to fill the dialog again.
    const std::optional<FindRequest>& LastFind() const { return m_found.find; }

private:
    struct RowList {
        bool bMade = false;
        bool bUnreadable = false;  // the folders that could not be read
        std::string strRoot;
        std::optional<FindRequest> find;  // none: the largest files
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
    RowList m_largest, m_found, m_unreadable;
};

}  // namespace sizewalk
