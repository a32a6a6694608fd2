#include "ui/win32/tree_view_sink.h"

#include <cstring>
#include <new>

#include "ui/scan_command.h"

namespace sizewalk {

CTreeViewSink::CTreeViewSink(HWND tree) : m_hTree(tree) {
    m_insert.hInsertAfter = TVI_SORT;
    m_insert.item.mask = TVIF_TEXT;
    m_insert.item.pszText = m_szLabel;
}

CTreeViewSink::~CTreeViewSink() { ResumeRedraw(); }

void CTreeViewSink::DeleteAllItems() {
    ::SendMessageA(m_hTree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    std::vector<HTREEITEM>().swap(m_items);
    ResumeRedraw();
}

void CTreeViewSink::ReserveItems(std::size_t) {
    // One repaint at the end instead of one per insertion.
    if (!m_bRedrawHeld) {
        ::SendMessageA(m_hTree, WM_SETREDRAW, FALSE, 0);
        m_bRedrawHeld = true;
    }
}

TreeItem CTreeViewSink::InsertItem(TreeItem parent, const CScanEntry& entry, int nUnits) {
    FormatLabel(m_label, entry, nUnits);
    const std::size_t n = m_label.size() < kMaxLabel ? m_label.size() : kMaxLabel;
    std::memcpy(m_szLabel, m_label.data(), n);
    m_szLabel[n] = '\0';
    m_insert.hParent = parent == kNoTreeItem ? nullptr : m_items[parent - 1];
    if (m_items.size() >= kMaxTreeItem) throw std::bad_alloc();
    // Grow before the control is touched, so that a failure leaves no item.
    if (m_items.size() == m_items.capacity()) m_items.reserve(m_items.size() * 2 + 64);
    const LRESULT item =
        ::SendMessageA(m_hTree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&m_insert));
    // The control fails only when it cannot allocate the item.
    if (item == 0) throw std::bad_alloc();
    m_items.push_back(reinterpret_cast<HTREEITEM>(item));
    return static_cast<TreeItem>(m_items.size());
}

void CTreeViewSink::EndInsert() { ResumeRedraw(); }

void CTreeViewSink::ResumeRedraw() {
    if (!m_bRedrawHeld) return;
    m_bRedrawHeld = false;
    ::SendMessageA(m_hTree, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_hTree, nullptr, TRUE);
}

}  // namespace sizewalk
