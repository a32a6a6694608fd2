#pragma once
// What sizewalk-scan --compare prints: the largest changes of a comparison,
// as lines ("+1234<TAB>path", signed bytes) or as one JSON document. Names
// are written as the file system has them, as saved scans write them:
// quotes, backslashes and control characters escaped, other bytes as they
// are.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "model/scan_compare.h"

namespace sizewalk {

struct CompareReport {
    SizeMode mode = SizeMode::Apparent;
    std::size_t count = 20;
    std::optional<std::int64_t> olderTime;  // when the older scan was made
};

// Each returns whether a change printed is "at least" (a directory that
// could not be read is involved).
bool PrintCompareText(std::FILE* out, const CScanComparison& comparison,
                      const CompareReport& report);
bool PrintCompareJson(std::FILE* out, const CScanComparison& comparison,
                      const CompareReport& report);

}  // namespace sizewalk
