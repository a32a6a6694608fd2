#include <dirent.h>
#include <fcntl.h>
#include <gio/gio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/error_text.h"
#include "platform/file_actions.h"

namespace sizewalk {

namespace {

constexpr int kShownFailures = 5;

// Failures as the message shows them: the first few, then a count.
class Failures {
public:
    void Add(const std::string& path, const std::string& why) {
        if (m_nCount++ < kShownFailures) m_strText += path + ": " + why + "\n";
    }
    void AddErrno(const std::string& path, int error) { Add(path, ErrorText(error)); }
    bool Any() const { return m_nCount > 0; }
    std::string Text() const {
        std::string text = m_strText;
        if (m_nCount > kShownFailures)
            text += "and " + std::to_string(m_nCount - kShownFailures) + " more\n";
        return text;
    }

private:
    int m_nCount = 0;
    std::string m_strText;
};

RemoveResult Refused(const std::string& path, const std::string& why) {
    return {RemoveStatus::NotRemoved, path + ": " + why + "\n"};
}

// Refuses what lies on another device than the start, or is missing.
bool CheckSameDevice(const std::string& path, const std::string& startPath, RemoveResult& refused,
                     struct stat& item) {
    struct stat start{};
    if (::stat(startPath.c_str(), &start) != 0) {
        refused = Refused(startPath, ErrorText(errno));
        return false;
    }
    if (::lstat(path.c_str(), &item) != 0) {
        refused = Refused(path, ErrorText(errno));
        return false;
    }
    if (item.st_dev != start.st_dev) {
        refused = Refused(path, "on another file system");
        return false;
    }
    return true;
}

std::string Parent(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Leaf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Empties the directory open as `fd` (`path` names it in messages) and
// closes it; its subdirectories are entered only without following a link
// and only on `device`. True when everything below went.
bool EmptyDirectory(int fd, const std::string& path, dev_t device, Failures& failures) {
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        failures.AddErrno(path, errno);
        ::close(fd);
        return false;
    }
    bool all = true;
    for (;;) {
        errno = 0;
        const dirent* ent = ::readdir(dir);
        if (!ent) {
            if (errno != 0) {
                failures.AddErrno(path, errno);
                all = false;
            }
            break;
        }
        const char* name = ent->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        const std::string child = path + "/" + name;
        struct stat st{};
        if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) continue;  // gone meanwhile: fine
            failures.AddErrno(child, errno);
            all = false;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            if (st.st_dev != device) {
                failures.Add(child, "on another file system");
                all = false;
                continue;
            }
            const int sub = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0) {
                failures.AddErrno(child, errno);
                all = false;
                continue;
            }
            struct stat opened{};
            // Swapped for something else between the look and the open.
            if (::fstat(sub, &opened) != 0 || opened.st_dev != device || opened.st_ino != st.st_ino) {
                failures.Add(child, "changed while being deleted");
                ::close(sub);
                all = false;
                continue;
            }
            if (!EmptyDirectory(sub, child, device, failures)) {
                all = false;
                continue;
            }
        }
        if (::unlinkat(fd, name, S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0) != 0 && errno != ENOENT) {
            failures.AddErrno(child, errno);
            all = false;
        }
    }
    ::closedir(dir);
    return all;
}

}  // namespace

ItemLook LookAtItem(const std::string& path, const std::string&, ItemKind kind) {
    ItemLook look;
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) {
        look.eStatus = errno == ENOENT ? LookStatus::Gone : LookStatus::Failed;
        look.strWhy = ErrorText(errno);
        return look;
    }
    const ItemKind now = S_ISDIR(st.st_mode) ? ItemKind::Directory
                         : S_ISREG(st.st_mode) ? ItemKind::File
                                               : ItemKind::Other;
    look.eStatus = now == kind ? LookStatus::Same : LookStatus::Changed;
    look.id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    look.nSize = static_cast<std::uint64_t>(st.st_size);
    look.nDiskSize = static_cast<std::uint64_t>(st.st_blocks) * 512;
    return look;
}

RemoveResult DeletePermanently(const std::string& path, const std::string& startPath, const ItemId&) {
    RemoveResult result;
    struct stat item{};
    if (!CheckSameDevice(path, startPath, result, item)) return result;
    const int parent =
        ::open(Parent(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0) return Refused(path, ErrorText(errno));
    const std::string leaf = Leaf(path);
    Failures failures;
    bool removedSome = false;
    if (S_ISDIR(item.st_mode)) {
        const int fd = ::openat(parent, leaf.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat opened{};
        if (fd < 0) {
            failures.AddErrno(path, errno);
        } else if (::fstat(fd, &opened) != 0 || opened.st_dev != item.st_dev ||
                   opened.st_ino != item.st_ino) {
            failures.Add(path, "changed while being deleted");
            ::close(fd);
        } else {
            removedSome = true;  // from here on, something may have gone
            if (EmptyDirectory(fd, path, item.st_dev, failures) &&
                ::unlinkat(parent, leaf.c_str(), AT_REMOVEDIR) != 0)
                failures.AddErrno(path, errno);
        }
    } else if (::unlinkat(parent, leaf.c_str(), 0) != 0) {
        failures.AddErrno(path, errno);
    }
    ::close(parent);
    if (!failures.Any()) return {RemoveStatus::Removed, {}};
    return {removedSome ? RemoveStatus::Partial : RemoveStatus::NotRemoved, failures.Text()};
}

RemoveResult MoveToTrash(const std::string& path, const std::string& startPath, const ItemId&) {
    RemoveResult result;
    struct stat item{};
    if (!CheckSameDevice(path, startPath, result, item)) return result;
    GFile* file = g_file_new_for_path(path.c_str());
    GError* error = nullptr;
    // A rename into the trash: the item goes whole or not at all, and a
    // link goes as itself.
    const gboolean trashed = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (trashed) return {RemoveStatus::Removed, {}};
    const bool noTrash = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_SUPPORTED);
    result = {noTrash ? RemoveStatus::NoTrash : RemoveStatus::NotRemoved,
              path + ": " + (error ? error->message : "could not be moved to the trash") + "\n"};
    if (error) g_error_free(error);
    return result;
}

bool ItemExists(const std::string& path, const std::string&) {
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0 || errno != ENOENT;
}

std::int64_t ItemModified(const std::string& path, const std::string&) {
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_mtime) : 0;
}

bool OpenTerminal(const std::string& dir) {
    // The terminal outlives this call and is nobody's child: a child starts
    // it and ends at once. A close-on-exec pipe tells whether exec worked.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return false;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        // Only async-signal-safe calls from here to exec.
        ::close(report[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
        int error = 0;
        if (::chdir(dir.c_str()) != 0) {
            error = errno;
        } else {
            char program[] = "x-terminal-emulator";
            char* argv[] = {program, nullptr};
            ::execvp(program, argv);
            error = errno;
        }
        if (::write(report[1], &error, sizeof error) < 0) {
        }
        ::_exit(127);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
}

}  // namespace sizewalk
