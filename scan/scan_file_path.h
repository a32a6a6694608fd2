#pragma once
// A saved scan by its path: opened into a list, or a list saved. Saving
// over a regular file (or a new one) writes a new file beside it and renames
// it over only once it is whole, so a failed save (a full disk) leaves any
// earlier file as it was and never a half-written scan; the new file keeps
// the old one's mode (and owner, where allowed). A link is followed to the
// file it names and stays a link. A device, FIFO or socket is written into
// and never replaced.

#include <string>

#include "scan/scan_file.h"
#include "scan/scan_list.h"
#include "scan/scan_progress.h"

namespace sizewalk {

// Fills `list` (emptied first) from the file at `path`, plain or zstd.
// Throws ScanFileError (a message for the user, with the byte offset where
// the file is at fault) or std::bad_alloc; the list is then empty. With
// `progress`, as ReadScanList (ScanFileStopped on a stop). A directory, a
// device or a socket is refused unread; a FIFO is read as its writer sends,
// waiting for one if need be, and a stop ends that wait at once.
void OpenScanFile(const std::string& path, CScanList& list, ScanFileMetadata* metadata = nullptr,
                  CScanProgress* progress = nullptr);

// Writes `list` (not empty) to `path`, replacing any file there. Throws
// ScanFileError with a message for the user; nothing is left behind then. A
// FIFO that no program reads is refused rather than waited for; a link that
// names nothing is refused and nothing is made.
void SaveScanFile(const CScanList& list, const std::string& path, bool compress = false);

// Throws ScanFileError (as SaveScanFile would) when `path` cannot be
// written; changes nothing there and never waits (a FIFO's reader may come
// later). For a check before a long scan.
void CheckScanFileWritable(const std::string& path);

// For a program that a signal (SIGINT, SIGTERM, SIGHUP; Ctrl+C or a closed
// console on Windows) may end during a save: the save's temporary file is
// removed, then the program ends as the signal would have ended it. Call
// once, early.
void RemoveUnfinishedSaveOnSignal();

// Whether this build reads and writes zstd-compressed scans.
bool ScanFilesCanCompress();

}  // namespace sizewalk
