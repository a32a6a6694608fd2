#pragma once
// Opening and reading directories, for one walk below a start directory.
//
// Opening is separate from reading, so that a walker can open a directory
// while it still holds the parent, and read it later on any thread. Every
// directory below the start is entered under one rule at every depth: it is
// no link (or other reparse point), it lies on the start directory's file
// system (mount points and bind mounts are listed, never entered), and its
// path fits the platform's limit. A directory that fails the rule, cannot be
// opened or has vanished is refused: the walker lists it without children.
//
// Reading gives one FindRecord per entry, "." and ".." left out, in the order
// the file system returns them. Sizes are those of the entries themselves:
// links are never followed and special files never opened. An entry that
// vanishes before its size is read is left out.
//
// Handles and readers are not shared between threads; the functions are safe
// to call from several threads at once.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/find_record.h"

namespace sizewalk {

enum class OpenStatus {
    Opened,
    Refused,    // listed without children
    NoHandles,  // the process has no file handle to spare: try again once some are given back
};

// One open directory.
class DirHandle {
public:
    DirHandle() = default;
    ~DirHandle();
    DirHandle(DirHandle&& other) noexcept;
    DirHandle& operator=(DirHandle&& other) noexcept;
    DirHandle(const DirHandle&) = delete;
    DirHandle& operator=(const DirHandle&) = delete;

    bool IsOpen() const;
    // Gives the operating-system handle back.
    void Close();
    // The directory's own size on disk where opening it tells it (0 where
    // its listing record carries it instead).
    std::uint64_t OwnDiskSize() const { return m_nOwnDisk; }

private:
    friend OpenStatus OpenStartDir(const char*, DirHandle&);
    friend OpenStatus OpenSubdir(const DirHandle&, const char*, std::size_t, DirHandle&);
    friend OpenStatus OpenBelowStart(const DirHandle&, const char*, std::size_t, DirHandle&);
    friend class DirReader;

    std::uint64_t m_nOwnDisk = 0;
#ifdef _WIN32
    void* m_hDir = nullptr;  // the directory's HANDLE, opened for listing
#else
    int m_fd = -1;
    std::uint64_t m_mount = 0;   // mount id (or device) of the walk's start
    std::uint64_t m_device = 0;  // the directory's own device
    bool m_bWholeReads = false;  // a read that leaves room ends the directory
#endif
};

// The start directory as the user typed it; a link it names is followed.
OpenStatus OpenStartDir(const char* path, DirHandle& out);

// The subdirectory `name` of the open directory `parent`. `pathLength` is the
// length of the subdirectory's full path.
OpenStatus OpenSubdir(const DirHandle& parent, const char* name, std::size_t pathLength,
                      DirHandle& out);

// A directory below the open start directory `start`, by its path relative to
// it ("a/b/c"), for when its parent's handle has been given back. Follows the
// same rule as OpenSubdir for every directory on the way.
OpenStatus OpenBelowStart(const DirHandle& start, const char* relativePath,
                          std::size_t pathLength, DirHandle& out);

// Reads whole directories into one buffer, reused from one directory to the
// next.
class DirReader {
public:
    DirReader() = default;
    DirReader(DirReader&&) noexcept = default;
    DirReader& operator=(DirReader&&) noexcept = default;

    // Reads every record of `dir` now. False when it cannot be read at all,
    // or when `*stop` became true meanwhile (what was read is then dropped).
    bool Read(const DirHandle& dir, const std::atomic<bool>* stop = nullptr);
    // The next record; false after the last. The record's name stays valid
    // until the next Read().
    bool Next(FindRecord& out);
    // Goes back to the first record.
    void Rewind();
    // Forgets the records and gives a large buffer's memory back.
    void Clear();

    // Tests only: the first read asks for this many bytes (the buffer grows
    // as records need), and every directory is read until a read returns
    // nothing, as on file systems whose reads may stop short anywhere.
    void SetFirstRead(std::size_t bytes) { m_nFirstRead = bytes; }
    void SetReadUntilEmpty(bool untilEmpty) { m_bUntilEmpty = untilEmpty; }

private:
    // Who the files with several links are, by the offset of their record.
    struct LinkInfo {
        std::size_t nOffset;
        std::uint64_t nDevice;
        std::uint64_t nInode;
    };

    std::vector<char> m_buffer;  // the records, in the platform's own packing
    std::size_t m_used = 0;
    std::size_t m_pos = 0;
    std::size_t m_nFirstRead = 4 * 1024;
    bool m_bUntilEmpty = false;
    std::vector<LinkInfo> m_links;
    std::size_t m_nextLink = 0;
};

}  // namespace sizewalk
