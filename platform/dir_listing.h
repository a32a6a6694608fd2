#pragma once
// Opening and reading directories, for one walk below a start directory.
//
// Opening is separate from reading, so that a walker can open a directory
// while it still holds the parent, and read it later on any thread. Every
// directory below the start is entered under one rule at every depth,
// decided from what the entry itself says before it is opened (its own stat
// on Linux, its listing record on Windows): it is no link (or
// other reparse point), it lies on the start directory's file system (mount
// points, bind mounts, btrfs subvolumes and snapshots -- another device
// number -- and automount points are listed, never entered, and an
// automount point is never triggered), and its path fits the platform's
// limit. A directory that fails the rule is refused; one that cannot be
// opened (no permission, vanished, path too long) has failed, and says why.
// The walker lists both without children.
//
// Reading gives one FindRecord per entry, "." and ".." left out, in the order
// the file system returns them. Sizes are those of the entries themselves:
// links are never followed and special files never opened. An entry that
// vanishes before its size is read is left out.
//
// A read that ends early (the system refused a further batch, or an entry's
// size could not be read) keeps what it read and says why: the directory was
// read only in part.
//
// Handles and readers are not shared between threads; the functions are safe
// to call from several threads at once.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/find_record.h"

namespace sizewalk {

enum class OpenStatus {
    Opened,
    Refused,    // not entered by the rule: listed without children
    Failed,     // could not be opened: listed without children, DirHandle::Error() says why
    NoHandles,  // the process has no file handle to spare: try again once some are given back
};

// Tests only: stands in for the file system where the walk decides, so that
// what a test cannot make on a real disk (an automount point, another device,
// a failure as root) can still be shown. One hook for the process, set while
// no scan runs; when none is set, each point costs one load. It is called
// from any walking thread at once.
class ListingHookForTesting {
public:
    // What a directory's own stat says, as the rule reads it.
    struct Facts {
        std::uint64_t nDevice = 0;
        std::uint64_t nMount = 0;  // mount id; 0 where the system does not tell
        bool bAutomount = false;   // an automount point not mounted yet
        bool bMountRoot = false;   // the root of a mount
    };

    virtual ~ListingHookForTesting() = default;
    // `name` is what is opened: the start's path as typed, else a name (or
    // path) relative to an open directory, ending in the directory's name.
    virtual void OnFacts(std::string_view name, Facts& facts) {
        (void)name;
        (void)facts;
    }
    // An error code for opening `name` to fail with, or 0.
    virtual int OpenError(std::string_view name) {
        (void)name;
        return 0;
    }
    // An error code for the read of `name` to fail with after its first
    // batch, or 0.
    virtual int ReadError(std::string_view name) {
        (void)name;
        return 0;
    }
    // Before each system call of a read: a batch of the listing (`listing`)
    // or one entry's size.
    virtual void OnReadCall(bool listing) { (void)listing; }
};

namespace detail {
inline std::atomic<ListingHookForTesting*> g_listingHook{nullptr};
}
inline void SetListingHookForTesting(ListingHookForTesting* hook) {
    detail::g_listingHook.store(hook, std::memory_order_release);
}
inline ListingHookForTesting* ListingHook() {
    return detail::g_listingHook.load(std::memory_order_acquire);
}

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
    // its listing record carries it instead); also when it was refused or
    // failed, as far as its stat tells, unless it lies on another device.
    std::uint64_t OwnDiskSize() const { return m_nOwnDisk; }
    // The directory's own modification time where opening it tells it
    // (seconds since 1970 UTC), else kUnknownTime (its listing record may
    // carry it instead).
    std::int64_t OwnModified() const { return m_nOwnTime; }
    // Why the last open failed (errno, or a Windows error code); 0 after any
    // other outcome.
    int Error() const { return m_nError; }

private:
    friend OpenStatus OpenStartDir(const char*, DirHandle&);
    friend OpenStatus OpenSubdir(const DirHandle&, const char*, std::size_t, DirHandle&);
    friend OpenStatus OpenBelowStart(const DirHandle&, const char*, std::size_t, DirHandle&);
    friend class DirReader;

    std::uint64_t m_nOwnDisk = 0;
    std::int64_t m_nOwnTime = kUnknownTime;
    int m_nError = 0;
    int m_nReadFault = 0;  // tests only: what the read fails with after its first batch
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
OpenStatus OpenBelowStart(const DirHandle& start, const char* relativePath, std::size_t pathLength,
                          DirHandle& out);

// Reads whole directories into one buffer, reused from one directory to the
// next.
class DirReader {
public:
    DirReader() = default;
    DirReader(DirReader&&) noexcept = default;
    DirReader& operator=(DirReader&&) noexcept = default;

    // Reads every record of `dir` now. False when `dir` is not open, or when
    // `*stop` became true meanwhile (what was read is then dropped); `*stop`
    // is read before every system call. True otherwise, also when the read
    // ended early: Error() then says why.
    bool Read(const DirHandle& dir, const std::atomic<bool>* stop = nullptr);
    // Why the last Read() got only part of the directory (errno, or a
    // Windows error code); 0 when it got all of it.
    int Error() const { return m_nError; }
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
    int m_nError = 0;
    std::vector<LinkInfo> m_links;
    std::size_t m_nextLink = 0;
#ifndef _WIN32
    std::vector<std::int64_t> m_times;  // one a record, in buffer order
    std::size_t m_nextTime = 0;
#endif
};

}  // namespace sizewalk
