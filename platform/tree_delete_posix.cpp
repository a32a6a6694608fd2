#include "platform/tree_delete_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <new>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/error_text.h"

namespace sizewalk::posix {

namespace {

// Directory streams held open at once; the rest of the way down is kept as
// names and identities only.
constexpr std::size_t kOpenStreams = 32;

struct Frame {
    std::string name;  // in its parent; empty for the directory deleted
    std::uint64_t nDevice = 0;
    std::uint64_t nInode = 0;
    DIR* dir = nullptr;
    std::unordered_set<std::string> skipped;  // left in place: not tried again on a re-read
    bool bLeftSome = false;                   // something below stays
};

class TreeDeleter {
public:
    TreeDeleter(int parentFd, const std::string& leaf, std::uint64_t mount,
                const std::string& shownPath, FailureLines& failures)
        : m_parentFd(parentFd),
          m_leaf(leaf),
          m_mount(mount),
          m_shownPath(shownPath),
          m_failures(failures) {}
    ~TreeDeleter() {
        for (Frame& frame : m_stack)
            if (frame.dir) ::closedir(frame.dir);
    }
    TreeDeleter(const TreeDeleter&) = delete;
    TreeDeleter& operator=(const TreeDeleter&) = delete;

    TreeDeleteOutcome Run(Fd dir, std::uint64_t device, std::uint64_t inode);

private:
    void Walk(Fd dir, std::uint64_t device, std::uint64_t inode);
    // Puts an open stream on the stack; closed if that runs out of memory.
    void Push(Frame&& frame) {
        try {
            m_stack.push_back(std::move(frame));
        } catch (...) {
            ::closedir(frame.dir);
            throw;
        }
    }
    std::string PathOf(std::size_t depth, const char* name = nullptr) const {
        std::string path = m_shownPath;
        for (std::size_t i = 1; i <= depth && i < m_stack.size(); ++i)
            path += "/" + m_stack[i].name;
        if (name) path += std::string("/") + name;
        return path;
    }
    // `name` in the top directory stays, and why.
    void LeaveEntry(const char* name, const std::string& why) {
        Frame& top = m_stack.back();
        m_failures.Add(PathOf(m_stack.size() - 1, name), why);
        top.bLeftSome = true;
        top.skipped.insert(name);
    }
    void DropLowestStream() {
        while (m_firstOpen < m_stack.size() && !m_stack[m_firstOpen].dir) ++m_firstOpen;
        if (m_firstOpen + 1 >= m_stack.size()) return;  // the top stays open
        ::closedir(m_stack[m_firstOpen].dir);
        m_stack[m_firstOpen].dir = nullptr;
        --m_nOpen;
        ++m_firstOpen;
    }
    // Gives the read-only file system as the one reason, once.
    void StopReadOnly() {
        m_bStopped = true;
        m_failures.Add(m_shownPath, ErrorText(EROFS));
    }
    void Entry(const char* name, unsigned char type);
    void EnterDirectory(const char* name, const EntryFacts& facts);
    bool FinishTop();

    int m_parentFd;
    const std::string& m_leaf;
    std::uint64_t m_mount;
    std::uint64_t m_device = 0;
    const std::string& m_shownPath;
    FailureLines& m_failures;
    std::vector<Frame> m_stack;
    std::size_t m_nOpen = 0;
    std::size_t m_firstOpen = 0;  // no open stream below this depth
    bool m_bRemovedAny = false;
    bool m_bStopped = false;  // the tree changed under the walk, or cannot change
    bool m_bAllGone = false;
};

// Out of memory ends the walk where it is: what went is gone, the rest
// stays, and every stream is closed (by the destructor).
TreeDeleteOutcome TreeDeleter::Run(Fd dir, std::uint64_t device, std::uint64_t inode) {
    try {
        Walk(std::move(dir), device, inode);
    } catch (const std::bad_alloc&) {
        m_bAllGone = false;
        try {
            m_failures.Add(m_shownPath, "out of memory");
        } catch (const std::bad_alloc&) {
        }
    }
    return {m_bRemovedAny, m_bAllGone};
}

void TreeDeleter::Walk(Fd dir, std::uint64_t device, std::uint64_t inode) {
    m_device = device;
    DIR* stream = ::fdopendir(dir.Get());
    if (!stream) {
        m_failures.Add(m_shownPath, ErrorText(errno));
        return;
    }
    dir.Release();
    Push(Frame{{}, device, inode, stream, {}, false});
    m_nOpen = 1;
    while (!m_stack.empty() && !m_bStopped) {
        errno = 0;
        const dirent* entry = ::readdir(m_stack.back().dir);
        if (!entry) {
            if (errno != 0) {
                m_failures.Add(PathOf(m_stack.size() - 1), ErrorText(errno));
                m_stack.back().bLeftSome = true;
            }
            if (!FinishTop()) break;
            continue;
        }
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        if (m_stack.back().skipped.count(name)) continue;
        Entry(name, entry->d_type);
    }
}

void TreeDeleter::Entry(const char* name, unsigned char type) {
    const int fd = ::dirfd(m_stack.back().dir);
    // Most entries are files: one call, no stat.
    if (type != DT_DIR && type != DT_UNKNOWN) {
        if (::unlinkat(fd, name, 0) == 0) {
            m_bRemovedAny = true;
            return;
        }
        if (errno == ENOENT) return;
        if (errno == EROFS) return StopReadOnly();
        if (errno != EISDIR && errno != EBUSY) return LeaveEntry(name, ErrorText(errno));
    }
    EntryFacts facts;
    if (const int error = FactsAt(fd, name, facts)) {
        if (error != ENOENT) LeaveEntry(name, ErrorText(error));
        return;
    }
    if (facts.nDevice != m_device || (facts.nMount != 0 && facts.nMount != m_mount))
        return LeaveEntry(name, kMountedHere);
    if (S_ISDIR(facts.mode)) return EnterDirectory(name, facts);
    if (::unlinkat(fd, name, 0) == 0) {
        m_bRemovedAny = true;
    } else if (errno == EROFS) {
        StopReadOnly();
    } else if (errno != ENOENT) {
        LeaveEntry(name, ErrorText(errno));
    }
}

void TreeDeleter::EnterDirectory(const char* name, const EntryFacts& facts) {
    if (m_nOpen >= kOpenStreams) DropLowestStream();
    int fd;
    // Another part of the program may hold descriptors: give back streams
    // until one can be opened.
    while ((fd = OpenDirBeneath(::dirfd(m_stack.back().dir), name)) < 0 &&
           (errno == EMFILE || errno == ENFILE) && m_nOpen > 1)
        DropLowestStream();
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT) return;
        return LeaveEntry(name, error == EXDEV   ? kMountedHere
                                : error == ELOOP ? "changed while being deleted"
                                                 : ErrorText(error));
    }
    struct stat st {};
    DIR* stream = nullptr;
    if (::fstat(fd, &st) != 0 || static_cast<std::uint64_t>(st.st_dev) != facts.nDevice ||
        static_cast<std::uint64_t>(st.st_ino) != facts.nInode) {
        ::close(fd);
        return LeaveEntry(name, "changed while being deleted");
    }
    if (!(stream = ::fdopendir(fd))) {
        const int error = errno;
        ::close(fd);
        return LeaveEntry(name, ErrorText(error));
    }
    Push(Frame{name, facts.nDevice, facts.nInode, stream, {}, false});
    ++m_nOpen;
}

// The top directory is read to its end: it goes from its parent, which is
// opened again through ".." if its stream was let go. False when the walk
// must stop.
bool TreeDeleter::FinishTop() {
    if (m_stack.size() == 1) {
        Frame& root = m_stack.back();
        ::closedir(root.dir);
        root.dir = nullptr;
        const bool leftSome = root.bLeftSome;
        m_stack.pop_back();
        if (leftSome) return false;
        // Gone already (someone else removed it) counts as gone.
        if (::unlinkat(m_parentFd, m_leaf.c_str(), AT_REMOVEDIR) == 0 || errno == ENOENT) {
            m_bRemovedAny = true;
            m_bAllGone = true;
        } else if (errno == EROFS) {
            StopReadOnly();
        } else {
            m_failures.Add(m_shownPath, ErrorText(errno));
        }
        return false;
    }
    const std::size_t up = m_stack.size() - 2;
    if (!m_stack[up].dir) {
        const int fd = ::openat(::dirfd(m_stack.back().dir), "..",
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat st {};
        DIR* stream = nullptr;
        if (fd < 0 || ::fstat(fd, &st) != 0 ||
            static_cast<std::uint64_t>(st.st_dev) != m_stack[up].nDevice ||
            static_cast<std::uint64_t>(st.st_ino) != m_stack[up].nInode ||
            MountIdOf(fd) != m_mount || !(stream = ::fdopendir(fd))) {
            const int error = errno;
            if (fd >= 0) ::close(fd);
            // Moved away meanwhile: what is above is not followed.
            m_failures.Add(PathOf(up), fd < 0 ? ErrorText(error) : "changed while being deleted");
            m_bStopped = true;
            return false;
        }
        m_stack[up].dir = stream;
        ++m_nOpen;
        m_firstOpen = up;
    }
    Frame done = std::move(m_stack.back());
    ::closedir(done.dir);
    --m_nOpen;
    m_stack.pop_back();
    Frame& parent = m_stack.back();
    if (done.bLeftSome) {
        parent.bLeftSome = true;
        parent.skipped.insert(done.name);
        return true;
    }
    if (::unlinkat(::dirfd(parent.dir), done.name.c_str(), AT_REMOVEDIR) == 0) {
        m_bRemovedAny = true;
    } else if (errno == EROFS) {
        StopReadOnly();
    } else if (errno != ENOENT) {
        LeaveEntry(done.name.c_str(), ErrorText(errno));
    }
    return true;
}

}  // namespace

TreeDeleteOutcome DeleteTree(int parentFd, const std::string& leaf, Fd dir, std::uint64_t device,
                             std::uint64_t inode, std::uint64_t mount, const std::string& shownPath,
                             FailureLines& failures) {
    TreeDeleter deleter(parentFd, leaf, mount, shownPath, failures);
    return deleter.Run(std::move(dir), device, inode);
}

}  // namespace sizewalk::posix
