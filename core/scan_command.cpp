#include "core/scan_command.h"

#include <cstdint>
#include <new>
#include <vector>

#include "core/home_path.h"
#include "platform/find_record.h"
#include "platform/path_rules.h"

namespace sizewalk {

void StripTrailingSeparator(std::string& path) {
    if (path.size() > 1 && kPathSeparators.find(path.back()) != std::string_view::npos)
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

void FillTree(const CScanList& list, Units units, Files files, CTreeSink& tree) {
    tree.DeleteAllItems();
    if (!list.Empty()) tree.ShowList(list, units, files);
}

void NormalizeStartPath(std::string& path) {
    ExpandHome(path);
    StripTrailingSeparator(path);
}

bool PrepareStartPath(std::string& path) {
    NormalizeStartPath(path);
    bool valid = IsExistingDirectory(path) != 0;
    if (kDrivesAreDirectories) valid = valid || IsDriveSpec(path) != 0;
    return valid;
}

void ReportOutOfMemory(CKeptScan& kept, CTreeSink& tree, CMessageBox& messages) {
    // The items refer to the list: they go first.
    tree.DeleteAllItems();
    kept.Clear();
    messages.Show(kOutOfMemoryText, MessageIcon::Warning);
}

ScanOutcome FillKeptScan(CKeptScan& kept, const ScanFields& fields, CTreeSink& tree,
                         CMessageBox& messages) {
    try {
        FillTree(kept.List(), fields.m_eUnits, fields.m_eFiles, tree);
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory(kept, tree, messages);
        return ScanOutcome::OutOfMemory;
    }
    return ScanOutcome::Redrawn;
}

}  // namespace sizewalk
