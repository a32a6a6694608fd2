#pragma once
// Deleting a directory and everything below it for good (Linux), from
// directory descriptors only, never by path.
//
// The walk keeps its own stack, not the call stack's, so any depth is fine;
// it holds at most a small fixed number of directory streams open, and a
// directory whose stream was let go is opened again through its child's
// "..", checked to be the same directory. It never leaves the directory's
// mount or device: whatever is mounted below stays, with the directories
// that lead to it, and each such place is named in the failures. An entry
// that could not go is not tried again when its directory is read anew.

#include <cstdint>
#include <string>

#include "platform/beneath_posix.h"
#include "platform/failure_lines.h"

namespace sizewalk::posix {

struct TreeDeleteOutcome {
    bool bRemovedAny = false;  // at least one entry, or the directory, went
    bool bAllGone = false;     // the directory itself went
};

// Empties `dir` (open for reading; the entry `leaf` of `parentFd`, which was
// checked to be `device`/`inode` on mount `mount`) and then removes `leaf`.
// `shownPath` is the directory's path for the failures.
TreeDeleteOutcome DeleteTree(int parentFd, const std::string& leaf, Fd dir, std::uint64_t device,
                             std::uint64_t inode, std::uint64_t mount, const std::string& shownPath,
                             FailureLines& failures);

// The failure text for a place where another file system is mounted.
inline constexpr const char* kMountedHere = "another file system is mounted here";

}  // namespace sizewalk::posix
