#pragma once
// The scan command's tree sink over a tree-view control, showing the scan
// tree (model/scan_tree.h) of the kept list. The control receives the top
// item when a list is shown, and the children of a parent when it is first
// expanded, in the tree's order (names ordered by CSystemNameOrder). A fill
// thus costs the top level whatever the tree's size, and opening a directory
// costs its own children.
//
// Items carry no text of their own: the control asks for a label when it
// shows one (LPSTR_TEXTCALLBACK), so showing the other size needs no new
// items. Children are ordered by name (the default) or largest first; a new
// order or size on show re-sorts, in place, the children already created, so
// every item keeps its state (open, selected) and nothing is scanned.
//
// The control's info tips tell an item's full path, both sizes in bytes, its
// share of the parent and the entries below it. A directory that could not
// be read stands out: its label in a warning colour, the system's warning
// sign before it as the item's state image (the tip says why).
//
// The window that owns the control passes its WM_NOTIFY to OnNotify.

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/tree_sink.h"
#include "model/scan_tree.h"
#include "model/tree_order.h"
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
    // Puts the top item into the control. Throws std::bad_alloc when the
    // control cannot take it (the control is then empty).
    void ShowList(const CScanList& list, Units units, Files files) override;

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
    // The tree shown (null while empty).
    const CScanTree* Tree() const { return m_pTree.get(); }
    // The scan-tree item a control item shows (kNoItem for none).
    CScanTree::Item ItemOf(HTREEITEM item) const;
    // The entry a control item shows (null for none).
    const CScanEntry* EntryOf(HTREEITEM item) const;
    // The full path of what a control item shows (empty for none).
    std::string PathOf(HTREEITEM item) const;
    // The info tip of an item: its details, one line each, as UTF-16.
    std::wstring InfoTipOf(HTREEITEM item) const;
    // Whether a control item shows a directory that could not be read.
    bool IsUnreadable(HTREEITEM item) const;
    // The label colour of those directories: a dark red.
    static constexpr COLORREF kWarningColour = RGB(0xA0, 0x00, 0x00);
    // The state image of those directories: the warning sign.
    static constexpr UINT kWarningImage = 1;
    // The control's NM_CUSTOMDRAW (OnNotify passes it here; an owner that
    // draws more ORs its own answer in): those directories' colour.
    LRESULT OnCustomDraw(NMTVCUSTOMDRAW& draw) const;

    // The digit group separator of the sink's locale, as UTF-8.
    const std::string& GroupSeparator() const { return m_strGroupSeparator; }
    // How many items the tree shown has.
    std::size_t ItemCount() const { return m_pTree ? m_pTree->ItemCount() : 0; }

private:
    // Creates the children of `item` (kNoItem: the top item) under `parent`.
    void CreateChildren(HTREEITEM parent, CScanTree::Item item);
    // Orders the children already created as the tree orders them.
    void Resort();
    void OnGetDispInfo(NMTVDISPINFOW& info);
    void OnGetInfoTip(NMTVGETINFOTIPW& tip) const;
    // The item a control item's lParam stands for (kNoItem for none).
    CScanTree::Item ItemOfParam(LPARAM param) const;

    HWND m_hTree;
    HIMAGELIST m_hStateImages = nullptr;  // the warning sign
    std::string m_strGroupSeparator;      // of the locale that orders the names
    CSystemNameOrder m_order;
    std::unique_ptr<CScanTree> m_pTree;
    // The control items whose children the control holds, with their items.
    std::vector<std::pair<HTREEITEM, CScanTree::Item>> m_created;
    Units m_eUnits = Units::MB;
    SizeMode m_mode = SizeMode::Apparent;
    SortOrder m_sortOrder = SortOrder::Name;
    std::string m_label;
    // Labels longer than the control's buffer are handed over by pointer,
    // which must stay valid for two more requests.
    std::wstring m_shown[3];
    unsigned m_nNextShown = 0;
};

}  // namespace sizewalk
