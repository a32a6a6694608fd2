#include "core/live_scan_command.h"

#include <new>

namespace sizewalk {

CLiveScanCommand::CLiveScanCommand(CEntrySource& source, std::string& lastScannedDir,
                                   CTreeSink& tree, CMessageBox& messages, CWaitCursor& cursor,
                                   CScanDoneNotify& done)
    : m_source(source),
      m_lastScannedDir(lastScannedDir),
      m_tree(tree),
      m_messages(messages),
      m_cursor(cursor),
      m_done(done) {}

CLiveScanCommand::~CLiveScanCommand() {
    m_progress.RequestStop();
    Join();
}

ScanOutcome CLiveScanCommand::Start(ScanFields& fields) { return Begin(fields, false); }

ScanOutcome CLiveScanCommand::Rescan(ScanFields& fields) { return Begin(fields, true); }

ScanOutcome CLiveScanCommand::Begin(ScanFields& fields, bool force) {
    if (m_bScanning) return ScanOutcome::Busy;
    if (!PrepareStartPath(fields.m_strStartDir)) {
        m_messages.Show(kInvalidStartDirText, MessageIcon::None);
        return ScanOutcome::Rejected;
    }
    if (!force && fields.m_strStartDir == m_lastScannedDir)
        return FillKeptScan(m_source, fields, m_lastScannedDir, m_tree, m_messages);

    // The items show entries that the scan releases: drop them first.
    m_tree.DeleteAllItems();
    m_lastScannedDir.clear();
    m_fields = fields;
    m_strScanPath = fields.m_strStartDir;
    m_progress.Reset();
    m_bDone.store(false, std::memory_order_relaxed);
    m_cursor.Begin();
    try {
        m_worker = std::thread([this] { Work(); });
    } catch (...) {
        // No thread to be had: the scan could not have run either.
        m_cursor.End();
        ReportOutOfMemory(m_lastScannedDir, m_tree, m_messages);
        return ScanOutcome::OutOfMemory;
    }
    m_bScanning = true;
    return ScanOutcome::Started;
}

void CLiveScanCommand::Work() noexcept {
    Result result = Result::Failed;
    try {
        result = m_source.Scan(m_strScanPath, &m_progress) == ScanStatus::Complete ? Result::Complete
                                                                                   : Result::Stopped;
    } catch (...) {
        // std::bad_alloc, or the engine could not start its threads: either
        // way the list is empty and the user hears "Out of memory.".
    }
    m_result = result;
    m_bDone.store(true, std::memory_order_release);
    m_done.PostScanDone();
}

void CLiveScanCommand::Join() {
    if (m_worker.joinable()) m_worker.join();
}

bool CLiveScanCommand::Stop() {
    if (!m_bScanning) return false;
    m_progress.RequestStop();
    Join();
    m_bScanning = false;
    m_cursor.End();
    m_tree.DeleteAllItems();
    m_lastScannedDir.clear();
    return true;
}

std::optional<ScanOutcome> CLiveScanCommand::Finish() {
    if (!m_bScanning || !m_bDone.load(std::memory_order_acquire)) return std::nullopt;
    Join();
    m_bScanning = false;
    m_cursor.End();
    switch (m_result) {
        case Result::Complete: {
            m_lastScannedDir = m_strScanPath;
            const ScanOutcome filled =
                FillKeptScan(m_source, m_fields, m_lastScannedDir, m_tree, m_messages);
            return filled == ScanOutcome::Redrawn ? ScanOutcome::Scanned : filled;
        }
        case Result::Stopped:
            m_tree.DeleteAllItems();
            return ScanOutcome::Stopped;
        case Result::Failed:
            break;
    }
    ReportOutOfMemory(m_lastScannedDir, m_tree, m_messages);
    return ScanOutcome::OutOfMemory;
}

}  // namespace sizewalk
