// The removals and the terminal on real trees under /tmp, with a home and a
// data home of the test's own: the user's trash is never touched.
#include "platform/file_actions.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

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
ItemId IdOf(const std::string& path) {
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) return {};
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}
RemoveResult Trash(const std::string& path, const std::string& start) {
    return MoveToTrash(path, start, IdOf(path));
}
RemoveResult Delete(const std::string& path, const std::string& start) {
    return DeletePermanently(path, start, IdOf(path));
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

// Another file system below the start: the item itself is refused, a
// directory holding its mount point loses all but that, and a volume
// without a trash is left untouched. Needs a tmpfs mount (root).
TEST(FileActionsTest, AnotherFileSystemIsNeverEntered) {
    TempTree t;
    t.Dir("d");
    t.File("d/mine", 10);
    t.Dir("d/mnt");
    if (::mount("tmpfs", t.Path("d/mnt").c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{t.Path("d/mnt")};
    t.File("d/mnt/theirs", 20);

    for (const auto action : {Trash, Delete}) {
        const RemoveResult refused = action(t.Path("d/mnt"), t.Root());
        EXPECT_EQ(refused.eStatus, RemoveStatus::NotRemoved);
        EXPECT_NE(refused.strFailures.find("another file system is mounted here"), std::string::npos);
    }
    // A tmpfs has no trash of its own: nothing is done in its place.
    const RemoveResult noTrash = Trash(t.Path("d/mnt/theirs"), t.Path("d/mnt"));
    EXPECT_EQ(noTrash.eStatus, RemoveStatus::NoTrash) << noTrash.strFailures;
    EXPECT_TRUE(std::filesystem::exists(t.Path("d/mnt/theirs")));

    const RemoveResult partial = Delete(t.Path("d"), t.Root());
    EXPECT_EQ(partial.eStatus, RemoveStatus::Partial);
    EXPECT_NE(partial.strFailures.find(t.Path("d/mnt") + ": another file system is mounted here"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(t.Path("d/mine")));
    EXPECT_TRUE(std::filesystem::exists(t.Path("d/mnt/theirs")));
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
