#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstring>
#include <utility>

#include "platform/dir_listing.h"

namespace sizewalk {
namespace {

// The kernel's getdents64 record. After reading, each record is rewritten in
// place: d_ino holds the entry's size, d_off its bytes on disk and d_type one
// of the kinds below, so the whole listing needs no second allocation.
struct LinuxDirent64 {
    std::uint64_t d_ino;
    std::int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

constexpr unsigned char kKindSkip = 0xFF;    // ".", "..", or vanished before stat
constexpr unsigned char kKindLinked = 0x80;  // added to a kind: a file with several links
// A record that does not fit the space left makes getdents64 fail with
// EINVAL; the buffer then grows and the read is retried. Names of file
// systems that hold UTF-16 reach 765 bytes in UTF-8, so no fixed reserve
// serves; a record this large can only be a driver's fault.
constexpr std::size_t kLargestRecord = 64 * 1024;
constexpr int kOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK;
// Room left after a read, beyond any record these file systems return.
constexpr std::size_t kRoomForARecord = 1024;

// File systems whose directory reads fill the buffer until the directory
// ends, so that a read that leaves room for another record was the last:
// the read that would only return 0 can be skipped (one system call per
// directory). Others, such as network and FUSE file systems, may return
// less at any time and are read until they return 0.
bool ReadsWhole(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0) return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
        case EXT4_SUPER_MAGIC:  // also ext2 and ext3
        case TMPFS_MAGIC:
        case XFS_SUPER_MAGIC:
        case BTRFS_SUPER_MAGIC: return true;
        default: return false;
    }
}

OpenStatus Failed(int error) {
    return (error == EMFILE || error == ENFILE) ? OpenStatus::NoHandles : OpenStatus::Refused;
}

std::uint32_t AttributesOf(unsigned char type) {
    switch (type & ~kKindLinked) {
        case DT_DIR: return kFileAttributeDirectory;
        case DT_LNK: return kFileAttributeReparsePoint;
        default: return kFileAttributeNormal;
    }
}

unsigned char TypeOfMode(mode_t mode) {
    if (S_ISDIR(mode)) return DT_DIR;
    if (S_ISLNK(mode)) return DT_LNK;
    if (S_ISREG(mode)) return DT_REG;
    return DT_UNKNOWN;  // FIFO, socket, device: counted as plain entries
}

std::uint64_t DiskBytes(const struct stat& st) { return static_cast<std::uint64_t>(st.st_blocks) * 512; }

// Which file system an open directory lies on: its mount id where the kernel
// tells it (bind mounts of one device differ), else its device.
std::uint64_t MountOf(int fd) {
    static std::atomic<bool> s_noMountId{false};
    if (!s_noMountId.load(std::memory_order_relaxed)) {
        struct statx stx {};
        if (::statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &stx) == 0 && (stx.stx_mask & STATX_MNT_ID))
            return stx.stx_mnt_id;
        s_noMountId.store(true, std::memory_order_relaxed);
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) return 0;
    return static_cast<std::uint64_t>(st.st_dev);
}

// openat2 refuses links and mount crossings on every component in the same
// call. Where the kernel (or a sandbox) lacks it, a plain openat is checked
// afterwards: no link as the last component, and the start's mount.
std::atomic<bool> s_noOpenat2{false};

int OpenResolved(int dirFd, const char* path, int& error) {
    if (!s_noOpenat2.load(std::memory_order_relaxed)) {
        open_how how{};
        how.flags = kOpenFlags | O_NOFOLLOW;
        how.resolve = RESOLVE_NO_XDEV | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        const long fd = ::syscall(SYS_openat2, dirFd, path, &how, sizeof how);
        if (fd >= 0) return static_cast<int>(fd);
        if (errno != ENOSYS && errno != EPERM && errno != E2BIG) {
            error = errno;
            return -1;
        }
        s_noOpenat2.store(true, std::memory_order_relaxed);
    }
    return -2;  // checked open needed
}

// Opens `path` below `dirFd` under the walk's rule, with its stat in `st`.
OpenStatus OpenBelow(int dirFd, const char* path, std::uint64_t mount, std::size_t pathLength,
                     int& fd, struct stat& st) {
    if (pathLength + 1 > PATH_MAX) return OpenStatus::Refused;
    int error = 0;
    fd = OpenResolved(dirFd, path, error);
    const bool checked = fd == -2;
    if (checked) {
        fd = ::openat(dirFd, path, kOpenFlags | O_NOFOLLOW);
        if (fd < 0) error = errno;
    }
    if (fd < 0) return Failed(error);
    if (::fstat(fd, &st) != 0 || (checked && MountOf(fd) != mount)) {
        ::close(fd);  // another file system: listed, never entered
        fd = -1;
        return OpenStatus::Refused;
    }
    return OpenStatus::Opened;
}

}  // namespace

DirHandle::~DirHandle() { Close(); }

DirHandle::DirHandle(DirHandle&& other) noexcept
    : m_nOwnDisk(other.m_nOwnDisk),
      m_fd(std::exchange(other.m_fd, -1)),
      m_mount(other.m_mount),
      m_device(other.m_device),
      m_bWholeReads(other.m_bWholeReads) {}

DirHandle& DirHandle::operator=(DirHandle&& other) noexcept {
    if (this != &other) {
        Close();
        m_nOwnDisk = other.m_nOwnDisk;
        m_fd = std::exchange(other.m_fd, -1);
        m_mount = other.m_mount;
        m_device = other.m_device;
        m_bWholeReads = other.m_bWholeReads;
    }
    return *this;
}

bool DirHandle::IsOpen() const { return m_fd >= 0; }

void DirHandle::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

OpenStatus OpenStartDir(const char* path, DirHandle& out) {
    out.Close();
    out.m_nOwnDisk = 0;
    const int fd = ::open(path, kOpenFlags);
    if (fd < 0) return Failed(errno);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return OpenStatus::Refused;
    }
    out.m_fd = fd;
    out.m_nOwnDisk = DiskBytes(st);
    out.m_device = static_cast<std::uint64_t>(st.st_dev);
    out.m_mount = MountOf(fd);
    out.m_bWholeReads = ReadsWhole(fd);  // the walk never leaves this file system
    return OpenStatus::Opened;
}

OpenStatus OpenSubdir(const DirHandle& parent, const char* name, std::size_t pathLength,
                      DirHandle& out) {
    out.Close();
    out.m_nOwnDisk = 0;
    out.m_mount = parent.m_mount;
    out.m_bWholeReads = parent.m_bWholeReads;
    int fd = -1;
    struct stat st;
    const OpenStatus status = OpenBelow(parent.m_fd, name, parent.m_mount, pathLength, fd, st);
    if (status == OpenStatus::Opened) {
        out.m_fd = fd;
        out.m_nOwnDisk = DiskBytes(st);
        out.m_device = static_cast<std::uint64_t>(st.st_dev);
    } else if (status == OpenStatus::Refused &&
               ::fstatat(parent.m_fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
               static_cast<std::uint64_t>(st.st_dev) == parent.m_device) {
        // Its own blocks count, though it is not entered; a mount point's
        // are another file system's.
        out.m_nOwnDisk = DiskBytes(st);
    }
    return status;
}

// The same rule as for a child: every component is checked in one call.
OpenStatus OpenBelowStart(const DirHandle& start, const char* relativePath, std::size_t pathLength,
                          DirHandle& out) {
    return OpenSubdir(start, relativePath, pathLength, out);
}

bool DirReader::Read(const DirHandle& dir, const std::atomic<bool>* stop) {
    m_used = 0;
    m_pos = 0;
    m_links.clear();
    if (dir.m_fd < 0) return false;
    const int fd = dir.m_fd;
    if (m_buffer.empty()) m_buffer.resize(m_nFirstRead);
    for (;;) {
        if (m_used == m_buffer.size()) m_buffer.resize(m_buffer.size() * 2);
        const long n =
            ::syscall(SYS_getdents64, fd, m_buffer.data() + m_used, m_buffer.size() - m_used);
        if (n > 0) {
            m_used += static_cast<std::size_t>(n);
            if (dir.m_bWholeReads && !m_bUntilEmpty && m_buffer.size() - m_used >= kRoomForARecord)
                break;
            continue;
        }
        if (n == 0) break;
        if (errno == EINTR) continue;
        // The next record is larger than the space left: grow and read it.
        if (errno == EINVAL && m_buffer.size() - m_used < kLargestRecord) {
            m_buffer.resize(m_buffer.size() * 2);
            continue;
        }
        break;  // any other error ends the listing with what was read
    }
    // Sizes are read now, while the handle is certainly open.
    std::size_t checked = 0;
    for (std::size_t off = 0; off < m_used;) {
        auto* d = reinterpret_cast<LinuxDirent64*>(m_buffer.data() + off);
        const std::size_t here = off;
        off += d->d_reclen;
        if (IsDotOrDotDot(d->d_name)) {
            d->d_type = kKindSkip;
            continue;
        }
        if (stop && (++checked & 63) == 0 && stop->load(std::memory_order_relaxed)) {
            m_used = 0;
            return false;
        }
        d->d_ino = 0;
        d->d_off = 0;
        if (d->d_type == DT_DIR) continue;  // its own blocks come with opening it
        struct stat st;
        if (::fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) d->d_type = kKindSkip;  // vanished since the listing
            else if (d->d_type == DT_UNKNOWN) d->d_type = DT_REG;
            continue;
        }
        d->d_type = TypeOfMode(st.st_mode);
        if (d->d_type == DT_DIR) continue;
        d->d_ino = static_cast<std::uint64_t>(st.st_size);
        // A file mounted over this one (a bind mount) takes another file
        // system's blocks.
        if (static_cast<std::uint64_t>(st.st_dev) == dir.m_device)
            d->d_off = static_cast<std::int64_t>(DiskBytes(st));
        if (st.st_nlink > 1) {
            d->d_type |= kKindLinked;
            m_links.push_back({here, static_cast<std::uint64_t>(st.st_dev),
                               static_cast<std::uint64_t>(st.st_ino)});
        }
    }
    m_nextLink = 0;
    return stop == nullptr || !stop->load(std::memory_order_relaxed);
}

bool DirReader::Next(FindRecord& out) {
    while (m_pos < m_used) {
        auto* d = reinterpret_cast<LinuxDirent64*>(m_buffer.data() + m_pos);
        const std::size_t here = m_pos;
        m_pos += d->d_reclen;
        if (d->d_type == kKindSkip) continue;
        out.dwFileAttributes = AttributesOf(d->d_type);
        out.SetSize(d->d_ino);
        out.nDiskSize = static_cast<std::uint64_t>(d->d_off);
        out.nLinkDevice = 0;
        out.nLinkInode = 0;
        if (d->d_type & kKindLinked) {
            while (m_nextLink < m_links.size() && m_links[m_nextLink].nOffset < here) ++m_nextLink;
            if (m_nextLink < m_links.size() && m_links[m_nextLink].nOffset == here) {
                out.nLinkDevice = m_links[m_nextLink].nDevice;
                out.nLinkInode = m_links[m_nextLink].nInode;
            }
        }
        out.cFileName = d->d_name;
        return true;
    }
    return false;
}

void DirReader::Rewind() {
    m_pos = 0;
    m_nextLink = 0;
}

void DirReader::Clear() {
    m_used = 0;
    m_pos = 0;
    m_links.clear();
    if (m_buffer.size() > 64 * 1024) std::vector<char>().swap(m_buffer);
}

}  // namespace sizewalk
