#pragma once
// The flat list that takes the tree's place (the largest files, a search's
// results): a virtual report list view over a CRowTable, which it only
// adapts. It asks the table for a cell's text as the row scrolls into view,
// shows the table's sort column in its header, and leaves sorting, choosing
// and activating rows to the callbacks its owner sets. A line above it says
// what the list holds.

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "model/row_table.h"
#include "model/scan_tree.h"
#include "ui/win32/list_pane.h"

namespace sizewalk {

class CRowsList {
public:
    // What the list reports to its owner.
    struct Events {
        std::function<void(RowColumn column, bool ascending)> sort;  // a header click
        std::function<void(CScanTree::Item item)> chosen;            // the current row moved
        std::function<void(CScanTree::Item item)> activated;         // Enter, a double click
    };

    // Both controls hidden, children of `parent`; false when they could not
    // be made.
    bool Create(HWND parent, int listId, int titleId, HFONT font);
    HWND Window() const { return m_pane.List(); }
    HWND Title() const { return m_pane.Title(); }
    void SetEvents(Events events) { m_events = std::move(events); }
    // The digit group separator of the exact size in a row's tip.
    void SetSeparator(std::string separator) { m_strSeparator = std::move(separator); }

    // The rows on show (null: none) under `title`; the same table again
    // re-reads its count and order.
    void SetRows(const CRowTable* rows, std::string_view title);
    const CRowTable* Rows() const { return m_pRows; }
    void Show(bool shown);
    bool IsShown() const;
    // The title line above the list, the list in the rest.
    HDWP Place(HDWP positions, int x, int y, int w, int h) const;

    // The selected rows' items, the focused row first.
    std::vector<CScanTree::Item> SelectedItems() const;
    // Selects the item's row alone, in view (kNoItem or no row: none, the
    // first row current so that the focus shows), reporting no choice.
    void Select(CScanTree::Item item);
    // Enter on the list: the focused row activated.
    void ActivateCurrent();

    // The list's notifications to its parent; true when handled, with the
    // result in `result`.
    bool OnNotify(const NMHDR& header, LRESULT& result);

private:
    void ShowSortColumn() const;

    CListPane m_pane;
    const CRowTable* m_pRows = nullptr;
    Events m_events;
    std::string m_strSeparator = ",";
    std::wstring m_cell;        // the text last given out: the list copies it
    bool m_bSelecting = false;  // Select() moves the selection: no choice
};

}  // namespace sizewalk
