#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
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
// The most one read asks for: a huge directory is read in steps short enough
// that a stop is seen soon, even where each step waits for the disk.
constexpr std::size_t kLargestStep = 256 * 1024;

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
        case BTRFS_SUPER_MAGIC:
            return true;
        default:
            return false;
    }
}

// What a failed open or stat means for the walk.
OpenStatus StatusOf(int error) {
    if (error == EMFILE || error == ENFILE) return OpenStatus::NoHandles;
    // Another file system met on the way (openat2's answer to a mount that
    // appeared since the stat), or a link that replaced the directory.
    if (error == EXDEV || error == ELOOP) return OpenStatus::Refused;
    return OpenStatus::Failed;
}

std::uint32_t AttributesOf(unsigned char type) {
    switch (type & ~kKindLinked) {
        case DT_DIR:
            return kFileAttributeDirectory;
        case DT_LNK:
            return kFileAttributeReparsePoint;
        default:
            return kFileAttributeNormal;
    }
}

// FIFOs, sockets and devices: the stat's answer, or the listing's where the
// stat failed.
bool IsSpecialKind(unsigned char type) {
    switch (type & ~kKindLinked) {
        case DT_DIR:
        case DT_LNK:
        case DT_REG:
            return false;
        default:
            return true;
    }
}

unsigned char TypeOfMode(mode_t mode) {
    if (S_ISDIR(mode)) return DT_DIR;
    if (S_ISLNK(mode)) return DT_LNK;
    if (S_ISREG(mode)) return DT_REG;
    return DT_UNKNOWN;  // FIFO, socket, device: counted as plain entries
}

std::uint64_t DiskBytes(const struct stat& st) {
    return static_cast<std::uint64_t>(st.st_blocks) * 512;
}

// Which file system an open directory lies on: its mount id where the kernel
// tells it (bind mounts of one device differ), else its device.
std::atomic<bool> s_noMountId{false};

std::uint64_t MountOf(int fd) {
    if (!s_noMountId.load(std::memory_order_relaxed)) {
        struct statx stx {};
        if (::statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &stx) == 0 &&
            (stx.stx_mask & STATX_MNT_ID))
            return stx.stx_mnt_id;
        s_noMountId.store(true, std::memory_order_relaxed);
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) return 0;
    return static_cast<std::uint64_t>(st.st_dev);
}

using Facts = ListingHookForTesting::Facts;

// A directory's own stat, read without following a link or triggering an
// automount: what the rule decides on, before the directory is opened.
std::atomic<bool> s_noStatx{false};

bool StatEntry(int dirFd, const char* name, Facts& facts, std::uint64_t& diskBytes,
               std::int64_t& modified, bool& directory, int& error) {
    constexpr int kFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;
    if (!s_noStatx.load(std::memory_order_relaxed)) {
        struct statx stx {};
        if (::statx(dirFd, name, kFlags, STATX_TYPE | STATX_BLOCKS | STATX_MTIME | STATX_MNT_ID,
                    &stx) == 0) {
            facts.nDevice =
                static_cast<std::uint64_t>(makedev(stx.stx_dev_major, stx.stx_dev_minor));
            // Compared only with mount ids that MountOf gave.
            facts.nMount =
                (stx.stx_mask & STATX_MNT_ID) && !s_noMountId.load(std::memory_order_relaxed)
                    ? stx.stx_mnt_id
                    : 0;
            facts.bAutomount = (stx.stx_attributes & STATX_ATTR_AUTOMOUNT) != 0;
            facts.bMountRoot = (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
            diskBytes = (stx.stx_mask & STATX_BLOCKS) ? stx.stx_blocks * 512 : 0;
            modified = (stx.stx_mask & STATX_MTIME) ? stx.stx_mtime.tv_sec : kUnknownTime;
            directory = S_ISDIR(stx.stx_mode);
            return true;
        }
        if (errno != ENOSYS && errno != EPERM) {
            error = errno;
            return false;
        }
        s_noStatx.store(true, std::memory_order_relaxed);  // a kernel or sandbox without it
    }
    struct stat st;
    if (::fstatat(dirFd, name, &st, kFlags) != 0) {
        error = errno;
        return false;
    }
    facts = Facts{static_cast<std::uint64_t>(st.st_dev), 0, false, false};
    diskBytes = DiskBytes(st);
    modified = st.st_mtim.tv_sec;
    directory = S_ISDIR(st.st_mode);
    return true;
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

}  // namespace

DirHandle::~DirHandle() { Close(); }

DirHandle::DirHandle(DirHandle&& other) noexcept
    : m_nOwnDisk(other.m_nOwnDisk),
      m_nOwnTime(other.m_nOwnTime),
      m_nError(other.m_nError),
      m_nReadFault(other.m_nReadFault),
      m_fd(std::exchange(other.m_fd, -1)),
      m_mount(other.m_mount),
      m_device(other.m_device),
      m_bWholeReads(other.m_bWholeReads) {}

DirHandle& DirHandle::operator=(DirHandle&& other) noexcept {
    if (this != &other) {
        Close();
        m_nOwnDisk = other.m_nOwnDisk;
        m_nOwnTime = other.m_nOwnTime;
        m_nError = other.m_nError;
        m_nReadFault = other.m_nReadFault;
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
    out.m_nOwnTime = kUnknownTime;
    out.m_nError = 0;
    out.m_nReadFault = 0;
    if (ListingHookForTesting* hook = ListingHook()) {
        out.m_nReadFault = hook->ReadError(path);
        if (const int error = hook->OpenError(path)) {
            out.m_nError = error;
            return StatusOf(error) == OpenStatus::NoHandles ? OpenStatus::NoHandles
                                                            : OpenStatus::Failed;
        }
    }
    const int fd = ::open(path, kOpenFlags);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        out.m_nError = errno;
        if (fd >= 0) ::close(fd);
        // The start was asked for by name: whatever keeps it closed is a failure.
        return StatusOf(out.m_nError) == OpenStatus::NoHandles ? OpenStatus::NoHandles
                                                               : OpenStatus::Failed;
    }
    out.m_fd = fd;
    out.m_nOwnDisk = DiskBytes(st);
    out.m_nOwnTime = st.st_mtim.tv_sec;
    out.m_device = static_cast<std::uint64_t>(st.st_dev);
    out.m_mount = MountOf(fd);
    out.m_bWholeReads = ReadsWhole(fd);  // the walk never leaves this file system
    return OpenStatus::Opened;
}

// The rule for entering a directory, decided from its own stat before it is
// opened, as du -x and find -xdev decide: opening an automount point would
// mount it (and wait for its disk or server) before the mount crossing could
// be refused.
OpenStatus OpenSubdir(const DirHandle& parent, const char* name, std::size_t pathLength,
                      DirHandle& out) {
    out.Close();
    out.m_nOwnDisk = 0;
    out.m_nOwnTime = kUnknownTime;
    out.m_nError = 0;
    out.m_nReadFault = 0;
    out.m_mount = parent.m_mount;
    out.m_device = parent.m_device;
    out.m_bWholeReads = parent.m_bWholeReads;
    ListingHookForTesting* const hook = ListingHook();
    auto fail = [&out](int error) {
        const OpenStatus status = StatusOf(error);
        if (status != OpenStatus::Refused) out.m_nError = error;
        return status;
    };

    Facts facts;
    std::uint64_t diskBytes = 0;
    std::int64_t modified = kUnknownTime;
    bool directory = false;
    int error = 0;
    if (!StatEntry(parent.m_fd, name, facts, diskBytes, modified, directory, error))
        return fail(error);
    out.m_nOwnTime = modified;  // a mount point's own time too: it is listed
    if (hook) hook->OnFacts(name, facts);
    // Another device's blocks are not this file system's, even the
    // directory's own: a mount point, a subvolume.
    if (facts.nDevice != parent.m_device) return OpenStatus::Refused;
    out.m_nOwnDisk = diskBytes;
    if (!directory || facts.bAutomount || facts.bMountRoot ||
        (facts.nMount != 0 && facts.nMount != parent.m_mount))
        return OpenStatus::Refused;
    if (pathLength + 1 > PATH_MAX) {
        out.m_nError = ENAMETOOLONG;
        return OpenStatus::Failed;
    }
    if (hook) {
        out.m_nReadFault = hook->ReadError(name);
        if ((error = hook->OpenError(name)) != 0) return fail(error);
    }

    int fd = OpenResolved(parent.m_fd, name, error);
    if (fd == -2) {
        fd = ::openat(parent.m_fd, name, kOpenFlags | O_NOFOLLOW);
        if (fd < 0) error = errno;
        struct stat st;
        if (fd >= 0 &&
            (::fstat(fd, &st) != 0 || static_cast<std::uint64_t>(st.st_dev) != parent.m_device ||
             MountOf(fd) != parent.m_mount)) {
            ::close(fd);  // changed since its stat: another file system now
            return OpenStatus::Refused;
        }
    }
    if (fd < 0) return fail(error);
    out.m_fd = fd;
    return OpenStatus::Opened;
}

// The same rule as for a child: every component is checked in one call.
OpenStatus OpenBelowStart(const DirHandle& start, const char* relativePath, std::size_t pathLength,
                          DirHandle& out) {
    return OpenSubdir(start, relativePath, pathLength, out);
}

bool DirReader::Read(const DirHandle& dir, const std::atomic<bool>* stop) {
    m_used = 0;
    m_pos = 0;
    m_nError = 0;
    m_links.clear();
    m_times.clear();
    if (dir.m_fd < 0) return false;
    const int fd = dir.m_fd;
    ListingHookForTesting* const hook = ListingHook();
    // Checked before every system call: one directory may take long to read
    // (hundreds of thousands of names, a slow disk or server).
    auto stopped = [stop, this] {
        if (!stop || !stop->load(std::memory_order_relaxed)) return false;
        m_used = 0;
        return true;
    };
    if (m_buffer.empty()) m_buffer.resize(m_nFirstRead);
    for (bool first = true;; first = false) {
        if (stopped()) return false;
        if (m_used == m_buffer.size()) m_buffer.resize(m_buffer.size() * 2);
        if (hook) hook->OnReadCall(true);
        if (!first && dir.m_nReadFault) {
            m_nError = dir.m_nReadFault;
            break;
        }
        const std::size_t step = std::min(m_buffer.size() - m_used, kLargestStep);
        const long n = ::syscall(SYS_getdents64, fd, m_buffer.data() + m_used, step);
        if (n > 0) {
            m_used += static_cast<std::size_t>(n);
            if (dir.m_bWholeReads && !m_bUntilEmpty && !dir.m_nReadFault &&
                step - static_cast<std::size_t>(n) >= kRoomForARecord)
                break;
            continue;
        }
        if (n == 0) break;
        if (errno == EINTR) continue;
        // The next record is larger than the space left: grow and read it.
        if (errno == EINVAL && step < kLargestRecord) {
            m_buffer.resize(m_buffer.size() * 2);
            continue;
        }
        m_nError = errno;  // the listing ends with what was read
        break;
    }
    // Sizes are read now, while the handle is certainly open.
    for (std::size_t off = 0; off < m_used;) {
        auto* d = reinterpret_cast<LinuxDirent64*>(m_buffer.data() + off);
        const std::size_t here = off;
        off += d->d_reclen;
        m_times.push_back(kUnknownTime);
        if (IsDotOrDotDot(d->d_name)) {
            d->d_type = kKindSkip;
            continue;
        }
        d->d_ino = 0;
        d->d_off = 0;
        if (d->d_type == DT_DIR) continue;  // its own blocks come with opening it
        if (stopped()) return false;
        if (hook) hook->OnReadCall(false);
        struct stat st;
        if (::fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) {
                d->d_type = kKindSkip;  // vanished since the listing
                continue;
            }
            // Listed without its size (a directory readable but not
            // searchable): the directory was read only in part.
            if (m_nError == 0) m_nError = errno;
            if (d->d_type == DT_UNKNOWN) d->d_type = DT_REG;
            continue;
        }
        m_times.back() = st.st_mtim.tv_sec;
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
    m_nextTime = 0;
    return !stopped();
}

bool DirReader::Next(FindRecord& out) {
    while (m_pos < m_used) {
        auto* d = reinterpret_cast<LinuxDirent64*>(m_buffer.data() + m_pos);
        const std::size_t here = m_pos;
        m_pos += d->d_reclen;
        const std::int64_t modified = m_times[m_nextTime++];
        if (d->d_type == kKindSkip) continue;
        out.nModified = modified;
        out.dwFileAttributes = AttributesOf(d->d_type);
        out.bSpecial = IsSpecialKind(d->d_type);
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
    m_nextTime = 0;
}

void DirReader::Clear() {
    m_used = 0;
    m_pos = 0;
    m_links.clear();
    m_times.clear();
    if (m_buffer.size() > 64 * 1024) {
        std::vector<char>().swap(m_buffer);
        std::vector<std::int64_t>().swap(m_times);
    }
}

}  // namespace sizewalk
