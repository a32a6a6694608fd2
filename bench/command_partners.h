#pragma once
// What both benchmarks (Linux and Windows) put in the window's place around
// the scan command the window uses: a message box that prints to stderr, no
// wait cursor, a press of OK that waits for the scan it starts, and a
// stopwatch for Cancel during a background scan.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "core/live_scan_command.h"

namespace sizewalk::bench {

class SilentMessages : public CMessageBox {
public:
    void Show(std::string_view text, MessageIcon) override {
        std::fprintf(stderr, "sizewalk-bench: %.*s\n", static_cast<int>(text.size()), text.data());
    }
};

class NoCursor : public CWaitCursor {
public:
    void Begin() override {}
    void End() override {}
};

class NoticeWaiter : public CScanDoneNotify {
public:
    void PostScanDone() noexcept override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bDone = true;
        m_changed.notify_all();
    }
    // Waits for the notice, and takes it.
    void Wait() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_bDone; });
        m_bDone = false;
    }
    // True when the scan ended within `seconds`.
    bool WaitFor(double seconds) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::duration<double>(seconds),
                                  [this] { return m_bDone; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_bDone = false;
};

// The command the window uses, with the partners above, made once as the
// window makes it, so that a timed press is only the press.
class WindowCommand {
public:
    WindowCommand(CEntrySource& source, CKeptScan& kept, CTreeSink& tree)
        : m_command(source, kept, tree, m_messages, m_cursor, m_notice) {}
    // One press of OK; a scan it starts runs to its end and fills the tree,
    // as the window's notice would have it.
    ScanOutcome PressOK(ScanFields& fields) {
        const ScanOutcome outcome = m_command.Start(fields);
        if (outcome != ScanOutcome::Started) return outcome;
        m_notice.Wait();
        return m_command.Finish().value_or(ScanOutcome::Stopped);
    }

private:
    SilentMessages m_messages;
    NoCursor m_cursor;
    NoticeWaiter m_notice;
    CLiveScanCommand m_command;
};

struct CancelTiming {
    bool bStarted = false;
    bool bEnded = false;       // the scan had ended before Cancel
    std::uint64_t nFound = 0;  // entries found when cancelled
    double dSeconds = 0;       // from Cancel until the command is idle again
};

// One background scan of `path` through the dialog's command into `tree`,
// cancelled after `after` seconds (or at once after it ended).
inline CancelTiming TimeCancel(CEntrySource& source, CTreeSink& tree, const std::string& path,
                               double after) {
    SilentMessages messages;
    NoCursor cursor;
    NoticeWaiter notice;
    CKeptScan kept;
    CLiveScanCommand command(source, kept, tree, messages, cursor, notice);
    ScanFields fields{path, Units::MB, Files::Shown};
    CancelTiming timing;
    if (command.Start(fields) != ScanOutcome::Started) return timing;
    timing.bStarted = true;
    timing.bEnded = notice.WaitFor(after);
    timing.nFound = command.GetProgress().nEntries;
    const auto t0 = std::chrono::steady_clock::now();
    command.Stop();
    timing.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return timing;
}

// Its JSON line; `jsonPath` is the path already escaped for JSON.
inline void PrintCancelTiming(const std::string& jsonPath, double after, const CancelTiming& t) {
    std::printf(
        "{\"path\": \"%s\", \"cancel_after\": %.3f, \"entries_when_cancelled\": %llu, "
        "\"cancel_seconds\": %.6f%s}\n",
        jsonPath.c_str(), after, static_cast<unsigned long long>(t.nFound), t.dSeconds,
        t.bEnded ? ", \"cancelled\": \"scan had ended\"" : "");
}

}  // namespace sizewalk::bench
