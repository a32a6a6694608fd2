#pragma once
// What a treemap pane shows, whatever draws it: the list, the size on show,
// the directory it is zoomed into and the item it outlines. Both panes (Qt
// and Win32) keep one and redraw when a call says something changed.

#include <cstdint>

#include "model/treemap_input.h"
#include "scan/scan_entry.h"
#include "scan/scan_list.h"

namespace sizewalk {

class CTreemapState {
public:
    // A new list (null: none) shows from its top with nothing outlined.
    void SetList(const CScanList* list);
    const CScanList* List() const { return m_pList; }
    // Each returns whether anything changed.
    bool SetSizeMode(SizeMode mode);
    // An index outside the list outlines nothing.
    bool SetSelected(std::uint32_t index);
    // One level into the root's child directory that holds a tile (none for
    // a file directly in the root), one directory up, and back to the top.
    bool ZoomInto(std::uint32_t index);
    bool ZoomOut();
    bool ZoomHome();

    SizeMode Mode() const { return m_mode; }
    std::uint32_t Root() const { return m_nRoot; }
    std::uint32_t Selected() const { return m_nSelected; }

private:
    const CScanList* m_pList = nullptr;
    SizeMode m_mode = SizeMode::Apparent;
    std::uint32_t m_nRoot = 0;
    std::uint32_t m_nSelected = kNoNode;
};

}  // namespace sizewalk
