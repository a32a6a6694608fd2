#include "model/treemap_state.h"

#include "model/list_treemap_input.h"
#include "model/treemap_layout.h"

namespace sizewalk {

void CTreemapState::SetList(const CScanList* list) {
    m_pList = list;
    m_nRoot = 0;
    m_nSelected = kNoNode;
}

bool CTreemapState::SetSizeMode(SizeMode mode) {
    if (mode == m_mode) return false;
    m_mode = mode;
    return true;
}

bool CTreemapState::SetSelected(std::uint32_t index) {
    if (!m_pList || index >= m_pList->Count()) index = kNoNode;
    if (index == m_nSelected) return false;
    m_nSelected = index;
    return true;
}

bool CTreemapState::ZoomInto(std::uint32_t index) {
    if (!m_pList || index >= m_pList->Count()) return false;
    const CListTreemapInput input(*m_pList, m_mode);
    const std::uint32_t target = TreemapZoomStep(input, m_nRoot, index);
    if (target == kNoNode) return false;
    m_nRoot = target;
    return true;
}

bool CTreemapState::ZoomOut() {
    if (!m_pList || m_nRoot == 0 || m_nRoot >= m_pList->Count()) return false;
    const std::size_t up = m_pList->ParentOf(m_nRoot);
    m_nRoot = up == CScanList::kNone ? 0 : static_cast<std::uint32_t>(up);
    return true;
}

bool CTreemapState::ZoomHome() {
    if (!m_pList || m_nRoot == 0) return false;
    m_nRoot = 0;
    return true;
}

}  // namespace sizewalk
