#pragma once
// The details columns of the Win32 tree. A tree-view control has no
// columns: a header control stands above the tree, and the tree's custom
// draw paints each row's cells (model/detail_columns.h) after the row, in the
// header's column positions. The first column is the tree's own labels.
// Clicking a header asks for its column's order (the owner forwards it).

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <string>

#include "model/detail_columns.h"
#include "model/scan_tree.h"

namespace sizewalk {

class CDetailsColumns {
public:
    // Creates the header, hidden, as the child `id` of `dialog`, in `font`.
    void Create(HWND dialog, int id, HFONT font);
    HWND Header() const { return m_hHeader; }
    bool IsShown() const { return m_bShown; }
    void Show(bool shown);
    // The header's height for its font (0 while hidden).
    int Height() const;
    // Places the header at the top of the tree's room (x, y, w), the
    // details columns at its right; `dialog` maps their dialog-unit widths.
    HDWP Place(HDWP positions, HWND dialog, int x, int y, int w);
    // The sort arrow over the column that shows `order`.
    void ShowSortOrder(SortOrder order);
    // The column a header notification clicked, or -1.
    int ClickedColumn(const NMHDR& header) const;

    // The tree's NM_CUSTOMDRAW while shown: asks for each row's post-paint
    // and paints the row's cells then. `item` gives the scan-tree item of a
    // control item.
    template <class ItemOf>
    LRESULT OnCustomDraw(NMTVCUSTOMDRAW& draw, const CScanTree* tree, SizeMode mode,
                         const std::string& separator, ItemOf item) {
        switch (draw.nmcd.dwDrawStage) {
            case CDDS_PREPAINT:
                return m_bShown ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
            case CDDS_ITEMPREPAINT:
                return CDRF_NOTIFYPOSTPAINT;
            case CDDS_ITEMPOSTPAINT:
                if (tree) {
                    const CScanTree::Item shown =
                        item(reinterpret_cast<HTREEITEM>(draw.nmcd.dwItemSpec));
                    if (shown != CScanTree::kNoItem)
                        PaintRow(draw.nmcd.hdc, draw.nmcd.hdr.hwndFrom, draw.nmcd.rc, *tree, shown,
                                 mode, separator);
                }
                return CDRF_DODEFAULT;
        }
        return CDRF_DODEFAULT;
    }
    // The text of a cell as drawn (tests, and the accessible name of a bar).
    static std::wstring CellText(const CScanTree& tree, CScanTree::Item item, DetailColumn column,
                                 SizeMode mode, const std::string& separator);

private:
    void PaintRow(HDC dc, HWND tree, const RECT& row, const CScanTree& scan, CScanTree::Item item,
                  SizeMode mode, const std::string& separator) const;

    HWND m_hHeader = nullptr;
    bool m_bShown = false;
};

}  // namespace sizewalk
