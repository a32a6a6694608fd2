#pragma once
// What a running scan has found so far, and the way to stop it: the scanner
// writes, any other thread reads a snapshot or asks for a stop. One object
// serves one scan at a time; the caller owns it and may reuse it.
//
// The counts in successive snapshots never decrease. A stop asked for before
// or during a scan makes that scan return ScanStatus::Stopped.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace sizewalk {

enum class ScanStatus { Complete, Stopped };

class CScanProgress {
public:
    struct Snapshot {
        std::uint64_t nEntries = 0;    // entries found, the start entry included
        std::uint64_t nBytes = 0;      // their apparent sizes
        std::uint64_t nDiskBytes = 0;  // their sizes on disk
        std::string strDir;            // a directory being read, empty before the first
    };

    Snapshot GetSnapshot() const {
        Snapshot s;
        s.nEntries = m_nEntries.load(std::memory_order_relaxed);
        s.nBytes = m_nBytes.load(std::memory_order_relaxed);
        s.nDiskBytes = m_nDiskBytes.load(std::memory_order_relaxed);
        std::lock_guard<std::mutex> lock(m_dirLock);
        s.strDir = m_strDir;
        return s;
    }

    // Any thread, any time.
    void RequestStop() { m_bStop.store(true, std::memory_order_relaxed); }
    bool IsStopRequested() const { return m_bStop.load(std::memory_order_relaxed); }
    const std::atomic<bool>& StopFlag() const { return m_bStop; }

    // Makes the object ready for another scan: counts to 0, no stop asked.
    void Reset() {
        m_nEntries.store(0, std::memory_order_relaxed);
        m_nBytes.store(0, std::memory_order_relaxed);
        m_nDiskBytes.store(0, std::memory_order_relaxed);
        m_bStop.store(false, std::memory_order_relaxed);
        m_nNextDirTick.store(0, std::memory_order_relaxed);
        std::lock_guard<std::mutex> lock(m_dirLock);
        m_strDir.clear();
    }

    // The scanner's side.
    void AddFound(std::uint64_t entries, std::uint64_t bytes, std::uint64_t diskBytes) {
        m_nEntries.fetch_add(entries, std::memory_order_relaxed);
        m_nBytes.fetch_add(bytes, std::memory_order_relaxed);
        m_nDiskBytes.fetch_add(diskBytes, std::memory_order_relaxed);
    }
    // Whether the directory shown is due to change: it changes at most every
    // few tens of milliseconds, so that building its path costs nothing.
    bool WantsDir() const { return Now() >= m_nNextDirTick.load(std::memory_order_relaxed); }
    void SetDir(std::string_view path) {
        m_nNextDirTick.store(Now() + kDirInterval, std::memory_order_relaxed);
        std::lock_guard<std::mutex> lock(m_dirLock);
        m_strDir.assign(path);
    }

private:
    static constexpr std::int64_t kDirInterval = 40;  // milliseconds
    static std::int64_t Now() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    std::atomic<std::uint64_t> m_nEntries{0};
    std::atomic<std::uint64_t> m_nBytes{0};
    std::atomic<std::uint64_t> m_nDiskBytes{0};
    std::atomic<bool> m_bStop{false};
    std::atomic<std::int64_t> m_nNextDirTick{0};
    mutable std::mutex m_dirLock;
    std::string m_strDir;
};

}  // namespace sizewalk
