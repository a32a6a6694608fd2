// The removals and the terminal on real trees under /tmp, with a home and a
// data home of the test's own: the user's trash is never touched.
#include "platform/file_actions.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "platform/beneath_posix.h"
#include "scan/dir_scanner.h"
#include "scan/list_edit.h"
#include "tests/scan/as_unprivileged.h"
#include "tests/scan/list_text.h"
#include "tests/temp_tree.h"

namespace sizewalk {
namespace {

using test::IndexOfPath;
using test::ListText;
using test::TempTree;

TempTree* g_home = nullptr;  // HOME and XDG_DATA_HOME for the whole run

std::string TrashDir() { return g_home->Path("data/Trash"); }

// The item as it is now, as the window looks at it before asking.
ItemId IdOf(const std::string& path, const std::string& start) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return {};
    const ItemKind kind = S_ISDIR(st.st_mode)   ? ItemKind::Directory
                          : S_ISREG(st.st_mode) ? ItemKind::File
                                                : ItemKind::Other;
    const ItemLook look = LookAtItem(path, start, kind);
    // A mount point is refused by its look: its identity is what lstat says.
    if (look.eStatus != LookStatus::Same)
        return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return look.id;
}
RemoveResult Trash(const std::string& path, const std::string& start) {
    return MoveToTrash(path, start, IdOf(path, start));
}
RemoveResult Delete(const std::string& path, const std::string& start) {
    return DeletePermanently(path, start, IdOf(path, start));
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Removes `rel` with `action` and checks the edited list against a fresh scan.
template <class Action>
RemoveResult RemoveAndCompare(const TempTree& t, const std::string& rel, Action action) {
    const CScanList before = test::ScanOf(t.Root());
    const RemoveResult result = action(t.Path(rel), t.Root());
    if (result.eStatus == RemoveStatus::Removed) {
        const std::size_t index = IndexOfPath(before, t.Path(rel));
        const std::int64_t changed = ItemModified(before.PathOf(before.ParentOf(index)), t.Root());
        EXPECT_NE(changed, 0);
        EXPECT_EQ(ListText(ListWithout(before, index, changed)), ListText(test::ScanOf(t.Root())));
    }
    return result;
}

// A file whose name needs escaping goes to the home trash, with the record
// of where it came from and when; the list follows.
TEST(FileActionsTest, TrashAFileRecordsWhereItCameFrom) {
    TempTree t;
    t.Dir("d");
    t.File("d/a b%.txt", 5000);
    t.File("d/keep", 10);
    const RemoveResult result = RemoveAndCompare(t, "d/a b%.txt", Trash);
    ASSERT_EQ(result.eStatus, RemoveStatus::Removed) << result.strFailures;
    EXPECT_TRUE(result.strFailures.empty());
    EXPECT_TRUE(std::filesystem::exists(TrashDir() + "/files/a b%.txt"));
    const std::string info = ReadAll(TrashDir() + "/info/a b%.txt.trashinfo");
    EXPECT_NE(info.find("[Trash Info]"), std::string::npos);
    EXPECT_NE(info.find("Path=" + t.Path("d") + "/a%20b%25.txt"), std::string::npos) << info;
    EXPECT_NE(info.find("DeletionDate="), std::string::npos);
}

// A home trash, or its files folder, that others may write to is not used:
// the item stays where it is and the reason says why.
TEST(FileActionsTest, TrashOthersMayWriteToIsNotUsed) {
    TempTree t;
    t.File("a", 10);
    std::filesystem::create_directories(TrashDir() + "/files");
    std::filesystem::create_directories(TrashDir() + "/info");
    for (const std::string& dir : {TrashDir(), TrashDir() + "/files"}) {
        ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
        const RemoveResult result = Trash(t.Path("a"), t.Root());
        ::chmod(dir.c_str(), 0700);
        EXPECT_EQ(result.eStatus, RemoveStatus::NotRemoved) << dir;
        EXPECT_NE(result.strFailures.find("others may write to it"), std::string::npos)
            << result.strFailures;
        EXPECT_TRUE(std::filesystem::exists(t.Path("a")));
    }
    EXPECT_EQ(Trash(t.Path("a"), t.Root()).eStatus, RemoveStatus::Removed);
}

// A directory of many entries goes whole, to the trash or for good.
TEST(FileActionsTest, DirectoryOfManyEntriesGoesWhole) {
    for (const auto action : {Trash, Delete}) {
        TempTree t;
        t.Dir("big");
        for (int d = 0; d < 10; ++d) {
            t.Dir(test::Numbered("big/d", d));
            for (int f = 0; f < 60; ++f)
                t.File(test::Numbered("big/d", d) + test::Numbered("/f", f), 100 + f);
        }
        t.File("other", 1);
        const RemoveResult result = RemoveAndCompare(t, "big", action);
        ASSERT_EQ(result.eStatus, RemoveStatus::Removed) << result.strFailures;
        EXPECT_FALSE(std::filesystem::exists(t.Path("big")));
        EXPECT_TRUE(std::filesystem::exists(t.Path("other")));
    }
}

// A link to a directory: the link goes, the directory and its files stay.
TEST(FileActionsTest, LinkGoesNotWhatItNames) {
    for (const auto action : {Trash, Delete}) {
        TempTree t;
        TempTree outside;
        outside.File("precious", 42);
        t.Link(outside.Root(), "link");
        const RemoveResult result = RemoveAndCompare(t, "link", action);
        ASSERT_EQ(result.eStatus, RemoveStatus::Removed) << result.strFailures;
        EXPECT_FALSE(std::filesystem::is_symlink(t.Path("link")));
        EXPECT_TRUE(std::filesystem::exists(outside.Path("precious")));
    }
}

// What is no longer there is reported, not claimed as done.
TEST(FileActionsTest, MissingItemIsReported) {
    TempTree t;
    for (const auto action : {Trash, Delete}) {
        const RemoveResult result = action(t.Path("gone"), t.Root());
        EXPECT_EQ(result.eStatus, RemoveStatus::NotRemoved);
        EXPECT_NE(result.strFailures.find(t.Path("gone")), std::string::npos);
    }
}

// As an ordinary user, a read-only directory keeps its files: the delete is
// partial, says what failed, and a fresh read of the directory spliced in
// gives the list a fresh scan gives.
TEST(FileActionsTest, ReadOnlyDirectoryGivesAPartialDelete) {
    TempTree t;
    t.Dir("d");
    t.Dir("d/free");
    t.File("d/free/x", 100);
    t.Dir("d/locked");
    t.File("d/locked/y", 200);
    t.File("d/z", 300);
    if (::geteuid() == 0) {
        ASSERT_EQ(std::system(("chown -R 65534:65534 '" + t.Path("d") + "'").c_str()), 0);
    }
    ASSERT_EQ(::chmod(t.Path("d/locked").c_str(), 0555), 0);
    const std::string dir = t.Path("d");
    const std::string root = t.Root();
    test::AsUnprivileged([&] {
        const CScanList before = test::ScanOf(root);
        const RemoveResult result = Delete(dir, root);
        bool ok =
            result.eStatus == RemoveStatus::Partial &&
            result.strFailures.find(dir + "/locked/y: Permission denied") != std::string::npos;
        ok = ok && !std::filesystem::exists(dir + "/free") &&
             std::filesystem::exists(dir + "/locked/y");
        const CScanList spliced =
            ListWithSubtree(before, IndexOfPath(before, dir), test::ScanOf(dir));
        ok = ok && ListText(spliced) == ListText(test::ScanOf(root));
        if (!ok) std::fprintf(stderr, "%s", result.strFailures.c_str());
        return ok;
    });
}

// A mount the test made inside its own tree, detached when it goes.
struct TestMount {
    std::string path;
    bool bMounted = false;
    TestMount(const std::string& source, const std::string& target, bool tmpfs) : path(target) {
        bMounted = tmpfs ? ::mount("tmpfs", target.c_str(), "tmpfs", 0, "size=1m") == 0
                         : ::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) == 0;
    }
    ~TestMount() {
        if (bMounted) ::umount2(path.c_str(), MNT_DETACH);
    }
    TestMount(const TestMount&) = delete;
    TestMount& operator=(const TestMount&) = delete;
};

// A tree to scan ("scan") and beside it, outside the scan, a victim whose
// files must survive whatever is mounted or linked into the scan.
struct ScanAndVictim {
    TempTree t;
    ScanAndVictim() {
        t.Dir("scan");
        t.Dir("victim");
        t.Dir("victim/sub");
        t.File("victim/canary", 7);
        t.File("victim/sub/f2", 8);
    }
    std::string Start() const { return t.Path("scan"); }
    std::string In(const std::string& rel) const { return t.Path("scan/" + rel); }
    bool VictimIntact() const {
        return std::filesystem::exists(t.Path("victim/canary")) &&
               std::filesystem::exists(t.Path("victim/sub/f2"));
    }
};

bool Has(const RemoveResult& result, const std::string& text) {
    return result.strFailures.find(text) != std::string::npos;
}

std::size_t TrashedCount() {
    std::error_code error;
    const auto files = std::filesystem::directory_iterator(TrashDir() + "/files", error);
    return error ? 0 : static_cast<std::size_t>(std::distance(files, {}));
}

// Mounts at or below an item (a tmpfs whose name the mount table escapes,
// bind mounts of the victim): the trash refuses the item naming each mount
// and moves nothing; a delete keeps each mount and the directories leading
// to it, naming them; an item that is a mount point is refused, and one
// replaced by a bind mount after the look has changed. A volume without a
// trash is left untouched. Needs mount rights (root).
TEST(FileActionsTest, MountsAtOrBelowAreNeverEntered) {
    ScanAndVictim s;
    s.t.Dir("scan/d");
    s.t.File("scan/d/mine", 10);
    s.t.Dir("scan/d/t mp");
    s.t.Dir("scan/d/deep");
    s.t.Dir("scan/d/deep/er");
    s.t.Dir("scan/d/deep/er/bind");
    s.t.Dir("scan/at");
    s.t.Dir("scan/later");
    const ItemId laterId = IdOf(s.In("later"), s.Start());
    TestMount tmp("", s.In("d/t mp"), true);
    if (!tmp.bMounted) GTEST_SKIP() << "cannot mount here";
    TestMount bind(s.t.Path("victim"), s.In("d/deep/er/bind"), false);
    TestMount at(s.t.Path("victim"), s.In("at"), false);
    TestMount later(s.t.Path("victim"), s.In("later"), false);
    ASSERT_TRUE(bind.bMounted && at.bMounted && later.bMounted);
    s.t.File("scan/d/t mp/theirs", 20);

    const std::size_t trashed = TrashedCount();
    const RemoveResult refused = Trash(s.In("d"), s.Start());
    EXPECT_EQ(refused.eStatus, RemoveStatus::NotRemoved);
    EXPECT_TRUE(Has(refused, s.In("d/t mp") + ": another file system is mounted here"));
    EXPECT_TRUE(Has(refused, s.In("d/deep/er/bind") + ": another file system is mounted here"))
        << refused.strFailures;
    EXPECT_TRUE(std::filesystem::exists(s.In("d/mine")));
    EXPECT_EQ(TrashedCount(), trashed);

    EXPECT_EQ(LookAtItem(s.In("at"), s.Start(), ItemKind::Directory).eStatus, LookStatus::Failed);
    for (const auto action : {Trash, Delete}) {
        const RemoveResult atItem = action(s.In("at"), s.Start());
        EXPECT_EQ(atItem.eStatus, RemoveStatus::NotRemoved);
        EXPECT_TRUE(Has(atItem, s.In("at") + ": another file system is mounted here"));
        const RemoveResult replaced =
            (action == Trash ? MoveToTrash : DeletePermanently)(s.In("later"), s.Start(), laterId);
        EXPECT_EQ(replaced.eStatus, RemoveStatus::Changed) << replaced.strFailures;
    }
    // A tmpfs has no trash of its own: nothing is done in its place.
    const RemoveResult noTrash = Trash(s.In("d/t mp/theirs"), s.In("d/t mp"));
    EXPECT_EQ(noTrash.eStatus, RemoveStatus::NoTrash) << noTrash.strFailures;

    const RemoveResult partial = Delete(s.In("d"), s.Start());
    EXPECT_EQ(partial.eStatus, RemoveStatus::Partial);
    EXPECT_TRUE(Has(partial, s.In("d/t mp") + ": another file system is mounted here"));
    EXPECT_TRUE(Has(partial, s.In("d/deep/er/bind") + ": another file system is mounted here"));
    EXPECT_FALSE(std::filesystem::exists(s.In("d/mine")));
    EXPECT_TRUE(std::filesystem::exists(s.In("d/t mp/theirs")));
    EXPECT_TRUE(s.VictimIntact());
}

// Restores the usual way of reaching items when a case is done.
struct Openat2Choice {
    explicit Openat2Choice(bool use) { posix::UseOpenat2ForTesting(use); }
    ~Openat2Choice() { posix::UseOpenat2ForTesting(true); }
    Openat2Choice(const Openat2Choice&) = delete;
    Openat2Choice& operator=(const Openat2Choice&) = delete;
};

// A parent put aside after the look, a link or a bind mount of the victim
// in its place: nothing is removed, by either removal, with openat2 or
// component by component as on a kernel without it.
TEST(FileActionsTest, SwappedParentIsNotFollowed) {
    bool mountsSkipped = false;
    for (const bool openat2 : {true, false}) {
        for (const bool bindMount : {false, true}) {
            for (const auto remove : {MoveToTrash, DeletePermanently}) {
                SCOPED_TRACE(std::string(openat2 ? "openat2 " : "by components ") +
                             (bindMount ? "bind mount " : "link ") +
                             (remove == MoveToTrash ? "trash" : "delete"));
                const Openat2Choice choice(openat2);
                ScanAndVictim s;
                s.t.Dir("scan/d");
                s.t.Dir("scan/d/sub");
                s.t.File("scan/d/sub/f2", 9);
                const std::string item = s.In("d/sub/f2");
                const ItemLook look = LookAtItem(item, s.Start(), ItemKind::File);
                ASSERT_EQ(look.eStatus, LookStatus::Same);
                ASSERT_EQ(::rename(s.In("d").c_str(), s.In("d.away").c_str()), 0);
                std::optional<TestMount> mount;
                if (bindMount) {
                    s.t.Dir("scan/d");
                    mount.emplace(s.t.Path("victim"), s.In("d"), false);
                    if (!mount->bMounted) {
                        mountsSkipped = true;
                        continue;
                    }
                } else {
                    s.t.Link(s.t.Path("victim"), "scan/d");
                }
                EXPECT_EQ(LookAtItem(item, s.Start(), ItemKind::File).eStatus, LookStatus::Changed);
                const RemoveResult result = remove(item, s.Start(), look.id);
                EXPECT_EQ(result.eStatus, RemoveStatus::Changed) << result.strFailures;
                EXPECT_TRUE(Has(result, bindMount ? "another file system is mounted at "
                                                  : "a link stands in its way at "))
                    << result.strFailures;
                EXPECT_TRUE(s.VictimIntact());
                EXPECT_TRUE(std::filesystem::exists(s.In("d.away/sub/f2")));
                EXPECT_TRUE(ItemExists(item, s.Start()));
            }
        }
    }
    if (mountsSkipped) GTEST_SKIP() << "bind mounts not tried: cannot mount here";
}

// A file replaced by a directory of the same name is another item now.
TEST(FileActionsTest, ReplacedByAnotherKindIsChanged) {
    TempTree t;
    t.File("x", 5);
    const ItemId id = IdOf(t.Path("x"), t.Root());
    ASSERT_EQ(::unlink(t.Path("x").c_str()), 0);
    t.Dir("x");
    t.File("x/inner", 6);
    const ItemLook look = LookAtItem(t.Path("x"), t.Root(), ItemKind::File);
    EXPECT_EQ(look.eStatus, LookStatus::Changed);
    EXPECT_EQ(look.strWhy, "it is now a directory");
    for (const auto remove : {MoveToTrash, DeletePermanently})
        EXPECT_EQ(remove(t.Path("x"), t.Root(), id).eStatus, RemoveStatus::Changed);
    EXPECT_TRUE(std::filesystem::exists(t.Path("x/inner")));
}

// A read-only mount (a bind mount of the test's tree, remounted read-only):
// nothing can go, and the message says why rather than claiming a part;
// its trash would be on another mount of the same file system.
TEST(FileActionsTest, ReadOnlyMountRemovesNothing) {
    TempTree t;
    t.Dir("src");
    t.Dir("src/d");
    t.File("src/d/a", 1);
    t.File("src/f", 2);
    t.Dir("ro");
    TestMount ro(t.Path("src"), t.Path("ro"), false);
    if (!ro.bMounted || ::mount(nullptr, t.Path("ro").c_str(), nullptr,
                                MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
        GTEST_SKIP() << "cannot make a read-only mount here";
    for (const std::string item : {"ro/d", "ro/f"}) {
        const RemoveResult result = Delete(t.Path(item), t.Path("ro"));
        EXPECT_EQ(result.eStatus, RemoveStatus::NotRemoved) << item;
        EXPECT_EQ(result.strFailures, t.Path(item) + ": Read-only file system\n");
    }
    const RemoveResult trash = Trash(t.Path("ro/f"), t.Path("ro"));
    EXPECT_EQ(trash.eStatus, RemoveStatus::NotRemoved);
    EXPECT_TRUE(Has(trash, "the trash is on another mount of this file system"))
        << trash.strFailures;
    EXPECT_TRUE(std::filesystem::exists(t.Path("src/d/a")));
    EXPECT_TRUE(std::filesystem::exists(t.Path("src/f")));
}

// Removes the chain "c/c/c/..." below `dirFd` one level at a time, with two
// descriptors and no path longer than a name.
void RemoveChain(int dirFd) {
    for (;;) {
        const int top = ::openat(dirFd, "c", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (top < 0) return;
        ::unlinkat(top, "f", 0);
        const bool deeper = ::renameat(top, "c", dirFd, "c.next") == 0;
        ::close(top);
        ::unlinkat(dirFd, "c", AT_REMOVEDIR);
        if (!deeper || ::renameat(dirFd, "c.next", dirFd, "c") != 0) return;
    }
}

// A chain of 100,000 directories goes, in a child whose descriptors are
// limited to 256; the walk keeps no recursion and few directories open.
TEST(FileActionsTest, DeepChainGoesWithFewDescriptors) {
    constexpr int kDepth = 100000;
    TempTree t;
    t.Dir("chain");
    t.File("beside", 1);
    const int chain = ::open(t.Path("chain").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(chain, 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{256, 256};
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(2);
        int fd = ::dup(chain);
        for (int level = 0; level < kDepth && fd >= 0; ++level) {
            if (::mkdirat(fd, "c", 0755) != 0) ::_exit(3);
            if (level % 1000 == 0) ::close(::openat(fd, "f", O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
            const int next = ::openat(fd, "c", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::close(fd);
            fd = next;
        }
        if (fd < 0) ::_exit(4);
        ::close(fd);
        const RemoveResult result = Delete(t.Path("chain/c"), t.Root());
        if (result.eStatus != RemoveStatus::Removed) {
            std::fprintf(stderr, "%.2000s\n", result.strFailures.c_str());
            ::_exit(5);
        }
        ::_exit(std::filesystem::exists(t.Path("chain/c")) ? 6 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    RemoveChain(chain);  // whatever is left, before the tree's own cleanup
    ::close(chain);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(std::filesystem::exists(t.Path("beside")));
}

// The terminal starts in the directory and is not waited for; without one,
// the call says so.
TEST(FileActionsTest, TerminalStartsInTheDirectory) {
    TempTree t;
    t.Dir("bin");
    t.Dir("work dir");
    const std::string script = t.Path("bin/x-terminal-emulator");
    {
        std::ofstream out(script);
        out << "#!/bin/sh\n{ pwd; echo $$; } > '" << t.Path("seen.tmp") << "'\n/bin/mv '"
            << t.Path("seen.tmp") << "' '" << t.Path("seen") << "'\nexec /bin/sleep 30\n";
    }
    ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", t.Path("bin").c_str(), 1);
    const auto start = std::chrono::steady_clock::now();
    const bool started = OpenTerminal(t.Path("work dir"));
    const auto took = std::chrono::steady_clock::now() - start;
    ::setenv("PATH", t.Path("nothing").c_str(), 1);
    const bool none = OpenTerminal(t.Path("work dir"));
    ::setenv("PATH", oldPath.c_str(), 1);
    EXPECT_TRUE(started);
    EXPECT_LT(took, std::chrono::seconds(20));  // the terminal's life is its own
    EXPECT_FALSE(none);
    for (int i = 0; i < 500 && !std::filesystem::exists(t.Path("seen")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::istringstream seen(ReadAll(t.Path("seen")));
    std::string dir;
    long pid = 0;
    std::getline(seen, dir);
    seen >> pid;
    EXPECT_EQ(dir, t.Path("work dir"));
    if (pid > 0) ::kill(static_cast<pid_t>(pid), SIGTERM);
}

}  // namespace
}  // namespace sizewalk

int main(int argc, char** argv) {
    // Set before the trash is first looked for: it reads them once.
    sizewalk::test::TempTree home;
    home.Dir("data");
    ::setenv("HOME", home.Root().c_str(), 1);
    ::setenv("XDG_DATA_HOME", home.Path("data").c_str(), 1);
    sizewalk::g_home = &home;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
