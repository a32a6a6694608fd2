#pragma once
// The scan command's tree sink over a tree-view control. A fill only records
// the items; the control receives the top level when the fill ends, and the
// children of a parent when it is first expanded, sorted by name then (see
// CNameOrder). A fill thus costs the top level whatever the tree's size, and
// opening a directory costs its own children.
//
// Items carry no text of their own: the control asks for a label when it
// shows one (LPSTR_TEXTCALLBACK), so showing the other size needs no new
// items, and a later order of children (by size, say) needs only a new sort
// where CreateChildren sorts.
//
// The window that owns the control passes its WM_NOTIFY to OnNotify.

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <string>
#include <vector>

#include "ui/tree_sink.h"
#include "ui/win32/name_order.h"

namespace sizewalk {

class CTreeViewSink : public CTreeSink {
public:
    // `locale` orders the names (see CNameOrder); empty for the user's own.
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
    TreeItem InsertItem(TreeItem parent, const CScanEntry& entry, int nUnits) override;
    // Puts the top level into the control. Throws std::bad_alloc when the
    // control cannot take it (the control is then empty).
    void EndInsert() override;

    // The control's notifications: true when `header` came from the control,
    // with the answer in `result`. When the control cannot take a
    // directory's children this throws std::bad_alloc, leaving that
    // directory without children; its owner then refuses the expansion
    // (result TRUE).
    bool OnNotify(const NMHDR& header, LRESULT& result);

    // Every label shows the entry's size in `mode` from its next paint on.
    void SetSizeMode(SizeMode mode);

    // How many items the last fill recorded.
    std::size_t ItemCount() const { return m_entries.size(); }

private:
    // Creates the children of `id` (0: the top level) under `parent`.
    void CreateChildren(HTREEITEM parent, TreeItem id);
    void OnGetDispInfo(NMTVDISPINFOW& info);
    bool HasChildren(TreeItem id) const { return m_ends[id - 1] > id + 1; }

    HWND m_hTree;
    CNameOrder m_order;
    std::vector<const CScanEntry*> m_entries;  // by id - 1
    std::vector<TreeItem> m_ends;              // by id - 1: one past the subtree's last id
    std::vector<TreeItem> m_open;              // while filling: the last item and its ancestors
    int m_nUnits = 0;
    SizeMode m_mode = SizeMode::Apparent;
    std::string m_label;
    // Labels longer than the control's buffer are handed over by pointer,
    // which must stay valid for two more requests.
    std::wstring m_shown[3];
    unsigned m_nNextShown = 0;
};

}  // namespace sizewalk
