// The walk on one thread: depth first, each directory read whole when it is
// opened, so the list comes out in pre-order as it is read.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/dir_listing.h"
#include "scan/list_builder.h"

namespace sizewalk {

namespace {

// Levels deeper than this give up their handle (children are then opened by
// their path below the start), so that a deep tree never runs out of file
// handles.
constexpr std::size_t kOpenLevels = 128;

struct Level {
    DirHandle handle;
    DirReader reader;
    std::int32_t nChildDepth = 0;
    std::size_t nPathLength = 0;
};

}  // namespace

bool WalkSequential(std::string_view startPath, CDirScanner::Builder& list) {
    // Level 0, the start, keeps its handle for the whole walk: deeper
    // directories whose parent gave its handle back are opened below it.
    std::vector<Level> levels(1);
    std::int32_t rootChildDepth = 0;
    if (!list.Begin(startPath, levels[0].handle, rootChildDepth)) return true;
    CScanProgress* const progress = list.Progress();
    std::string path(startPath);
    const std::size_t relativeStart =
        path.size() + (path.empty() || path.back() != kPathSeparator ? 1 : 0);
    list.Tune(levels[0].reader);
    if (progress) progress->SetDir(path);
    if (!levels[0].reader.Read(levels[0].handle, list.Stop())) return !list.Stopped();
    if (const int error = levels[0].reader.Error()) list.MarkUnreadable(0, error);
    levels[0].nChildDepth = rootChildDepth;
    levels[0].nPathLength = path.size();
    std::size_t active = 1;

    std::uint64_t found = 0, bytes = 0, disk = 0;
    auto report = [&] {
        if (!progress) return;
        progress->AddFound(found, bytes, disk);
        found = bytes = disk = 0;
    };

    FindRecord record;
    while (active > 0) {
        if (list.Stopped()) return false;
        Level& level = levels[active - 1];
        if (!level.reader.Next(record)) {
            level.reader.Clear();
            if (active > 1) level.handle.Close();
            --active;
            continue;
        }
        CScanEntry& entry = list.Add(record, level.nChildDepth);
        ++found;
        bytes += record.Size();
        disk += entry.GetDiskSize();  // a further link to a file counts no blocks
        if (found >= 4096) report();
        if (!record.IsDirectory() || record.IsReparsePoint()) continue;

        // One separator between levels; the root "/" already ends in one.
        path.resize(level.nPathLength);
        if (path.empty() || path.back() != kPathSeparator) path += kPathSeparator;
        path += entry.GetName();
        const std::size_t entryIndex = list.Count() - 1;

        if (active == levels.size()) list.Tune(levels.emplace_back().reader);  // may move `level`
        Level& parent = levels[active - 1];
        Level& child = levels[active];
        auto open = [&] {
            return parent.handle.IsOpen()
                       ? OpenSubdir(parent.handle, entry.GetNameCStr(), path.size(), child.handle)
                       : OpenBelowStart(levels[0].handle, path.c_str() + relativeStart, path.size(),
                                        child.handle);
        };
        OpenStatus status = open();
        if (status == OpenStatus::NoHandles) {
            // Out of file handles: give back every one but the start's, and
            // carry on below the start.
            for (std::size_t i = 1; i < active; ++i) levels[i].handle.Close();
            status = open();
        }
        list.At(entryIndex).m_nDiskSize += child.handle.OwnDiskSize();
        disk += child.handle.OwnDiskSize();
        if (status != OpenStatus::Opened) {  // no children
            if (status == OpenStatus::Refused)
                list.At(entryIndex).MarkOtherFileSystem();
            else
                list.MarkUnreadable(entryIndex, child.handle.Error());
            continue;
        }
        if (progress && progress->WantsDir()) {
            report();
            progress->SetDir(path);
        }
        if (!child.reader.Read(child.handle, list.Stop())) return false;  // stopped
        if (const int error = child.reader.Error()) list.MarkUnreadable(entryIndex, error);
        child.nChildDepth = parent.nChildDepth + 1;
        child.nPathLength = path.size();
        ++active;
        if (active > kOpenLevels + 1) levels[active - 1 - kOpenLevels].handle.Close();
    }
    report();
    return true;
}

}  // namespace sizewalk
