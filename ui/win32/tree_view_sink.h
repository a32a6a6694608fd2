#pragma once
// The scan command's tree sink over a tree-view control. A fill only records
// the items; the control receives the top level when the fill ends, and the
// children of a parent when it is first expanded, sorted by name then (see
// CSystemNameOrder). A fill thus costs the top level whatever the tree's size, and
// opening a directory costs its own children.
//
// Items carry no text of their own: the control asks for a label when it
// shows one (LPSTR_TEXTCALLBACK), so showing the other size needs no new
// items. Children are ordered by name (the default) or largest first; a new
// order or size on show re-sorts, in place, the children already created, so
// every item keeps its state (open, selected) and nothing is scanned.
//
// With an entry source, the control's info tips tell an item's full path,
// both sizes in bytes, its share of the parent and the entries below it.
//
// The window that owns the control passes its WM_NOTIFY to OnNotify.

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/entry_source.h"
#include "model/tree_order.h"
#include "core/tree_sink.h"
#include "ui/win32/name_order.h"

namespace sizewalk {

class CTreeViewSink : public CTreeSink {
public:
    // `locale` orders the names (see CSystemNameOrder); empty for the user's own.
    explicit CTreeViewSink(HWND tree, std::wstring locale = std::wstring());
    // Empties the control, which must not ask for the labels of entries it
    // can no longer reach.
    ~CTreeViewSink() override;
    CTreeViewSink(const CTreeViewSink&) = delete;
    CTreeViewSink& operator=(const CTreeViewSink&) = delete;

    void DeleteAllItems() override;
    void ReserveItems(std::size_t count) override;
    // Items come in list order, each directory followed by its subtree.
    // Throws std::bad_alloc past kMaxTreeItem items.
    TreeItem InsertItem(TreeItem parent, const CScanEntry& entry, Units units) override;
    // Puts the top level into the control. Throws std::bad_alloc when the
    // control cannot take it (the control is then empty).
    void EndInsert() override;

    // The control's notifications: true when `header` came from the control,
    // with the answer in `result`. When the control cannot take a
    // directory's children this throws std::bad_alloc, leaving that
    // directory without children; its owner then refuses the expansion
    // (result TRUE).
    bool OnNotify(const NMHDR& header, LRESULT& result);

    // Every label shows the entry's size in `mode` from its next paint on;
    // sorted by size, the children already created are sorted again.
    void SetSizeMode(SizeMode mode);
    SizeMode GetSizeMode() const { return m_mode; }
    // Children by name or largest first, those created so far at once.
    void SetSortOrder(SortOrder order);
    SortOrder GetSortOrder() const { return m_sortOrder; }
    // Where info tips find an entry's path and the entries below it (none:
    // no info tips). Must outlive the sink's items.
    void SetEntrySource(const CEntrySource* source) { m_pSource = source; }

    // The entry a control item shows (null for none).
    const CScanEntry* EntryOf(HTREEITEM item) const;
    // The info tip of an item: its details, one line each, as UTF-16.
    std::wstring InfoTipOf(HTREEITEM item) const;

    // The digit group separator of the sink's locale, as UTF-8.
    const std::string& GroupSeparator() const { return m_strGroupSeparator; }
    // How many items the last fill recorded.
    std::size_t ItemCount() const { return m_entries.size(); }

private:
    // Creates the children of `id` (0: the top level) under `parent`.
    void CreateChildren(HTREEITEM parent, TreeItem id);
    // The children of `id` (0: the top level) in the order on show.
    std::vector<std::uint32_t> SortedChildren(TreeItem id) const;
    // Orders the children already created as SortedChildren says.
    void Resort();
    void OnGetDispInfo(NMTVDISPINFOW& info);
    void OnGetInfoTip(NMTVGETINFOTIPW& tip) const;
    bool HasChildren(TreeItem id) const { return m_ends[id - 1] > id + 1; }

    HWND m_hTree;
    std::string m_strGroupSeparator;  // of the locale that orders the names
    CSystemNameOrder m_order;
    std::vector<const CScanEntry*> m_entries;  // by id - 1
    std::vector<TreeItem> m_ends;              // by id - 1: one past the subtree's last id
    std::vector<TreeItem> m_open;              // while filling: the last item and its ancestors
    // The items whose children the control holds, with their ids.
    std::vector<std::pair<HTREEITEM, TreeItem>> m_created;
    Units m_eUnits = Units::MB;
    SizeMode m_mode = SizeMode::Apparent;
    SortOrder m_sortOrder = SortOrder::Name;
    const CEntrySource* m_pSource = nullptr;
    std::string m_label;
    // Labels longer than the control's buffer are handed over by pointer,
    // which must stay valid for two more requests.
    std::wstring m_shown[3];
    unsigned m_nNextShown = 0;
};

}  // namespace sizewalk
