#include "ui/win32/list_pane.h"

#include <algorithm>

#include "model/size_text.h"
#include "platform/wide_text_win32.h"

namespace sizewalk {

int ControlLineHeight(HWND control) {
    HDC dc = ::GetDC(control);
    if (!dc) return 16;
    const HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return metrics.tmHeight + 4;
}

bool CListPane::Create(HWND parent, int listId, int titleId, HFONT font, const wchar_t* name,
                       DWORD styles, std::span<const ListColumn> columns) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    m_hTitle = ::CreateWindowExW(
        0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_ENDELLIPSIS | SS_NOPREFIX, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(titleId)), instance, nullptr);
    m_hList = ::CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, name,
        WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | styles, 0, 0, 0, 0,
        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(listId)), instance, nullptr);
    if (!m_hTitle || !m_hList) return false;
    ::SendMessageW(m_hTitle, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SendMessageW(m_hList, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ListView_SetExtendedListViewStyle(m_hList,
                                      LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER);
    RECT unit{0, 0, 4, 0};
    ::MapDialogRect(parent, &unit);  // four dialog units: one average character
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const std::wstring header = WideFromUtf8(columns[c].header);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.fmt = columns[c].right ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = columns[c].chars * std::max<LONG>(1, unit.right);
        column.pszText = const_cast<wchar_t*>(header.c_str());
        column.iSubItem = static_cast<int>(c);
        ::SendMessageW(m_hList, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
    }
    m_nColumns = columns.size();
    return true;
}

void CListPane::SetTitle(std::string_view title) const {
    if (m_hTitle) ::SetWindowTextW(m_hTitle, WideFromUtf8(title).c_str());
}

void CListPane::Show(bool shown) const {
    for (HWND control : {m_hTitle, m_hList})
        if (control) ::ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
}

HDWP CListPane::Place(HDWP positions, int x, int y, int w, int h) const {
    if (!m_hList || !m_hTitle || !positions) return positions;
    const int line = std::min(h, ControlLineHeight(m_hTitle));
    positions = ::DeferWindowPos(positions, m_hTitle, nullptr, x, y, w, line,
                                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (positions)
        positions = ::DeferWindowPos(positions, m_hList, nullptr, x, y + line, w,
                                     std::max(0, h - line), SWP_NOZORDER | SWP_NOACTIVATE);
    return positions;
}

void CListPane::ShowSortArrow(int column, bool ascending) const {
    HWND header = m_hList ? ListView_GetHeader(m_hList) : nullptr;
    if (!header) return;
    for (std::size_t c = 0; c < m_nColumns; ++c) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        if (!::SendMessageW(header, HDM_GETITEMW, c, reinterpret_cast<LPARAM>(&item))) continue;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (static_cast<int>(c) == column) item.fmt |= ascending ? HDF_SORTUP : HDF_SORTDOWN;
        ::SendMessageW(header, HDM_SETITEMW, c, reinterpret_cast<LPARAM>(&item));
    }
}

void CListPane::SelectRow(int row) const {
    ListView_SetItemState(m_hList, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetSelectionMark(m_hList, row);
    ListView_EnsureVisible(m_hList, row, FALSE);
}

void CopyCellText(const std::wstring& text, wchar_t* out, int size) {
    if (!out || size <= 0) return;
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
    text.copy(out, n);
    out[n] = L'\0';
}

void SizeTip(NMLVGETINFOTIPW& tip, std::uint64_t size, const std::string& separator) {
    std::wstring text = tip.dwFlags & LVGIT_UNFOLDED || !tip.pszText ? L"" : tip.pszText;
    if (!text.empty()) text += L"\r\n";
    text += WideFromUtf8(GroupDigits(size, separator) + " bytes");
    CopyCellText(text, tip.pszText, tip.cchTextMax);
}

bool FocusArrived(const NMLISTVIEW& change, std::size_t count) {
    return (change.uChanged & LVIF_STATE) && change.iItem >= 0 &&
           static_cast<std::size_t>(change.iItem) < count && (change.uNewState & LVIS_FOCUSED) &&
           !(change.uOldState & LVIS_FOCUSED);
}

}  // namespace sizewalk
