#include "core/scan_command.h"

#include <cstdint>
#include <cstdio>
#include <new>
#include <vector>

#include "platform/find_record.h"
#include "core/home_path.h"

namespace sizewalk {

namespace {

constexpr std::int32_t kMarkerDepth = -99;          // below every real key

// Writes with snprintf into a stack buffer, growing into `out` only for
// labels longer than any that a 255-byte name produces.
template <typename Format>
void Print(std::string& out, Format&& format) {
    char buffer[512];
    const int n = format(buffer, sizeof buffer);
    if (n < 0) {
        out.clear();
        return;
    }
    if (static_cast<std::size_t>(n) < sizeof buffer) {
        out.assign(buffer, static_cast<std::size_t>(n));
        return;
    }
    out.resize(static_cast<std::size_t>(n) + 1);
    format(out.data(), out.size());
    out.resize(static_cast<std::size_t>(n));
}

// Windows takes the slash as a separator as well as the backslash; a drive
// spec may end in either there, and in a backslash on every system.
#ifdef _WIN32
constexpr std::string_view kSeparators = "\\/";
constexpr std::string_view kDriveSeparators = "\\/";
#else
constexpr std::string_view kSeparators = "/";
constexpr std::string_view kDriveSeparators = "\\";
#endif

}  // namespace

void StripTrailingSeparator(std::string& path) {
    if (path.size() > 1 && kSeparators.find(path.back()) != std::string_view::npos)
        path.pop_back();
}

int IsExistingDirectory(const std::string& path) {
    // A NUL inside would probe a shorter path than the one typed.
    if (path.find('\0') != std::string::npos) return 0;
    FindRecord record;
    if (!ProbePath(path.c_str(), record)) return 0;
    return static_cast<int>(record.dwFileAttributes & kFileAttributeDirectory);
}

int IsDriveSpec(std::string_view path) {
    if (!path.empty() && kDriveSeparators.find(path.back()) != std::string_view::npos)
        path.remove_suffix(1);
    if (path.size() != 2 || path[1] != ':') return 0;
    const char c = path[0];
    return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) ? 1 : 0;
}

double LabelSize(const CScanEntry& entry, SizeMode mode) { return entry.GetShownSize(mode); }

void FormatLabel(std::string& out, const char* name, double size, int nUnits) {
    switch (nUnits) {
        case kUnitsMB:
            Print(out, [&](char* b, std::size_t n) {
                return std::snprintf(b, n, "%s [%6.2fMB]", name, size * kBytesToMB);
            });
            break;
        case kUnitsKB:
            Print(out, [&](char* b, std::size_t n) {
                return std::snprintf(b, n, "%s [%8.2fKB]", name, size * kBytesToKB);
            });
            break;
        default:
            Print(out, [&](char* b, std::size_t n) {
                return std::snprintf(b, n, "%s [%10.0f bytes]", name, size);
            });
            break;
    }
}

void FormatLabel(std::string& out, const CScanEntry& entry, int nUnits, SizeMode mode) {
    FormatLabel(out, entry.GetNameCStr(), LabelSize(entry, mode), nUnits);
}

void FillTree(CEntrySource& source, int nUnits, bool showFiles, CTreeSink& tree) {
    tree.DeleteAllItems();
    tree.ReserveItems(source.GetCount());

    // Bottom of the ancestor stack: below every key, and its null handle
    // makes the start entry a top-level item.
    FindRecord markerRecord;
    markerRecord.dwFileAttributes = kFileAttributeDirectory;
    CScanEntry marker(markerRecord, " ");
    marker.m_nDepth = kMarkerDepth;
    marker.m_hTreeItem = kNoTreeItem;

    std::vector<CScanEntry*> ancestors;
    ancestors.reserve(64);
    ancestors.push_back(&marker);
    source.Rewind(0);
    while (CScanEntry* entry = source.GetNext()) {
        while (ancestors.back()->m_nDepth >= entry->m_nDepth) ancestors.pop_back();
        const TreeItem parent = ancestors.back()->m_hTreeItem;
        const bool directory = entry->IsDirectory() != 0;
        if (directory) ancestors.push_back(entry);
        if (showFiles || directory) {
            const TreeItem item = tree.InsertItem(parent, *entry, nUnits);
            if (item > kMaxTreeItem) throw std::bad_alloc();  // more items than handles
            entry->m_hTreeItem = item;
        }
    }
    tree.EndInsert();
}

bool PrepareStartPath(std::string& path) {
    ExpandHome(path);
    StripTrailingSeparator(path);
    bool valid = IsExistingDirectory(path) != 0;
#ifdef _WIN32
    valid = valid || IsDriveSpec(path) != 0;
#endif
    return valid;
}

void ReportOutOfMemory(std::string& lastScannedDir, CTreeSink& tree, CMessageBox& messages) {
    lastScannedDir.clear();
    tree.DeleteAllItems();
    messages.Show(kOutOfMemoryText, MessageIcon::Warning);
}

ScanOutcome FillKeptScan(CEntrySource& scanner, const ScanFields& fields,
                         std::string& lastScannedDir, CTreeSink& tree, CMessageBox& messages) {
    try {
        FillTree(scanner, fields.m_nUnits, fields.m_bShowFiles != 0, tree);
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory(lastScannedDir, tree, messages);
        return ScanOutcome::OutOfMemory;
    }
    return ScanOutcome::Redrawn;
}

ScanOutcome RunScanCommand(ScanFields& fields, CEntrySource& scanner,
                           std::string& lastScannedDir, CTreeSink& tree,
                           CMessageBox& messages, CWaitCursor& cursor) {
    if (!PrepareStartPath(fields.m_strStartDir)) {
        messages.Show(kInvalidStartDirText, MessageIcon::None);
        return ScanOutcome::Rejected;
    }

    bool scanned = false;
    try {
        CWaitCursorScope wait(cursor);
        if (fields.m_strStartDir != lastScannedDir) {
            // The items show entries that the scan releases: drop them first.
            tree.DeleteAllItems();
            lastScannedDir.clear();
            scanner.Scan(fields.m_strStartDir, nullptr);
            lastScannedDir = fields.m_strStartDir;
            scanned = true;
        }
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory(lastScannedDir, tree, messages);
        return ScanOutcome::OutOfMemory;
    }
    const ScanOutcome filled = FillKeptScan(scanner, fields, lastScannedDir, tree, messages);
    if (filled != ScanOutcome::Redrawn) return filled;
    return scanned ? ScanOutcome::Scanned : ScanOutcome::Redrawn;
}

}  // namespace sizewalk
