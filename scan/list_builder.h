#pragma once
// The scanner's list as a walk fills it, in list order. Internal to the scan
// engine: walks append entries here; the scanner then rolls totals up.

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
#include "scan/unreadable_dirs.h"

namespace sizewalk {

class CDirScanner::Builder {
public:
    Builder(CDirScanner& scanner, CScanProgress* progress)
        : m_scanner(scanner),
          m_progress(progress),
          m_stop(progress ? &progress->StopFlag() : nullptr) {
        if (!m_scanner.m_names) m_scanner.m_names = std::make_unique<NameArena>();
    }

    // Appends an entry for `record` (its name copied into the arena) with the
    // depth key `depth`.
    CScanEntry& Add(const FindRecord& record, std::int32_t depth) {
        return AddNamed(record, m_scanner.m_names->Add(record.cFileName), depth);
    }
    // Appends an entry whose name already lies in the scanner's arena.
    CScanEntry& AddNamed(const FindRecord& record, const char* name, std::int32_t depth) {
        CScanEntry& e = m_scanner.Append(CScanEntry(record, name));
        e.m_nDepth = depth;
        // A further link to a file already counted takes no blocks of its
        // own: the blocks exist once, and list order decides which link
        // holds them.
        if (record.nLinkInode != 0 && !FirstLink(m_seenLinks, record)) e.m_nDiskSize = 0;
        return e;
    }
    // Records that the directory whose entry is at `listIndex` could not be
    // read, wholly (it could not be opened) or in part (its listing ended
    // early, or sizes in it could not be read), with the system's error code.
    void MarkUnreadable(std::size_t listIndex, int error) { m_unreadable.Add(listIndex, error); }
    const CUnreadableDirs& Unreadable() const { return m_unreadable; }
    CUnreadableDirs TakeUnreadable() { return std::move(m_unreadable); }
    CScanEntry& At(std::size_t index) { return m_scanner.GetAt(index); }

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
        if (m_progress) m_progress->AddFound(0, 0, start.OwnDiskSize());
        return true;
    }
    std::size_t Count() const { return m_scanner.m_nCount; }
    NameArena& Names() { return *m_scanner.m_names; }

    CScanProgress* Progress() const { return m_progress; }
    const std::atomic<bool>* Stop() const { return m_stop; }
    bool Stopped() const { return m_stop && m_stop->load(std::memory_order_relaxed); }
    // Readers read as tests asked, if they did.
    void Tune(DirReader& reader) const {
        if (m_scanner.m_nFirstRead) reader.SetFirstRead(m_scanner.m_nFirstRead);
        reader.SetReadUntilEmpty(m_scanner.m_bUntilEmpty);
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
    CDirScanner& m_scanner;
    CScanProgress* m_progress;
    const std::atomic<bool>* m_stop;
    LinkSet m_seenLinks;  // files with several links
    CUnreadableDirs m_unreadable;
};

// The walks. Each fills the list in pre-order, the start entry first, with
// depth keys set; totals are left to the scanner. False when stopped.
bool WalkSequential(std::string_view startPath, CDirScanner::Builder& list);
bool WalkParallel(std::string_view startPath, CDirScanner::Builder& list, int threads);

}  // namespace sizewalk
