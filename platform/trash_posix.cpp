#include "platform/trash_posix.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform/error_text.h"
#include "platform/failure_lines.h"
#include "platform/mount_table_posix.h"
#include "platform/tree_delete_posix.h"

namespace sizewalk::posix {

namespace {

constexpr int kDirFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr const char* kInfoSuffix = ".trashinfo";

RemoveResult Result(RemoveStatus status, const std::string& path, const std::string& why) {
    FailureLines lines;
    lines.Add(path, why);
    return {status, lines.Text()};
}

// `name` in `dirFd` as a directory, never a link; made (0700) when missing
// and `create`. 0 or errno.
int OpenOrMakeDir(int dirFd, const char* name, bool create, Fd& out) {
    out = Fd(::openat(dirFd, name, kDirFlags));
    if (out.IsOpen()) return 0;
    if (errno != ENOENT || !create) return errno;
    if (::mkdirat(dirFd, name, 0700) != 0 && errno != EEXIST) return errno;
    out = Fd(::openat(dirFd, name, kDirFlags));
    return out.IsOpen() ? 0 : errno;
}

std::string DataHome() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.local/share";
    if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir && user->pw_dir[0] == '/')
        return std::string(user->pw_dir) + "/.local/share";
    return {};
}

// The home trash, made where it is missing but would lie on `device`.
// 0 or errno.
int OpenHomeTrash(std::uint64_t device, Fd& out) {
    const std::string dataHome = DataHome();
    if (dataHome.empty()) return ENOENT;
    const std::string trash = dataHome + "/Trash";
    // Where the user keeps it is the user's choice: links in this path count.
    out = Fd(::open(trash.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (out.IsOpen() || errno != ENOENT) return out.IsOpen() ? 0 : errno;
    // The nearest directory that exists tells the device a new trash would be on.
    std::string existing = dataHome;
    struct stat st {};
    while (::stat(existing.c_str(), &st) != 0) {
        const auto slash = existing.find_last_of('/');
        if (slash == std::string::npos || slash == 0) return ENOENT;
        existing.resize(slash);
    }
    if (static_cast<std::uint64_t>(st.st_dev) != device) return EXDEV;
    for (std::size_t pos = existing.size(); pos < dataHome.size();) {
        std::size_t next = dataHome.find('/', pos + 1);
        if (next == std::string::npos) next = dataHome.size();
        if (::mkdir(dataHome.substr(0, next).c_str(), 0700) != 0 && errno != EEXIST) return errno;
        pos = next;
    }
    if (::mkdir(trash.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    out = Fd(::open(trash.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    return out.IsOpen() ? 0 : errno;
}

bool OwnedDirOnMount(const Fd& fd, std::uint64_t mount, bool sticky) {
    struct stat st {};
    return ::fstat(fd.Get(), &st) == 0 && S_ISDIR(st.st_mode) && MountIdOf(fd.Get()) == mount &&
           (sticky ? (st.st_mode & S_ISVTX) != 0 : st.st_uid == ::geteuid());
}

// A trash directory only this user can change: owned by the user, not
// writable by group or others. Another user's could be read or swapped.
bool Private(const Fd& fd) {
    struct stat st {};
    return ::fstat(fd.Get(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}
constexpr const char* kNotPrivate =
    "the trash is not used: it belongs to another user or others may write to it";

// File systems that lose their contents at every start: a new trash there
// would keep nothing.
bool IsVolatile(const std::string& fsType) {
    return fsType == "tmpfs" || fsType == "ramfs" || fsType == "devtmpfs";
}

struct TopdirTrash {
    Fd trash;
    std::string strWhy;  // when none: why (empty: genuinely none)
    bool bReadOnly = false;
};

// The trash at the top of the mount `record`.
TopdirTrash OpenTopdirTrash(const MountRecord& record, std::uint64_t device) {
    TopdirTrash found;
    Fd top(::open(record.mountPoint.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct statx stx {};
    if (!top.IsOpen() || ::statx(top.Get(), "", AT_EMPTY_PATH, STATX_BASIC_STATS, &stx) != 0 ||
        static_cast<std::uint64_t>(makedev(stx.stx_dev_major, stx.stx_dev_minor)) != device ||
        MountIdOf(top.Get()) != record.nId ||
        ((stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
         !(stx.stx_attributes & STATX_ATTR_MOUNT_ROOT))) {
        found.strWhy = "the top of its file system cannot be reached";
        return found;
    }
    const bool create = !IsVolatile(record.fsType);
    const std::string uid = std::to_string(::geteuid());
    Fd shared;
    if (OpenOrMakeDir(top.Get(), ".Trash", false, shared) == 0 &&
        OwnedDirOnMount(shared, record.nId, true)) {
        Fd mine;
        const int error = OpenOrMakeDir(shared.Get(), uid.c_str(), true, mine);
        if (error == 0 && OwnedDirOnMount(mine, record.nId, false)) {
            found.trash = std::move(mine);
            return found;
        }
        found.bReadOnly = error == EROFS;
    }
    Fd mine;
    const int error = OpenOrMakeDir(top.Get(), (".Trash-" + uid).c_str(), create, mine);
    if (error == 0 && OwnedDirOnMount(mine, record.nId, false)) {
        found.trash = std::move(mine);
        return found;
    }
    found.bReadOnly = found.bReadOnly || error == EROFS;
    return found;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// `leaf` shortened so that `leaf` + `suffix` + ".trashinfo" is a valid
// name, cut at a character's start.
std::string TrashName(const std::string& leaf, const std::string& suffix) {
    const std::size_t room = NAME_MAX - suffix.size() - std::char_traits<char>::length(kInfoSuffix);
    std::string name = leaf;
    if (name.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return name + suffix;
}

int RenameNoReplace(int fromDir, const char* from, int toDir, const char* to) {
    if (::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the flag: the name was free a moment ago.
    struct stat st {};
    if (::fstatat(toDir, to, &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    return ::renameat(fromDir, from, toDir, to) == 0 ? 0 : errno;
}

// Records and moves the item into `trash`; `where` is the Path= value.
RemoveResult MoveInto(const Reached& r, const std::string& path, const Fd& trash,
                      const std::string& where) {
    Fd files;
    Fd info;
    int error = OpenOrMakeDir(trash.Get(), "files", true, files);
    if (error == 0) error = OpenOrMakeDir(trash.Get(), "info", true, info);
    if (error != 0)
        return Result(RemoveStatus::NotRemoved, path,
                      "the trash cannot be used: " + ErrorText(error));
    if (!Private(files) || !Private(info))
        return Result(RemoveStatus::NotRemoved, path, kNotPrivate);
    if (MountIdOf(files.Get()) != r.nStartMount)
        return Result(RemoveStatus::NotRemoved, path, "the trash is on another file system");

    char date[64];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    const std::string record =
        "[Trash Info]\nPath=" + PercentEncoded(where) + "\nDeletionDate=" + date + "\n";

    for (int n = 1; n <= 1000; ++n) {
        std::string suffix;
        if (n > 1) suffix.append(".").append(std::to_string(n));
        const std::string name = TrashName(r.leaf, suffix);
        const std::string infoName = name + kInfoSuffix;
        const int fd = ::openat(info.Get(), infoName.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return Result(RemoveStatus::NotRemoved, path,
                          errno == EROFS ? ErrorText(errno)
                                         : "the trash cannot be written: " + ErrorText(errno));
        }
        const bool written = WriteAll(fd, record);
        const int writeError = errno;
        ::close(fd);
        if (!written) {
            ::unlinkat(info.Get(), infoName.c_str(), 0);
            return Result(RemoveStatus::NotRemoved, path,
                          "the trash cannot be written: " + ErrorText(writeError));
        }
        error = RenameNoReplace(r.parent.Get(), r.leaf.c_str(), files.Get(), name.c_str());
        if (error == 0) return {RemoveStatus::Removed, {}};
        ::unlinkat(info.Get(), infoName.c_str(), 0);
        if (error == EEXIST || error == ENOTEMPTY) continue;  // a stray item of that name
        return Result(RemoveStatus::NotRemoved, path,
                      error == EXDEV ? "the trash is on another file system" : ErrorText(error));
    }
    return Result(RemoveStatus::NotRemoved, path, "the trash holds too many items of this name");
}

}  // namespace

std::string PercentEncoded(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9') || c == '-' || c == '_' || c == '.' || c == '~' ||
            c == '/') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

RemoveResult TrashReached(const Reached& r, const std::string& path) {
    // Where the item really lies, as the mount table names places.
    // Without mount ids a bind mount below looks like any directory.
    if (r.nStartMount == 0 && S_ISDIR(r.item.mode))
        return Result(RemoveStatus::NotRemoved, path, kMountsUnknown);
    Fd item(::openat(r.parent.Get(), r.leaf.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!item.IsOpen()) return Result(RemoveStatus::NotRemoved, path, ErrorText(errno));
    EntryFacts now;
    if (const int error = FactsAt(item.Get(), "", now))
        return Result(RemoveStatus::NotRemoved, path, ErrorText(error));
    if (now.nDevice != r.item.nDevice || now.nInode != r.item.nInode || now.nStamp != r.item.nStamp)
        return Result(RemoveStatus::Changed, path, "it was replaced while being moved");
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", item.Get());
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length = ::readlink(link, buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size() || buffer[0] != '/')
        return Result(
            RemoveStatus::NotRemoved, path,
            "where it lies cannot be told: " + ErrorText(length < 0 ? errno : ENAMETOOLONG));
    const std::string real(buffer.data(), static_cast<std::size_t>(length));

    std::vector<MountRecord> mounts;
    if (const int error = ReadMountTable(mounts))
        return Result(RemoveStatus::NotRemoved, path,
                      "what is mounted below it cannot be told: " + ErrorText(error));
    // A rename would carry these mounts along into the trash.
    FailureLines mounted;
    const MountRecord* own = nullptr;
    for (const MountRecord& mount : mounts) {
        if (mount.nId == r.nStartMount) own = &mount;
        const std::string& point = mount.mountPoint;
        if (point.compare(0, real.size(), real) == 0 &&
            (point.size() == real.size() || point[real.size()] == '/'))
            mounted.Add(path + point.substr(real.size()), kMountedHere);
    }
    if (mounted.Any()) return {RemoveStatus::NotRemoved, mounted.Text()};

    Fd home;
    if (OpenHomeTrash(r.item.nDevice, home) == 0) {
        struct stat homeSt {};
        if (::fstat(home.Get(), &homeSt) == 0 &&
            static_cast<std::uint64_t>(homeSt.st_dev) == r.item.nDevice) {
            if (MountIdOf(home.Get()) != r.nStartMount)
                return Result(RemoveStatus::NotRemoved, path,
                              "the trash is on another mount of this file system");
            if (!Private(home)) return Result(RemoveStatus::NotRemoved, path, kNotPrivate);
            return MoveInto(r, path, home, real);
        }
    }
    if (!own)
        return Result(RemoveStatus::NoTrash, path, "its file system is not in the mount table");
    const TopdirTrash top = OpenTopdirTrash(*own, r.item.nDevice);
    if (!top.trash.IsOpen()) {
        if (top.bReadOnly) return Result(RemoveStatus::NotRemoved, path, ErrorText(EROFS));
        return Result(RemoveStatus::NoTrash, path,
                      top.strWhy.empty() ? "its file system has no trash" : top.strWhy);
    }
    const std::string& point = own->mountPoint;
    const std::size_t skip = point == "/" ? 1 : point.size() + 1;
    if (real.compare(0, point.size(), point) != 0 || real.size() <= skip ||
        (point != "/" && real[point.size()] != '/'))
        return Result(RemoveStatus::NotRemoved, path,
                      "where it lies on its file system cannot be told");
    return MoveInto(r, path, top.trash, real.substr(skip));
}

}  // namespace sizewalk::posix
