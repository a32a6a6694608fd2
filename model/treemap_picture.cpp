#include "model/treemap_picture.h"

#include <algorithm>
#include <utility>

#include "model/treemap_render.h"

namespace sizewalk {

std::unique_ptr<TreemapPicture> MakeTreemapPicture(const TreemapRequest& request) {
    auto picture = std::make_unique<TreemapPicture>();
    picture->request = request;
    if (!request.pList || request.pList->Empty()) {
        picture->request.nWidth = picture->request.nHeight = 0;
        return picture;
    }
    const CListTreemapInput input(*request.pList, request.mode);
    picture->layout.Layout(input, request.nRoot, request.nWidth, request.nHeight);
    // The layout clamps the size; the picture is what it laid out.
    picture->request.nWidth = picture->layout.Width();
    picture->request.nHeight = picture->layout.Height();
    picture->pixels.resize(static_cast<std::size_t>(picture->layout.Width()) *
                           static_cast<std::size_t>(picture->layout.Height()));
    RenderTreemap(input, picture->layout, picture->pixels, {},
                  request.highlight ? &*request.highlight : nullptr);
    if (request.nLabelHeight > 0) {
        TreemapLabelOptions options;
        options.nHeight = request.nLabelHeight;
        // As wide as some four letters are tall: room for a short name.
        options.nMinWidth = std::max(options.nMinWidth, 4 * request.nLabelHeight);
        picture->labels = TreemapLabels(input, picture->layout, options);
    }
    return picture;
}

std::uint64_t TreemapCost(const TreemapRequest& request) {
    if (!request.pList || request.nRoot >= request.pList->Count()) return 0;
    const std::uint64_t nodes = request.pList->SubtreeEnd(request.nRoot) - request.nRoot;
    const std::uint64_t w = request.nWidth > 0 ? static_cast<std::uint64_t>(request.nWidth) : 0;
    const std::uint64_t h = request.nHeight > 0 ? static_cast<std::uint64_t>(request.nHeight) : 0;
    return nodes + w * h;
}

CTreemapRenderQueue::CTreemapRenderQueue(std::function<void()> ready) : m_ready(std::move(ready)) {}

CTreemapRenderQueue::~CTreemapRenderQueue() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bStop = true;
        m_pending.reset();
    }
    m_wake.notify_all();
    if (m_worker.joinable()) m_worker.join();
}

bool CTreemapRenderQueue::Request(const TreemapRequest& request) {
    std::uint64_t generation;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        generation = ++m_nGeneration;
        m_pending.reset();
        m_done.reset();
    }
    if (TreemapCost(request) <= m_nBackgroundCost) {
        auto picture = MakeTreemapPicture(request);
        picture->nGeneration = generation;
        std::lock_guard<std::mutex> lock(m_lock);
        if (generation == m_nGeneration) m_done = std::move(picture);
        return true;
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_pending = request;
        m_nPendingGeneration = generation;
        if (!m_worker.joinable()) m_worker = std::thread([this] { Run(); });
    }
    m_wake.notify_one();
    return false;
}

std::unique_ptr<TreemapPicture> CTreemapRenderQueue::Take() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_done && m_done->nGeneration != m_nGeneration) m_done.reset();
    return std::move(m_done);
}

bool CTreemapRenderQueue::Busy() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_pending.has_value() || m_bDrawing;
}

void CTreemapRenderQueue::Cancel() {
    std::unique_lock<std::mutex> lock(m_lock);
    ++m_nGeneration;  // whatever is drawn now is never handed out
    m_pending.reset();
    m_done.reset();
    m_idle.wait(lock, [this] { return !m_bDrawing; });
}

void CTreemapRenderQueue::SetWorkerGate(std::function<void()> gate) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_gate = std::move(gate);
}

void CTreemapRenderQueue::Run() {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [this] { return m_bStop || m_pending.has_value(); });
        if (m_bStop) return;
        const TreemapRequest request = *m_pending;
        const std::uint64_t generation = m_nPendingGeneration;
        m_pending.reset();
        m_bDrawing = true;
        const std::function<void()> gate = m_gate;
        lock.unlock();
        std::unique_ptr<TreemapPicture> picture;
        try {
            picture = MakeTreemapPicture(request);
            picture->nGeneration = generation;
        } catch (const std::bad_alloc&) {
            picture.reset();  // no picture: the pane keeps the last one
        }
        if (gate) gate();
        lock.lock();
        if (picture && generation == m_nGeneration && !m_bStop) {
            m_done = std::move(picture);
            // Still drawing while the notice goes out: Cancel() returns only
            // after it, so the owner may go away then.
            lock.unlock();
            m_ready();
            lock.lock();
        }
        m_bDrawing = false;
        m_idle.notify_all();
    }
}

}  // namespace sizewalk
