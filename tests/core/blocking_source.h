#pragma once
// A scanner stand-in whose scans wait at a gate until the test lets them
// through (or the scan is asked to stop), so that a test can look at a
// command or a dialog while its scan runs. Behind the gate is a real
// CDirScanner. While a scan waits, the test can feed its progress as the
// engine would. Scans may also fail on request, as the engine does when
// memory runs out: the list is then empty.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/entry_source.h"

namespace sizewalk::test {

class BlockingSource : public CEntrySource {
public:
    ScanStatus ScanInto(std::string_view path, CScanList& list, CScanProgress* progress) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_nActive;
        }
        auto leave = [this] {
            std::lock_guard<std::mutex> lock(m_mutex);
            --m_nActive;
            m_changed.notify_all();
        };
        try {
            const ScanStatus status = Gate(path, list, progress);
            leave();
            return status;
        } catch (...) {
            leave();
            throw;
        }
    }

    // Scans at the gate stay there when asked to stop, as a read blocked in
    // the system does, until Release().
    void HoldThroughStop(bool hold) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bDeaf = hold;
    }

    // Lets `count` scans through the gate (those waiting first).
    void Release(int count = 1) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nPermits += count;
        m_changed.notify_all();
    }
    // Waits until a scan waits at the gate; false after `timeout`.
    bool WaitUntilWaiting(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [this] { return m_bWaiting; });
    }
    // Waits until no scan is inside ScanInto; false after `timeout`.
    bool WaitUntilIdle(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [this] { return m_nActive == 0; });
    }
    // Reports what the waiting scan has "found", as the engine would.
    void Report(std::uint64_t entries, std::uint64_t bytes, std::uint64_t diskBytes,
                std::string_view dir) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_progress) return;
        m_progress->AddFound(entries, bytes, diskBytes);
        m_progress->SetDir(dir);
    }
    // The next scan through the gate throws std::bad_alloc.
    void FailNext() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bFailNext = true;
    }
    std::vector<std::string> Scanned() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_scanned;
    }
    std::thread::id ScanThread() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_scanThread;
    }

private:
    ScanStatus Gate(std::string_view path, CScanList& list, CScanProgress* progress) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_scanned.emplace_back(path);
        m_scanThread = std::this_thread::get_id();
        m_progress = progress;
        m_bWaiting = true;
        m_changed.notify_all();
        auto stopped = [&] { return !m_bDeaf && progress && progress->IsStopRequested(); };
        while (m_nPermits == 0 && !stopped())
            m_changed.wait_for(lock, std::chrono::milliseconds(1));
        m_bWaiting = false;
        m_progress = nullptr;
        list.Clear();
        if (stopped()) return ScanStatus::Stopped;
        --m_nPermits;
        if (m_bFailNext) {
            m_bFailNext = false;
            throw std::bad_alloc();
        }
        lock.unlock();
        return m_scanner.ScanInto(path, list, progress);
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_nPermits = 0;
    int m_nActive = 0;  // scans inside ScanInto
    bool m_bWaiting = false;
    bool m_bFailNext = false;
    bool m_bDeaf = false;
    CScanProgress* m_progress = nullptr;
    std::vector<std::string> m_scanned;
    std::thread::id m_scanThread;
    CDirScanner m_scanner;  // its settings only: scans go into the caller's list
};

}  // namespace sizewalk::test
