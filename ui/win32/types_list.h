#pragma once
// File Types in the tree's place: a virtual report list view over a
// CTypeTable, which it only adapts. Each kind's row shows its map colour
// as a swatch; its types are set in below it. It asks the table for a
// cell's text as the row scrolls into view, shows the table's sort column
// in its header, and leaves sorting, choosing and activating rows to the
// callbacks its owner sets. A line above it says what the table holds.

#include <windows.h>

#include <commctrl.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "model/type_table.h"
#include "ui/win32/list_pane.h"

namespace sizewalk {

class CTypesList {
public:
    struct Events {
        std::function<void(TypeColumn column, bool ascending)> sort;  // a header click
        std::function<void(std::size_t row)> chosen;                  // the current row moved
        std::function<void(std::size_t row)> activated;               // Enter, a double click
    };

    CTypesList() = default;
    ~CTypesList();
    CTypesList(const CTypesList&) = delete;
    CTypesList& operator=(const CTypesList&) = delete;

    // Both controls hidden, children of `parent`; false when they could not
    // be made.
    bool Create(HWND parent, int listId, int titleId, HFONT font);
    HWND Window() const { return m_pane.List(); }
    HWND Title() const { return m_pane.Title(); }
    void SetEvents(Events events) { m_events = std::move(events); }
    void SetSeparator(std::string separator) { m_strSeparator = std::move(separator); }

    // The table on show (null: none); the same table again re-reads its
    // count and order. `row` is selected (npos: none), reporting no choice.
    void SetTable(const CTypeTable* table, std::size_t row);
    const CTypeTable* Table() const { return m_pTable; }
    void SetTitle(std::string_view title);
    void Show(bool shown);
    bool IsShown() const;
    HDWP Place(HDWP positions, int x, int y, int w, int h) const;
    // Enter on the list: the focused row activated.
    void ActivateCurrent();

    bool OnNotify(const NMHDR& header, LRESULT& result);

private:
    void ShowSortColumn() const;

    CListPane m_pane;
    HIMAGELIST m_hSwatches = nullptr;
    const CTypeTable* m_pTable = nullptr;
    Events m_events;
    std::string m_strSeparator = ",";
    std::wstring m_cell;
    bool m_bSelecting = false;
};

}  // namespace sizewalk
