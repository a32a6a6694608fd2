#pragma once
// One treemap picture of a scan list, and the queue that makes pictures for a
// pane: small ones at once on the calling thread, large ones on one worker
// thread so that the caller (a user-interface thread) never waits for them.
// Both panes (Qt and Win32) show pictures from this queue; they only blit the
// pixels and ask the picture's layout what lies under the pointer.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "model/file_type.h"
#include "model/list_treemap_input.h"
#include "model/treemap_labels.h"
#include "model/treemap_layout.h"
#include "scan/scan_list.h"

namespace sizewalk {

// What to draw: the subtree of `nRoot` of `pList` in `mode`, at nWidth x
// nHeight device pixels; with `highlight`, the files it leaves out dimmed;
// with a label height, the boxes of the folders' names that tall.
struct TreemapRequest {
    const CScanList* pList = nullptr;
    SizeMode mode = SizeMode::Apparent;
    std::uint32_t nRoot = 0;
    int nWidth = 0;
    int nHeight = 0;
    std::optional<FileTypeFilter> highlight;
    int nLabelHeight = 0;  // 0: no labels
};

struct TreemapPicture {
    TreemapRequest request;
    std::uint64_t nGeneration = 0;  // of the request it answers
    CTreemapLayout layout;
    std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, nWidth per row, top row first
    std::vector<TreemapLabel> labels;   // in the pixels' coordinates
};

// Lays out and renders a request at once (an empty picture for no list, a
// root outside it, or no pixels). Throws std::bad_alloc when memory runs out.
std::unique_ptr<TreemapPicture> MakeTreemapPicture(const TreemapRequest& request);

// A rough cost of a request, in the units of the queue's threshold: nodes of
// the root's subtree plus the pixels (each about as dear as a node).
std::uint64_t TreemapCost(const TreemapRequest& request);

class CTreemapRenderQueue {
public:
    // About 30 ms of work on a slow machine: dearer requests go to the worker.
    static constexpr std::uint64_t kDefaultBackgroundCost = 600'000;

    // `ready` runs on the worker thread each time a picture is finished
    // there: it should only post a notice to the owner's thread, which then
    // calls Take(). The owner must outlive nothing it posts to: the
    // destructor stops and joins the worker before returning.
    explicit CTreemapRenderQueue(std::function<void()> ready);
    ~CTreemapRenderQueue();
    CTreemapRenderQueue(const CTreemapRenderQueue&) = delete;
    CTreemapRenderQueue& operator=(const CTreemapRenderQueue&) = delete;

    // Asks for a picture; any earlier request still waiting is dropped. A
    // request at or under the threshold is drawn before Request returns (and
    // true is returned: Take() has it); a dearer one is drawn by the worker
    // (false: `ready` will run). Either way only the newest request's picture
    // is ever handed out.
    bool Request(const TreemapRequest& request);
    // The picture of the newest request once it is finished (then null until
    // the next one), else null.
    std::unique_ptr<TreemapPicture> Take();
    // True while the worker has a request to draw.
    bool Busy() const;
    // Drops any waiting request and waits for the worker to finish the one it
    // draws (and its `ready`), whose picture is dropped: call before the list
    // changes, or the owner goes away.
    void Cancel();

    void SetBackgroundCost(std::uint64_t cost) { m_nBackgroundCost = cost; }
    // Test seam: runs on the worker after it drew a picture and before it
    // hands it over (a latch here holds the worker).
    void SetWorkerGate(std::function<void()> gate);

private:
    void Run();

    std::function<void()> m_ready;
    std::uint64_t m_nBackgroundCost = kDefaultBackgroundCost;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::optional<TreemapRequest> m_pending;  // waiting for the worker
    std::uint64_t m_nGeneration = 0;          // of the newest request
    std::uint64_t m_nPendingGeneration = 0;
    bool m_bDrawing = false;  // the worker holds a request
    bool m_bStop = false;
    std::unique_ptr<TreemapPicture> m_done;  // the newest finished picture
    std::function<void()> m_gate;
    std::thread m_worker;  // started on the first dear request
};

}  // namespace sizewalk
