#pragma once
// A saved scan by its path: opened into a list, or a list saved. Saving
// writes a new file beside the target and renames it over the target only
// once it is whole, so a failed save (a full disk) leaves any earlier file
// as it was and never a half-written scan.

#include <string>

#include "scan/scan_file.h"
#include "scan/scan_list.h"
#include "scan/scan_progress.h"

namespace sizewalk {

// Fills `list` (emptied first) from the file at `path`, plain or zstd.
// Throws ScanFileError (a message for the user, with the byte offset where
// the file is at fault) or std::bad_alloc; the list is then empty. With
// `progress`, as ReadScanList (ScanFileStopped on a stop).
void OpenScanFile(const std::string& path, CScanList& list, ScanFileMetadata* metadata = nullptr,
                  CScanProgress* progress = nullptr);

// Writes `list` (not empty) to `path`, replacing any file there. Throws
// ScanFileError with a message for the user; nothing is left behind then.
void SaveScanFile(const CScanList& list, const std::string& path, bool compress = false);

// Throws ScanFileError (as SaveScanFile would) when `path` cannot be
// written; changes nothing there. For a check before a long scan.
void CheckScanFileWritable(const std::string& path);

// Whether this build reads and writes zstd-compressed scans.
bool ScanFilesCanCompress();

}  // namespace sizewalk
