#include "ui/win32/types_list.h"

#include <algorithm>
#include <vector>

#include "model/size_text.h"
#include "model/treemap_render.h"
#include "platform/wide_text_win32.h"
#include "ui/win32/list_view_cells.h"

namespace sizewalk {

namespace {

constexpr int kSwatch = 12;
// The number columns' widths in dialog-font average characters; the type
// takes the rest.
constexpr int kNumberChars = 10;

// The kinds' colours, in FileKind order, with a dark edge so that a light
// one still shows on a light background.
HIMAGELIST MakeSwatches() {
    HIMAGELIST list = ImageList_Create(kSwatch, kSwatch, ILC_COLOR32, kFileKindCount, 0);
    if (!list) return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kSwatch;
    info.bmiHeader.biHeight = -kSwatch;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    for (int k = 0; k < kFileKindCount; ++k) {
        const std::uint32_t color = TreemapKindColor(static_cast<FileKind>(k));
        std::vector<std::uint32_t> pixels(kSwatch * kSwatch, color | 0xFF000000u);
        for (int i = 0; i < kSwatch; ++i)
            for (const int at :
                 {i, (kSwatch - 1) * kSwatch + i, i * kSwatch, i * kSwatch + kSwatch - 1})
                pixels[static_cast<std::size_t>(at)] = 0xFF505050u;
        HDC screen = ::GetDC(nullptr);
        HBITMAP bitmap = ::CreateDIBitmap(screen, &info.bmiHeader, CBM_INIT, pixels.data(), &info,
                                          DIB_RGB_COLORS);
        ::ReleaseDC(nullptr, screen);
        if (bitmap) {
            ImageList_Add(list, bitmap, nullptr);
            ::DeleteObject(bitmap);
        }
    }
    return list;
}

}  // namespace

CTypesList::~CTypesList() {
    if (m_hSwatches) ImageList_Destroy(m_hSwatches);
}

bool CTypesList::Create(HWND parent, int listId, int titleId, HFONT font) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    m_hTitle = ::CreateWindowExW(
        0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_ENDELLIPSIS | SS_NOPREFIX, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(titleId)), instance, nullptr);
    m_hList = ::CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"File Types",
        WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0,
        0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(listId)), instance, nullptr);
    if (!m_hTitle || !m_hList) return false;
    ::SendMessageW(m_hTitle, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SendMessageW(m_hList, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ListView_SetExtendedListViewStyle(m_hList,
                                      LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER);
    m_hSwatches = MakeSwatches();
    if (m_hSwatches) ListView_SetImageList(m_hList, m_hSwatches, LVSIL_SMALL);
    RECT unit{0, 0, 4, 0};
    ::MapDialogRect(parent, &unit);  // four dialog units: one average character
    for (std::size_t c = 0; c < kTypeColumnCount; ++c) {
        const auto which = static_cast<TypeColumn>(c);
        const std::wstring header = WideFromUtf8(CTypeTable::Header(which));
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.fmt = which == TypeColumn::Type ? LVCFMT_LEFT : LVCFMT_RIGHT;
        column.cx = (which == TypeColumn::Type ? 24 : kNumberChars) * std::max<LONG>(1, unit.right);
        column.pszText = const_cast<wchar_t*>(header.c_str());
        column.iSubItem = static_cast<int>(c);
        ::SendMessageW(m_hList, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
    }
    return true;
}

void CTypesList::SetTable(const CTypeTable* table, std::size_t row) {
    m_pTable = table;
    if (!m_hList) return;
    m_bSelecting = true;
    ListView_SetItemState(m_hList, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemCountEx(m_hList, table ? static_cast<int>(table->RowCount()) : 0, 0);
    if (table && row < table->RowCount()) {
        const auto at = static_cast<int>(row);
        ListView_SetItemState(m_hList, at, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetSelectionMark(m_hList, at);
        ListView_EnsureVisible(m_hList, at, FALSE);
    }
    m_bSelecting = false;
    ShowSortColumn();
    ::InvalidateRect(m_hList, nullptr, TRUE);
}

void CTypesList::SetTitle(std::string_view title) {
    if (m_hTitle) ::SetWindowTextW(m_hTitle, WideFromUtf8(title).c_str());
}

void CTypesList::ShowSortColumn() const {
    HWND header = ListView_GetHeader(m_hList);
    if (!header) return;
    for (std::size_t c = 0; c < kTypeColumnCount; ++c) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        if (!::SendMessageW(header, HDM_GETITEMW, c, reinterpret_cast<LPARAM>(&item))) continue;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (m_pTable && m_pTable->SortColumn() == static_cast<TypeColumn>(c))
            item.fmt |= m_pTable->SortAscending() ? HDF_SORTUP : HDF_SORTDOWN;
        ::SendMessageW(header, HDM_SETITEMW, c, reinterpret_cast<LPARAM>(&item));
    }
}

void CTypesList::Show(bool shown) {
    for (HWND control : {m_hTitle, m_hList})
        if (control) ::ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
}

bool CTypesList::IsShown() const { return m_hList && ::IsWindowVisible(m_hList); }

HDWP CTypesList::Place(HDWP positions, int x, int y, int w, int h) const {
    if (!m_hList || !m_hTitle) return positions;
    const int line = std::min(h, ControlLineHeight(m_hTitle));
    if (positions)
        positions = ::DeferWindowPos(positions, m_hTitle, nullptr, x, y, w, line,
                                     SWP_NOZORDER | SWP_NOACTIVATE);
    int fixed = 0;
    for (int c = 1; c < static_cast<int>(kTypeColumnCount); ++c)
        fixed += ListView_GetColumnWidth(m_hList, c);
    const int rest = w - fixed - ::GetSystemMetrics(SM_CXVSCROLL) - 4;
    ListView_SetColumnWidth(m_hList, 0, std::max(rest, 80));
    if (positions)
        positions = ::DeferWindowPos(positions, m_hList, nullptr, x, y + line, w,
                                     std::max(0, h - line), SWP_NOZORDER | SWP_NOACTIVATE);
    return positions;
}

void CTypesList::ActivateCurrent() {
    const int row = m_hList ? ListView_GetNextItem(m_hList, -1, LVNI_FOCUSED) : -1;
    if (!m_pTable || row < 0 || static_cast<std::size_t>(row) >= m_pTable->RowCount()) return;
    if (m_events.activated) m_events.activated(static_cast<std::size_t>(row));
}

bool CTypesList::OnNotify(const NMHDR& header, LRESULT& result) {
    if (!m_hList || header.hwndFrom != m_hList) return false;
    result = 0;
    const std::size_t count = m_pTable ? m_pTable->RowCount() : 0;
    switch (header.code) {
        case LVN_GETDISPINFOW: {
            auto& info = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header));
            const auto row = static_cast<std::size_t>(info.item.iItem);
            if (row >= count || info.item.iSubItem < 0 ||
                info.item.iSubItem >= static_cast<int>(kTypeColumnCount))
                return true;
            const bool kind = m_pTable->IsKind(row);
            if (info.item.iSubItem == 0) {
                // A kind's swatch; its types set in by a swatch's width.
                if (info.item.mask & LVIF_IMAGE)
                    info.item.iImage = kind ? static_cast<int>(m_pTable->Kind(row)) : I_IMAGENONE;
                if (info.item.mask & LVIF_INDENT) info.item.iIndent = kind ? 0 : 1;
            }
            if (info.item.mask & LVIF_TEXT) {
                m_cell =
                    WideFromUtf8(m_pTable->Text(row, static_cast<TypeColumn>(info.item.iSubItem)));
                CopyCellText(m_cell, info.item.pszText, info.item.cchTextMax);
            }
            return true;
        }
        case LVN_GETINFOTIPW: {
            auto& tip =
                const_cast<NMLVGETINFOTIPW&>(reinterpret_cast<const NMLVGETINFOTIPW&>(header));
            const auto row = static_cast<std::size_t>(tip.iItem);
            if (row >= count) return true;
            std::wstring text = tip.dwFlags & LVGIT_UNFOLDED || !tip.pszText ? L"" : tip.pszText;
            if (!text.empty()) text += L"\r\n";
            text += WideFromUtf8(GroupDigits(m_pTable->Size(row), m_strSeparator) + " bytes");
            CopyCellText(text, tip.pszText, tip.cchTextMax);
            return true;
        }
        case LVN_COLUMNCLICK: {
            const int column = reinterpret_cast<const NMLISTVIEW&>(header).iSubItem;
            if (!m_pTable || column < 0 || column >= static_cast<int>(kTypeColumnCount))
                return true;
            const auto chosen = static_cast<TypeColumn>(column);
            // The same column turns the order round; a number starts largest first.
            const bool ascending = chosen == m_pTable->SortColumn() ? !m_pTable->SortAscending()
                                                                    : chosen == TypeColumn::Type;
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
            if (gained && m_events.chosen) m_events.chosen(static_cast<std::size_t>(change.iItem));
            return true;
        }
        case LVN_KEYDOWN:
            if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_RETURN) ActivateCurrent();
            return true;
        case NM_DBLCLK: {
            const int row = reinterpret_cast<const NMITEMACTIVATE&>(header).iItem;
            if (row >= 0 && static_cast<std::size_t>(row) < count && m_events.activated)
                m_events.activated(static_cast<std::size_t>(row));
            return true;
        }
    }
    return false;
}

}  // namespace sizewalk
