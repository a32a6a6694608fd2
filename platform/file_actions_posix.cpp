// The tree's actions on Linux: every item is reached from the scan's start
// by descriptors (beneath_posix.h) and checked to be the one looked at;
// deleting walks from descriptors (tree_delete_posix.h), the trash renames
// from the reached parent (trash_posix.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "platform/beneath_posix.h"
#include "platform/error_text.h"
#include "platform/failure_lines.h"
#include "platform/file_actions.h"
#include "platform/trash_posix.h"
#include "platform/tree_delete_posix.h"

namespace sizewalk {

namespace {

using posix::Reached;
using posix::ReachStatus;

RemoveResult OneLine(RemoveStatus status, const std::string& path, const std::string& why) {
    FailureLines lines;
    lines.Add(path, why);
    return {status, lines.Text()};
}

ItemKind KindOfMode(mode_t mode) {
    if (S_ISDIR(mode)) return ItemKind::Directory;
    return S_ISREG(mode) ? ItemKind::File : ItemKind::Other;
}

const char* NowText(ItemKind kind) {
    switch (kind) {
        case ItemKind::Directory:
            return "it is now a directory";
        case ItemKind::File:
            return "it is now a file";
        case ItemKind::Other:
            break;
    }
    return "it is now a link or a special file";
}

// Reaches the item for a removal: the result when nothing may be done.
std::optional<RemoveResult> ReachToRemove(const std::string& path, const std::string& startPath,
                                          const ItemId& id, Reached& r) {
    r = posix::Reach(path, startPath);
    switch (r.eStatus) {
        case ReachStatus::Reached:
            break;
        case ReachStatus::Gone:
            return OneLine(RemoveStatus::NotRemoved, path, "it is no longer there");
        case ReachStatus::Changed:
            return OneLine(RemoveStatus::Changed, path, r.strWhy);
        case ReachStatus::Failed:
            return OneLine(RemoveStatus::NotRemoved, path, r.strWhy);
    }
    if (r.leaf.empty())
        return OneLine(RemoveStatus::NotRemoved, path, "the start directory is not removed here");
    // Something mounted at the item is never removed; it is a change when
    // it came after the look.
    if (!r.OnStartMount()) {
        const bool same = r.item.nDevice == id.nVolume && r.item.nInode == id.nFile;
        return OneLine(same ? RemoveStatus::NotRemoved : RemoveStatus::Changed, path,
                       posix::kMountedHere);
    }
    if (ItemId{r.item.nDevice, r.item.nInode, r.item.nStamp} != id)
        return OneLine(RemoveStatus::Changed, path, "another item stands there now");
    return std::nullopt;
}

}  // namespace

ItemLook LookAtStart(const std::string& startPath) {
    ItemLook look;
    const posix::Fd start(::open(startPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    posix::EntryFacts facts;
    const int error = start.IsOpen() ? posix::FactsAt(start.Get(), "", facts) : errno;
    if (error != 0) {
        look.eStatus = error == ENOENT ? LookStatus::Gone : LookStatus::Failed;
        look.strWhy = ErrorText(error);
        return look;
    }
    look.eStatus = LookStatus::Same;
    look.id = {facts.nDevice, facts.nInode, facts.nStamp};
    return look;
}

ItemLook LookAtItem(const std::string& path, const std::string& startPath, ItemKind kind) {
    ItemLook look;
    const Reached r = posix::Reach(path, startPath);
    switch (r.eStatus) {
        case ReachStatus::Reached:
            break;
        case ReachStatus::Gone:
            look.eStatus = LookStatus::Gone;
            return look;
        case ReachStatus::Changed:
            look.eStatus = LookStatus::Changed;
            look.strWhy = r.strWhy;
            return look;
        case ReachStatus::Failed:
            look.eStatus = LookStatus::Failed;
            look.strWhy = r.strWhy;
            return look;
    }
    const ItemKind now = KindOfMode(r.item.mode);
    if (now != kind) {
        look.eStatus = LookStatus::Changed;
        look.strWhy = NowText(now);
        return look;
    }
    if (!r.OnStartMount()) {
        look.eStatus = LookStatus::Failed;
        look.strWhy = posix::kMountedHere;
        return look;
    }
    look.eStatus = LookStatus::Same;
    look.id = {r.item.nDevice, r.item.nInode, r.item.nStamp};
    look.nSize = r.item.nSize;
    look.nDiskSize = r.item.nDiskSize;
    return look;
}

RemoveResult DeletePermanently(const std::string& path, const std::string& startPath,
                               const ItemId& id) {
    Reached r;
    if (auto refused = ReachToRemove(path, startPath, id, r)) return *refused;
    if (!S_ISDIR(r.item.mode)) {
        if (::unlinkat(r.parent.Get(), r.leaf.c_str(), 0) == 0) return {RemoveStatus::Removed, {}};
        return OneLine(RemoveStatus::NotRemoved, path, ErrorText(errno));
    }
    // Without mount ids a bind mount below looks like any directory.
    if (r.nStartMount == 0) return OneLine(RemoveStatus::NotRemoved, path, posix::kMountsUnknown);
    posix::Fd dir(posix::OpenDirBeneath(r.parent.Get(), r.leaf.c_str()));
    if (!dir.IsOpen()) {
        const int error = errno;
        if (error == EXDEV) return OneLine(RemoveStatus::NotRemoved, path, posix::kMountedHere);
        if (error == ELOOP || error == ENOTDIR)
            return OneLine(RemoveStatus::Changed, path, "another item stands there now");
        return OneLine(RemoveStatus::NotRemoved, path, ErrorText(error));
    }
    posix::EntryFacts opened;
    if (posix::FactsAt(dir.Get(), "", opened) != 0 ||
        ItemId{opened.nDevice, opened.nInode, opened.nStamp} != id)
        return OneLine(RemoveStatus::Changed, path, "another item stands there now");
    FailureLines failures;
    const posix::TreeDeleteOutcome outcome =
        posix::DeleteTree(r.parent.Get(), r.leaf, std::move(dir), id.nVolume, id.nFile,
                          r.nStartMount, path, failures);
    if (outcome.bAllGone) return {RemoveStatus::Removed, {}};
    return {outcome.bRemovedAny ? RemoveStatus::Partial : RemoveStatus::NotRemoved,
            failures.Text()};
}

RemoveResult MoveToTrash(const std::string& path, const std::string& startPath, const ItemId& id) {
    Reached r;
    if (auto refused = ReachToRemove(path, startPath, id, r)) return *refused;
    return posix::TrashReached(r, path);
}

bool ItemExists(const std::string& path, const std::string& startPath) {
    return posix::Reach(path, startPath).eStatus != ReachStatus::Gone;
}

std::int64_t ItemModified(const std::string& path, const std::string& startPath) {
    const Reached r = posix::Reach(path, startPath);
    return r.eStatus == ReachStatus::Reached && r.OnStartMount() ? r.item.nModified : 0;
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
