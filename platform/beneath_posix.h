#pragma once
// Reaching an item below a scan's start directory by descriptors (Linux).
//
// The start path is opened as the scan opened it; from there every
// component is entered without following a link and without leaving the
// start's mount (bind mounts included): openat2 with RESOLVE_BENEATH,
// RESOLVE_NO_SYMLINKS and RESOLVE_NO_XDEV, or, on a kernel or sandbox
// without it, one component at a time, each checked to be a directory on
// the start's mount. What is reached is the item's parent, open as a
// directory, and the item's own stat read from it without following it.
// Nothing here changes the disk.

#include <sys/stat.h>

#include <cstdint>
#include <string>

namespace sizewalk::posix {

// An owned file descriptor, closed when it goes.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& other) noexcept : m_fd(other.Release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int Get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    int Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset(int fd = -1);

private:
    int m_fd = -1;
};

// The mount id of what `fd` names (statx, else /proc/self/fdinfo); 0 when
// neither tells.
std::uint64_t MountIdOf(int fd);

// Why a directory is not removed where MountIdOf gives 0 for the start: a
// bind mount below could not be told from an ordinary directory.
inline constexpr const char* kMountsUnknown =
    "the system does not tell where file systems are mounted, so a directory is not removed";

// An entry's own facts, read from its directory without following it. A
// mount point's are those of the root mounted there.
struct EntryFacts {
    mode_t mode = 0;
    std::uint64_t nDevice = 0;
    std::uint64_t nInode = 0;
    std::uint64_t nMount = 0;  // 0 where the system does not tell
    std::uint64_t nSize = 0;
    std::uint64_t nDiskSize = 0;
    std::int64_t nModified = 0;
    // The kind and, where the file system keeps it, the birth time: what
    // tells an object from a later one given the same inode number.
    std::uint64_t nStamp = 0;
};
// 0, or the errno of the failed stat.
int FactsAt(int dirFd, const char* name, EntryFacts& facts);

enum class ReachStatus {
    Reached,  // the parent is open and the item's facts are read
    Gone,     // the item or a directory on its way is not there
    Changed,  // a link, a mount or a non-directory stands in the way
    Failed,   // the system refused (strWhy says why)
};

struct Reached {
    ReachStatus eStatus = ReachStatus::Failed;
    std::string strWhy;  // for Changed and Failed: what stands in the way, names shown
    Fd start;            // the start directory (O_PATH)
    std::uint64_t nStartMount = 0;
    std::uint64_t nStartDevice = 0;
    Fd parent;         // the item's parent directory (O_PATH); the start when the item is it
    std::string leaf;  // the item's name in `parent`; empty when the item is the start
    EntryFacts item;   // the item's own facts (Reached only)
    // Whether the item lies on the start's file system: another mount or
    // device means something is mounted at it.
    bool OnStartMount() const;
};

// Reaches `path` (the start path, or it, a '/' and a relative path) from
// `startPath`. Names in strWhy go through VisibleText.
Reached Reach(const std::string& path, const std::string& startPath);

// Opens `name` in `dirFd` as a directory for reading, not following a link
// and not entering a mount; -1 with errno set (ELOOP, EXDEV, ENOTDIR...).
int OpenDirBeneath(int dirFd, const char* name);

// Tests only: false makes reaching use the component-by-component way, as
// on a kernel without openat2.
void UseOpenat2ForTesting(bool use);

}  // namespace sizewalk::posix
