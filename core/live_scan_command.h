#pragma once
// The press of OK, free of any toolkit: validation (scan_command.h), the
// kept-scan rule, the scan on a worker thread the command owns while the
// window keeps painting, shows the progress and may stop it, the tree fill
// and the "Out of memory." report. The window and the benchmarks both go
// through it.
//
// Threads: every member function runs on the user-interface thread, which
// never waits for the worker. The worker only scans (into a list and a
// progress of its own) and then calls CScanDoneNotify::PostScanDone(), which
// must hand over to the
// user-interface thread (a queued call, a posted message), where the window
// calls Finish(). The tree is only ever touched on the user-interface
// thread, and holds no items while the worker writes the list.
//
// A dialog's day:
//   OK      -> Start(fields): Rejected / Redrawn (at once) / Started
//   timer   -> GetProgress() and FormatProgress() while IsScanning()
//   posted  -> Finish(): the tree fills (Scanned), or OutOfMemory
//   Cancel  -> Stop(): empty tree, kept scan forgotten, at once; the worker
//              may take a while to notice (a read blocked in the system)
//   OK      -> while a stopped worker has not returned: Queued; the press
//              runs when its notice comes
//   F5      -> Rescan(fields): as Start, but scans the same path again
//   Delete  -> Measure(dir): the directory read again, as a scan is, while
//              the tree shows the kept scan; Finish(): Measured
// Destroying the command stops a running scan and waits for it a moment at
// most; a worker that has not returned by then is left to end on its own
// (AbandonedWorkers() tells the program to end without waiting for it).

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "core/entry_source.h"
#include "core/kept_scan.h"
#include "core/message_box.h"
#include "core/scan_command.h"
#include "core/scan_done_notify.h"
#include "core/tree_sink.h"
#include "core/wait_cursor.h"
#include "scan/scan_file.h"
#include "scan/scan_progress.h"

namespace sizewalk {

class CLiveScanCommand {
public:
    // All references must outlive the command. `kept` is the scan the tree
    // shows, which the command replaces and forgets (the caller holds it,
    // and `source`, for the process).
    CLiveScanCommand(CEntrySource& source, CKeptScan& kept, CTreeSink& tree, CMessageBox& messages,
                     CWaitCursor& cursor, CScanDoneNotify& done);
    // Stops a running scan and waits for its worker a moment at most;
    // touches neither tree nor cursor.
    ~CLiveScanCommand();
    // Whether some command's worker was left running when it went: the
    // program must then end without running its static destructors.
    static bool AbandonedWorkers();
    CLiveScanCommand(const CLiveScanCommand&) = delete;
    CLiveScanCommand& operator=(const CLiveScanCommand&) = delete;

    // OK: prepares fields.m_strStartDir in place ("~" expanded, one trailing
    // separator stripped). Rejected after the message; Redrawn (or
    // OutOfMemory) when it is the path scanned last; otherwise the tree is
    // emptied, the wait cursor begins and the scan starts: Started. Busy,
    // doing nothing, while a scan runs. While a stopped scan's worker has
    // not returned, a valid press waits for it: Queued.
    ScanOutcome Start(ScanFields& fields);
    // F5: as Start, but scans even the path scanned last.
    ScanOutcome Rescan(ScanFields& fields);
    // Makes `list` (finished, not empty), opened from a file, the kept scan
    // of the path fields.m_strStartDir with `origin`, as if a scan of it had
    // just ended, and shows it: Redrawn or OutOfMemory. A scan kept this way
    // need not exist on this machine: OK with its path redraws it; only F5
    // looks at the disk. Busy, taking nothing, while a scan runs or a
    // stopped one has not returned.
    ScanOutcome Adopt(CScanList&& list, const ScanFields& fields, ScanOrigin origin);
    // Makes `list` (finished, not empty: the kept scan after an edit that
    // followed the disk) the kept scan, keeping its root and origin, and
    // shows it: Redrawn or OutOfMemory. Busy, taking nothing, while a scan
    // runs or a stopped one has not returned, or when nothing is kept.
    ScanOutcome ReplaceKept(CScanList&& list, const ScanFields& fields);
    // Open Scan: reads the saved scan at `file` on the worker, as a scan
    // runs, while the tree goes on showing the kept scan: Started
    // (IsOpening()), or Busy. Finish() then gives Opened (the scan read is
    // the kept scan of its own root path, as Adopt() makes it, with `file`
    // and its date as origin, and OpenedFields() hold that path),
    // OpenFailed (OpenError() says why), or
    // OutOfMemory (said); after either the kept scan stays as it was. Stop()
    // drops the reading, keeping the kept scan too.
    ScanOutcome Open(const std::string& file, const ScanFields& fields);
    bool IsOpening() const { return m_bOpening; }
    // Before a removal: reads the directory `dir` of the kept scan afresh
    // on the worker, as a scan runs (its progress, the wait cursor, Stop),
    // while the tree goes on showing the kept scan: Started (IsMeasuring()),
    // Busy, or OutOfMemory (said). Finish() then gives Measured
    // (TakeMeasured() hands over the list read) or OutOfMemory (said); the
    // kept scan stays as it was either way. Stop() drops the measure, and so
    // does a press of OK or F5, which then waits for its worker as after a
    // stopped scan; Finish() gives MeasureStopped for a dropped measure.
    ScanOutcome Measure(const std::string& dir, const ScanFields& fields);
    bool IsMeasuring() const { return m_bMeasuring; }
    CScanList TakeMeasured() { return std::move(m_measured); }
    const ScanFields& OpenedFields() const { return m_fields; }
    const std::string& OpenError() const { return m_strOpenError; }
    // The scan the tree shows when no scan runs; empty while one does.
    const CKeptScan& Kept() const { return m_kept; }

    bool IsScanning() const { return m_bScanning; }
    // A stopped scan's worker has not returned yet.
    bool IsStopping() const { return !m_bScanning && m_pJob != nullptr; }
    // A scan runs, or a press waits for a stopped one: Cancel has work.
    bool IsBusy() const { return m_bScanning || m_queued.has_value(); }
    // The path being (or last) scanned by a live scan, prepared.
    const std::string& ScanPath() const { return m_strScanPath; }
    // The unit of the running scan's press (for its progress text).
    Units ScanUnits() const { return m_fields.m_eUnits; }
    // What the running scan has found so far.
    CScanProgress::Snapshot GetProgress() const;

    // Cancel or Escape while scanning: asks the worker to stop and returns
    // at once; ends the wait cursor, empties the tree and forgets the kept
    // scan, so the next OK scans afresh. A press waiting for a
    // stopped worker is dropped instead. False when there was neither.
    bool Stop();

    // After PostScanDone(): joins the worker, ends the wait cursor and fills
    // the tree (Scanned), or reports OutOfMemory. For a stopped scan whose
    // worker has now returned: Stopped, or the outcome of a press that
    // waited for it. Nothing (nullopt) while no worker has returned.
    std::optional<ScanOutcome> Finish();

private:
    enum class Result { Complete, Stopped, Failed };
    enum class JobKind { Scan, Open, Measure };
    // What a worker owns: shared with the command, so that a worker that
    // outlives a stop (or the command) writes only into its own.
    struct Job {
        std::string strPath;  // to scan or measure, or the file to read
        JobKind eKind = JobKind::Scan;
        ScanFileMetadata metadata;  // of the file read
        std::string strError;       // why the file could not be read
        CScanProgress progress;
        CScanList list;
        Result result = Result::Failed;  // written before bDone
        std::atomic<bool> bDone{false};
        std::mutex noticeLock;
        CScanDoneNotify* pNotify = nullptr;  // null once the command is gone
    };
    struct Press {
        ScanFields fields;
        bool bForce;
    };

    ScanOutcome Begin(ScanFields& fields, bool force);
    // Open and Measure: the worker reads `path` while the tree keeps the
    // kept scan; `running` is their flag.
    ScanOutcome StartBeside(JobKind kind, const std::string& path, const ScanFields& fields,
                            bool& running);
    // Starts the worker on m_strScanPath: false when no thread was had.
    bool StartWorker(JobKind kind);
    ScanOutcome FinishOpen(Job& job);
    ScanOutcome FinishMeasure(Job& job);
    static void Work(const std::shared_ptr<Job>& job, CEntrySource& source) noexcept;

    CEntrySource& m_source;
    CKeptScan& m_kept;
    CTreeSink& m_tree;
    CMessageBox& m_messages;
    CWaitCursor& m_cursor;
    CScanDoneNotify& m_done;

    ScanFields m_fields;  // of the press that started the scan
    std::string m_strScanPath;
    bool m_bScanning = false;
    std::shared_ptr<Job> m_pJob;  // of the worker not yet joined
    std::thread m_worker;
    std::optional<Press> m_queued;  // a press waiting for a stopped worker
    bool m_bOpening = false;        // the worker reads a saved scan
    bool m_bMeasuring = false;      // the worker measures a directory
    CScanList m_measured;           // what the last measure read
    std::string m_strOpenError;
};

}  // namespace sizewalk
