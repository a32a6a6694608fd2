#include "ui/win32/types_list.h"

#include <algorithm>
#include <vector>

#include "model/size_text.h"
#include "model/treemap_render.h"
#include "platform/wide_text_win32.h"
#include "ui/win32/list_pane.h"

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
    ListColumn columns[kTypeColumnCount];
    for (std::size_t c = 0; c < kTypeColumnCount; ++c) {
        const auto which = static_cast<TypeColumn>(c);
        columns[c] = {CTypeTable::Header(which), which == TypeColumn::Type ? 24 : kNumberChars,
                      which != TypeColumn::Type};
    }
    if (!m_pane.Create(parent, listId, titleId, font, L"File Types", LVS_SINGLESEL, columns))
        return false;
    m_hSwatches = MakeSwatches();
    if (m_hSwatches) ListView_SetImageList(m_pane.List(), m_hSwatches, LVSIL_SMALL);
    return true;
}

void CTypesList::SetTable(const CTypeTable* table, std::size_t row) {
    m_pTable = table;
    if (!m_pane.List()) return;
    m_bSelecting = true;
    ListView_SetItemState(m_pane.List(), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemCountEx(m_pane.List(), table ? static_cast<int>(table->RowCount()) : 0, 0);
    if (table && row < table->RowCount()) {
        m_pane.SelectRow(static_cast<int>(row));
    }
    m_bSelecting = false;
    ShowSortColumn();
    ::InvalidateRect(m_pane.List(), nullptr, TRUE);
}

void CTypesList::SetTitle(std::string_view title) { m_pane.SetTitle(title); }

void CTypesList::ShowSortColumn() const {
    m_pane.ShowSortArrow(m_pTable ? static_cast<int>(m_pTable->SortColumn()) : -1,
                         m_pTable && m_pTable->SortAscending());
}

void CTypesList::Show(bool shown) { m_pane.Show(shown); }

bool CTypesList::IsShown() const { return m_pane.IsShown(); }

HDWP CTypesList::Place(HDWP positions, int x, int y, int w, int h) const {
    if (!m_pane.List()) return positions;
    int fixed = 0;
    for (int c = 1; c < static_cast<int>(kTypeColumnCount); ++c)
        fixed += ListView_GetColumnWidth(m_pane.List(), c);
    const int rest = w - fixed - ::GetSystemMetrics(SM_CXVSCROLL) - 4;
    ListView_SetColumnWidth(m_pane.List(), 0, std::max(rest, 80));
    return m_pane.Place(positions, x, y, w, h);
}

void CTypesList::ActivateCurrent() {
    const int row = m_pane.FocusedRow();
    if (!m_pTable || row < 0 || static_cast<std::size_t>(row) >= m_pTable->RowCount()) return;
    if (m_events.activated) m_events.activated(static_cast<std::size_t>(row));
}

bool CTypesList::OnNotify(const NMHDR& header, LRESULT& result) {
    if (!m_pane.List() || header.hwndFrom != m_pane.List()) return false;
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
            if (row < count) SizeTip(tip, m_pTable->Size(row), m_strSeparator);
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
            if (!m_bSelecting && FocusArrived(change, count) && m_events.chosen)
                m_events.chosen(static_cast<std::size_t>(change.iItem));
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
