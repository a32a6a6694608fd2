#include "platform/beneath_posix.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/error_text.h"
#include "platform/visible_text.h"

namespace sizewalk::posix {

namespace {

std::atomic<bool> s_openat2Missing{false};  // the kernel or a sandbox refuses it
std::atomic<bool> s_openat2Wanted{true};    // tests turn it off

bool Openat2Usable() {
    return s_openat2Wanted.load(std::memory_order_relaxed) &&
           !s_openat2Missing.load(std::memory_order_relaxed);
}

// openat2 below `dirFd`: no link, no mount crossed, nothing above `dirFd`.
// -2 when the system has no openat2 (from now on the other way is taken).
int OpenBeneath(int dirFd, const char* path, int flags) {
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags | O_NOFOLLOW | O_CLOEXEC);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, dirFd, path, &how, sizeof how);
    if (fd >= 0) return static_cast<int>(fd);
    if (errno == ENOSYS || errno == EPERM || errno == E2BIG) {
        s_openat2Missing.store(true, std::memory_order_relaxed);
        return -2;
    }
    return -1;
}

std::uint64_t MountFromFdinfo(int fd) {
    char name[64];
    std::snprintf(name, sizeof name, "/proc/self/fdinfo/%d", fd);
    FILE* file = std::fopen(name, "re");
    if (!file) return 0;
    std::uint64_t mount = 0;
    char line[256];
    while (std::fgets(line, sizeof line, file)) {
        unsigned long long value = 0;
        if (std::sscanf(line, "mnt_id: %llu", &value) == 1) {
            mount = value;
            break;
        }
    }
    std::fclose(file);
    return mount;
}

Fd Dup(int fd) { return Fd(::fcntl(fd, F_DUPFD_CLOEXEC, 0)); }

std::string Shown(const std::string& path, std::size_t length) {
    return VisibleText(std::string_view(path).substr(0, length), '/');
}

// One component at a time from `start` to the directory `rel` names: each
// opened without following it, each a directory on the start's mount.
// `shownBase` is how much of `path` precedes `rel`.
void WalkComponents(Reached& r, const std::string& path, std::size_t relBegin, std::size_t relEnd) {
    Fd current = Dup(r.start.Get());
    if (!current.IsOpen()) {
        r.eStatus = ReachStatus::Failed;
        r.strWhy = ErrorText(errno);
        return;
    }
    std::size_t pos = relBegin;
    while (pos < relEnd) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos || end > relEnd) end = relEnd;
        if (end == pos) {  // doubled separator
            ++pos;
            continue;
        }
        const std::string name = path.substr(pos, end - pos);
        const std::string shown = Shown(path, end);
        if (name == "." || name == "..") {
            r.eStatus = ReachStatus::Changed;
            r.strWhy = "the path leaves its directory at " + shown;
            return;
        }
        Fd next(::openat(current.Get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (!next.IsOpen() || ::fstat(next.Get(), &st) != 0) {
            const int error = errno;
            r.eStatus = error == ENOENT ? ReachStatus::Gone : ReachStatus::Failed;
            r.strWhy = shown + ": " + ErrorText(error);
            return;
        }
        if (S_ISLNK(st.st_mode)) {
            r.eStatus = ReachStatus::Changed;
            r.strWhy = "a link stands in its way at " + shown;
            return;
        }
        if (!S_ISDIR(st.st_mode)) {
            r.eStatus = ReachStatus::Changed;
            r.strWhy = shown + " is no longer a directory";
            return;
        }
        if (static_cast<std::uint64_t>(st.st_dev) != r.nStartDevice ||
            MountIdOf(next.Get()) != r.nStartMount) {
            r.eStatus = ReachStatus::Changed;
            r.strWhy = "another file system is mounted at " + shown;
            return;
        }
        current = std::move(next);
        pos = end + 1;
    }
    r.parent = std::move(current);
    r.eStatus = ReachStatus::Reached;
}

}  // namespace

void Fd::Reset(int fd) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
}

std::uint64_t MountIdOf(int fd) {
    struct statx stx {};
    if (::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &stx) == 0 &&
        (stx.stx_mask & STATX_MNT_ID))
        return stx.stx_mnt_id;
    return MountFromFdinfo(fd);
}

int FactsAt(int dirFd, const char* name, EntryFacts& facts) {
    const int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | (*name ? 0 : AT_EMPTY_PATH);
    struct statx stx {};
    if (::statx(dirFd, name, flags,
                STATX_TYPE | STATX_INO | STATX_SIZE | STATX_BLOCKS | STATX_MTIME | STATX_MNT_ID |
                    STATX_BTIME,
                &stx) == 0) {
        facts.mode = stx.stx_mode;
        facts.nDevice = static_cast<std::uint64_t>(makedev(stx.stx_dev_major, stx.stx_dev_minor));
        facts.nInode = stx.stx_ino;
        facts.nSize = stx.stx_size;
        facts.nDiskSize = stx.stx_blocks * 512;
        facts.nModified = stx.stx_mtime.tv_sec;
        facts.nMount = (stx.stx_mask & STATX_MNT_ID) ? stx.stx_mnt_id : 0;
        if (stx.stx_mask & STATX_BTIME)
            facts.nStamp = static_cast<std::uint64_t>(stx.stx_btime.tv_sec) * 1000000000u +
                           stx.stx_btime.tv_nsec;
    } else if (errno == ENOSYS || errno == EPERM) {
        struct stat st {};
        if (::fstatat(dirFd, name, &st, flags) != 0) return errno;
        facts.mode = st.st_mode;
        facts.nDevice = static_cast<std::uint64_t>(st.st_dev);
        facts.nInode = static_cast<std::uint64_t>(st.st_ino);
        facts.nSize = static_cast<std::uint64_t>(st.st_size);
        facts.nDiskSize = static_cast<std::uint64_t>(st.st_blocks) * 512;
        facts.nModified = st.st_mtim.tv_sec;
        facts.nMount = 0;
        facts.nStamp = 0;
    } else {
        return errno;
    }
    facts.nStamp ^= static_cast<std::uint64_t>(facts.mode & S_IFMT) << 48;
    if (facts.nMount == 0) {
        // An older kernel: the mount of what is there, from a descriptor of it.
        const Fd fd =
            *name ? Fd(::openat(dirFd, name, O_PATH | O_NOFOLLOW | O_CLOEXEC)) : Dup(dirFd);
        if (fd.IsOpen()) facts.nMount = MountIdOf(fd.Get());
    }
    return 0;
}

bool Reached::OnStartMount() const {
    return item.nDevice == nStartDevice &&
           (item.nMount == 0 || nStartMount == 0 || item.nMount == nStartMount);
}

Reached Reach(const std::string& path, const std::string& startPath) {
    Reached r;
    std::size_t relBegin = 0;
    if (path == startPath) {
        relBegin = path.size();
    } else if (!startPath.empty() && path.size() > startPath.size() &&
               path.compare(0, startPath.size(), startPath) == 0 &&
               (startPath.back() == '/' || path[startPath.size()] == '/')) {
        relBegin = startPath.size();
        while (relBegin < path.size() && path[relBegin] == '/') ++relBegin;
    } else {
        r.strWhy = VisibleText(path, '/') + " does not lie below the scan's start";
        return r;
    }

    // As the scan opened it: the start path may pass through links.
    r.start = Fd(::open(startPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (!r.start.IsOpen() || ::fstat(r.start.Get(), &st) != 0) {
        const int error = errno;
        r.eStatus = error == ENOENT ? ReachStatus::Gone : ReachStatus::Failed;
        r.strWhy = VisibleText(startPath, '/') + ": " + ErrorText(error);
        return r;
    }
    r.nStartDevice = static_cast<std::uint64_t>(st.st_dev);
    r.nStartMount = MountIdOf(r.start.Get());

    if (relBegin == path.size()) {  // the start itself
        r.parent = Dup(r.start.Get());
        if (const int error = FactsAt(r.start.Get(), "", r.item)) {
            r.strWhy = ErrorText(error);
            return r;
        }
        r.eStatus = ReachStatus::Reached;
        return r;
    }

    std::size_t leafBegin = path.find_last_of('/');
    leafBegin = leafBegin == std::string::npos || leafBegin < relBegin ? relBegin : leafBegin + 1;
    r.leaf = path.substr(leafBegin);
    if (r.leaf.empty() || r.leaf == "." || r.leaf == "..") {
        r.eStatus = ReachStatus::Changed;
        r.strWhy = VisibleText(path, '/') + " names no entry";
        return r;
    }
    std::size_t dirEnd = leafBegin;
    while (dirEnd > relBegin && path[dirEnd - 1] == '/') --dirEnd;

    if (dirEnd == relBegin) {
        r.parent = Dup(r.start.Get());
        r.eStatus = ReachStatus::Reached;
    } else {
        int fd = -2;
        if (Openat2Usable()) {
            const std::string dir = path.substr(relBegin, dirEnd - relBegin);
            fd = OpenBeneath(r.start.Get(), dir.c_str(), O_PATH | O_DIRECTORY);
            if (fd == -1 && errno != ELOOP && errno != EXDEV && errno != ENOTDIR &&
                errno != EAGAIN) {
                const int error = errno;
                r.eStatus = error == ENOENT ? ReachStatus::Gone : ReachStatus::Failed;
                r.strWhy = Shown(path, dirEnd) + ": " + ErrorText(error);
                return r;
            }
        }
        if (fd >= 0) {
            r.parent = Fd(fd);
            r.eStatus = ReachStatus::Reached;
        } else {
            // Without openat2, or to tell which component stands in the way.
            WalkComponents(r, path, relBegin, dirEnd);
        }
    }
    if (r.eStatus != ReachStatus::Reached) return r;
    if (const int error = FactsAt(r.parent.Get(), r.leaf.c_str(), r.item)) {
        r.eStatus = error == ENOENT ? ReachStatus::Gone : ReachStatus::Failed;
        r.strWhy = ErrorText(error);
    }
    return r;
}

int OpenDirBeneath(int dirFd, const char* name) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    if (Openat2Usable()) {
        const int fd = OpenBeneath(dirFd, name, kFlags);
        if (fd != -2) return fd;
    }
    const int fd = ::openat(dirFd, name, kFlags);
    if (fd < 0) return -1;
    struct stat here {};
    struct stat there {};
    if (::fstat(fd, &here) != 0 || ::fstat(dirFd, &there) != 0 || here.st_dev != there.st_dev ||
        MountIdOf(fd) != MountIdOf(dirFd)) {
        ::close(fd);
        errno = EXDEV;  // a mount at the name: as openat2 would answer
        return -1;
    }
    return fd;
}

void UseOpenat2ForTesting(bool use) { s_openat2Wanted.store(use, std::memory_order_relaxed); }

}  // namespace sizewalk::posix
