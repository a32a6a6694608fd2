// The scanner and the tree on trees made from the Linux side (see
// host-trees.sh): links that Wine reports as reparse points, and a directory
// of 20,000 names whose order must be the Linux tree's.
//   host_trees_win32_tests ROOT NAME_ORDER_FILE [gtest options]
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/scan_command.h"
#include "platform/file_actions.h"
#include "scan/dir_scanner.h"
#include "tree_outline.h"
#include "ui/win32/tree_view_sink.h"
#include "ui/win32/tree_window.h"

namespace sizewalk {
namespace {

std::string g_root;
std::string g_names;

struct Seen {
    double total = -1;
    std::uint64_t disk = 0;
    bool directory = false;
    bool hasChildren = false;
};

// Every entry by its path below the start.
std::map<std::string, Seen> Walk(CDirScanner& s) {
    std::map<std::string, Seen> seen;
    const std::string start = s.GetPath(s.GetAt(0));
    for (std::size_t i = 1; i < s.GetCount(); ++i) {
        const CScanEntry& e = s.GetAt(i);
        Seen& row = seen[s.GetPath(e).substr(start.size() + 1)];
        row.directory = e.IsDirectory() != 0;
        row.total = row.directory ? e.m_nSize : e.GetFileSize();
        row.disk = e.GetDiskSize();
        row.hasChildren = s.GetSubtreeEnd(i) > i + 1;
    }
    return seen;
}

// Wine reports a symbolic link to a directory as a directory with the
// reparse-point attribute: it is listed with size 0 and never entered, so
// every file is counted once and nothing outside the start is.
TEST(Links, LoopsAndLinksOutsideAreListedNotEntered) {
    CDirScanner s;
    s.Scan(g_root + "\\links\\tree");
    const auto seen = Walk(s);
    EXPECT_EQ(s.GetAt(0).m_nSize, 150.0);  // a.bin and real\b.bin, once each
    for (const char* link : {"real\\back", "real\\self", "far", "far-absolute"}) {
        SCOPED_TRACE(link);
        ASSERT_TRUE(seen.count(link));
        EXPECT_TRUE(seen.at(link).directory);
        EXPECT_EQ(seen.at(link).total, 0.0);
        EXPECT_FALSE(seen.at(link).hasChildren);
    }
    for (const auto& [path, row] : seen) {
        EXPECT_EQ(path.find("big.bin"), std::string::npos) << path;
        EXPECT_EQ(path.find("back\\"), std::string::npos) << path;
    }
    EXPECT_EQ(seen.at("real").total, 50.0);
    EXPECT_EQ(seen.count("dangling"), 0u);  // Wine does not list a dangling link
}

TEST(Links, AStartPathThatIsALinkIsFollowed) {
    const std::string start = g_root + "\\links\\start-link";
    EXPECT_NE(IsExistingDirectory(start), 0);
    CDirScanner s;
    s.Scan(start);
    EXPECT_EQ(s.GetAt(0).m_nSize, 150.0);
    const auto seen = Walk(s);
    EXPECT_TRUE(seen.count("real\\b.bin"));
    EXPECT_FALSE(seen.at("far").hasChildren);
}

// The attributes the listing itself gives the entry at `path`.
DWORD ListedAttributes(const std::string& path) {
    WIN32_FIND_DATAA found;
    const HANDLE h = ::FindFirstFileA(path.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return INVALID_FILE_ATTRIBUTES;
    ::FindClose(h);
    return found.dwFileAttributes;
}

// A link to a file is listed, and counts 0 wherever the listing marks it as a
// link, as Windows does. Wine 8 does not mark it: it lists such a link as the
// very file it names (attributes 0x20, no reparse attribute, no tag, the
// target's length and allocation), so nothing tells the two apart and there
// the link counts its target.
TEST(Links, LinksToFilesAreListedAndCountZeroWhereMarked) {
    const std::string start = g_root + "\\links\\files";
    CDirScanner s;
    s.Scan(start);
    ASSERT_EQ(s.GetCount(), 4u);  // the start, real.bin and the two links
    const auto seen = Walk(s);
    EXPECT_EQ(seen.at("real.bin").total, 100000.0);
    double total = 100000.0;
    for (const auto& [link, target] : {std::pair{"relative", 100000.0}, {"absolute", 184600.0}}) {
        SCOPED_TRACE(link);
        ASSERT_TRUE(seen.count(link));
        const Seen& row = seen.at(link);
        EXPECT_FALSE(row.directory);
        const DWORD attributes = ListedAttributes(start + "\\" + link);
        ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            EXPECT_EQ(row.total, 0.0);
            EXPECT_EQ(row.disk, 0u);
        } else {
            RecordProperty(link, "listed as a plain file");
            EXPECT_EQ(row.total, target);
            total += target;
        }
    }
    EXPECT_EQ(s.GetAt(0).m_nSize, total);
}

// The names of the order file, created in another order, come out of the
// tree in the file's order: the Linux tree's.
TEST(NameOrder, TwentyThousandNamesOpenInTheLinuxOrder) {
    std::vector<std::string> expected;
    std::ifstream in(g_names, std::ios::binary);
    for (std::string line; std::getline(in, line);) expected.push_back(line);
    ASSERT_EQ(expected.size(), 20000u);

    CDirScanner scanner;
    scanner.Scan(g_root + "\\names");
    ASSERT_EQ(scanner.GetCount(), expected.size() + 1);
    CTreeWindow window;
    CTreeViewSink sink(window.Tree(), L"en-US");
    window.Attach(&sink);
    FillTree(scanner.GetList(), Units::MB, Files::Shown, sink);
    const HTREEITEM root = test::NextItem(window.Tree(), nullptr, TVGN_ROOT);
    ASSERT_NE(root, nullptr);
    ::SendMessageW(window.Tree(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));

    std::vector<std::string> shown;
    for (HTREEITEM item = test::NextItem(window.Tree(), root, TVGN_CHILD); item;
         item = test::NextItem(window.Tree(), item, TVGN_NEXT)) {
        const std::string label = test::LocalItemText(window.Tree(), item);
        ASSERT_EQ(label.substr(label.size() - 11), " [  0.00MB]") << label;
        shown.push_back(label.substr(0, label.size() - 11));
    }
    ASSERT_EQ(shown.size(), expected.size());
    for (std::size_t i = 0; i < shown.size(); ++i)
        ASSERT_EQ(shown[i], expected[i]) << "position " << i;
}

// Removals where links stand: Wine opens its host's links as what they name
// even when asked for the link itself, and only its listings tell them, so
// these are the cases a handle alone would get wrong.
bool Exists(const std::string& path) {
    return ::GetFileAttributesW(WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(Removals, AParentThatIsNowALinkLeadsNowhere) {
    const std::string start = g_root + "\\actions\\start";
    const std::string outside = g_root + "\\actions\\outside";
    // The item as it was looked at, before its parent became the link.
    const ItemLook before = LookAtItem(outside + "\\victim", outside, ItemKind::File);
    ASSERT_EQ(before.eStatus, LookStatus::Same);
    const std::string item = start + "\\swapped\\victim";
    const ItemLook now = LookAtItem(item, start, ItemKind::File);
    EXPECT_EQ(now.eStatus, LookStatus::Changed);
    EXPECT_NE(now.strWhy.find("a link stands in its way at " + start + "\\swapped"),
              std::string::npos)
        << now.strWhy;
    EXPECT_EQ(DeletePermanently(item, start, before.id).eStatus, RemoveStatus::Changed);
    EXPECT_EQ(MoveToTrash(item, start, before.id).eStatus, RemoveStatus::Changed);
    EXPECT_EQ(ItemModified(item, start), 0);
    EXPECT_TRUE(Exists(outside + "\\victim"));
}

TEST(Removals, LinksInADeletedDirectoryAreNeverEntered) {
    const std::string start = g_root + "\\actions\\start";
    const std::string outside = g_root + "\\actions\\outside";
    const ItemLook look = LookAtItem(start + "\\holder", start, ItemKind::Directory);
    ASSERT_EQ(look.eStatus, LookStatus::Same) << look.strWhy;
    const RemoveResult result = DeletePermanently(start + "\\holder", start, look.id);
    // Windows removes the links as themselves; Wine cannot, and leaves them.
    EXPECT_TRUE(result.eStatus == RemoveStatus::Removed || result.eStatus == RemoveStatus::Partial)
        << result.strFailures;
    EXPECT_FALSE(Exists(start + "\\holder\\own"));
    EXPECT_TRUE(Exists(outside + "\\victim"));
    EXPECT_TRUE(Exists(outside + "\\sub\\canary"));
}

TEST(Removals, AnItemThatIsALinkGoesAsALinkOrStays) {
    const std::string start = g_root + "\\actions\\start";
    const std::string item = start + "\\leaflink";
    EXPECT_EQ(LookAtItem(item, start, ItemKind::File).eStatus, LookStatus::Changed);
    const ItemLook look = LookAtItem(item, start, ItemKind::Other);
    ASSERT_EQ(look.eStatus, LookStatus::Same) << look.strWhy;
    const RemoveResult result = DeletePermanently(item, start, look.id);
    EXPECT_NE(result.eStatus, RemoveStatus::Partial) << result.strFailures;
    EXPECT_NE(result.eStatus, RemoveStatus::Changed) << result.strFailures;
    EXPECT_TRUE(Exists(g_root + "\\actions\\outside\\victim"));
}

}  // namespace
}  // namespace sizewalk

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s ROOT NAME_ORDER_FILE\n", argv[0]);
        return 2;
    }
    sizewalk::g_root = argv[1];
    sizewalk::g_names = argv[2];
    return RUN_ALL_TESTS();
}
