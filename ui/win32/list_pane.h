#pragma once
// What the owner-data report lists in the tree's place share: a title line
// above a list view, made hidden, shown and placed together; the header's
// sort arrow; the exact size after a cell's tip; and handing a cell's text
// to the list, which copies it into a buffer of its own size.

#include <windows.h>

#include <commctrl.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace sizewalk {

struct ListColumn {
    std::string_view header;
    int chars;  // width in dialog-font average characters
    bool right;
};

class CListPane {
public:
    // The title and the list (named `name` for a screen reader, with the
    // list styles `styles` beside the report's), hidden, children of
    // `parent`; false when they could not be made.
    bool Create(HWND parent, int listId, int titleId, HFONT font, const wchar_t* name, DWORD styles,
                std::span<const ListColumn> columns);
    HWND List() const { return m_hList; }
    HWND Title() const { return m_hTitle; }
    void SetTitle(std::string_view title) const;
    void Show(bool shown) const;
    bool IsShown() const { return m_hList && ::IsWindowVisible(m_hList); }
    // The title line at the top of the room, the list in the rest.
    HDWP Place(HDWP positions, int x, int y, int w, int h) const;
    // The header's arrow on `column` (none when negative).
    void ShowSortArrow(int column, bool ascending) const;
    int FocusedRow() const {
        return m_hList ? ListView_GetNextItem(m_hList, -1, LVNI_FOCUSED) : -1;
    }
    // Selects and focuses `row` alone, in view.
    void SelectRow(int row) const;

private:
    HWND m_hList = nullptr;
    HWND m_hTitle = nullptr;
    std::size_t m_nColumns = 0;
};

// The height of a line of `control`'s font, with a little room.
int ControlLineHeight(HWND control);
// Copies `text` into the list's buffer of `size` units, cut to fit.
void CopyCellText(const std::wstring& text, wchar_t* out, int size);
// The tip of a row: the text the list cut, if it did, then the exact size.
void SizeTip(NMLVGETINFOTIPW& tip, std::uint64_t size, const std::string& separator);
// Whether a change moved the focus onto a row below `count`.
bool FocusArrived(const NMLISTVIEW& change, std::size_t count);

}  // namespace sizewalk
