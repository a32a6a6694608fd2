#include "core/treemap_controller.h"

#include <algorithm>
#include <new>
#include <utility>

#include "model/list_treemap_input.h"
#include "model/treemap_render.h"

namespace sizewalk {

CTreemapController::CTreemapController(Client& client, std::function<void()> ready)
    : m_client(client), m_queue(std::make_unique<CTreemapRenderQueue>(std::move(ready))) {}

CTreemapController::~CTreemapController() {
    m_queue.reset();  // joins the worker before the list or the client goes
}

void CTreemapController::SetList(const CScanList* list) {
    m_queue->Cancel();
    m_state.SetList(list);
    m_highlight.reset();
    m_picture.reset();  // the old list's picture must not stand for the new one
    m_client.TextsChanged();
    m_client.ZoomChanged(0);
    Rerender();
}

void CTreemapController::SetSizeMode(SizeMode mode) {
    if (!m_state.SetSizeMode(mode)) return;
    m_client.TextsChanged();
    Rerender();
}

void CTreemapController::SetHighlight(std::optional<FileTypeFilter> type) {
    if (type == m_highlight) return;
    m_highlight = std::move(type);
    if (List()) Rerender();
}

void CTreemapController::SetSelected(std::uint32_t index) {
    if (m_state.SetSelected(index)) m_client.PictureChanged();
}

bool CTreemapController::ZoomInto(std::uint32_t index) {
    if (!m_state.ZoomInto(index)) return false;
    RootChanged();
    return true;
}

bool CTreemapController::ZoomOut() {
    if (!m_state.ZoomOut()) return false;
    RootChanged();
    return true;
}

bool CTreemapController::ZoomHome() {
    if (!m_state.ZoomHome()) return false;
    RootChanged();
    return true;
}

bool CTreemapController::ZoomIntoSelected() {
    return Selected() != kNoNode && ZoomInto(Selected());
}

bool CTreemapController::CanZoomIntoSelected() const {
    if (!List() || Selected() == kNoNode) return false;
    const CListTreemapInput input(*List(), Mode());
    return TreemapZoomStep(input, Root(), Selected()) != kNoNode;
}

void CTreemapController::RootChanged() {
    m_client.TextsChanged();
    m_client.ZoomChanged(Root());
    Rerender();
}

void CTreemapController::SetSize(int width, int height) {
    m_nWidth = std::clamp(width, 0, kMaxTreemapSide);
    m_nHeight = std::clamp(height, 0, kMaxTreemapSide);
    if (m_nWidth != m_nAskedWidth || m_nHeight != m_nAskedHeight) Rerender();
}

void CTreemapController::Rerender() {
    if (!List()) {
        // Nothing to draw, and nothing to allocate for it.
        m_queue->Cancel();
        m_nAskedWidth = m_nAskedHeight = -1;
        m_picture.reset();
        m_client.PictureChanged();
        return;
    }
    TreemapRequest request;
    request.pList = List();
    request.mode = Mode();
    request.nRoot = Root();
    request.nWidth = m_nWidth;
    request.nHeight = m_nHeight;
    request.nLabelHeight = m_nLabelHeight;
    request.highlight = m_highlight;
    m_nAskedWidth = m_nWidth;
    m_nAskedHeight = m_nHeight;
    bool ready = false;
    try {
        ready = m_queue->Request(request);
    } catch (const std::bad_alloc&) {
        return;  // keeps the last picture
    }
    if (ready) Adopt(m_queue->Take());
}

void CTreemapController::OnPictureReady() { Adopt(m_queue->Take()); }

void CTreemapController::Adopt(std::unique_ptr<TreemapPicture> picture) {
    if (!picture) return;
    m_picture = std::move(picture);
    m_client.PictureChanged();
}

void CTreemapController::SetLabelHeight(int height) {
    height = std::clamp(height, 0, kMaxTreemapSide);
    if (height == m_nLabelHeight) return;
    m_nLabelHeight = height;
    Rerender();
}

const std::vector<TreemapLabel>& CTreemapController::Labels() const {
    static const std::vector<TreemapLabel> none;
    return m_picture && List() ? m_picture->labels : none;
}

int CTreemapController::PictureWidth() const {
    return m_picture && !m_picture->pixels.empty() ? m_picture->request.nWidth : 0;
}

int CTreemapController::PictureHeight() const {
    return m_picture && !m_picture->pixels.empty() ? m_picture->request.nHeight : 0;
}

void CTreemapController::Compose(std::span<std::uint32_t> pixels, int thickness) const {
    const int w = PictureWidth(), h = PictureHeight();
    if (w <= 0 || pixels.size() < m_picture->pixels.size()) return;
    std::copy(m_picture->pixels.begin(), m_picture->pixels.end(), pixels.begin());
    if (Selected() == kNoNode || !List()) return;
    const CListTreemapInput input(*List(), m_picture->request.mode);
    const std::uint32_t shown = m_picture->layout.VisibleAncestor(input, Selected());
    if (shown != kNoNode)
        DrawTreemapOutline(pixels.first(m_picture->pixels.size()), w, h,
                           m_picture->layout.Rect(shown), thickness);
}

std::uint32_t CTreemapController::IndexAt(int x, int y, int width, int height) const {
    if (!m_picture || !List() || m_picture->request.nWidth <= 0) return kNoNode;
    if (x < 0 || y < 0 || x >= width || y >= height) return kNoNode;
    // The picture may be older than the map's size: scale into it.
    const int px = static_cast<int>(static_cast<long long>(x) * m_picture->request.nWidth /
                                    std::max(1, width));
    const int py = static_cast<int>(static_cast<long long>(y) * m_picture->request.nHeight /
                                    std::max(1, height));
    const CListTreemapInput input(*List(), m_picture->request.mode);
    return m_picture->layout.HitTest(input, px, py);
}

std::string CTreemapController::PathText() const {
    if (!List() || Root() >= List()->Count()) return {};
    return List()->PathOf(Root());
}

std::string CTreemapController::Description() const {
    if (!List() || Root() >= List()->Count()) return "Treemap";
    std::string text = DescribeTreemap(*List(), Root(), Mode());
    int level = 0;
    for (std::size_t up = List()->ParentOf(Root()); up != CScanList::kNone;
         up = List()->ParentOf(up))
        ++level;
    if (level > 0) text += ", zoom level " + std::to_string(level);
    return text;
}

}  // namespace sizewalk
