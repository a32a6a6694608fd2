#pragma once
// Turns a start path into a scan list (scan/scan_list.h): every file and
// directory below it in pre-order, each with a depth key (the number of
// separators in its directory's path plus one, the start entry two less),
// every directory with its totals. The walk runs on a pool of threads (one:
// a sequential walk on the calling thread); the list is the same entry for
// entry whatever the thread count and timing.
//
// The scanner keeps the list of its last Scan() and serves it by index and
// through a cursor; ScanInto() fills a list the caller owns instead.
//
// A scan that is stopped (CScanProgress::RequestStop) or throws
// (std::bad_alloc) leaves its list empty: it never serves entries without
// keys or totals.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "scan/scan_entry.h"
#include "scan/scan_list.h"
#include "scan/scan_progress.h"

namespace sizewalk {

class CDirScanner {
public:
    CDirScanner();
    ~CDirScanner();
    CDirScanner(const CDirScanner&) = delete;
    CDirScanner& operator=(const CDirScanner&) = delete;

    // The thread count a scanner starts with.
    static int DefaultThreadCount();
    // 1 walks sequentially on the calling thread; values below 1 count as 1.
    void SetThreadCount(int threads);
    int GetThreadCount() const { return m_nThreads; }

    // Replaces the scanner's list with a fresh scan of `startPath` (no
    // trailing separator expected, except for the root "/"). Cursor at 0
    // afterwards. With `progress`, other threads may watch the scan and stop it.
    ScanStatus Scan(std::string_view startPath, CScanProgress* progress = nullptr);
    // The same into `list`, which is emptied first; the scanner's own list
    // is left alone. Any thread; one list per scan.
    ScanStatus ScanInto(std::string_view startPath, CScanList& list,
                        CScanProgress* progress = nullptr) const;

    // The list of the last Scan().
    const CScanList& GetList() const { return m_list; }
    CScanList& GetList() { return m_list; }

    void Rewind(int index) { m_nCursor = index; }
    // The entry at the cursor, advancing it; null at or past the end.
    CScanEntry* GetNext();

    std::size_t GetCount() const { return m_list.Count(); }
    CScanEntry& GetAt(std::size_t index) { return m_list.At(index); }
    const CScanEntry& GetAt(std::size_t index) const { return m_list[index]; }
    std::size_t IndexOf(const CScanEntry& entry) const { return m_list.IndexOf(entry); }
    std::size_t GetSubtreeEnd(std::size_t index) const { return m_list.SubtreeEnd(index); }
    // The path of the directory in which `entry` was found; for the start
    // entry, the start path itself.
    std::string GetDir(const CScanEntry& entry) const { return m_list.DirPathOf(IndexOf(entry)); }
    // The full path of `entry`; for the start entry, the start path.
    std::string GetPath(const CScanEntry& entry) const { return m_list.PathOf(IndexOf(entry)); }

    // Tests only: every directory read starts asking for `firstRead` bytes
    // (0: the usual), and with `untilEmpty` reads on until a read returns
    // nothing, on every file system.
    void SetReadingForTesting(std::size_t firstRead, bool untilEmpty) {
        m_nFirstRead = firstRead;
        m_bUntilEmpty = untilEmpty;
    }

    // How walks fill a list (the engine's own).
    class Builder;

private:
    CScanList m_list;
    int m_nCursor = 0;
    int m_nThreads;
    std::size_t m_nFirstRead = 0;
    bool m_bUntilEmpty = false;
};

}  // namespace sizewalk
