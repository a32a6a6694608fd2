#include "ui/win32/details_columns.h"

#include <algorithm>
#include <cmath>

#include "platform/wide_text_win32.h"

namespace sizewalk {

namespace {

// Widths of the details columns in dialog units: room for "at least
// 1,023.9 KB" and "2026-12-10 03:24".
constexpr int kWidths[kDetailColumnCount] = {0, 54, 72, 48, 68};

// A colour between `a` and `b`, `share` of the way to `b`.
COLORREF Mix(COLORREF a, COLORREF b, double share) {
    auto channel = [share](int x, int y) {
        return static_cast<BYTE>(std::lround(x + (y - x) * share));
    };
    return RGB(channel(GetRValue(a), GetRValue(b)), channel(GetGValue(a), GetGValue(b)),
               channel(GetBValue(a), GetBValue(b)));
}

}  // namespace

void CDetailsColumns::Create(HWND dialog, int id, HFONT font) {
    m_hHeader = ::CreateWindowExW(0, WC_HEADERW, nullptr, WS_CHILD | HDS_BUTTONS | HDS_HORZ, 0, 0,
                                  0, 0, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  ::GetModuleHandleW(nullptr), nullptr);
    if (!m_hHeader) return;
    ::SendMessageW(m_hHeader, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (int c = 0; c < kDetailColumnCount; ++c) {
        std::wstring text = WideFromUtf8(std::string(DetailHeader(static_cast<DetailColumn>(c))));
        HDITEMW column{};
        column.mask = HDI_TEXT | HDI_FORMAT | HDI_WIDTH;
        column.pszText = text.data();
        column.fmt = HDF_STRING | (c == 0 ? HDF_LEFT : HDF_RIGHT);
        ::SendMessageW(m_hHeader, HDM_INSERTITEMW, static_cast<WPARAM>(c),
                       reinterpret_cast<LPARAM>(&column));
    }
}

void CDetailsColumns::Show(bool shown) {
    m_bShown = shown;
    if (m_hHeader) ::ShowWindow(m_hHeader, shown ? SW_SHOWNA : SW_HIDE);
}

int CDetailsColumns::Height() const {
    if (!m_bShown || !m_hHeader) return 0;
    RECT room{0, 0, 1000, 1000};
    WINDOWPOS pos{};
    HDLAYOUT layout{&room, &pos};
    return ::SendMessageW(m_hHeader, HDM_LAYOUT, 0, reinterpret_cast<LPARAM>(&layout)) ? pos.cy : 0;
}

HDWP CDetailsColumns::Place(HDWP positions, HWND dialog, int x, int y, int w) {
    if (!m_hHeader || !positions) return positions;
    int rest = w - ::GetSystemMetrics(SM_CXVSCROLL) - 2 * ::GetSystemMetrics(SM_CXEDGE);
    for (int c = kDetailColumnCount - 1; c >= 0; --c) {
        RECT r{0, 0, kWidths[c], 0};
        ::MapDialogRect(dialog, &r);
        // The labels keep two fifths of a narrow tree; the columns then run
        // past its edge (wider window, or narrower columns, to see them).
        const int width = c == 0 ? std::max(rest, w * 2 / 5) : r.right;
        rest -= width;
        HDITEMW column{};
        column.mask = HDI_WIDTH;
        column.cxy = width;
        ::SendMessageW(m_hHeader, HDM_SETITEMW, static_cast<WPARAM>(c),
                       reinterpret_cast<LPARAM>(&column));
    }
    return ::DeferWindowPos(positions, m_hHeader, nullptr, x, y, w, Height(),
                            SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDetailsColumns::ShowSortOrder(SortOrder order) {
    if (!m_hHeader) return;
    const int sorted = static_cast<int>(DetailColumnOf(order));
    for (int c = 0; c < kDetailColumnCount; ++c) {
        HDITEMW column{};
        column.mask = HDI_FORMAT;
        ::SendMessageW(m_hHeader, HDM_GETITEMW, static_cast<WPARAM>(c),
                       reinterpret_cast<LPARAM>(&column));
        column.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (c == sorted) column.fmt |= order == SortOrder::Name ? HDF_SORTUP : HDF_SORTDOWN;
        ::SendMessageW(m_hHeader, HDM_SETITEMW, static_cast<WPARAM>(c),
                       reinterpret_cast<LPARAM>(&column));
    }
}

int CDetailsColumns::ClickedColumn(const NMHDR& header) const {
    if (!m_hHeader || header.hwndFrom != m_hHeader ||
        (header.code != HDN_ITEMCLICKW && header.code != HDN_ITEMCLICKA))
        return -1;
    const int column = reinterpret_cast<const NMHEADERW&>(header).iItem;
    return column >= 0 && column < kDetailColumnCount ? column : -1;
}

std::wstring CDetailsColumns::CellText(const CScanTree& tree, CScanTree::Item item,
                                       DetailColumn column, SizeMode mode,
                                       const std::string& separator) {
    return WideFromUtf8(DetailText(tree, item, column, mode, separator));
}

void CDetailsColumns::PaintRow(HDC dc, HWND tree, const RECT& row, const CScanTree& scan,
                               CScanTree::Item item, SizeMode mode,
                               const std::string& separator) const {
    const COLORREF window = ::GetSysColor(COLOR_WINDOW);
    const COLORREF bar = Mix(window, ::GetSysColor(COLOR_HIGHLIGHT), 0.45);
    // The row's own font: after its paint the context may hold another.
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(tree, WM_GETFONT, 0, 0));
    const HGDIOBJ oldFont = font ? ::SelectObject(dc, font) : nullptr;
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    for (int c = 1; c < kDetailColumnCount; ++c) {
        RECT cell{};
        if (!::SendMessageW(m_hHeader, HDM_GETITEMRECT, static_cast<WPARAM>(c),
                            reinterpret_cast<LPARAM>(&cell)))
            continue;
        ::MapWindowPoints(m_hHeader, tree, reinterpret_cast<POINT*>(&cell), 2);
        cell.top = row.top;
        cell.bottom = row.bottom;
        HBRUSH background = ::CreateSolidBrush(window);
        ::FillRect(dc, &cell, background);  // over a label that runs this far
        ::DeleteObject(background);
        const auto column = static_cast<DetailColumn>(c);
        if (column == DetailColumn::Percent) {
            const double share = std::clamp(ShareOfParent(scan, item, mode).fFraction, 0.0, 1.0);
            RECT filled{cell.left + 2, cell.top + 2, cell.right - 2, cell.bottom - 2};
            filled.right =
                filled.left + static_cast<int>(std::lround((filled.right - filled.left) * share));
            if (filled.right > filled.left) {
                HBRUSH brush = ::CreateSolidBrush(bar);
                ::FillRect(dc, &filled, brush);
                ::DeleteObject(brush);
            }
        }
        std::wstring text = CellText(scan, item, column, mode, separator);
        RECT inner{cell.left + 3, cell.top, cell.right - 3, cell.bottom};
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &inner,
                    DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS |
                        (column == DetailColumn::Modified ? DT_LEFT : DT_RIGHT));
    }
    ::SetTextColor(dc, oldColor);
    ::SetBkMode(dc, oldMode);
    if (oldFont) ::SelectObject(dc, oldFont);
}

}  // namespace sizewalk
