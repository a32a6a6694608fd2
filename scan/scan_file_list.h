#pragma once
// A saved scan and the scan list: a file read lands in the same list a walk
// builds, and a list is written out entry by entry, so that writing a scan
// and opening it again gives the same list (names, depth keys and both
// sizes of every entry).
//
// What the format's numbers become in the list: a directory's own apparent
// size counts 0 (the file's is ignored); a directory's own "dsize" is its
// own blocks, unless the file holds subtree totals there (gdu), which are
// then ignored; a file with hard links holds its blocks at its first link
// in file order, as a walk counts it; "read_error" marks a directory as not
// read. Written out, a directory's "dsize" is its own blocks (its total less
// what lies below it), so that the file's sums are the list's totals.

#include <cstdint>
#include <optional>
#include <string>

#include "scan/scan_file.h"
#include "scan/scan_list.h"
#include "scan/scan_progress.h"

namespace sizewalk {

// Thrown when the reading was asked to stop.
struct ScanFileStopped {};

// Fills `list` (emptied first) from a saved scan. On any error the list is
// left empty and the error thrown (ScanFileError names the byte offset);
// `metadata` gets the file's metadata when given. With `progress`, the
// entries read are counted there as they come, and a stop asked there ends
// the reading with ScanFileStopped.
void ReadScanList(IScanFileSource& source, CScanList& list, ScanFileMetadata* metadata = nullptr,
                  const ScanFileLimits& limits = {}, CScanProgress* progress = nullptr);

// Writes every entry of `list` (not empty) through `writer`, then Finish().
void WriteScanList(const CScanList& list, CScanFileWriter& writer);

}  // namespace sizewalk
