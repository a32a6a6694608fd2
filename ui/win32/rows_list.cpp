#include "ui/win32/rows_list.h"

#include <commctrl.h>

#include <algorithm>

#include "model/size_text.h"
#include "platform/wide_text_win32.h"
#include "ui/win32/list_view_cells.h"

namespace sizewalk {

namespace {

// The columns' widths in dialog-font average characters: the size and
// the time keep theirs, the name and the folder share the rest.
constexpr int kColumnChars[kRowColumnCount] = {14, 20, 9, 19};

}  // namespace

bool CRowsList::Create(HWND parent, int listId, int titleId, HFONT font) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    m_hTitle = ::CreateWindowExW(
        0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_ENDELLIPSIS | SS_NOPREFIX, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(titleId)), instance, nullptr);
    m_hList = ::CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"Rows",
        WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(listId)), instance, nullptr);
    if (!m_hTitle || !m_hList) return false;
    ::SendMessageW(m_hTitle, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SendMessageW(m_hList, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ListView_SetExtendedListViewStyle(m_hList,
                                      LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER);
    RECT unit{0, 0, 4, 0};
    ::MapDialogRect(parent, &unit);  // four dialog units: one average character
    for (std::size_t c = 0; c < kRowColumnCount; ++c) {
        const std::wstring header = WideFromUtf8(CRowTable::Header(static_cast<RowColumn>(c)));
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.fmt = static_cast<RowColumn>(c) == RowColumn::Size ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = kColumnChars[c] * std::max<LONG>(1, unit.right);
        column.pszText = const_cast<wchar_t*>(header.c_str());
        column.iSubItem = static_cast<int>(c);
        ::SendMessageW(m_hList, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
    }
    return true;
}

void CRowsList::SetRows(const CRowTable* rows, std::string_view title) {
    m_pRows = rows;
    if (m_hTitle) ::SetWindowTextW(m_hTitle, WideFromUtf8(title).c_str());
    if (!m_hList) return;
    // A new count drops the selection: the rows it named may be others now.
    m_bSelecting = true;
    ListView_SetItemState(m_hList, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemCountEx(m_hList, rows ? static_cast<int>(rows->RowCount()) : 0, 0);
    m_bSelecting = false;
    ShowSortColumn();
    ::InvalidateRect(m_hList, nullptr, TRUE);
}

void CRowsList::ShowSortColumn() const {
    HWND header = ListView_GetHeader(m_hList);
    if (!header) return;
    for (std::size_t c = 0; c < kRowColumnCount; ++c) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        if (!::SendMessageW(header, HDM_GETITEMW, c, reinterpret_cast<LPARAM>(&item))) continue;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (m_pRows && m_pRows->SortColumn() == static_cast<RowColumn>(c))
            item.fmt |= m_pRows->SortAscending() ? HDF_SORTUP : HDF_SORTDOWN;
        ::SendMessageW(header, HDM_SETITEMW, c, reinterpret_cast<LPARAM>(&item));
    }
}

void CRowsList::Show(bool shown) {
    for (HWND control : {m_hTitle, m_hList})
        if (control) ::ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
}

bool CRowsList::IsShown() const { return m_hList && ::IsWindowVisible(m_hList); }

HDWP CRowsList::Place(HDWP positions, int x, int y, int w, int h) const {
    if (!m_hList || !m_hTitle) return positions;
    const int line = std::min(h, ControlLineHeight(m_hTitle));
    if (positions)
        positions = ::DeferWindowPos(positions, m_hTitle, nullptr, x, y, w, line,
                                     SWP_NOZORDER | SWP_NOACTIVATE);
    const int fixed = ListView_GetColumnWidth(m_hList, 2) + ListView_GetColumnWidth(m_hList, 3);
    const int rest = std::max(0, w - fixed - ::GetSystemMetrics(SM_CXVSCROLL) - 4);
    if (rest > 0) {
        ListView_SetColumnWidth(m_hList, 0, std::max(rest * 2 / 5, 60));
        ListView_SetColumnWidth(m_hList, 1, std::max(rest - rest * 2 / 5, 80));
    }
    if (positions)
        positions = ::DeferWindowPos(positions, m_hList, nullptr, x, y + line, w,
                                     std::max(0, h - line), SWP_NOZORDER | SWP_NOACTIVATE);
    return positions;
}

int CRowsList::FocusedRow() const {
    return m_hList ? ListView_GetNextItem(m_hList, -1, LVNI_FOCUSED) : -1;
}

std::vector<CScanTree::Item> CRowsList::SelectedItems() const {
    std::vector<CScanTree::Item> items;
    if (!m_pRows || !m_hList) return items;
    const auto count = static_cast<int>(m_pRows->RowCount());
    const int focused = FocusedRow();
    if (focused >= 0 && focused < count &&
        ListView_GetItemState(m_hList, focused, LVIS_SELECTED) & LVIS_SELECTED)
        items.push_back(m_pRows->ItemAt(static_cast<std::size_t>(focused)));
    for (int row = ListView_GetNextItem(m_hList, -1, LVNI_SELECTED); row >= 0 && row < count;
         row = ListView_GetNextItem(m_hList, row, LVNI_SELECTED))
        if (row != focused) items.push_back(m_pRows->ItemAt(static_cast<std::size_t>(row)));
    return items;
}

void CRowsList::Select(CScanTree::Item item) {
    if (!m_hList) return;
    m_bSelecting = true;
    ListView_SetItemState(m_hList, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    const std::size_t row =
        m_pRows && item != CScanTree::kNoItem ? m_pRows->RowOf(item) : CRowTable::npos;
    if (row != CRowTable::npos) {
        const auto at = static_cast<int>(row);
        ListView_SetItemState(m_hList, at, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetSelectionMark(m_hList, at);
        ListView_EnsureVisible(m_hList, at, FALSE);
    } else if (ListView_GetItemCount(m_hList) > 0) {
        // None chosen: the first row is current, so that the list's focus
        // shows; nothing is selected or reported.
        ListView_SetItemState(m_hList, 0, LVIS_FOCUSED, LVIS_FOCUSED);
    }
    m_bSelecting = false;
}

void CRowsList::ActivateCurrent() {
    const int row = FocusedRow();
    if (!m_pRows || row < 0 || static_cast<std::size_t>(row) >= m_pRows->RowCount()) return;
    if (m_events.activated) m_events.activated(m_pRows->ItemAt(static_cast<std::size_t>(row)));
}

bool CRowsList::OnNotify(const NMHDR& header, LRESULT& result) {
    if (!m_hList || header.hwndFrom != m_hList) return false;
    result = 0;
    const std::size_t count = m_pRows ? m_pRows->RowCount() : 0;
    switch (header.code) {
        case LVN_GETDISPINFOW: {
            auto& info = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header));
            const auto row = static_cast<std::size_t>(info.item.iItem);
            if (!(info.item.mask & LVIF_TEXT) || row >= count || info.item.iSubItem < 0 ||
                info.item.iSubItem >= static_cast<int>(kRowColumnCount))
                return true;
            m_cell = WideFromUtf8(m_pRows->Text(row, static_cast<RowColumn>(info.item.iSubItem)));
            CopyCellText(m_cell, info.item.pszText, info.item.cchTextMax);
            return true;
        }
        case LVN_GETINFOTIPW: {
            auto& tip =
                const_cast<NMLVGETINFOTIPW&>(reinterpret_cast<const NMLVGETINFOTIPW&>(header));
            const auto row = static_cast<std::size_t>(tip.iItem);
            if (row >= count) return true;
            // The exact size, after the text the list cut, if it did.
            std::wstring text = tip.dwFlags & LVGIT_UNFOLDED || !tip.pszText ? L"" : tip.pszText;
            if (!text.empty()) text += L"\r\n";
            text += WideFromUtf8(GroupDigits(m_pRows->Size(row), m_strSeparator) + " bytes");
            CopyCellText(text, tip.pszText, tip.cchTextMax);
            return true;
        }
        case LVN_COLUMNCLICK: {
            const int column = reinterpret_cast<const NMLISTVIEW&>(header).iSubItem;
            if (!m_pRows || column < 0 || column >= static_cast<int>(kRowColumnCount)) return true;
            const auto chosen = static_cast<RowColumn>(column);
            // The same column turns the order round; another starts as its
            // most telling: sizes and times largest and newest first.
            const bool ascending =
                chosen == m_pRows->SortColumn()
                    ? !m_pRows->SortAscending()
                    : !(chosen == RowColumn::Size || chosen == RowColumn::Modified);
            if (m_events.sort) m_events.sort(chosen, ascending);
            return true;
        }
        case LVN_ITEMCHANGED: {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if (m_bSelecting || !(change.uChanged & LVIF_STATE) || change.iItem < 0 ||
                static_cast<std::size_t>(change.iItem) >= count)
                return true;
            const bool gained =
                (change.uNewState & LVIS_FOCUSED) && !(change.uOldState & LVIS_FOCUSED);
            if (gained && m_events.chosen)
                m_events.chosen(m_pRows->ItemAt(static_cast<std::size_t>(change.iItem)));
            return true;
        }
        case LVN_KEYDOWN:
            if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_RETURN) ActivateCurrent();
            return true;
        case NM_DBLCLK: {
            const int row = reinterpret_cast<const NMITEMACTIVATE&>(header).iItem;
            if (row >= 0 && static_cast<std::size_t>(row) < count && m_events.activated)
                m_events.activated(m_pRows->ItemAt(static_cast<std::size_t>(row)));
            return true;
        }
    }
    return false;
}

}  // namespace sizewalk
