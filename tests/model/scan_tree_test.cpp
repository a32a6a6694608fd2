// The list and the one tree every view reads: parents, children in the
// order on show, rows, counts below and paths, on a real directory and on
// lists too long for one block of storage.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "model/scan_tree.h"
#include "scan/dir_scanner.h"
#include "scan/name_arena.h"
#include "tests/core/command_fakes.h"
#include "tests/temp_tree.h"

namespace sizewalk {
namespace {

using Item = CScanTree::Item;

std::vector<std::string> Names(const CScanTree& tree, Item item) {
    std::vector<std::string> out;
    for (Item child : tree.Children(item)) out.emplace_back(tree.Entry(child).GetName());
    return out;
}

Item Find(const CScanList& list, std::string_view name) {
    for (std::size_t i = 0; i < list.Count(); ++i)
        if (list[i].GetName() == name) return static_cast<Item>(i);
    return CScanTree::kNoItem;
}

class ScanTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        t.Dir("top");
        t.File("top/b", 300);
        t.File("top/a", 1);
        t.Dir("top/s");
        t.File("top/s/x", 50);
        t.Dir("top/s/deeper");
        t.File("top/s/deeper/y", 7);
        t.Dir("top/empty");
        t.File("top/c", 20);
        ASSERT_EQ(scanner.Scan(t.Path("top")), ScanStatus::Complete);
    }
    test::TempTree t;
    CDirScanner scanner;
    test::ByteOrder names;
};

TEST_F(ScanTreeTest, ParentsChildrenRowsAndPaths) {
    const CScanList& list = scanner.GetList();
    CScanTree tree(list, Files::Shown, names);
    ASSERT_EQ(tree.ItemCount(), list.Count());
    EXPECT_EQ(tree.Parent(0), CScanTree::kNoItem);
    EXPECT_EQ(tree.Row(0), 0u);
    EXPECT_EQ(Names(tree, 0), (std::vector<std::string>{"a", "b", "c", "empty", "s"}));

    // Every child knows its parent and its row, on every level.
    for (std::size_t i = 0; i < list.Count(); ++i) {
        const auto children = tree.Children(static_cast<Item>(i));
        EXPECT_EQ(children.size(), tree.ChildCount(static_cast<Item>(i)));
        for (std::size_t r = 0; r < children.size(); ++r) {
            EXPECT_EQ(tree.Parent(children[r]), i);
            EXPECT_EQ(tree.Row(children[r]), r);
            EXPECT_EQ(list.ParentOf(children[r]), i);
        }
    }
    const Item s = Find(list, "s"), y = Find(list, "y"), empty = Find(list, "empty");
    EXPECT_EQ(tree.Path(y), t.Path("top/s/deeper/y"));
    EXPECT_EQ(list.DirPathOf(y), t.Path("top/s/deeper"));
    EXPECT_EQ(tree.Path(0), t.Path("top"));
    // Paths lead back to their items, on any level; others lead nowhere.
    EXPECT_EQ(tree.Find(t.Path("top")), 0u);
    EXPECT_EQ(tree.Find(t.Path("top/s/deeper/y")), y);
    EXPECT_EQ(tree.Find(t.Path("top/s")), s);
    for (const char* missing : {"top/nope", "top/s/deeper/y/z", "top/s/", "top//s", "topx"})
        EXPECT_EQ(tree.Find(t.Path(missing)), CScanTree::kNoItem) << missing;
    EXPECT_EQ(tree.Find(""), CScanTree::kNoItem);
    EXPECT_TRUE(tree.Children(y).empty());
    EXPECT_TRUE(tree.Children(empty).empty());

    // Counts below, whatever is shown.
    const CScanTree::Counts all = tree.CountsBelow(0);
    EXPECT_EQ(all.nEntries, list.Count() - 1);
    EXPECT_EQ(all.nDirectories, 3u);
    EXPECT_EQ(all.nFiles, 5u);
    const CScanTree::Counts below = tree.CountsBelow(s);
    EXPECT_EQ(below.nEntries, 3u);
    EXPECT_EQ(below.nDirectories, 1u);
    EXPECT_EQ(below.nFiles, 2u);
    EXPECT_EQ(tree.CountsBelow(y).nEntries, 0u);
    EXPECT_EQ(tree.Size(0, SizeMode::Apparent), 378u);
    EXPECT_EQ(tree.Size(s, SizeMode::Apparent), 57u);
}

TEST_F(ScanTreeTest, OrderSwitchesResortOnNextLook) {
    const CScanList& list = scanner.GetList();
    CScanTree tree(list, Files::Shown, names);
    const Item b = Find(list, "b");
    EXPECT_EQ(tree.Row(b), 1u);
    tree.SetOrder(SortOrder::Size, SizeMode::Apparent);
    EXPECT_EQ(Names(tree, 0), (std::vector<std::string>{"b", "s", "c", "a", "empty"}));
    EXPECT_EQ(tree.Row(b), 0u);
    // Sparse files take no blocks: on disk the directories lead.
    tree.SetOrder(SortOrder::Size, SizeMode::OnDisk);
    EXPECT_EQ(Names(tree, 0).front(), "s");
    tree.SetOrder(SortOrder::Name, SizeMode::OnDisk);
    EXPECT_EQ(Names(tree, 0), (std::vector<std::string>{"a", "b", "c", "empty", "s"}));
    EXPECT_EQ(tree.Row(b), 1u);
}

TEST_F(ScanTreeTest, WithoutFilesOnlyDirectoriesAreItems) {
    const CScanList& list = scanner.GetList();
    CScanTree tree(list, Files::Hidden, names);
    EXPECT_EQ(tree.ItemCount(), 4u);
    EXPECT_EQ(Names(tree, 0), (std::vector<std::string>{"empty", "s"}));
    const Item s = Find(list, "s");
    EXPECT_EQ(Names(tree, s), (std::vector<std::string>{"deeper"}));
    EXPECT_FALSE(tree.IsShown(Find(list, "x")));
    // A file still knows its directory; totals still hold the files.
    EXPECT_EQ(tree.Parent(Find(list, "x")), s);
    EXPECT_EQ(tree.Size(0, SizeMode::Apparent), 378u);
    EXPECT_EQ(tree.CountsBelow(0).nFiles, 5u);
}

TEST(ScanList, SpansIndexesAndEmptyLists) {
    CScanList empty;
    test::ByteOrder names;
    const CScanTree none(empty, Files::Shown, names);
    EXPECT_EQ(none.ItemCount(), 0u);
    EXPECT_EQ(empty.MemoryBytes(), 0u);

    // A directory of more entries than one block holds: spans cover the
    // list exactly, in order, and every index maps back.
    CScanList list;
    FindRecord dir;
    dir.dwFileAttributes = kFileAttributeDirectory;
    list.Append(CScanEntry(dir, list.Names().Add("/start"))).m_nDepth = 0;
    constexpr std::size_t kFiles = 140000;  // three chunks of storage
    for (std::size_t i = 0; i < kFiles; ++i) {
        FindRecord file;
        file.dwFileAttributes = kFileAttributeNormal;
        file.SetSize(i);
        list.Append(
                CScanEntry(file, list.Names().Add(test::Numbered("f", static_cast<long long>(i)))))
            .m_nDepth = 2;
    }
    list.Finish();
    ASSERT_EQ(list.Count(), kFiles + 1);
    std::size_t seen = 0, spans = 0;
    for (std::size_t i = 0; i < list.Count(); ++spans) {
        const auto span = list.SpanFrom(i);
        ASSERT_FALSE(span.empty());
        EXPECT_EQ(&span.front(), &list[i]);
        EXPECT_EQ(list.IndexOf(span.back()), i + span.size() - 1);
        i += span.size();
        seen += span.size();
    }
    EXPECT_EQ(seen, list.Count());
    EXPECT_GE(spans, 3u);
    EXPECT_EQ(list.SubtreeEnd(0), list.Count());
    EXPECT_EQ(list.SubtreeEnd(5), 6u);
    EXPECT_EQ(list.ParentOf(kFiles), 0u);
    EXPECT_EQ(list.DirIndexOf(0), 0u);
    EXPECT_EQ(list.DirIndexOf(1), CScanList::kNone);
    EXPECT_EQ(list[0].m_nSize, kFiles * (kFiles - 1) / 2);
    EXPECT_EQ(list.PathOf(kFiles), "/start/" + test::Numbered("f", kFiles - 1));

    CScanTree tree(list, Files::Shown, names);
    EXPECT_EQ(tree.ChildCount(0), kFiles);
    tree.SetOrder(SortOrder::Size, SizeMode::Apparent);  // the last file is the largest
    EXPECT_EQ(tree.Row(static_cast<Item>(kFiles)), 0u);
    EXPECT_EQ(tree.Row(1), kFiles - 1);

    list.Clear();
    EXPECT_TRUE(list.Empty());
}

}  // namespace
}  // namespace sizewalk
