// The walk on a pool of threads. Workers take directories from one shared
// stack, read each whole, keep its records in a compact form and queue its
// subdirectories; when no directory is left, the calling thread lays the
// records out in pre-order. The list therefore depends only on what each
// directory's listing returned, never on which thread read it or when.
//
// A worker opens the subdirectories of the directory it has just read while
// it still holds that directory (the cheap way, relative to its handle) and
// queues them open, as long as the number of handles waiting in the queue
// stays within a budget taken from the process's limit; beyond it, or when
// the system runs out of handles, a directory is queued closed and opened
// later by its path below the start directory.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/dir_listing.h"
#include "platform/process_limits.h"
#include "scan/list_builder.h"
#include "scan/name_arena.h"

namespace sizewalk {

namespace {

// One entry as a worker keeps it until the layout: 24 bytes.
struct RawRecord {
    const char* pszName;
    std::uint64_t nSize;
    std::uint64_t nDiskAndKind;  // bytes on disk, with the kind in the top bits

    static constexpr std::uint64_t kDirectory = std::uint64_t{1} << 63;
    static constexpr std::uint64_t kEntered = std::uint64_t{1} << 62;  // has a directory node
    static constexpr std::uint64_t kLinked = std::uint64_t{1} << 61;
    static constexpr std::uint64_t kUnreadable = std::uint64_t{1} << 60;  // see Worker::unreadable
    static constexpr std::uint64_t kNotRegular = std::uint64_t{1} << 59;  // FIFO, socket, device
    static constexpr std::uint64_t kOtherFs = std::uint64_t{1} << 58;     // refused: not entered
    static constexpr std::uint64_t kDiskMask = kOtherFs - 1;

    std::uint64_t Disk() const { return nDiskAndKind & kDiskMask; }
};

// One directory that is, or will be, read.
struct DirNode {
    std::uint32_t nParent;      // node index; the start is node 0
    std::uint32_t nRecord;      // its own record (the start has none)
    std::uint32_t nChildren;    // its first child record
    std::uint32_t nCount;       // how many child records (0 until read)
    std::uint32_t nSubdirs;     // node index of its first subdirectory node
    std::uint32_t nPathLength;  // length of its full path
};

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// A record's time as the list keeps it (0: not known), so that the walk's own
// copy takes 4 bytes a record.
std::uint32_t PackedTime(std::int64_t seconds) {
    return seconds == kUnknownTime ? 0
                                   : static_cast<std::uint32_t>(std::clamp(
                                         seconds, CScanList::kFirstTime, CScanList::kLastTime));
}

// Who a raw record with several links is.
struct Link {
    std::uint32_t nRecord;
    std::uint64_t nDevice;
    std::uint64_t nInode;
};

// A directory that could not be read, by its own record (kNone: the start).
struct Unreadable {
    std::uint32_t nRecord;
    int nError;
};

// Storage that hands out contiguous index ranges to any thread and never
// moves what it holds: fixed-size chunks behind a fixed table of pointers.
// The table is zeroed by the system, so its untouched pages cost nothing.
template <typename T, unsigned kBits, std::size_t kMaxChunks>
class Slab {
public:
    static constexpr std::size_t kChunk = std::size_t{1} << kBits;

    Slab() : m_table(static_cast<T**>(std::calloc(kMaxChunks, sizeof(T*)))) {
        if (!m_table) throw std::bad_alloc();
    }
    ~Slab() {
        for (std::size_t k = 0; k < kMaxChunks; ++k)
            delete[] m_table[k];  // Cover may reach past m_next
        std::free(m_table);
    }
    Slab(const Slab&) = delete;
    Slab& operator=(const Slab&) = delete;

    // `n` consecutive new slots, their first index.
    std::uint32_t Allocate(std::size_t n) {
        const std::uint64_t first = m_next.fetch_add(n, std::memory_order_relaxed);
        Cover(first, n);
        return static_cast<std::uint32_t>(first);
    }
    // Makes the slots [first, first + n) usable, for a slab indexed as another
    // one allocates.
    void Cover(std::uint64_t first, std::size_t n) {
        const std::uint64_t end = first + n;
        if (end > kChunk * kMaxChunks || end > kNone) throw std::bad_alloc();
        for (std::uint64_t k = first >> kBits; k <= ((end - 1) >> kBits); ++k) {
            if (Chunk(k).load(std::memory_order_acquire)) continue;
            std::lock_guard<std::mutex> lock(m_grow);
            if (!Chunk(k).load(std::memory_order_relaxed))
                Chunk(k).store(new T[kChunk], std::memory_order_release);
        }
    }
    T& operator[](std::uint32_t index) {
        return Chunk(index >> kBits).load(std::memory_order_acquire)[index & (kChunk - 1)];
    }
    std::uint64_t Size() const { return m_next.load(std::memory_order_relaxed); }
    // Gives a chunk back once nothing in it is needed (no worker runs).
    void Release(std::size_t chunk) {
        delete[] m_table[chunk];
        m_table[chunk] = nullptr;
    }

private:
    std::atomic_ref<T*> Chunk(std::uint64_t k) { return std::atomic_ref<T*>(m_table[k]); }

    T** m_table;
    std::atomic<std::uint64_t> m_next{0};
    std::mutex m_grow;
};

struct Task {
    std::uint32_t nNode;
    DirHandle handle;           // open, or closed: open it by path
    bool bDiskCounted = false;  // its own blocks are in its record already
};

class ParallelWalk {
public:
    ParallelWalk(std::string_view startPath, CDirScanner::Builder& list, int threads)
        : m_startPath(startPath), m_list(list), m_nThreads(threads) {}

    bool Run();

private:
    struct Worker {
        DirReader reader;
        NameArena names;
        std::vector<Task> found;
        std::vector<Link> links;  // ascending raw records: ranges only grow
        std::vector<Unreadable> unreadable;
        std::uint64_t nFound = 0, nBytes = 0, nDisk = 0;
        std::string path;
        std::vector<std::uint32_t> chain;
    };

    void Work(Worker& w);
    void Read(Worker& w, Task& task);
    OpenStatus OpenByPath(Worker& w, std::uint32_t node, DirHandle& out);
    void BuildPath(Worker& w, std::uint32_t node, bool relative);
    void Report(Worker& w);
    void MarkUnreadable(Worker& w, std::uint32_t node, int error);
    bool FirstLinkForProgress(const FindRecord& record);
    // A directory's own time, where opening it told it.
    void SetOwnTime(std::uint32_t record, const DirHandle& handle) {
        if (handle.OwnModified() != kUnknownTime)
            m_times[record] = PackedTime(handle.OwnModified());
    }
    bool Stopped() const { return m_bAbort.load(std::memory_order_relaxed) || m_list.Stopped(); }
    void GiveBackQueuedHandles();
    void HandleClosed();
    void LayOut(std::vector<Worker>& workers);

    std::string_view m_startPath;
    CDirScanner::Builder& m_list;
    int m_nThreads;
    DirHandle m_start;

    Slab<RawRecord, 16, 65536> m_records;
    Slab<std::uint32_t, 16, 65536> m_times;  // by record, as PackedTime gives them
    Slab<DirNode, 16, 65536> m_nodes;

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::vector<Task> m_pending;  // a stack: the newest directory first
    int m_nBusy = 0;
    std::atomic<int> m_nQueuedHandles{0};
    std::atomic<int> m_nHandleBudget{0};
    std::atomic<int> m_nOpenByWorkers{0};
    // Workers waiting for a handle, and how often one was closed meanwhile.
    std::mutex m_handleLock;
    std::condition_variable m_handleClosed;
    std::uint64_t m_nHandleCloses = 0;
    std::atomic<int> m_nHandleWaiters{0};

    // Files with several links that the progress has counted: it counts each
    // once, at whichever link a worker meets first. Only with a progress.
    struct LinkShard {
        std::mutex lock;
        CDirScanner::Builder::LinkSet seen;
    };
    static constexpr std::size_t kLinkShards = 16;
    std::unique_ptr<LinkShard[]> m_progressLinks;

    std::atomic<bool> m_bAbort{false};
    std::mutex m_errorLock;
    std::exception_ptr m_error;
};

// Handles that may wait in the queue: half of what the process may still
// open, after one per worker and a reserve for the rest of the program.
int HandleBudget(int threads) {
    const std::optional<long> spare = SpareDescriptors();
    if (!spare) return 1024;
    return static_cast<int>(std::clamp((*spare - threads - 16) / 2, 0L, 4096L));
}

bool ParallelWalk::Run() {
    std::int32_t rootChildDepth = 0;
    if (!m_list.Begin(m_startPath, m_start, rootChildDepth)) return true;

    const std::uint32_t root = m_nodes.Allocate(1);
    m_nodes[root] =
        DirNode{root, kNone, 0, 0, kNone, static_cast<std::uint32_t>(m_startPath.size())};
    m_nHandleBudget = HandleBudget(m_nThreads);
    if (m_list.Progress()) m_progressLinks = std::make_unique<LinkShard[]>(kLinkShards);
    m_pending.push_back(Task{root, DirHandle()});  // read by path "" below the start

    std::vector<Worker> workers(static_cast<std::size_t>(m_nThreads));
    for (Worker& w : workers) m_list.Tune(w.reader);
    {
        std::vector<std::thread> pool;
        pool.reserve(workers.size());
        try {
            for (Worker& w : workers) pool.emplace_back([this, &w] { Work(w); });
        } catch (const std::system_error&) {
            // The system gives no more threads: walk with those there are,
            // or on this one.
            if (pool.empty()) Work(workers[0]);
        } catch (...) {
            {
                std::lock_guard<std::mutex> lock(m_lock);
                m_bAbort = true;
            }
            m_wake.notify_all();
            for (std::thread& t : pool) t.join();
            throw;
        }
        for (std::thread& t : pool) t.join();
    }
    m_pending.clear();
    m_progressLinks.reset();
    for (Worker& w : workers) w.reader.Clear();
    if (m_error) std::rethrow_exception(m_error);
    if (Stopped()) return false;
    LayOut(workers);
    return !m_list.Stopped();
}

void ParallelWalk::Work(Worker& w) {
    try {
        for (;;) {
            Task task;
            {
                std::unique_lock<std::mutex> lock(m_lock);
                m_wake.wait(lock,
                            [this] { return !m_pending.empty() || m_nBusy == 0 || Stopped(); });
                if (m_pending.empty() || Stopped()) break;
                task = std::move(m_pending.back());
                m_pending.pop_back();
                if (task.handle.IsOpen()) m_nQueuedHandles.fetch_sub(1, std::memory_order_relaxed);
                ++m_nBusy;
            }
            Read(w, task);
            std::size_t pushed = 0;
            {
                std::lock_guard<std::mutex> lock(m_lock);
                // The first subdirectory on top, so that the walk goes depth
                // first and the layout finds what it needs close together.
                for (auto it = w.found.rbegin(); it != w.found.rend(); ++it)
                    m_pending.push_back(std::move(*it));
                pushed = w.found.size();
                --m_nBusy;
                if (m_nBusy == 0 && m_pending.empty()) pushed = 2;  // everyone may leave
            }
            w.found.clear();
            if (pushed == 1)
                m_wake.notify_one();
            else if (pushed > 1)
                m_wake.notify_all();
        }
    } catch (...) {
        {
            std::lock_guard<std::mutex> lock(m_errorLock);
            if (!m_error) m_error = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(m_lock);
        m_bAbort = true;
    }
    Report(w);
    m_wake.notify_all();
}

void ParallelWalk::Report(Worker& w) {
    if (CScanProgress* progress = m_list.Progress())
        progress->AddFound(w.nFound, w.nBytes, w.nDisk);
    w.nFound = w.nBytes = w.nDisk = 0;
}

// Directories that could not be read are flagged in their record and noted
// by the worker; the layout gives them their list index.
void ParallelWalk::MarkUnreadable(Worker& w, std::uint32_t node, int error) {
    if (node == 0) {
        w.unreadable.push_back({kNone, error});
        return;
    }
    const std::uint32_t record = m_nodes[node].nRecord;
    m_records[record].nDiskAndKind |= RawRecord::kUnreadable;
    w.unreadable.push_back({record, error});
}

bool ParallelWalk::FirstLinkForProgress(const FindRecord& record) {
    LinkShard& shard = m_progressLinks[(record.nLinkInode ^ record.nLinkDevice) % kLinkShards];
    std::lock_guard<std::mutex> lock(shard.lock);
    return CDirScanner::Builder::FirstLink(shard.seen, record);
}

// The path of a node into w.path: whole, or relative to the start.
void ParallelWalk::BuildPath(Worker& w, std::uint32_t node, bool relative) {
    w.chain.clear();
    for (std::uint32_t d = node; d != 0; d = m_nodes[d].nParent) w.chain.push_back(d);
    std::string& out = w.path;
    out.clear();
    if (!relative) out.assign(m_startPath);
    for (auto it = w.chain.rbegin(); it != w.chain.rend(); ++it) {
        if (!out.empty() && out.back() != kPathSeparator) out += kPathSeparator;
        out += m_records[m_nodes[*it].nRecord].pszName;
    }
}

// Closes the handles waiting in the queue (only those: a worker may still
// hold counted ones it has not queued yet) and queues fewer from now on.
void ParallelWalk::GiveBackQueuedHandles() {
    std::lock_guard<std::mutex> lock(m_lock);
    int closed = 0;
    for (Task& t : m_pending) {
        if (!t.handle.IsOpen()) continue;
        t.handle.Close();
        ++closed;
    }
    m_nQueuedHandles.fetch_sub(closed, std::memory_order_relaxed);
    m_nHandleBudget = m_nHandleBudget.load() / 2;
}

void ParallelWalk::HandleClosed() {
    m_nOpenByWorkers.fetch_sub(1, std::memory_order_relaxed);
    if (m_nHandleWaiters.load(std::memory_order_relaxed) == 0) return;
    {
        std::lock_guard<std::mutex> lock(m_handleLock);
        ++m_nHandleCloses;
    }
    m_handleClosed.notify_all();
}

OpenStatus ParallelWalk::OpenByPath(Worker& w, std::uint32_t node, DirHandle& out) {
    BuildPath(w, node, true);
    const std::uint32_t length = m_nodes[node].nPathLength;
    OpenStatus status = OpenBelowStart(m_start, w.path.c_str(), length, out);
    // Out of handles: give back those waiting in the queue, and wait for
    // other workers to close theirs. A directory is never given up while
    // one is held; only when none of the walk's is left to wait for (the
    // rest of the program holds them all) for a second does it stay unread.
    constexpr int kIdleTries = 100;
    int idle = 0;
    while (status == OpenStatus::NoHandles && !Stopped() && idle < kIdleTries) {
        GiveBackQueuedHandles();
        std::unique_lock<std::mutex> lock(m_handleLock);
        const std::uint64_t seen = m_nHandleCloses;
        m_nHandleWaiters.fetch_add(1, std::memory_order_relaxed);
        status = OpenBelowStart(m_start, w.path.c_str(), length, out);
        if (status == OpenStatus::NoHandles) {
            if (m_nOpenByWorkers.load(std::memory_order_relaxed) > 0) {
                idle = 0;
                m_handleClosed.wait_for(lock, std::chrono::milliseconds(50),
                                        [&] { return m_nHandleCloses != seen || Stopped(); });
            } else {
                ++idle;
                lock.unlock();
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        m_nHandleWaiters.fetch_sub(1, std::memory_order_relaxed);
    }
    return status == OpenStatus::NoHandles ? OpenStatus::Failed : status;  // out.Error() says why
}

void ParallelWalk::Read(Worker& w, Task& task) {
    const std::uint32_t node = task.nNode;
    if (node != 0 && !task.handle.IsOpen()) {
        const OpenStatus status = OpenByPath(w, node, task.handle);
        if (!task.bDiskCounted) {
            m_records[m_nodes[node].nRecord].nDiskAndKind += task.handle.OwnDiskSize();
            w.nDisk += task.handle.OwnDiskSize();
            SetOwnTime(m_nodes[node].nRecord, task.handle);
        }
        if (status != OpenStatus::Opened) {  // no children
            if (status == OpenStatus::Refused)
                m_records[m_nodes[node].nRecord].nDiskAndKind |= RawRecord::kOtherFs;
            else
                MarkUnreadable(w, node, task.handle.Error());
            return;
        }
    }
    // The start keeps its handle: directories are opened by path below it.
    const DirHandle& dir = node == 0 ? m_start : task.handle;
    m_nOpenByWorkers.fetch_add(1, std::memory_order_relaxed);
    struct Closer {
        ParallelWalk& walk;
        DirHandle& handle;
        ~Closer() {
            handle.Close();
            walk.HandleClosed();
        }
    } closer{*this, task.handle};

    CScanProgress* const progress = m_list.Progress();
    if (progress && progress->WantsDir()) {
        BuildPath(w, node, false);
        progress->SetDir(w.path);
        Report(w);
    }
    if (!w.reader.Read(dir, m_list.Stop())) return;  // stopped
    if (const int error = w.reader.Error()) MarkUnreadable(w, node, error);
    struct Shrink {
        DirReader& reader;
        ~Shrink() { reader.Clear(); }  // a huge listing's buffer is not kept
    } shrink{w.reader};

    // Count first, so that the records and nodes of one directory each take
    // one contiguous range.
    FindRecord record;
    std::uint32_t count = 0, subdirs = 0;
    while (w.reader.Next(record)) {
        ++count;
        if (record.IsDirectory() && !record.IsReparsePoint()) ++subdirs;
    }
    if (count == 0) return;
    w.reader.Rewind();
    const std::uint32_t first = m_records.Allocate(count);
    m_times.Cover(first, count);
    const std::uint32_t firstSubdir = subdirs ? m_nodes.Allocate(subdirs) : kNone;
    const std::uint32_t pathLength = m_nodes[node].nPathLength;
    const bool separated =
        node == 0 && !m_startPath.empty() && m_startPath.back() == kPathSeparator;

    std::uint32_t index = first, sub = firstSubdir;
    while (w.reader.Next(record)) {
        RawRecord& raw = m_records[index];
        raw.pszName = w.names.Add(record.cFileName);
        raw.nSize = record.Size();
        raw.nDiskAndKind = record.nDiskSize & RawRecord::kDiskMask;
        if (record.bSpecial || (!record.IsDirectory() && record.IsReparsePoint()))
            raw.nDiskAndKind |= RawRecord::kNotRegular;  // a link too
        m_times[index] = PackedTime(record.nModified);
        w.nBytes += record.Size();
        if (record.nLinkInode != 0) {
            raw.nDiskAndKind |= RawRecord::kLinked;
            w.links.push_back({index, record.nLinkDevice, record.nLinkInode});
            if (m_progressLinks && FirstLinkForProgress(record)) w.nDisk += record.nDiskSize;
        } else {
            w.nDisk += record.nDiskSize;
        }
        if (record.IsDirectory()) {
            raw.nDiskAndKind |= RawRecord::kDirectory;
            if (!record.IsReparsePoint()) {
                raw.nDiskAndKind |= RawRecord::kEntered;
                const auto length = static_cast<std::uint32_t>(pathLength + (separated ? 0 : 1) +
                                                               record.cFileName.size());
                m_nodes[sub] = DirNode{node, index, 0, 0, kNone, length};
                w.found.push_back(Task{sub, DirHandle()});
                ++sub;
            }
        }
        ++index;
    }
    w.nFound += count;
    DirNode& self = m_nodes[node];
    self.nChildren = first;
    self.nCount = count;
    self.nSubdirs = firstSubdir;

    // Open the subdirectories now, relative to this one, while the queue's
    // handles stay within budget.
    for (Task& t : w.found) {
        if (Stopped()) break;
        if (m_nQueuedHandles.load(std::memory_order_relaxed) >=
            m_nHandleBudget.load(std::memory_order_relaxed))
            break;
        const DirNode& child = m_nodes[t.nNode];
        RawRecord& raw = m_records[child.nRecord];
        const OpenStatus status = OpenSubdir(dir, raw.pszName, child.nPathLength, t.handle);
        if (status == OpenStatus::NoHandles) break;  // opened by path later
        raw.nDiskAndKind += t.handle.OwnDiskSize();
        w.nDisk += t.handle.OwnDiskSize();
        SetOwnTime(child.nRecord, t.handle);
        t.bDiskCounted = true;
        if (status == OpenStatus::Opened) {
            m_nQueuedHandles.fetch_add(1, std::memory_order_relaxed);
        } else {
            if (status == OpenStatus::Failed) MarkUnreadable(w, t.nNode, t.handle.Error());
            if (status == OpenStatus::Refused) raw.nDiskAndKind |= RawRecord::kOtherFs;
            t.nNode = kNone;  // listed without children
        }
    }
    std::erase_if(w.found, [](const Task& t) { return t.nNode == kNone; });
    if (w.nFound >= 4096) Report(w);
}

// Depth first over the nodes from the start, each directory's records in
// listing order, a directory's subtree right after its own entry.
void ParallelWalk::LayOut(std::vector<Worker>& workers) {
    // Files with several links, by record: each worker's are in order
    // already, so one sort merges them.
    std::vector<Link> links;
    for (Worker& w : workers) {
        links.insert(links.end(), w.links.begin(), w.links.end());
        std::vector<Link>().swap(w.links);
        m_list.Names().Adopt(w.names);
    }
    std::sort(links.begin(), links.end(),
              [](const Link& a, const Link& b) { return a.nRecord < b.nRecord; });
    std::vector<Unreadable> unreadable;
    for (Worker& w : workers) {
        for (const Unreadable& u : w.unreadable) {
            if (u.nRecord == kNone)
                m_list.MarkUnreadable(0, u.nError);  // the start
            else
                unreadable.push_back(u);
        }
        std::vector<Unreadable>().swap(w.unreadable);
    }
    std::sort(unreadable.begin(), unreadable.end(),
              [](const Unreadable& a, const Unreadable& b) { return a.nRecord < b.nRecord; });

    // What is left to lay out of each chunk of records: a chunk is given
    // back as soon as it is used up.
    const std::uint64_t total = m_records.Size();
    using Records = decltype(m_records);
    std::vector<std::uint32_t> left((total + Records::kChunk - 1) / Records::kChunk, 0);
    for (std::uint64_t k = 0; k < left.size(); ++k)
        left[k] = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(Records::kChunk, total - k * Records::kChunk));

    struct Frame {
        std::uint32_t nNode;
        std::uint32_t nNext;    // next child record
        std::uint32_t nSubdir;  // next subdirectory node
        std::int32_t nDepth;    // key of the children
    };
    std::vector<Frame> stack;
    const DirNode& root = m_nodes[0];
    stack.push_back({0, root.nChildren, root.nSubdirs, m_list.At(0).m_nDepth + 2});
    FindRecord record;
    std::size_t done = 0;
    while (!stack.empty()) {
        Frame& f = stack.back();
        const DirNode& d = m_nodes[f.nNode];
        if (f.nNext == d.nChildren + d.nCount) {
            stack.pop_back();
            continue;
        }
        const std::uint32_t i = f.nNext++;
        const RawRecord& raw = m_records[i];
        record = FindRecord{};
        record.dwFileAttributes = (raw.nDiskAndKind & RawRecord::kDirectory)
                                      ? kFileAttributeDirectory
                                      : kFileAttributeNormal;
        record.SetSize(raw.nSize);
        record.nDiskSize = raw.Disk();
        record.bSpecial = (raw.nDiskAndKind & RawRecord::kNotRegular) != 0;
        record.bOtherFileSystem = (raw.nDiskAndKind & RawRecord::kOtherFs) != 0;
        if (const std::uint32_t t = m_times[i]) record.nModified = t;
        if (raw.nDiskAndKind & RawRecord::kLinked) {
            const auto l =
                std::lower_bound(links.begin(), links.end(), i,
                                 [](const Link& a, std::uint32_t r) { return a.nRecord < r; });
            record.nLinkDevice = l->nDevice;
            record.nLinkInode = l->nInode;
        }
        m_list.AddNamed(record, raw.pszName, f.nDepth);
        if (raw.nDiskAndKind & RawRecord::kUnreadable) {
            const auto u = std::lower_bound(
                unreadable.begin(), unreadable.end(), i,
                [](const Unreadable& a, std::uint32_t r) { return a.nRecord < r; });
            m_list.MarkUnreadable(m_list.Count() - 1, u->nError);
        }
        const std::int32_t depth = f.nDepth;
        if (raw.nDiskAndKind & RawRecord::kEntered) {
            const std::uint32_t sub = f.nSubdir++;
            stack.push_back({sub, m_nodes[sub].nChildren, m_nodes[sub].nSubdirs, depth + 1});
        }
        if (--left[i / Records::kChunk] == 0) {
            m_records.Release(i / Records::kChunk);
            m_times.Release(i / Records::kChunk);
        }
        if ((++done & 0xFFFF) == 0 && m_list.Stopped()) return;
    }
}

}  // namespace

bool WalkParallel(std::string_view startPath, CDirScanner::Builder& list, int threads) {
    ParallelWalk walk(startPath, list, threads);
    return walk.Run();
}

}  // namespace sizewalk
