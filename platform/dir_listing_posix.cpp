#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

#include "platform/dir_listing.h"

namespace sizewalk {
namespace {

// The kernel's getdents64 record. After reading, each record is rewritten in
// place: d_ino holds the entry's size and d_type one of the kinds below, so
// the whole listing needs no second allocation.
struct LinuxDirent64 {
    std::uint64_t d_ino;
    std::int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

constexpr unsigned char kKindSkip = 0xFF;  // ".", "..", or vanished before stat
// A first read of one page holds most directories; larger ones double the
// buffer. It grows only when a whole record (a 255-byte name) might not fit,
// so a small directory's listing, kept while its subtree is walked, costs a
// page and not tens of kilobytes on every level of a deep tree.
constexpr std::size_t kFirstRead = 4 * 1024;
constexpr std::size_t kMaxRecord = (offsetof(LinuxDirent64, d_name) + 256 + 7) & ~std::size_t{7};
constexpr int kOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK;

std::uint32_t AttributesOf(unsigned char type) {
    switch (type) {
        case DT_DIR: return kFileAttributeDirectory;
        case DT_LNK: return kFileAttributeReparsePoint;
        default: return kFileAttributeNormal;
    }
}

// A directory opened only if it is no link and lies on `device`.
int OpenChecked(int dirFd, const char* path, std::uint64_t device) {
    const int fd = ::openat(dirFd, path, kOpenFlags | O_NOFOLLOW);
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_dev != device) {
        ::close(fd);  // another file system: listed, never entered
        return -1;
    }
    return fd;
}

unsigned char TypeOfMode(mode_t mode) {
    if (S_ISDIR(mode)) return DT_DIR;
    if (S_ISLNK(mode)) return DT_LNK;
    if (S_ISREG(mode)) return DT_REG;
    return DT_UNKNOWN;  // FIFO, socket, device: counted as plain entries
}

// Opens the subdirectory `name` of `parentFd` unless it is a link or a mount
// point. openat2 refuses to cross a mount in the same call; where the kernel
// (or a sandbox) lacks it, one fstat compares devices instead.
int OpenBelow(int parentFd, const char* name, std::uint64_t parentDevice) {
    static std::atomic<bool> s_noOpenat2{false};
    if (!s_noOpenat2.load(std::memory_order_relaxed)) {
        open_how how{};
        how.flags = kOpenFlags | O_NOFOLLOW;
        how.resolve = RESOLVE_NO_XDEV | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        const long fd = ::syscall(SYS_openat2, parentFd, name, &how, sizeof how);
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return static_cast<int>(fd);
        s_noOpenat2.store(true, std::memory_order_relaxed);
    }
    return OpenChecked(parentFd, name, parentDevice);
}

}  // namespace

DirListing::~DirListing() { Close(); }

DirListing::DirListing(DirListing&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)),
      m_device(other.m_device),
      m_buffer(std::move(other.m_buffer)),
      m_used(std::exchange(other.m_used, 0)),
      m_pos(std::exchange(other.m_pos, 0)) {}

DirListing& DirListing::operator=(DirListing&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
        m_device = other.m_device;
        m_buffer = std::move(other.m_buffer);
        m_used = std::exchange(other.m_used, 0);
        m_pos = std::exchange(other.m_pos, 0);
    }
    return *this;
}

bool DirListing::PathFits(std::size_t pathLength) { return pathLength + 1 <= PATH_MAX; }

bool DirListing::OpenPath(const char* path) {
    Close();
    int fd = ::open(path, kOpenFlags);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return false;
    }
    return ReadAll(fd, st.st_dev);
}

bool DirListing::OpenChild(const DirListing& parent, const char* name, const char* path,
                           std::size_t pathLength) {
    Close();
    if (!PathFits(pathLength)) return false;
    // A link is an entry of its own, never a way into another tree.
    const int fd = parent.m_fd >= 0 ? OpenBelow(parent.m_fd, name, parent.m_device)
                                    : OpenChecked(AT_FDCWD, path, parent.m_device);
    if (fd < 0) return false;
    return ReadAll(fd, parent.m_device);
}

bool DirListing::ReadAll(int fd, std::uint64_t device) {
    m_fd = fd;
    m_device = device;
    m_used = 0;
    m_pos = 0;
    for (;;) {
        if (m_buffer.size() - m_used < kMaxRecord)
            m_buffer.resize(std::max(kFirstRead, m_buffer.size() * 2));
        long n = ::syscall(SYS_getdents64, fd, m_buffer.data() + m_used, m_buffer.size() - m_used);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            // Any other error ends the listing with what was read. (EINVAL
            // would mean a record larger than the space left, which the
            // growth above rules out: retrying could only loop.)
            break;
        }
        m_used += static_cast<std::size_t>(n);
    }
    // Sizes are read now, while the handle is certainly open.
    for (std::size_t off = 0; off < m_used;) {
        auto* d = reinterpret_cast<LinuxDirent64*>(m_buffer.data() + off);
        off += d->d_reclen;
        if (IsDotOrDotDot(d->d_name)) {
            d->d_type = kKindSkip;
            continue;
        }
        d->d_ino = 0;
        if (d->d_type == DT_DIR) continue;
        struct stat st;
        if (::fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) d->d_type = kKindSkip;  // vanished since the listing
            else if (d->d_type == DT_UNKNOWN) d->d_type = DT_REG;
            continue;
        }
        d->d_type = TypeOfMode(st.st_mode);
        if (d->d_type != DT_DIR) d->d_ino = static_cast<std::uint64_t>(st.st_size);
    }
    return true;
}

bool DirListing::Next(FindRecord& out) {
    while (m_pos < m_used) {
        auto* d = reinterpret_cast<LinuxDirent64*>(m_buffer.data() + m_pos);
        m_pos += d->d_reclen;
        if (d->d_type == kKindSkip) continue;
        out.dwFileAttributes = AttributesOf(d->d_type);
        out.SetSize(d->d_ino);
        out.cFileName = d->d_name;
        return true;
    }
    return false;
}

void DirListing::ReleaseHandle() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

void DirListing::Close() {
    ReleaseHandle();
    m_used = 0;
    m_pos = 0;
}

}  // namespace sizewalk
