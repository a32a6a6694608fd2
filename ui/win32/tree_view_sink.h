#pragma once
// The scan command's tree sink over a tree-view control: every item carries
// its own label text, inserted in the control's sorted position under its
// parent. Redrawing is held off while a fill runs and resumes when it ends
// or the tree is emptied.

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "ui/tree_sink.h"

namespace sizewalk {

class CTreeViewSink : public CTreeSink {
public:
    explicit CTreeViewSink(HWND tree);
    ~CTreeViewSink() override;
    CTreeViewSink(const CTreeViewSink&) = delete;
    CTreeViewSink& operator=(const CTreeViewSink&) = delete;

    void DeleteAllItems() override;
    void ReserveItems(std::size_t count) override;
    // Throws std::bad_alloc when the control cannot take another item.
    TreeItem InsertItem(TreeItem parent, const CScanEntry& entry, int nUnits) override;
    void EndInsert() override;

    // The longest label text an item gets, in bytes; longer ones are cut.
    static constexpr std::size_t kMaxLabel = 511;

private:
    void ResumeRedraw();

    HWND m_hTree;
    std::vector<HTREEITEM> m_items;  // by handle - 1: the control's own items
    bool m_bRedrawHeld = false;
    std::string m_label;  // formatted here, then copied into m_szLabel
    char m_szLabel[kMaxLabel + 1] = {};
    TVINSERTSTRUCTA m_insert{};
};

}  // namespace sizewalk
