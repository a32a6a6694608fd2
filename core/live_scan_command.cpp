#include "core/live_scan_command.h"

#include <chrono>
#include <new>

#include "scan/scan_file_list.h"
#include "scan/scan_file_path.h"

namespace sizewalk {

namespace {

// How long going away waits for a stopped worker: long enough for any
// worker that can see the stop, short enough that closing never hangs.
constexpr auto kLeaveGrace = std::chrono::milliseconds(250);

std::atomic<bool> g_bAbandoned{false};

}  // namespace

CLiveScanCommand::CLiveScanCommand(CEntrySource& source, CKeptScan& kept, CTreeSink& tree,
                                   CMessageBox& messages, CWaitCursor& cursor,
                                   CScanDoneNotify& done)
    : m_source(source),
      m_kept(kept),
      m_tree(tree),
      m_messages(messages),
      m_cursor(cursor),
      m_done(done) {}

CLiveScanCommand::~CLiveScanCommand() {
    if (!m_pJob) return;
    {
        std::lock_guard<std::mutex> lock(m_pJob->noticeLock);
        m_pJob->pNotify = nullptr;  // the window may be going too
    }
    m_pJob->progress.RequestStop();
    const auto until = std::chrono::steady_clock::now() + kLeaveGrace;
    while (!m_pJob->bDone.load(std::memory_order_acquire) &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (m_pJob->bDone.load(std::memory_order_acquire)) {
        m_worker.join();
    } else {
        // Blocked in the system (a hung network mount): it ends on its own,
        // writing only into the job it shares.
        g_bAbandoned.store(true);
        m_worker.detach();
    }
}

bool CLiveScanCommand::AbandonedWorkers() { return g_bAbandoned.load(); }

ScanOutcome CLiveScanCommand::Start(ScanFields& fields) { return Begin(fields, false); }

ScanOutcome CLiveScanCommand::Rescan(ScanFields& fields) { return Begin(fields, true); }

CScanProgress::Snapshot CLiveScanCommand::GetProgress() const {
    return m_pJob ? m_pJob->progress.GetSnapshot() : CScanProgress::Snapshot{};
}

ScanOutcome CLiveScanCommand::Adopt(CScanList&& list, const ScanFields& fields, ScanOrigin origin) {
    if (m_bScanning || m_pJob) return ScanOutcome::Busy;
    std::string root = fields.m_strStartDir;
    m_tree.DeleteAllItems();
    m_kept.Take(std::move(list), std::move(root), std::move(origin));
    return FillKeptScan(m_kept, fields, m_tree, m_messages);
}

ScanOutcome CLiveScanCommand::ReplaceKept(CScanList&& list, const ScanFields& fields) {
    if (m_bScanning || m_pJob || !m_kept.IsValid()) return ScanOutcome::Busy;
    m_tree.DeleteAllItems();
    m_kept.ReplaceList(std::move(list));
    return FillKeptScan(m_kept, fields, m_tree, m_messages);
}

ScanOutcome CLiveScanCommand::Begin(ScanFields& fields, bool force) {
    if (m_bScanning && !m_bMeasuring) return ScanOutcome::Busy;
    if (!force && m_kept.IsOpened()) {
        // An opened scan's path may not exist here: OK with it redraws.
        std::string path = fields.m_strStartDir;
        NormalizeStartPath(path);
        if (path == m_kept.Root() && !m_pJob) {
            fields.m_strStartDir = std::move(path);
            return FillKeptScan(m_kept, fields, m_tree, m_messages);
        }
    }
    if (!PrepareStartPath(fields.m_strStartDir)) {
        m_messages.Show(kInvalidStartDirText, MessageIcon::None);
        return ScanOutcome::Rejected;
    }
    // A measure gives way to the scan, which waits for its worker below.
    if (m_bMeasuring) Stop();
    if (m_pJob) {
        // The last scan was stopped but its worker has not returned: this
        // press runs when it does (Finish).
        m_queued = Press{fields, force};
        return ScanOutcome::Queued;
    }
    if (!force && m_kept.IsValid() && fields.m_strStartDir == m_kept.Root())
        return FillKeptScan(m_kept, fields, m_tree, m_messages);

    // The items show the kept list, which the scan replaces: drop both first.
    m_tree.DeleteAllItems();
    m_kept.Clear();
    m_fields = fields;
    m_strScanPath = fields.m_strStartDir;
    m_bOpening = false;
    m_cursor.Begin();
    if (!StartWorker(JobKind::Scan)) {
        // No thread to be had: the scan could not have run either.
        m_cursor.End();
        ReportOutOfMemory(m_kept, m_tree, m_messages);
        return ScanOutcome::OutOfMemory;
    }
    return ScanOutcome::Started;
}

ScanOutcome CLiveScanCommand::Open(const std::string& file, const ScanFields& fields) {
    if (m_bScanning || m_pJob) return ScanOutcome::Busy;
    m_strOpenError.clear();
    return StartBeside(JobKind::Open, file, fields, m_bOpening);
}

ScanOutcome CLiveScanCommand::Measure(const std::string& dir, const ScanFields& fields) {
    if (m_bScanning || m_pJob) return ScanOutcome::Busy;
    m_measured.Clear();
    return StartBeside(JobKind::Measure, dir, fields, m_bMeasuring);
}

ScanOutcome CLiveScanCommand::StartBeside(JobKind kind, const std::string& path,
                                          const ScanFields& fields, bool& running) {
    // The tree keeps showing the kept scan: the worker reads into its own list.
    m_fields = fields;
    m_strScanPath = path;
    running = true;
    m_cursor.Begin();
    if (!StartWorker(kind)) {
        running = false;
        m_cursor.End();
        m_messages.Show(kOutOfMemoryText, MessageIcon::Warning);
        return ScanOutcome::OutOfMemory;
    }
    return ScanOutcome::Started;
}

bool CLiveScanCommand::StartWorker(JobKind kind) {
    try {
        auto job = std::make_shared<Job>();
        job->strPath = m_strScanPath;
        job->eKind = kind;
        job->pNotify = &m_done;
        m_worker = std::thread(&CLiveScanCommand::Work, job, std::ref(m_source));
        m_pJob = std::move(job);
    } catch (...) {
        return false;
    }
    m_bScanning = true;
    return true;
}

void CLiveScanCommand::Work(const std::shared_ptr<Job>& job, CEntrySource& source) noexcept {
    Result result = Result::Failed;
    try {
        if (job->eKind == JobKind::Open) {
            OpenScanFile(job->strPath, job->list, &job->metadata, &job->progress);
            result = Result::Complete;
        } else {
            result =
                source.ScanInto(job->strPath, job->list, &job->progress) == ScanStatus::Complete
                    ? Result::Complete
                    : Result::Stopped;
        }
    } catch (const ScanFileStopped&) {
        result = Result::Stopped;
    } catch (const ScanFileError& e) {
        job->strError = e.what();
    } catch (...) {
        // std::bad_alloc, or the engine could not start its threads: either
        // way the list is empty and the user hears "Out of memory.".
    }
    job->result = result;
    job->bDone.store(true, std::memory_order_release);
    std::lock_guard<std::mutex> lock(job->noticeLock);
    if (job->pNotify) job->pNotify->PostScanDone();
}

bool CLiveScanCommand::Stop() {
    if (!m_bScanning) {
        const bool queued = m_queued.has_value();
        m_queued.reset();
        return queued;
    }
    m_pJob->progress.RequestStop();
    m_bScanning = false;
    if (m_bOpening || m_bMeasuring) {
        // Only the reading stops: the kept scan is still the one shown.
        m_bOpening = false;
        m_bMeasuring = false;
        m_cursor.End();
        return true;
    }
    m_cursor.End();
    m_tree.DeleteAllItems();
    m_kept.Clear();
    return true;
}

std::optional<ScanOutcome> CLiveScanCommand::Finish() {
    if (!m_pJob || !m_pJob->bDone.load(std::memory_order_acquire)) return std::nullopt;
    m_worker.join();
    const std::shared_ptr<Job> job = std::move(m_pJob);
    if (!m_bScanning) {
        // A stopped scan has returned: what it found is dropped with it.
        if (!m_queued) {
            switch (job->eKind) {
                case JobKind::Open:
                    return ScanOutcome::OpenFailed;
                case JobKind::Measure:
                    return ScanOutcome::MeasureStopped;
                case JobKind::Scan:
                    break;
            }
            return ScanOutcome::Stopped;
        }
        Press press = std::move(*m_queued);
        m_queued.reset();
        return Begin(press.fields, press.bForce);
    }
    if (job->eKind == JobKind::Open) return FinishOpen(*job);
    if (job->eKind == JobKind::Measure) return FinishMeasure(*job);
    m_bScanning = false;
    m_cursor.End();
    switch (job->result) {
        case Result::Complete: {
            m_kept.Take(std::move(job->list), m_strScanPath, ScanOrigin::Walked());
            const ScanOutcome filled = FillKeptScan(m_kept, m_fields, m_tree, m_messages);
            return filled == ScanOutcome::Redrawn ? ScanOutcome::Scanned : filled;
        }
        case Result::Stopped:
            m_tree.DeleteAllItems();
            return ScanOutcome::Stopped;
        case Result::Failed:
            break;
    }
    ReportOutOfMemory(m_kept, m_tree, m_messages);
    return ScanOutcome::OutOfMemory;
}

ScanOutcome CLiveScanCommand::FinishOpen(Job& job) {
    m_bScanning = false;
    m_bOpening = false;
    m_cursor.End();
    if (job.result == Result::Complete) {
        // The scan read is the kept scan of its own root path (the worker
        // is joined and no scan runs, so Adopt takes it).
        m_fields.m_strStartDir = std::string(job.list[0].GetName());
        const ScanOutcome filled = Adopt(std::move(job.list), m_fields,
                                         ScanOrigin::Opened(job.strPath, job.metadata.timestamp));
        return filled == ScanOutcome::Redrawn ? ScanOutcome::Opened : filled;
    }
    if (!job.strError.empty()) {
        m_strOpenError = std::move(job.strError);
        return ScanOutcome::OpenFailed;
    }
    m_messages.Show(kOutOfMemoryText, MessageIcon::Warning);  // the kept scan stays
    return ScanOutcome::OutOfMemory;
}

ScanOutcome CLiveScanCommand::FinishMeasure(Job& job) {
    m_bScanning = false;
    m_bMeasuring = false;
    m_cursor.End();
    switch (job.result) {
        case Result::Complete:
            m_measured = std::move(job.list);
            return ScanOutcome::Measured;
        case Result::Stopped:
            return ScanOutcome::MeasureStopped;
        case Result::Failed:
            break;
    }
    m_messages.Show(kOutOfMemoryText, MessageIcon::Warning);  // the kept scan stays
    return ScanOutcome::OutOfMemory;
}

}  // namespace sizewalk
