#pragma once
// Turns a start path into one pre-order list of entries: the start entry
// first, then each directory's children in enumeration order, each child
// directory immediately followed by its subtree. Every entry has a depth key
// (the number of separators in its directory's path plus one, the start entry
// two less) and every directory its totals: the sum of the own apparent sizes
// of all entries below it, and the blocks on disk of itself and all below it
// (a file with several hard links counted once, at its first link in list
// order). Consumers rebuild the structure from order and keys: an entry's
// parent is the nearest earlier directory whose key is smaller.
//
// The walk runs on a pool of threads (one: a sequential walk on the calling
// thread). The list is the same entry for entry whatever the thread count and
// timing.
//
// The list is served through a cursor. Entry pointers stay valid until the
// next Scan() or the scanner's destruction.
//
// A scan that is stopped (CScanProgress::RequestStop) or throws
// (std::bad_alloc) leaves the scanner empty: it never serves entries without
// keys or totals.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scan/scan_entry.h"
#include "scan/scan_progress.h"

namespace sizewalk {

class NameArena;

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

    // Replaces the list with a fresh scan of `startPath` (no trailing
    // separator expected, except for the root "/"). Cursor at 0 afterwards.
    // With `progress`, other threads may watch the scan and stop it.
    ScanStatus Scan(std::string_view startPath, CScanProgress* progress = nullptr);

    void Rewind(int index) { m_nCursor = index; }
    // The entry at the cursor, advancing it; null at or past the end.
    CScanEntry* GetNext();

    std::size_t GetCount() const { return m_nCount; }
    CScanEntry& GetAt(std::size_t index);
    const CScanEntry& GetAt(std::size_t index) const;
    // The list index of an entry of this scanner.
    std::size_t IndexOf(const CScanEntry& entry) const;
    // One past the last entry below the entry at `index` (index + 1 for a
    // file or an empty directory): a subtree is one contiguous run.
    std::size_t GetSubtreeEnd(std::size_t index) const;
    // The path of the directory in which `entry` was found; for the start
    // entry, the start path itself.
    std::string GetDir(const CScanEntry& entry) const;
    // The full path of `entry`; for the start entry, the start path.
    std::string GetPath(const CScanEntry& entry) const;

    // Tests only: every directory read starts asking for `firstRead` bytes
    // (0: the usual), and with `untilEmpty` reads on until a read returns
    // nothing, on every file system.
    void SetReadingForTesting(std::size_t firstRead, bool untilEmpty) {
        m_nFirstRead = firstRead;
        m_bUntilEmpty = untilEmpty;
    }

    // How walks fill the list (the engine's own).
    class Builder;

private:
    friend class Builder;

    // Directories in list order: where each starts and ends, and its parent.
    struct DirRecord {
        std::uint32_t nEntry;   // list index of the directory's own entry
        std::uint32_t nEnd;     // one past its subtree
        std::uint32_t nParent;  // table index of the containing directory
    };

    void Clear();
    CScanEntry& Append(const CScanEntry& entry);
    void Finish();
    std::size_t FirstDirFrom(std::size_t index) const;
    std::size_t DirOf(std::size_t index) const;
    void AppendPath(std::string& path, std::size_t dir) const;

    static constexpr unsigned kChunkBits = 15;  // 32768 entries (1 MiB) per chunk
    std::vector<std::unique_ptr<unsigned char[]>> m_chunks;  // raw storage, see Append
    std::vector<std::pair<const unsigned char*, std::size_t>> m_chunksByAddress;
    std::size_t m_nCount = 0;
    std::vector<DirRecord> m_dirs;
    std::unique_ptr<NameArena> m_names;
    int m_nCursor = 0;
    int m_nThreads;
    std::size_t m_nFirstRead = 0;
    bool m_bUntilEmpty = false;
};

}  // namespace sizewalk
