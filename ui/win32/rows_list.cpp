#include "ui/win32/rows_list.h"

#include <commctrl.h>

#include <algorithm>

#include "model/size_text.h"
#include "platform/wide_text_win32.h"
#include "ui/win32/list_pane.h"

namespace sizewalk {

namespace {

// The columns' widths in dialog-font average characters: the size and
// the time keep theirs, the name and the folder share the rest.
constexpr int kColumnChars[kRowColumnCount] = {14, 20, 9, 19};

}  // namespace

bool CRowsList::Create(HWND parent, int listId, int titleId, HFONT font) {
    ListColumn columns[kRowColumnCount];
    for (std::size_t c = 0; c < kRowColumnCount; ++c)
        columns[c] = {CRowTable::Header(static_cast<RowColumn>(c)), kColumnChars[c],
                      static_cast<RowColumn>(c) == RowColumn::Size};
    return m_pane.Create(parent, listId, titleId, font, L"Rows", 0, columns);
}

void CRowsList::SetRows(const CRowTable* rows, std::string_view title) {
    m_pRows = rows;
    m_pane.SetTitle(title);
    if (!m_pane.List()) return;
    // A new count drops the selection: the rows it named may be others now.
    m_bSelecting = true;
    ListView_SetItemState(m_pane.List(), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemCountEx(m_pane.List(), rows ? static_cast<int>(rows->RowCount()) : 0, 0);
    m_bSelecting = false;
    ShowSortColumn();
    ::InvalidateRect(m_pane.List(), nullptr, TRUE);
}

void CRowsList::ShowSortColumn() const {
    m_pane.ShowSortArrow(m_pRows ? static_cast<int>(m_pRows->SortColumn()) : -1,
                         m_pRows && m_pRows->SortAscending());
}

void CRowsList::Show(bool shown) { m_pane.Show(shown); }

bool CRowsList::IsShown() const { return m_pane.IsShown(); }

HDWP CRowsList::Place(HDWP positions, int x, int y, int w, int h) const {
    if (!m_pane.List()) return positions;
    const int fixed =
        ListView_GetColumnWidth(m_pane.List(), 2) + ListView_GetColumnWidth(m_pane.List(), 3);
    const int rest = std::max(0, w - fixed - ::GetSystemMetrics(SM_CXVSCROLL) - 4);
    if (rest > 0) {
        ListView_SetColumnWidth(m_pane.List(), 0, std::max(rest * 2 / 5, 60));
        ListView_SetColumnWidth(m_pane.List(), 1, std::max(rest - rest * 2 / 5, 80));
    }
    return m_pane.Place(positions, x, y, w, h);
}

std::vector<CScanTree::Item> CRowsList::SelectedItems() const {
    std::vector<CScanTree::Item> items;
    if (!m_pRows || !m_pane.List()) return items;
    const auto count = static_cast<int>(m_pRows->RowCount());
    const int focused = m_pane.FocusedRow();
    if (focused >= 0 && focused < count &&
        ListView_GetItemState(m_pane.List(), focused, LVIS_SELECTED) & LVIS_SELECTED)
        items.push_back(m_pRows->ItemAt(static_cast<std::size_t>(focused)));
    for (int row = ListView_GetNextItem(m_pane.List(), -1, LVNI_SELECTED); row >= 0 && row < count;
         row = ListView_GetNextItem(m_pane.List(), row, LVNI_SELECTED))
        if (row != focused) items.push_back(m_pRows->ItemAt(static_cast<std::size_t>(row)));
    return items;
}

void CRowsList::Select(CScanTree::Item item) {
    if (!m_pane.List()) return;
    m_bSelecting = true;
    ListView_SetItemState(m_pane.List(), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    const std::size_t row =
        m_pRows && item != CScanTree::kNoItem ? m_pRows->RowOf(item) : CRowTable::npos;
    if (row != CRowTable::npos) {
        m_pane.SelectRow(static_cast<int>(row));
    } else if (ListView_GetItemCount(m_pane.List()) > 0) {
        // None chosen: the first row is current, so that the list's focus
        // shows; nothing is selected or reported.
        ListView_SetItemState(m_pane.List(), 0, LVIS_FOCUSED, LVIS_FOCUSED);
    }
    m_bSelecting = false;
}

void CRowsList::ActivateCurrent() {
    const int row = m_pane.FocusedRow();
    if (!m_pRows || row < 0 || static_cast<std::size_t>(row) >= m_pRows->RowCount()) return;
    if (m_events.activated) m_events.activated(m_pRows->ItemAt(static_cast<std::size_t>(row)));
}

bool CRowsList::OnNotify(const NMHDR& header, LRESULT& result) {
    if (!m_pane.List() || header.hwndFrom != m_pane.List()) return false;
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
            if (row < count) SizeTip(tip, m_pRows->Size(row), m_strSeparator);
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
            if (!m_bSelecting && FocusArrived(change, count) && m_events.chosen)
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
