#pragma once
// What the directory enumeration reports for one entry, and the few facts of
// the platform's paths that the scanner depends on.

#include <cstdint>
#include <string_view>

#include "platform/path_rules.h"  // kPathSeparator, kPathSeparators

namespace sizewalk {

inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;
inline constexpr std::uint32_t kFileAttributeReparsePoint = 0x400;  // symbolic links

inline constexpr std::int64_t kUnknownTime = INT64_MIN;

struct FindRecord {
    std::uint32_t dwFileAttributes = 0;
    std::uint32_t nFileSizeHigh = 0;  // directories always carry 0
    std::uint32_t nFileSizeLow = 0;
    // Bytes the entry occupies on disk. A directory's own blocks may instead
    // come from opening it (DirHandle::OwnDiskSize), where the listing cannot
    // tell them.
    std::uint64_t nDiskSize = 0;
    // Who a file with more than one hard link is, so that its blocks are
    // counted once; both 0 for every other entry, and where links cannot be
    // told apart cheaply.
    std::uint64_t nLinkDevice = 0;
    std::uint64_t nLinkInode = 0;
    // Last modification, in seconds since 1970-01-01 UTC; kUnknownTime where
    // the listing does not tell it (a directory's may come from opening it,
    // DirHandle::OwnModified).
    std::int64_t nModified = kUnknownTime;
    std::string_view cFileName;  // borrowed; valid until the producer reads on
    // Neither a regular file, a directory nor a link: a FIFO, socket or
    // device, listed with its own size and never opened.
    bool bSpecial = false;
    // A directory the walk listed but did not enter because it lies on
    // another file system (a mount point, a subvolume).
    bool bOtherFileSystem = false;

    bool IsDirectory() const { return (dwFileAttributes & kFileAttributeDirectory) != 0; }
    // A link or other reparse point: listed, never entered.
    bool IsReparsePoint() const { return (dwFileAttributes & kFileAttributeReparsePoint) != 0; }
    std::uint64_t Size() const { return (std::uint64_t{nFileSizeHigh} << 32) | nFileSizeLow; }
    void SetSize(std::uint64_t n) {
        nFileSizeHigh = static_cast<std::uint32_t>(n >> 32);
        nFileSizeLow = static_cast<std::uint32_t>(n);
    }
};

// The own size as the program computes it: high * 2^32 + low, in double.
inline double FileSizeFromHalves(std::uint32_t high, std::uint32_t low) {
    return static_cast<double>(high) * 4294967296.0 + static_cast<double>(low);
}

// The entries "." and ".." that every listing skips (byte comparison).
inline bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// Number of separator bytes in a NUL-terminated text (bytes, not characters).
int CountSeparators(const char* text);

// Probes a plain path as the user typed it (links named by the user are
// followed). Fills attributes and size; the name is left empty.
bool ProbePath(const char* path, FindRecord& out);

}  // namespace sizewalk
