#pragma once
// The pieces of pressing OK, free of any toolkit: strip one trailing
// separator from the start path, check that it names a directory, and
// rebuild the tree from the kept list with every item labelled by name and
// size in the chosen unit. CLiveScanCommand (live_scan_command.h) puts them
// together, scanning on a worker thread unless the path is byte for byte the
// one scanned last.
//
// The scanner and the kept scan are owned by the caller, which keeps them
// for the life of the process (core/process_scan.h).

#include <string>
#include <string_view>

#include "core/entry_source.h"
#include "core/kept_scan.h"
#include "core/message_box.h"
#include "core/tree_sink.h"
#include "core/wait_cursor.h"
#include "model/labels.h"
#include "platform/path_rules.h"  // kDefaultStartDir, where the dialog starts
#include "scan/scan_entry.h"

namespace sizewalk {

// The three values the dialog exchanges with its controls.
struct ScanFields {
    std::string m_strStartDir;  // bytes, as the file system takes them
    Units m_eUnits = Units::None;
    Files m_eFiles = Files::Hidden;
};

inline constexpr std::string_view kInvalidStartDirText =
    "Start directory does not exist or is not a directory";
inline constexpr std::string_view kOutOfMemoryText = "Out of memory.";
// When the file manager cannot be started; the folder's path follows.
inline constexpr std::string_view kCannotOpenFolderText = "Nothing could open the folder ";

// Makes the typed start path the one to scan: "~" expanded (not on
// Windows), one trailing separator stripped. True when the result names a
// directory (or, on Windows, a bare drive).
bool PrepareStartPath(std::string& path);
// The same without looking at the disk.
void NormalizeStartPath(std::string& path);

// Removes one trailing separator byte (a backslash or a slash on Windows),
// except from a path that is nothing but that separator (the root).
void StripTrailingSeparator(std::string& path);

// kFileAttributeDirectory when `path`, as typed (links it names followed),
// is an existing directory; otherwise 0.
int IsExistingDirectory(const std::string& path);

// 1 when `path`, after dropping one trailing backslash (or, on Windows, a
// slash), is a letter and a colon (a bare drive); otherwise 0. Only
// drive-letter systems consult it.
int IsDriveSpec(std::string_view path);

// Rebuilds the whole tree from `list`.
void FillTree(const CScanList& list, Units units, Files files, CTreeSink& tree);

enum class ScanOutcome {
    Rejected,        // not a directory: the message was shown
    Scanned,         // scanned, then filled
    Redrawn,         // the kept scan filled the tree again
    OutOfMemory,     // reported; the tree is empty and the kept scan forgotten
    Started,         // a live scan runs; the tree fills when it finishes
    Stopped,         // a live scan was stopped: empty tree, kept scan forgotten
    Busy,            // a live scan is running: nothing done
    Queued,          // a stopped scan has not returned yet: the press waits for it
    Opened,          // a saved scan was read: the kept scan now, filled
    OpenFailed,      // a saved scan could not be read: the kept scan stays as it was
    Measured,        // a directory was read afresh before a removal: the kept scan stays
    MeasureStopped,  // that read was dropped: the kept scan stays as it was
};

// Fills the tree from the kept scan with the fields' unit and file switch.
// Redrawn, or OutOfMemory after ReportOutOfMemory.
ScanOutcome FillKeptScan(CKeptScan& kept, const ScanFields& fields, CTreeSink& tree,
                         CMessageBox& messages);

// After an allocation failure: empties the tree and forgets the kept scan,
// so that the next press scans afresh instead of building from whatever is
// left, and shows "Out of memory.".
void ReportOutOfMemory(CKeptScan& kept, CTreeSink& tree, CMessageBox& messages);

}  // namespace sizewalk
