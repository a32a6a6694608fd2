#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/scan_file_os.h"

namespace sizewalk::scanfile_os {

namespace {

// How long one wait for a FIFO lasts before the stop is looked at again.
constexpr int kWaitSliceMs = 20;

Result Err(int error) { return {Problem::System, error}; }
Result Refused(Problem problem) { return {problem, 0}; }

Result KindProblem(mode_t mode) {
    if (S_ISDIR(mode)) return Refused(Problem::Directory);
    if (S_ISCHR(mode) || S_ISBLK(mode)) return Refused(Problem::Device);
    if (S_ISSOCK(mode)) return Refused(Problem::Socket);
    return {};
}

// The temporary file of the save under way, for the signal handler: a fixed
// buffer (a handler may not allocate) and a flag that says it holds a name.
char g_tempPath[PATH_MAX + 1];
std::atomic<bool> g_bHaveTemp{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// The signals that end a program from outside, as a set.
sigset_t EndingSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

// Holds the ending signals back on this thread while a temporary file is
// made or dropped, so that it is never there unregistered.
class CEndingSignalsHeld {
public:
    CEndingSignalsHeld() {
        const sigset_t set = EndingSignals();
        pthread_sigmask(SIG_BLOCK, &set, &m_old);
    }
    ~CEndingSignalsHeld() { pthread_sigmask(SIG_SETMASK, &m_old, nullptr); }

private:
    sigset_t m_old;
};

void Register(const std::string& path) {
    if (path.size() >= sizeof g_tempPath) return;  // the system refuses such paths anyway
    // The flag drops before the name changes, so that no handler reads a
    // half-copied name; the signal fence keeps the compiler from moving the
    // copy ahead of the drop (a handler on another thread is held off by
    // the caller's signal mask only on this thread: see CEndingSignalsHeld).
    g_bHaveTemp.store(false, std::memory_order_seq_cst);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(g_tempPath, path.c_str(), path.size() + 1);
    g_bHaveTemp.store(true, std::memory_order_release);
}

void Unregister() { g_bHaveTemp.store(false, std::memory_order_release); }

extern "C" void OnEndingSignal(int signal) {
    // Async-signal-safe only: unlink, then the signal again with its default
    // action (SA_RESETHAND put it back), so that the exit status tells it.
    const int saved = errno;
    if (g_bHaveTemp.load(std::memory_order_acquire)) ::unlink(g_tempPath);
    errno = saved;
    ::raise(signal);
}

// What a new file's mode would be: 0666 less the umask. The umask can only
// be read by setting it, so it is put back at once.
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

Result OpenToRead(const std::string& path, int& fd, bool& pipe) {
    // Looked at before opening: opening a device may already act on it.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return Err(errno);
    if (Result r = KindProblem(st.st_mode); !r) return r;
    // Not blocking: a FIFO opens before it has a writer.
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Err(errno);
    // What was opened is what counts (the path may have changed meanwhile).
    Result r;
    if (::fstat(fd, &st) != 0)
        r = Err(errno);
    else
        r = KindProblem(st.st_mode);
    if (!r) {
        ::close(fd);
        fd = -1;
        return r;
    }
    pipe = S_ISFIFO(st.st_mode);
    if (!pipe) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    return {};
}

Result ReadWaiting(int fd, void* buffer, std::size_t size, const std::atomic<bool>& stop,
                   std::size_t& n) {
    for (;;) {
        if (stop.load(std::memory_order_relaxed)) return Refused(Problem::Stopped);
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, kWaitSliceMs);
        if (ready < 0 && errno != EINTR) return Err(errno);
        if (ready <= 0) continue;
        // Data, or every writer gone (read gives 0: the end).
        const ssize_t k = ::read(fd, buffer, size);
        if (k >= 0) {
            n = static_cast<std::size_t>(k);
            return {};
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return Err(errno);
    }
}

namespace {

// The folder part of a path ("." for a bare name).
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Whether every link in the chain that starts at `path` (a link) is owned by
// this user or by the owner of the folder that holds it: the rule the kernel
// applies in sticky folders, here wherever the save goes, so that a link
// planted by another user cannot send a privileged save elsewhere.
Result CheckLinkOwners(std::string path) {
    const uid_t me = ::geteuid();
    for (int hop = 0; hop < 40; ++hop) {
        struct stat link {
        }, folder{};
        if (::lstat(path.c_str(), &link) != 0) return errno == ENOENT ? Result{} : Err(errno);
        if (!S_ISLNK(link.st_mode)) return {};
        const std::string where = FolderOf(path);
        if (::stat(where.c_str(), &folder) != 0) return Err(errno);
        if (link.st_uid != me && link.st_uid != folder.st_uid) return Refused(Problem::ForeignLink);
        std::string next(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), next.data(), next.size());
        if (n < 0) return Err(errno);
        next.resize(static_cast<std::size_t>(n));
        path = !next.empty() && next[0] == '/' ? next : where + "/" + next;
    }
    return Err(ELOOP);
}

}  // namespace

Result ResolveTarget(const std::string& path, Target& target) {
    target = Target{path, true, Target::Kind::File};
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        // Nothing there: a new file (a missing folder fails when it is made).
        return errno == ENOENT ? Result{} : Err(errno);
    }
    if (S_ISLNK(st.st_mode)) {
        if (Result r = CheckLinkOwners(path); !r) return r;
        if (::stat(path.c_str(), &st) != 0)
            return errno == ENOENT ? Refused(Problem::DanglingLink) : Err(errno);
        // The file the link names, with every link on the way resolved: the
        // new file goes beside it and the link stays.
        std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                         &std::free);
        if (!real) return Err(errno);
        target.path = real.get();
    }
    if (S_ISDIR(st.st_mode)) return Refused(Problem::Directory);
    if (S_ISREG(st.st_mode)) {
        target.existed = true;
        target.device = st.st_dev;
        target.file = st.st_ino;
        return {};
    }
    target.replace = false;
    target.kind = S_ISFIFO(st.st_mode)   ? Target::Kind::Fifo
                  : S_ISSOCK(st.st_mode) ? Target::Kind::Socket
                                         : Target::Kind::Device;
    return {};
}

Result CreateBeside(const Target& target, std::string& tempPath, int& fd) {
    struct stat old {};
    const bool replacing = ::stat(target.path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    tempPath = target.path + ".XXXXXX";
    {
        CEndingSignalsHeld held;
        fd = ::mkostemp(tempPath.data(), O_CLOEXEC);
        if (fd < 0) return Err(errno);
        Register(tempPath);
    }
    if (replacing) {
        // The owner first: a change of owner drops set-id bits again.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Not ours to give away: the file becomes the saver's.
        }
        // Never the set-id or sticky bits: a save is data, not a program.
        ::fchmod(fd, old.st_mode & 0777);
    } else {
        ::fchmod(fd, NewFileMode());  // mkostemp makes it 0600
    }
    return {};
}

Result Replace(const std::string& tempPath, const Target& target) {
    CEndingSignalsHeld held;
    // Looked at again just before: what stands there now may not be the file
    // seen when the save began (a device or FIFO put there is never replaced).
    struct stat st {};
    bool there = ::lstat(target.path.c_str(), &st) == 0;
    if (!there && errno != ENOENT) return Err(errno);
    if (there && (!target.existed || !S_ISREG(st.st_mode) || st.st_dev != target.device ||
                  st.st_ino != target.file))
        return Refused(Problem::Changed);
    if (there) {
        if (::rename(tempPath.c_str(), target.path.c_str()) != 0) return Err(errno);
    } else if (::renameat2(AT_FDCWD, tempPath.c_str(), AT_FDCWD, target.path.c_str(),
                           RENAME_NOREPLACE) != 0) {
        // Nothing was there: nothing made meanwhile is replaced either.
        if (errno == EEXIST) return Refused(Problem::Changed);
        if (errno != EINVAL && errno != ENOSYS) return Err(errno);
        if (::rename(tempPath.c_str(), target.path.c_str()) != 0) return Err(errno);
    }
    Unregister();
    return {};
}

void Discard(const std::string& tempPath) {
    CEndingSignalsHeld held;
    ::unlink(tempPath.c_str());
    Unregister();
}

Result OpenInto(const Target& target, int& fd) {
    if (target.kind == Target::Kind::Socket) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (target.path.size() >= sizeof address.sun_path) return Err(ENAMETOOLONG);
        std::memcpy(address.sun_path, target.path.c_str(), target.path.size() + 1);
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return Err(errno);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            const int error = errno;
            ::close(fd);
            fd = -1;
            return Err(error);
        }
        return {};
    }
    // Never O_CREAT or O_TRUNC: the node stays what it is. Not blocking, so
    // that a FIFO without a reader says so instead of waiting for one.
    fd = ::open(target.path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENXIO && target.kind == Target::Kind::Fifo) return Refused(Problem::NoReader);
        return Err(errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) {
        // Replaced by a file meanwhile: writing into it would not truncate it.
        ::close(fd);
        fd = -1;
        return Err(EAGAIN);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return {};
}

Result Close(int fd) {
    if (::close(fd) != 0 && errno != EINTR) return Err(errno);
    return {};
}

Result CheckWritable(const std::string& path) {
    Target target;
    if (Result r = ResolveTarget(path, target); !r) return r;
    if (!target.replace) {
        // Opening a FIFO could wait, opening a device could act on it.
        if (::faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0) return Err(errno);
        return {};
    }
    // What saving needs: a new file beside the target, made and removed.
    std::string tempPath;
    int fd = -1;
    if (Result r = CreateBeside(target, tempPath, fd); !r) return r;
    ::close(fd);
    Discard(tempPath);
    return {};
}

CBrokenPipeGuard::CBrokenPipeGuard() {
    sigset_t pipe, old, pending;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &old);
    m_bBlocked = !sigismember(&old, SIGPIPE);
    sigpending(&pending);
    m_bWasPending = sigismember(&pending, SIGPIPE);
}

CBrokenPipeGuard::~CBrokenPipeGuard() {
    if (!m_bBlocked) return;
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    if (!m_bWasPending) {
        // A write's own SIGPIPE is taken away before the signal is let through.
        const timespec now{};
        while (::sigtimedwait(&pipe, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
}

void RemoveSaveOnSignal() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = OnEndingSignal;
        action.sa_mask = EndingSignals();  // one handler at a time
        action.sa_flags = SA_RESETHAND;
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace sizewalk::scanfile_os
