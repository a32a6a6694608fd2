#pragma once
// One scan's result: every entry in pre-order (the start entry first, then
// each directory's children, each child directory immediately followed by
// its subtree), their names, and the directory table that gives every
// directory its extent and its parent. After Finish() every directory holds
// its totals: the sum of the own apparent sizes of all entries below it, and
// the blocks on disk of itself and all below it, and the newest
// modification time among itself and all below it.
//
// A list is filled once (by a walk, or by reading a scan file) and then only
// read. Reading is by index or by span and keeps no cursor, so any number of
// readers may read one list at once. Entries never move while the list
// lives: pointers and spans stay valid until Clear() or destruction.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/page_block.h"
#include "scan/scan_entry.h"

namespace sizewalk {

class NameArena;

// a + b, or 2^64 - 1 where the sum would not fit: totals of sizes from a
// file (each up to 2^63 - 1) stop at the top rather than wrap. A compare and
// a conditional move, no branch.
inline std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
    std::uint64_t sum;
    return __builtin_add_overflow(a, b, &sum) ? UINT64_MAX : sum;
}

class CScanList {
public:
    // A directory: where its entry is, where its subtree ends, and the
    // directory (table index) that holds it; the start directory is its own.
    struct DirRecord {
        std::uint32_t nEntry;   // list index of the directory's own entry
        std::uint32_t nEnd;     // one past its subtree
        std::uint32_t nParent;  // table index of the containing directory
    };
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    CScanList();
    ~CScanList();
    CScanList(CScanList&&) noexcept;
    CScanList& operator=(CScanList&&) noexcept;
    CScanList(const CScanList&) = delete;
    CScanList& operator=(const CScanList&) = delete;

    std::size_t Count() const { return m_nCount; }
    bool Empty() const { return m_nCount == 0; }
    const CScanEntry& operator[](std::size_t index) const { return *EntryAt(index); }

    // The entries from `index` on that lie next to each other in memory (at
    // least one, up to the end of its block of storage). Walking a range:
    //   for (i = begin; i < end;) { auto s = SpanFrom(i); ...; i += s.size(); }
    std::span<const CScanEntry> SpanFrom(std::size_t index) const;
    // The list index of an entry of this list.
    std::size_t IndexOf(const CScanEntry& entry) const;

    // One past the last entry below `index` (index + 1 for a file or an
    // empty directory): a subtree is one contiguous run.
    std::size_t SubtreeEnd(std::size_t index) const;
    // The list index of the directory that holds `index`; kNone for 0.
    std::size_t ParentOf(std::size_t index) const;
    // The full path of an entry; the start path for the start entry.
    std::string PathOf(std::size_t index) const;
    // The path of the directory that holds an entry (the start path for the
    // start entry).
    std::string DirPathOf(std::size_t index) const;

    // The directory table, in list order.
    std::span<const DirRecord> Dirs() const { return m_dirs; }
    // The table index of the directory whose entry is `index`; kNone when
    // `index` is not a directory.
    std::size_t DirIndexOf(std::size_t index) const;
    // The number of directories among the entries [begin, end).
    std::size_t DirsBetween(std::size_t begin, std::size_t end) const;

    // Directories that could not be read, wholly or in part, with the
    // system's error (kErrorFromFile where a scan file only says so).
    static constexpr int kErrorFromFile = -1;
    void MarkUnreadable(std::size_t index, int error);
    // The error that kept a directory from being read; 0 when it was read.
    int ReadErrorOf(std::size_t index) const;
    std::size_t UnreadableCount() const { return m_unreadable.size(); }
    // Whether some directory strictly below `index` could not be read: the
    // totals of `index` are then lower bounds.
    bool HasUnreadableBelow(std::size_t index) const;

    // Who a file with several hard links is, as the walk told it.
    struct LinkRecord {
        std::uint32_t nEntry;
        std::uint64_t nDevice, nInode;
    };
    void AddLink(std::size_t index, std::uint64_t device, std::uint64_t inode);
    // The record of a multi-linked file; null for any other entry.
    const LinkRecord* LinkOf(std::size_t index) const;

    // Modification times, in seconds since 1970-01-01 UTC. The list keeps 32
    // bits an entry: times from kFirstTime to kLastTime are exact, earlier
    // ones (1970 itself, and before) read as kFirstTime, later ones as
    // kLastTime (2106-02-07). kNoTime: not known (the entry could not be
    // stat'ed, or a saved scan did not say).
    static constexpr std::int64_t kNoTime = 0;
    static constexpr std::int64_t kFirstTime = 1;
    static constexpr std::int64_t kLastTime = 0xFFFFFFFF;
    // Records an entry's own time (any value, clamped as above). Before
    // Finish(); an entry never set stays kNoTime.
    void SetModified(std::size_t index, std::int64_t seconds);
    // The entry's time; after Finish(), for a directory, the newest of its
    // own and of everything below it (its own alone is not kept: 4 bytes a
    // directory that no view shows).
    std::int64_t ModifiedOf(std::size_t index) const;

    // Releases everything: the list is empty afterwards.
    void Clear() noexcept;
    // Bytes the list holds for its entries, names and directory table.
    std::size_t MemoryBytes() const;

    // How walks and readers fill a list (append in pre-order, then Finish).
    CScanEntry& Append(const CScanEntry& entry);
    CScanEntry& At(std::size_t index) { return *EntryAt(index); }
    NameArena& Names();
    // Rolls totals up and builds the directory table from the entries'
    // order and depth keys: an entry's parent is the nearest earlier
    // directory whose key is smaller.
    void Finish();

private:
    CScanEntry* EntryAt(std::size_t index) const;
    std::uint32_t* TimeAt(std::size_t index) const;
    std::size_t FirstDirFrom(std::size_t index) const;
    std::size_t DirOf(std::size_t index) const;
    void AppendPath(std::string& path, std::size_t dir) const;

    static constexpr unsigned kChunkBits = 16;  // 65536 entries (2 MiB, a huge page) per chunk
    std::vector<CPageBlock> m_chunks;           // raw storage, see Append
    std::vector<std::pair<const unsigned char*, std::size_t>> m_chunksByAddress;
    // Times by list index, in chunks as the entries are.
    std::vector<CPageBlock> m_timeChunks;
    std::size_t m_nCount = 0;
    std::vector<DirRecord> m_dirs;
    std::unique_ptr<NameArena> m_names;
    // By list index, sorted by Finish().
    std::vector<std::pair<std::uint32_t, int>> m_unreadable;
    std::vector<LinkRecord> m_links;
};

}  // namespace sizewalk
