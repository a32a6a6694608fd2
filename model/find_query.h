#pragma once
// A search of a scan by name and more: the entries below one directory whose
// names match a pattern (see CNamePattern), optionally of at least a size
// (the size on show: a directory's total) and modified after or before a
// time (a directory's newest below), among directories, files or both.
// Results rank as the largest files do: the largest first, at most `limit`
// rows kept (the count and the total cover every match).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/labels.h"
#include "model/largest_files.h"
#include "model/name_pattern.h"
#include "scan/scan_list.h"

namespace sizewalk {

enum class FindKinds { Both, Files, Directories };

struct FindFilters {
    std::uint64_t nMinSize = 0;
    // Seconds since 1970; kNoTime: no bound. After and before are strict.
    std::int64_t nModifiedAfter = CScanList::kNoTime;
    std::int64_t nModifiedBefore = CScanList::kNoTime;
    FindKinds eKinds = FindKinds::Both;
};

// The rows a list shows at most: beyond it the largest are kept. 400 KB of
// rows, under half a byte an entry of a scan of a million.
inline constexpr std::size_t kFindRowsDefault = 100000;

// The matches strictly below the entry `root` (the entry itself when it is
// not a directory). `limit` 0 keeps no rows, only the count and total.
RankedRows FindItems(const CScanList& list, std::size_t root, const CNamePattern& pattern,
                     const FindFilters& filters, SizeMode mode,
                     std::size_t limit = kFindRowsDefault);

// "1,234 found, 3276.80MB": the count with digit grouping and the total in
// the labels' unit.
std::string FindSummary(const RankedRows& result, Units units, std::string_view separator = ",");

}  // namespace sizewalk
