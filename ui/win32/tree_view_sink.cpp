#include "ui/win32/tree_view_sink.h"

#include <cstring>
#include <new>
#include <span>

#include "ui/scan_command.h"
#include "ui/win32/label_text.h"

namespace sizewalk {

CTreeViewSink::CTreeViewSink(HWND tree, std::wstring locale)
    : m_hTree(tree), m_order(std::move(locale)) {
    // Notifications in UTF-16, whatever the owner window is.
    ::SendMessageW(m_hTree, TVM_SETUNICODEFORMAT, TRUE, 0);
}

CTreeViewSink::~CTreeViewSink() {
    if (::IsWindow(m_hTree))
        ::SendMessageW(m_hTree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
}

void CTreeViewSink::DeleteAllItems() {
    ::SendMessageW(m_hTree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    std::vector<const CScanEntry*>().swap(m_entries);
    std::vector<TreeItem>().swap(m_ends);
    m_open.clear();
}

void CTreeViewSink::ReserveItems(std::size_t count) {
    m_entries.reserve(count);
    m_ends.reserve(count);
}

TreeItem CTreeViewSink::InsertItem(TreeItem parent, const CScanEntry& entry, int nUnits) {
    if (m_entries.size() >= kMaxTreeItem) throw std::bad_alloc();
    const auto id = static_cast<TreeItem>(m_entries.size() + 1);
    // The items still open that are not the parent have their subtrees
    // complete.
    while (!m_open.empty() && m_open.back() != parent) {
        m_ends[m_open.back() - 1] = id;
        m_open.pop_back();
    }
    m_entries.push_back(&entry);
    m_ends.push_back(id + 1);
    m_open.push_back(id);
    m_nUnits = nUnits;
    return id;
}

void CTreeViewSink::EndInsert() {
    const auto end = static_cast<TreeItem>(m_entries.size() + 1);
    for (TreeItem id : m_open) m_ends[id - 1] = end;
    m_open.clear();
    CreateChildren(TVI_ROOT, kNoTreeItem);
}

void CTreeViewSink::CreateChildren(HTREEITEM parent, TreeItem id) {
    const auto end =
        id == kNoTreeItem ? static_cast<TreeItem>(m_entries.size() + 1) : m_ends[id - 1];
    std::vector<std::uint32_t> children;
    for (TreeItem child = id + 1; child < end; child = m_ends[child - 1]) children.push_back(child);
    m_order.Sort(std::span<std::uint32_t>(children),
                 [this](std::uint32_t child) { return m_entries[child - 1]->GetName(); });

    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    // Last to first, each in front: one step per item in every tree-view
    // implementation (appending may walk the siblings, or check the item
    // inserted after against all items).
    insert.hInsertAfter = TVI_FIRST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
    insert.item.pszText = LPSTR_TEXTCALLBACKW;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        insert.item.lParam = static_cast<LPARAM>(*it);
        insert.item.cChildren = HasChildren(*it) ? 1 : 0;
        // The control fails only when it cannot allocate the item: leave
        // none of the children rather than some.
        if (!::SendMessageW(m_hTree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert))) {
            if (parent == TVI_ROOT) {
                ::SendMessageW(m_hTree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
            } else {
                ::SendMessageW(m_hTree, TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET,
                               reinterpret_cast<LPARAM>(parent));
            }
            throw std::bad_alloc();
        }
    }
}

bool CTreeViewSink::OnNotify(const NMHDR& header, LRESULT& result) {
    if (header.hwndFrom != m_hTree) return false;
    result = 0;
    switch (header.code) {
        case TVN_GETDISPINFOW:
            OnGetDispInfo(*reinterpret_cast<NMTVDISPINFOW*>(const_cast<NMHDR*>(&header)));
            return true;
        case TVN_ITEMEXPANDINGW: {
            const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
            const auto id = static_cast<TreeItem>(change.itemNew.lParam);
            if ((change.action & TVE_EXPAND) && id != kNoTreeItem && id <= m_entries.size() &&
                !::SendMessageW(m_hTree, TVM_GETNEXTITEM, TVGN_CHILD,
                                reinterpret_cast<LPARAM>(change.itemNew.hItem)))
                CreateChildren(change.itemNew.hItem, id);
            return true;
        }
    }
    return false;
}

void CTreeViewSink::OnGetDispInfo(NMTVDISPINFOW& info) {
    if (!(info.item.mask & TVIF_TEXT)) return;
    const auto id = static_cast<TreeItem>(info.item.lParam);
    std::wstring& shown = m_shown[m_nNextShown];
    m_nNextShown = (m_nNextShown + 1) % 3;
    shown.clear();
    if (id != kNoTreeItem && id <= m_entries.size()) {
        FormatLabel(m_label, *m_entries[id - 1], m_nUnits, m_mode);
        AppendLabelText(shown, m_label);
    }
    if (info.item.pszText && info.item.cchTextMax > 0 &&
        shown.size() < static_cast<std::size_t>(info.item.cchTextMax)) {
        std::memcpy(info.item.pszText, shown.c_str(), (shown.size() + 1) * sizeof(wchar_t));
    } else {
        info.item.pszText = shown.data();
    }
}

void CTreeViewSink::SetSizeMode(SizeMode mode) {
    m_mode = mode;
    ::InvalidateRect(m_hTree, nullptr, TRUE);
}

}  // namespace sizewalk
