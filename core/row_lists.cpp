#include "core/row_lists.h"

#include <utility>

#include "core/item_actions.h"
#include "core/main_view.h"
#include "model/detail_columns.h"
#include "model/size_text.h"

namespace sizewalk {

namespace {

// ".png", "(no extension)", "Images": as File Types names the row.
std::string TypeName(const FileTypeFilter& type) {
    FileTypeRow row;
    row.kind = type.kind;
    row.eClass = type.eClass;
    row.strExtension = type.strExtension;
    std::string name = row.Label();
    if (type.eClass == FileTypeClass::Extension) name.insert(0, ".");
    // A hidden or extensionless row belongs to a kind.
    if (type.eClass == FileTypeClass::NoExtension || type.eClass == FileTypeClass::Hidden)
        name = std::string(FileKindLabel(type.kind)) + " " + name;
    return ShownName(name);
}

std::string Title(const RankedRows& ranked, const std::string& root, bool unreadable,
                  const std::optional<FindRequest>& find, const std::optional<FileTypeFilter>& type,
                  std::string_view separator) {
    std::string title;
    if (unreadable) {
        title = "Unreadable Folders in " + ShownName(root) + ": " +
                GroupDigits(ranked.nCount, separator) +
                (ranked.nCount == 1 ? " folder" : " folders");
    } else if (find) {
        // Appended piece by piece: MinGW's GCC 12 takes "\"" + string for an
        // overlapping copy (-Wrestrict).
        title = "\"";
        title += ShownName(find->fields.strPattern);
        title += "\" in " + ShownName(root) + ": " + GroupDigits(ranked.nCount, separator) +
                 " found, " + FormatAutoSize(ranked.nTotal, separator);
    } else {
        title = "Largest Files";
        if (type) title += " of " + TypeName(*type);
        title += " in " + ShownName(root) + ": " +
                 (ranked.nCount > ranked.rows.size()
                      ? GroupDigits(ranked.rows.size(), separator) + " of "
                      : std::string()) +
                 GroupDigits(ranked.nCount, separator) +
                 (ranked.nCount == 1 ? " file, " : " files, ") +
                 FormatAutoSize(ranked.nTotal, separator);
    }
    // A search cut at its limit says how many rows it shows.
    if (find && ranked.nCount > ranked.rows.size())
        title += " (the largest " + GroupDigits(ranked.rows.size(), separator) + " listed)";
    return title;
}

}  // namespace

CRowLists::RowList& CRowLists::Of(AreaView area) {
    return area == AreaView::Found        ? m_found
           : area == AreaView::Unreadable ? m_unreadable
                                          : m_largest;
}
const CRowLists::RowList& CRowLists::Of(AreaView area) const {
    return const_cast<CRowLists*>(this)->Of(area);
}

bool CRowLists::HasRows(AreaView area) { return area != AreaView::Tree && area != AreaView::Types; }
bool CRowLists::IsMade(AreaView area) const {
    if (area == AreaView::Types) return m_bTypes;
    return HasRows(area) && Of(area).bMade;
}
CRowTable& CRowLists::Table(AreaView area) { return Of(area).table; }
const std::string& CRowLists::Title(AreaView area) const {
    return area == AreaView::Types ? m_strTypesTitle : Of(area).strTitle;
}

bool CRowLists::Make(RowList& rows, const CScanTree& tree, SizeMode mode,
                     std::string_view separator) {
    const CScanTree::Item root = tree.Find(rows.strRoot);
    if (root == CScanTree::kNoItem) return false;
    const CScanList& list = tree.List();
    RankedRows ranked = rows.find
                            ? FindItems(list, root, *rows.find->pattern, rows.find->filters, mode)
                        : rows.bUnreadable ? UnreadableFolders(list, root, mode)
                                           : LargestFiles(list, root, mode, kLargestFilesDefault,
                                                          rows.type ? &*rows.type : nullptr);
    rows.strTitle =
        sizewalk::Title(ranked, rows.strRoot, rows.bUnreadable, rows.find, rows.type, separator);
    const RowColumn column = rows.table.SortColumn();
    const bool ascending = rows.table.SortAscending();
    rows.table = CRowTable(list, std::move(ranked), mode, std::string(separator));
    // Ranked largest first; another order chosen before is kept.
    if (column != RowColumn::Size || ascending) rows.table.Sort(column, ascending);
    rows.bMade = true;
    return true;
}

void CRowLists::MakeLargest(const CScanTree& tree, const std::string& root, SizeMode mode,
                            std::string_view separator, std::optional<FileTypeFilter> type) {
    m_strStart = tree.Path(0);
    m_largest = RowList{};
    m_largest.strRoot = tree.Find(root) == CScanTree::kNoItem ? m_strStart : root;
    m_largest.type = std::move(type);
    Make(m_largest, tree, mode, separator);
}

void CRowLists::MakeUnreadable(const CScanTree& tree, const std::string& root, SizeMode mode,
                               std::string_view separator) {
    m_strStart = tree.Path(0);
    m_unreadable = RowList{};
    m_unreadable.strRoot = tree.Find(root) == CScanTree::kNoItem ? m_strStart : root;
    m_unreadable.bUnreadable = true;
    Make(m_unreadable, tree, mode, separator);
}

void CRowLists::MakeFound(const CScanTree& tree, const std::string& root, FindRequest request,
                          SizeMode mode, std::string_view separator) {
    m_strStart = tree.Path(0);
    m_found = RowList{};
    m_found.strRoot = tree.Find(root) == CScanTree::kNoItem ? m_strStart : root;
    m_found.find = std::move(request);
    Make(m_found, tree, mode, separator);
}

void CRowLists::MakeTypes(const CScanTree& tree, SizeMode mode, std::string_view separator) {
    m_strStart = tree.Path(0);
    m_types = CTypeTable();
    RemakeTypes(tree, mode, separator);
}

void CRowLists::RemakeTypes(const CScanTree& tree, SizeMode mode, std::string_view separator) {
    const TypeColumn column = m_types.SortColumn();
    const bool ascending = m_types.SortAscending();
    CFileTypes types;
    types.Count(tree.List(), mode);
    m_strTypesTitle =
        "File Types in " + ShownName(tree.Path(0)) + ": " + GroupDigits(types.Files(), separator) +
        (types.Files() == 1 ? " file, " : " files, ") + FormatAutoSize(types.Total(), separator);
    m_types = CTypeTable(std::move(types), std::string(separator));
    if (column != TypeColumn::Size || ascending) m_types.Sort(column, ascending);
    m_bTypes = true;
}

void CRowLists::Unmake(RowList& rows) {
    // The search is kept to fill the dialog again.
    std::optional<FindRequest> find = std::move(rows.find);
    rows = RowList{};
    rows.find = std::move(find);
}

void CRowLists::Follow(const CScanTree* tree, SizeMode mode, std::string_view separator) {
    const bool same = tree && tree->List().Count() > 0 && tree->Path(0) == m_strStart;
    for (RowList* rows : {&m_largest, &m_found, &m_unreadable}) {
        if (!rows->bMade) continue;
        if (!same || !Make(*rows, *tree, mode, separator)) Unmake(*rows);
    }
    if (m_bTypes) {
        if (same)
            RemakeTypes(*tree, mode, separator);
        else
            DropTypes();
    }
}

void CRowLists::DropTypes() {
    m_bTypes = false;
    m_types = CTypeTable();
    m_strTypesTitle.clear();
}

void CRowLists::Drop() {
    for (RowList* rows : {&m_largest, &m_found, &m_unreadable}) Unmake(*rows);
    DropTypes();
}

}  // namespace sizewalk
