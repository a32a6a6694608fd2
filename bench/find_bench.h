#pragma once
// The timings of the lists beside the tree, for sizewalk-bench: --top N
// adds top_seconds (the N largest files of the whole scan), --find PATTERN
// adds find_seconds and find_matches (a search of every entry, keeping the
// rows a list keeps). Both in the size mode of the run. On Linux a wildcard
// --find also adds fnmatch_seconds: the same entries against fnmatch(3),
// nothing kept, a partner timed in the same run for ratios on a busy machine.

#include <chrono>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>

#ifndef _WIN32
#include <fnmatch.h>
#endif

#include "core/command_line.h"
#include "model/find_query.h"
#include "model/largest_files.h"
#include "model/name_pattern.h"

namespace sizewalk::bench {

struct ListTimings {
    int top = 0;  // 0: not timed
    std::optional<std::string> find;
};

inline void DeclareListTimings(CCommandLine& options, ListTimings& o) {
    options.Integer("--top", "N", o.top, 1, std::numeric_limits<int>::max())
        .Value("--find", "PATTERN", [&o](const std::string& value) {
            o.find = value;
            return true;
        });
}

inline void PrintTop(const CScanList& list, SizeMode mode, int count) {
    const auto t0 = std::chrono::steady_clock::now();
    const RankedRows rows = LargestFiles(list, 0, mode, static_cast<std::size_t>(count));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf(", \"top_seconds\": %.6f, \"top_rows\": %zu", seconds, rows.rows.size());
}

// False, with a message, when the pattern cannot be used.
inline bool PrintFind(const CScanList& list, SizeMode mode, const std::string& text) {
    const auto t0 = std::chrono::steady_clock::now();
    std::string error;
    const auto pattern = CNamePattern::Compile(text, error);
    if (!pattern) {
        std::fprintf(stderr, "sizewalk-bench: --find: %s\n", error.c_str());
        return false;
    }
    const RankedRows rows = FindItems(list, 0, *pattern, {}, mode);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf(", \"find_seconds\": %.6f, \"find_matches\": %llu", seconds,
                static_cast<unsigned long long>(rows.nCount));
    return true;
}

inline void PrintFindPartner(const CScanList& list, const std::string& text) {
#ifndef _WIN32
    if (text.size() >= 2 && text.front() == '/' && text.back() == '/') return;
    const auto t0 = std::chrono::steady_clock::now();
    std::size_t matches = 0;
    for (std::size_t i = 0; i < list.Count();) {
        const auto span = list.SpanFrom(i);
        for (const CScanEntry& e : span)
            matches += ::fnmatch(text.c_str(), e.GetNameCStr(), FNM_CASEFOLD) == 0;
        i += span.size();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf(", \"fnmatch_seconds\": %.6f, \"fnmatch_matches\": %zu", seconds, matches);
#else
    (void)list;
    (void)text;
#endif
}

// The timings asked for, after a scan; false when the pattern cannot be used.
inline bool PrintLists(const CScanList& list, SizeMode mode, const ListTimings& o) {
    if (o.top > 0) PrintTop(list, mode, o.top);
    if (!o.find) return true;
    if (!PrintFind(list, mode, *o.find)) return false;
    PrintFindPartner(list, *o.find);
    return true;
}

}  // namespace sizewalk::bench
