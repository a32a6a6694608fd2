#pragma once
// A list as a walk fills it, in list order. Internal to the scan engine:
// walks append entries here; the scanner then has the list roll totals up.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/dir_listing.h"
#include "platform/find_record.h"
#include "scan/dir_scanner.h"
#include "scan/name_arena.h"
#include "scan/scan_list.h"

namespace sizewalk {

class CDirScanner::Builder {
public:
    Builder(CScanList& list, CScanProgress* progress, std::size_t firstRead = 0,
            bool untilEmpty = false)
        : m_list(list),
          m_progress(progress),
          m_stop(progress ? &progress->StopFlag() : nullptr),
          m_nFirstRead(firstRead),
          m_bUntilEmpty(untilEmpty) {}

    // Appends an entry for `record` (its name copied into the arena) with the
    // depth key `depth`.
    CScanEntry& Add(const FindRecord& record, std::int32_t depth) {
        return AddNamed(record, m_list.Names().Add(record.cFileName), depth);
    }
    // Appends an entry whose name already lies in the scanner's arena.
    CScanEntry& AddNamed(const FindRecord& record, const char* name, std::int32_t depth) {
        CScanEntry& e = m_list.Append(CScanEntry(record, name));
        e.m_nDepth = depth;
        if (record.nLinkInode != 0)
            m_list.AddLink(m_list.Count() - 1, record.nLinkDevice, record.nLinkInode);
        SetModified(m_list.Count() - 1, record.nModified);
        // A further link to a file already counted takes no blocks of its
        // own: the blocks exist once, and list order decides which link
        // holds them.
        if (record.nLinkInode != 0 && !FirstLink(m_seenLinks, record)) e.m_nDiskSize = 0;
        return e;
    }
    // Records that the directory whose entry is at `listIndex` could not be
    // read, wholly (it could not be opened) or in part (its listing ended
    // early, or sizes in it could not be read), with the system's error code.
    void MarkUnreadable(std::size_t listIndex, int error) {
        m_list.MarkUnreadable(listIndex, error);
    }
    CScanEntry& At(std::size_t index) { return m_list.At(index); }
    // An entry's own time, where known (a directory's may come from opening it).
    void SetModified(std::size_t index, std::int64_t seconds) {
        if (seconds != kUnknownTime) m_list.SetModified(index, seconds);
    }

    // Appends the start entry (its name the whole start path, its key two
    // less than its children's) and opens the start directory into `start`.
    // False where it cannot be opened: the list is the start entry alone.
    bool Begin(std::string_view startPath, DirHandle& start, std::int32_t& childDepth) {
        FindRecord record;
        record.dwFileAttributes = kFileAttributeDirectory;
        record.cFileName = startPath;
        const std::string path(startPath);
        childDepth = CountSeparators(path.c_str()) + 1;
        CScanEntry& entry = Add(record, childDepth - 2);
        if (m_progress) m_progress->AddFound(1, 0, 0);
        if (OpenStartDir(path.c_str(), start) != OpenStatus::Opened) {
            MarkUnreadable(0, start.Error());
            return false;
        }
        entry.m_nDiskSize = start.OwnDiskSize();
        SetModified(0, start.OwnModified());
        if (m_progress) m_progress->AddFound(0, 0, start.OwnDiskSize());
        return true;
    }
    std::size_t Count() const { return m_list.Count(); }
    NameArena& Names() { return m_list.Names(); }

    CScanProgress* Progress() const { return m_progress; }
    const std::atomic<bool>* Stop() const { return m_stop; }
    bool Stopped() const { return m_stop && m_stop->load(std::memory_order_relaxed); }
    // Readers read as tests asked, if they did.
    void Tune(DirReader& reader) const {
        if (m_nFirstRead) reader.SetFirstRead(m_nFirstRead);
        reader.SetReadUntilEmpty(m_bUntilEmpty);
    }

    // Files with several links met so far, by device and inode.
    struct DeviceInode {
        std::uint64_t nDevice, nInode;
        bool operator==(const DeviceInode&) const = default;
    };
    struct DeviceInodeHash {
        std::size_t operator()(const DeviceInode& k) const {
            return static_cast<std::size_t>(k.nInode * 0x9E3779B97F4A7C15ull ^ k.nDevice);
        }
    };
    using LinkSet = std::unordered_set<DeviceInode, DeviceInodeHash>;
    // Whether `record` is the first link of its file that `seen` meets.
    static bool FirstLink(LinkSet& seen, const FindRecord& record) {
        return seen.insert({record.nLinkDevice, record.nLinkInode}).second;
    }

private:
    CScanList& m_list;
    CScanProgress* m_progress;
    const std::atomic<bool>* m_stop;
    std::size_t m_nFirstRead;
    bool m_bUntilEmpty;
    LinkSet m_seenLinks;  // files with several links
};

// The walks. Each fills the list in pre-order, the start entry first, with
// depth keys set; totals are left to the scanner. False when stopped.
bool WalkSequential(std::string_view startPath, CDirScanner::Builder& list);
bool WalkParallel(std::string_view startPath, CDirScanner::Builder& list, int threads);

}  // namespace sizewalk
