#pragma once
// What the tree's actions do on disk: move an item to the trash, delete it
// for good, open a terminal in a directory. Paths are UTF-8 bytes as the
// scan recorded them.
//
// Both removals act on the item itself, never on what a link names: a link
// goes as a link. Neither crosses into another file system: an item on
// another device than the scan's start is refused, and the permanent delete
// leaves any directory below on another device where it is (a failure).
// Where a volume has no usable trash, nothing at all is done.

#include <cstdint>
#include <string>

namespace sizewalk {

enum class RemoveStatus {
    Removed,     // the item is gone
    Partial,     // some of it is gone: the rest must be read again
    NotRemoved,  // nothing was done
    NoTrash,     // nothing was done: the item's volume has no usable trash
};

struct RemoveResult {
    RemoveStatus eStatus = RemoveStatus::NotRemoved;
    // What failed, one line an item (at most a few, then how many more);
    // empty when the item is gone.
    std::string strFailures;
};

// Moves `path` to the trash of its volume (Linux: the freedesktop.org
// trash; Windows: the Recycle Bin). `startPath` is the scan's start
// directory.
RemoveResult MoveToTrash(const std::string& path, const std::string& startPath);

// Deletes `path`: a file or link, or a directory and everything below it.
RemoveResult DeletePermanently(const std::string& path, const std::string& startPath);

// Whether `path` itself is there (a link counts, whatever it names); true
// also when that cannot be told.
bool ItemExists(const std::string& path);
// When `path` (a link itself, not what it names) was last modified, in
// seconds since 1970; 0 when that cannot be told.
std::int64_t ItemModified(const std::string& path);

// Starts a terminal in the directory `dir`, not waiting for it (Linux:
// x-terminal-emulator; Windows: Windows Terminal where it is installed,
// else cmd). False when none could be started.
bool OpenTerminal(const std::string& dir);

}  // namespace sizewalk
