#include "scan/list_edit.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "scan/dir_scanner.h"
#include "tests/scan/list_text.h"
#include "tests/temp_tree.h"

namespace sizewalk {
namespace {

using test::IndexOfPath;
using test::ListText;
using test::TempTree;

// A tree with files on several levels, an empty directory and a link.
void Populate(const TempTree& t) {
    t.Dir("a");
    t.Dir("a/b");
    t.Dir("a/b/c");
    t.File("a/b/c/deep", 70000);
    t.File("a/b/f1", 5000);
    t.Dir("a/empty");
    t.File("a/f2", 123);
    t.Dir("z");
    t.File("z/f3", 9000);
    t.Link("a", "link");
}

// Each removal of one item, done on disk and in the list, gives the list a
// fresh scan gives: every level, the last entry, files and directories.
TEST(ListEditTest, RemovalMatchesAFreshScan) {
    for (const char* victim : {"a/b", "a/b/c/deep", "a/empty", "z", "z/f3", "link", "a"}) {
        TempTree t;
        Populate(t);
        const CScanList before = test::ScanOf(t.Root());
        std::filesystem::remove_all(t.Path(victim));
        // The parent's time changed with the removal, as the edit is told.
        const std::size_t index = IndexOfPath(before, t.Path(victim));
        struct stat parent {};
        ASSERT_EQ(::stat(before.PathOf(before.ParentOf(index)).c_str(), &parent), 0);
        const CScanList edited = ListWithout(before, index, parent.st_mtime);
        EXPECT_EQ(ListText(edited), ListText(test::ScanOf(t.Root()))) << victim;
        EXPECT_EQ(edited.PathOf(edited.Count() - 1),
                  test::ScanOf(t.Root()).PathOf(edited.Count() - 1));
    }
}

// Several items removed in one edit: the list a fresh scan gives, each
// parent's time moved, however many entries went before it.
TEST(ListEditTest, RemovalOfSeveralMatchesAFreshScan) {
    TempTree t;
    Populate(t);
    const CScanList before = test::ScanOf(t.Root());
    const std::vector<std::string> victims = {"a/b/c", "a/f2", "z/f3", "link"};
    std::vector<std::size_t> indices;
    for (const std::string& victim : victims) {
        indices.push_back(IndexOfPath(before, t.Path(victim)));
        std::filesystem::remove_all(t.Path(victim));
    }
    std::sort(indices.begin(), indices.end());
    // Every parent changed at one moment, as the edit is told.
    const std::time_t moment = std::time(nullptr) + 100;
    const timespec when[2] = {{moment, 0}, {moment, 0}};
    for (const char* parent : {"a/b", "a", "z", ""})
        ASSERT_EQ(::utimensat(AT_FDCWD, t.Path(parent).c_str(), when, 0), 0) << parent;
    const CScanList edited = ListWithoutAll(before, indices, moment);
    EXPECT_EQ(ListText(edited), ListText(test::ScanOf(t.Root())));
}

// A directory read again after part of it went is spliced in: both sizes,
// the directory table and the paths below it as a fresh scan has them.
TEST(ListEditTest, SpliceMatchesAFreshScan) {
    TempTree t;
    Populate(t);
    const CScanList before = test::ScanOf(t.Root());
    std::filesystem::remove_all(t.Path("a/b/c"));
    t.File("a/b/new", 4096 * 3);
    t.Dir("a/b/d");
    const std::size_t b = IndexOfPath(before, t.Path("a/b"));
    const CScanList edited = ListWithSubtree(before, b, test::ScanOf(t.Path("a/b")));
    const CScanList fresh = test::ScanOf(t.Root());
    EXPECT_EQ(ListText(edited), ListText(fresh));
    ASSERT_EQ(edited.Dirs().size(), fresh.Dirs().size());
    for (std::size_t i = 0; i < fresh.Count(); ++i) EXPECT_EQ(edited.PathOf(i), fresh.PathOf(i));
}

// Blocks of a file with several links stay counted once: when the link that
// held them goes, the next one left holds them; apparent sizes count each.
TEST(ListEditTest, HardLinkBlocksMoveToTheNextLink) {
    TempTree t;
    t.Dir("a");
    t.Dir("b");
    t.Dir("c");
    {
        const std::string data(20000, 'x');
        FILE* f = std::fopen(t.Path("a/one").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
    }
    ASSERT_EQ(::link(t.Path("a/one").c_str(), t.Path("b/two").c_str()), 0);
    ASSERT_EQ(::link(t.Path("a/one").c_str(), t.Path("c/three").c_str()), 0);
    const CScanList before = test::ScanOf(t.Root());
    const std::size_t a = IndexOfPath(before, t.Path("a"));
    ASSERT_GT(before[a].GetDiskSize(), 0u);
    std::filesystem::remove_all(t.Path("a"));
    struct stat root {};  // changed by the removal, maybe in a later second
    ASSERT_EQ(::stat(t.Root().c_str(), &root), 0);
    const CScanList edited = ListWithout(before, a, root.st_mtime);
    EXPECT_EQ(ListText(edited), ListText(test::ScanOf(t.Root())));
    EXPECT_EQ(edited[0].GetDiskSize(),
              before[0].GetDiskSize() - (before[a].GetDiskSize() - before[a + 1].GetDiskSize()));
}

// A file looked at again takes its new sizes and time; a file of several
// links keeps its blocks on the first link whichever link was looked at.
TEST(ListEditTest, FileSizesMatchAFreshScan) {
    TempTree t;
    Populate(t);
    t.File("z/one", 100);
    ASSERT_EQ(::link(t.Path("z/one").c_str(), t.Path("a/two").c_str()), 0);
    for (const char* grown : {"a/b/f1", "z/one", "a/two"}) {
        SCOPED_TRACE(grown);
        const CScanList before = test::ScanOf(t.Root());
        std::ofstream(t.Path(grown), std::ios::binary) << std::string(50000, 'x');
        struct stat now {};
        ASSERT_EQ(::lstat(t.Path(grown).c_str(), &now), 0);
        const CScanList edited = ListWithFileSizes(
            before, IndexOfPath(before, t.Path(grown)), static_cast<std::uint64_t>(now.st_size),
            static_cast<std::uint64_t>(now.st_blocks) * 512, now.st_mtime);
        const CScanList fresh = test::ScanOf(t.Root());
        EXPECT_EQ(ListText(edited), ListText(fresh));
    }
}

// Unreadable directories keep their marks across an edit, at their new place.
TEST(ListEditTest, UnreadableMarksMoveWithTheirEntries) {
    TempTree t;
    Populate(t);
    t.Dir("z/closed");
    CScanList before = test::ScanOf(t.Root());
    const std::size_t closed = IndexOfPath(before, t.Path("z/closed"));
    before.MarkUnreadable(closed, 13);
    const CScanList edited = ListWithout(before, IndexOfPath(before, t.Path("a")));
    EXPECT_EQ(edited.UnreadableCount(), 1u);
    EXPECT_EQ(edited.ReadErrorOf(IndexOfPath(edited, t.Path("z/closed"))), 13);
    EXPECT_TRUE(edited.HasUnreadableBelow(0));
}

}  // namespace
}  // namespace sizewalk
