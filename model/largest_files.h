#pragma once
// The largest items of a scan, for a flat list beside the tree: the N
// largest files of the whole scan or of one directory, and the ranking that
// search results share with them. Results name entries of the scan list by
// index (4 bytes a row, at most N rows, never a copy of an entry), so a view
// reads name, folder, sizes and times from the list itself and may re-sort
// its rows in place.
//
// A file of several hard links is one file: it appears once, at its first
// link in list order within the range, with its blocks whichever link holds
// them.

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/file_type.h"
#include "scan/scan_list.h"

namespace sizewalk {

// Ranked rows: the largest first (ties in list order), with how many
// entries qualified and their total size, which count every one of them
// (not only the rows kept) and each byte once: nothing below a directory
// already counted adds to the total, nor a further link of a file.
struct RankedRows {
    std::vector<std::uint32_t> rows;  // list indices
    std::uint64_t nCount = 0;
    std::uint64_t nTotal = 0;
    // The sizes of rows that are files of several links, where the row's own
    // entry does not hold them.
    std::unordered_map<std::uint32_t, std::uint64_t> linkSizes;

    // The size a row shows in `mode` (the mode it was ranked in).
    std::uint64_t SizeOf(const CScanList& list, std::uint32_t index, SizeMode mode) const {
        const CScanEntry& e = list[index];
        if (e.IsMultiLinked() && !linkSizes.empty())
            if (const auto it = linkSizes.find(index); it != linkSizes.end()) return it->second;
        return e.GetShownSize(mode);
    }
};

// Keeps the `limit` largest of the entries offered. While it runs it holds
// each kept row with its size (16 bytes a row), so that ranking never goes
// back to the list, whose entries it would read in no order; Finish leaves
// only the indices. Entries come in list order; files of several links are
// held back and offered once each at Finish.
class CRanking {
public:
    CRanking(const CScanList& list, SizeMode mode, std::size_t limit);

    // `covered`: the entry lies below a directory already offered.
    void Offer(std::uint32_t index, bool covered) {
        const CScanEntry& e = m_list[index];
        if (e.IsMultiLinked()) {
            m_linked.emplace_back(index, covered);
            return;
        }
        Keep(index, e.GetShownSize(m_eMode), covered);
    }
    RankedRows Finish();

private:
    struct Row {
        std::uint64_t nSize;
        std::uint32_t nIndex;
    };
    // `a` ranks above `b`: larger, or as large and earlier in the list.
    static bool Above(const Row& a, const Row& b) {
        return a.nSize != b.nSize ? a.nSize > b.nSize : a.nIndex < b.nIndex;
    }
    void Keep(std::uint32_t index, std::uint64_t size, bool covered);

    const CScanList& m_list;
    SizeMode m_eMode;
    std::size_t m_nLimit;
    RankedRows m_result;
    std::vector<Row> m_kept;  // a heap once full, its top the row to give way
    bool m_bHeap = false;
    std::uint64_t m_nFloor = 0;  // the size of the lowest row kept, once full
    std::vector<std::pair<std::uint32_t, bool>> m_linked;  // index, covered
};

inline constexpr std::size_t kLargestFilesDefault = 1000;

// The `count` largest regular files (no links, devices or the like) at or
// below the entry `root`, by their size in `mode`; with `type`, only the
// files of that type.
RankedRows LargestFiles(const CScanList& list, std::size_t root, SizeMode mode,
                        std::size_t count = kLargestFilesDefault,
                        const FileTypeFilter* type = nullptr);

// Every directory at or below the entry `root` that could not be read,
// wholly or in part, by its size in `mode`. The total counts a directory
// below another of them once, with the outer one.
RankedRows UnreadableFolders(const CScanList& list, std::size_t root, SizeMode mode);

}  // namespace sizewalk
