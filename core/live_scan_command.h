#pragma once
// The press of OK with the scan off the user-interface thread, free of any
// toolkit. Validation, the kept-scan rule, the tree fill and the
// "Out of memory." report are those of RunScanCommand; what differs is that a
// scan runs on a worker thread the command owns, while the dialog keeps
// painting, shows the progress and may stop it.
//
// Threads: every member function runs on the user-interface thread. The
// worker only scans (into the source, with the command's CScanProgress) and
// then calls CScanDoneNotify::PostScanDone(), which must hand over to the
// user-interface thread (a queued call, a posted message), where the dialog
// calls Finish(). The tree is only ever touched on the user-interface
// thread, and holds no items while the worker writes the list.
//
// A dialog's day:
//   OK      -> Start(fields): Rejected / Redrawn (at once) / Started
//   timer   -> GetProgress() and FormatProgress() while IsScanning()
//   posted  -> Finish(): the tree fills (Scanned), or OutOfMemory
//   Cancel  -> Stop(): empty tree, last path forgotten
//   F5      -> Rescan(fields): as Start, but scans the same path again
// Destroying the command stops and joins a running scan.

#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "scan/scan_progress.h"
#include "core/entry_source.h"
#include "core/message_box.h"
#include "core/scan_command.h"
#include "core/tree_sink.h"
#include "core/wait_cursor.h"

namespace sizewalk {

// How the worker says that the scan has ended. Called on the worker thread,
// once per scan; it must only arrange for Finish() to run on the
// user-interface thread and return. It must not throw, block, or touch the
// tree or the dialog's controls.
class CScanDoneNotify {
public:
    virtual ~CScanDoneNotify() = default;
    virtual void PostScanDone() noexcept = 0;
};

class CLiveScanCommand {
public:
    // All references must outlive the command. `lastScannedDir` is the path
    // whose scan `source` keeps (the caller holds both for the process).
    CLiveScanCommand(CEntrySource& source, std::string& lastScannedDir, CTreeSink& tree,
                     CMessageBox& messages, CWaitCursor& cursor, CScanDoneNotify& done);
    // Stops and joins a running scan; touches neither tree nor cursor.
    ~CLiveScanCommand();
    CLiveScanCommand(const CLiveScanCommand&) = delete;
    CLiveScanCommand& operator=(const CLiveScanCommand&) = delete;

    // OK: prepares fields.m_strStartDir in place ("~" expanded, one trailing
    // separator stripped). Rejected after the message; Redrawn (or
    // OutOfMemory) when it is the path scanned last; otherwise the tree is
    // emptied, the wait cursor begins and the scan starts: Started. Busy,
    // doing nothing, while a scan runs.
    ScanOutcome Start(ScanFields& fields);
    // F5: as Start, but scans even the path scanned last.
    ScanOutcome Rescan(ScanFields& fields);

    bool IsScanning() const { return m_bScanning; }
    // The path being (or last) scanned by a live scan, prepared.
    const std::string& ScanPath() const { return m_strScanPath; }
    // The unit of the running scan's press (for its progress text).
    Units ScanUnits() const { return m_fields.m_eUnits; }
    // What the running scan has found so far.
    CScanProgress::Snapshot GetProgress() const { return m_progress.GetSnapshot(); }

    // Cancel or Escape while scanning: stops the scan and waits for the
    // worker, ends the wait cursor, empties the tree and forgets the last
    // scanned path, so the next OK scans afresh. False when none ran.
    bool Stop();

    // After PostScanDone(): joins the worker, ends the wait cursor and fills
    // the tree (Scanned), or reports OutOfMemory. Nothing (nullopt) when no
    // scan has finished: a notice that arrives after Stop() is harmless.
    std::optional<ScanOutcome> Finish();

private:
    enum class Result { Complete, Stopped, Failed };

    ScanOutcome Begin(ScanFields& fields, bool force);
    void Work() noexcept;
    void Join();

    CEntrySource& m_source;
    std::string& m_lastScannedDir;
    CTreeSink& m_tree;
    CMessageBox& m_messages;
    CWaitCursor& m_cursor;
    CScanDoneNotify& m_done;

    CScanProgress m_progress;
    ScanFields m_fields;  // of the press that started the scan
    std::string m_strScanPath;
    bool m_bScanning = false;
    // Written by the worker before it sets m_bDone; read after joining it.
    Result m_result = Result::Complete;
    std::atomic<bool> m_bDone{false};
    std::thread m_worker;
};

}  // namespace sizewalk
