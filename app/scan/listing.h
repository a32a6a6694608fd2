#pragma once
// What sizewalk-scan prints for --top and --find: the largest files of a
// scan, or its items whose names match, the largest first. Plain: one line
// an item, the size in bytes, a tab and the path as the file system has it.
// JSON, one object:
//   {"root": PATH, "size": "apparent"|"on_disk", "top": N|null, "find": PATTERN|null,
//    "matches": COUNT, "total_bytes": BYTES,
//    "items": [{"path": PATH, "size": BYTES, "directory": BOOL, "modified": SECONDS|null}]}
// where "matches" and "total_bytes" count every file (or match), "items"
// only those printed; strings keep bytes that are not UTF-8 as they are,
// as the saved scans do.

#include <cstddef>
#include <cstdio>
#include <string>

#include "core/command_line.h"
#include "scan/scan_list.h"

namespace sizewalk {

struct ListingRequest {
    int nTop = 0;         // 0: no --top (every match of --find)
    std::string strFind;  // empty: no --find (the largest files)
    bool bFind = false;
    bool bOnDisk = false;
    bool bJson = false;
};

// Declares --top, --find, --on-disk and --json into `options`.
void DeclareListingOptions(CCommandLine& options, ListingRequest& request);

// Prints the listing of `list` to `out`. Returns 0, or 2 with a message in
// `error` when the pattern cannot be used.
int PrintListing(const CScanList& list, const ListingRequest& request, std::FILE* out,
                 std::string& error);

}  // namespace sizewalk
