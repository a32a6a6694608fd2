#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "core/home_path.h"
#include "core/live_scan_command.h"
#include "core/scan_command.h"
#include "model/tree_order.h"
#include "tests/core/command_fakes.h"
#include "tests/temp_tree.h"

namespace sizewalk {
namespace {

using test::RecordingSink;
using test::TempTree;
using test::TestCursor;
using test::TestMessages;
using test::TestNotify;

// A real scanner that counts scans and can stand in another directory for
// the one asked for (so "/" can be pressed without walking the machine).
class TestSource : public CEntrySource {
public:
    ScanStatus ScanInto(std::string_view path, CScanList& list, CScanProgress*) override {
        scanned.emplace_back(path);
        if (cursorActive) scansUnderWaitCursor += *cursorActive ? 1 : 0;
        return m_scanner.ScanInto(redirect.empty() ? path : std::string_view(redirect), list);
    }

    std::vector<std::string> scanned;
    std::string redirect;
    int scansUnderWaitCursor = 0;
    const bool* cursorActive = nullptr;

private:
    CDirScanner m_scanner;
};

// The window's side of a press: fields, the long-lived scanner and path,
// and the command the window uses; a press waits for the scan it starts.
class Command : public ::testing::Test {
protected:
    Command() {
        source.cursorActive = &cursor.active;
        tree.cursorActive = &cursor.active;
    }
    ScanOutcome Press(const std::string& dir, int units, int files) {
        fields.m_strStartDir = dir;
        fields.m_eUnits = UnitsFromIndex(units);
        fields.m_eFiles = files != 0 ? Files::Shown : Files::Hidden;
        const int notices = notify.Count();
        const ScanOutcome outcome = command.Start(fields);
        if (outcome != ScanOutcome::Started) return outcome;
        if (!notify.WaitFor(notices + 1)) return ScanOutcome::Busy;
        return command.Finish().value_or(ScanOutcome::Busy);
    }
    // The example tree: Data holds a.txt (10 bytes) and sub, which holds
    // b.txt (5 bytes).
    std::string MakeExample() {
        t.Dir("Data");
        t.File("Data/a.txt", 10);
        t.Dir("Data/sub");
        t.File("Data/sub/b.txt", 5);
        return t.Path("Data");
    }

    TempTree t;
    ScanFields fields;
    TestSource source;
    CKeptScan kept;
    RecordingSink tree;
    TestMessages messages;
    TestCursor cursor;
    TestNotify notify;
    CLiveScanCommand command{source, kept, tree, messages, cursor, notify};
};

TEST_F(Command, ExampleTreeInEveryUnitWithAndWithoutFiles) {
    const std::string data = MakeExample();
    struct Case {
        int units, files;
        std::string outline;  // "@" stands for the start path
    };
    const Case cases[] = {
        {2, 1,
         "@ [        15 bytes]\n  a.txt [        10 bytes]\n  sub [         5 bytes]\n"
         "    b.txt [         5 bytes]\n"},
        {2, 0, "@ [        15 bytes]\n  sub [         5 bytes]\n"},
        {1, 1,
         "@ [    0.01KB]\n  a.txt [    0.01KB]\n  sub [    0.00KB]\n    b.txt [    0.00KB]\n"},
        {0, 1, "@ [  0.00MB]\n  a.txt [  0.00MB]\n  sub [  0.00MB]\n    b.txt [  0.00MB]\n"},
        {0, 0, "@ [  0.00MB]\n  sub [  0.00MB]\n"},
        {-1, 1,
         "@ [        15 bytes]\n  a.txt [        10 bytes]\n  sub [         5 bytes]\n"
         "    b.txt [         5 bytes]\n"},
        {7, 0, "@ [        15 bytes]\n  sub [         5 bytes]\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "units " << c.units << " files " << c.files);
        Press(data + "/", c.units, c.files);  // one trailing separator, stripped
        std::string expected = c.outline;
        for (std::size_t at; (at = expected.find('@')) != std::string::npos;)
            expected.replace(at, 1, data);
        EXPECT_EQ(tree.Outline(), expected);
        EXPECT_EQ(fields.m_strStartDir, data);
    }
    EXPECT_EQ(source.scanned.size(), 1u);  // every later press redrew the kept scan
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Command, DeepTreesFindTheirParentsAfterLeavingASubtree) {
    for (const char* d : {"r", "r/a", "r/a/b", "r/a/b/c", "r/z", "r/z/y"}) t.Dir(d);
    t.File("r/a/b/c/deep", 1);
    t.File("r/z/y/leaf", 2);
    t.File("r/top", 4);
    Press(t.Path("r"), 2, 1);
    const std::string r = t.Path("r");
    EXPECT_EQ(tree.Outline(), r + " [         7 bytes]\n"
                                  "  a [         1 bytes]\n"
                                  "    b [         1 bytes]\n"
                                  "      c [         1 bytes]\n"
                                  "        deep [         1 bytes]\n"
                                  "  top [         4 bytes]\n"
                                  "  z [         2 bytes]\n"
                                  "    y [         2 bytes]\n"
                                  "      leaf [         2 bytes]\n");
}

TEST_F(Command, LabelsKeepNameBytesAndPercentSigns) {
    t.File("100%s %n", 3);
    t.File("new\nline\xff", 1);
    Press(t.Root(), 2, 1);
    ASSERT_EQ(tree.Count(), 3u);
    EXPECT_EQ(tree.Outline(), t.Root() +
                                  " [         4 bytes]\n"
                                  "  100%s %n [         3 bytes]\n"
                                  "  new\nline\xff [         1 bytes]\n");
}

TEST_F(Command, SizeFieldBoundaries) {
    t.File("four-gib", 4294967296ull);
    t.File("ten-gib", 10737418240ull);
    t.File("empty", 0);
    Press(t.Root(), 2, 1);
    EXPECT_EQ(tree.Outline(), t.Root() +
                                  " [15032385536 bytes]\n"
                                  "  empty [         0 bytes]\n"
                                  "  four-gib [4294967296 bytes]\n"
                                  "  ten-gib [10737418240 bytes]\n");
    Press(t.Root(), 0, 1);
    EXPECT_EQ(tree.Outline(), t.Root() +
                                  " [14336.00MB]\n"
                                  "  empty [  0.00MB]\n"
                                  "  four-gib [4096.00MB]\n"
                                  "  ten-gib [10240.00MB]\n");
}

TEST(FormatLabel, WidthsRoundingAndLongNames) {
    struct Case {
        const char* name;
        std::uint64_t size;
        int units;
        const char* label;
    };
    const Case cases[] = {
        {"docs", 1536, 1, "docs [    1.50KB]"},
        {"z", 0, 0, "z [  0.00MB]"},
        {"z", 0, 1, "z [    0.00KB]"},
        {"z", 0, 2, "z [         0 bytes]"},
        {"half", 5242, 0, "half [  0.00MB]"},                      // 0.004999...
        {"half", 5243, 0, "half [  0.01MB]"},                      // 0.005000...
        {"wide", 1073741824ull * 1024, 0, "wide [1048576.00MB]"},  // wider than the field
        {"big", 4294967296, 2, "big [4294967296 bytes]"},
        {"huge", 10737418240, 2, "huge [10737418240 bytes]"},
        {"odd", 1023, 1, "odd [    1.00KB]"},
    };
    std::string out;
    for (const Case& c : cases) {
        FormatLabel(out, c.name, c.size, UnitsFromIndex(c.units));
        EXPECT_EQ(out, c.label);
    }
    const std::string longName(4000, 'n');  // longer than any fixed buffer
    FormatLabel(out, longName.c_str(), 12, Units::Bytes);
    EXPECT_EQ(out, longName + " [        12 bytes]");
}

TEST_F(Command, RejectedPathsShowTheMessageAndChangeNothing) {
    const std::string data = MakeExample();
    t.File("plain", 5);
    Press(data, 2, 1);
    const std::string before = tree.Outline();
    const int deletes = tree.deletes;
    for (const std::string& bad :
         {std::string(), t.Path("plain"), t.Path("plain/"), t.Path("missing"),
          data + std::string(1, '\0') + "x", data + "/sub/b.txt"}) {
        SCOPED_TRACE(bad);
        messages.shown.clear();
        EXPECT_EQ(Press(bad, 2, 1), ScanOutcome::Rejected);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "Start directory does not exist or is not a directory");
        EXPECT_EQ(messages.shown[0].icon, MessageIcon::None);
    }
    EXPECT_EQ(tree.Outline(), before);
    EXPECT_EQ(tree.deletes, deletes);
    EXPECT_EQ(source.scanned.size(), 1u);
    EXPECT_EQ(cursor.begins, 1);  // validation runs without the wait cursor
    EXPECT_EQ(kept.Root(), data);
}

TEST(StartPath, OneTrailingSeparatorIsStrippedButTheRootStays) {
    const std::pair<std::string, std::string> cases[] = {
        {"/", "/"},       {"//", "/"}, {"/tmp/", "/tmp"}, {"/tmp//", "/tmp/"},
        {"/tmp", "/tmp"}, {"", ""},    {"a/", "a"},       {"\\", "\\"},
    };
    for (auto [in, out] : cases) {
        StripTrailingSeparator(in);
        EXPECT_EQ(in, out);
    }
}

TEST(StartPath, ExistingDirectoryProbe) {
    TempTree t;
    t.Dir("d");
    t.File("f", 1);
    t.Link(t.Path("d"), "to-d");
    t.Link("nowhere", "dangling");
    EXPECT_NE(IsExistingDirectory("/"), 0);
    EXPECT_NE(IsExistingDirectory(t.Path("d")), 0);
    EXPECT_NE(IsExistingDirectory(t.Path("to-d")), 0);  // a link the user names is followed
    EXPECT_EQ(IsExistingDirectory(t.Path("f")), 0);
    EXPECT_EQ(IsExistingDirectory(t.Path("dangling")), 0);
    EXPECT_EQ(IsExistingDirectory(t.Path("missing")), 0);
    EXPECT_EQ(IsExistingDirectory(""), 0);
    EXPECT_EQ(IsExistingDirectory(std::string(5000, 'x')), 0);  // longer than any path
}

TEST(StartPath, DriveSpec) {
    const std::pair<const char*, int> cases[] = {
        {"C:", 1}, {"C:\\", 1}, {"z:", 1},  {"C:\\\\", 0}, {"1:", 0},
        {"C", 0},  {"", 0},     {"CC", 0},  {"C:/", 0},    {"\\", 0},
        {"@:", 0}, {"[:", 0},   {"C:x", 0}, {":", 0},      {"\xc3:", 0},
    };
    for (auto [path, expected] : cases) EXPECT_EQ(IsDriveSpec(path), expected) << path;
}

// "~" and "~/" as a shell reads them; nothing else is touched.
TEST(StartPath, HomeIsExpanded) {
    const char* saved = std::getenv("HOME");
    const std::string savedHome = saved ? saved : "";
    TempTree t;
    t.Dir("home");
    const std::string home = t.Path("home");
    const std::pair<std::string, std::string> cases[] = {
        {"~", home},
        {"~/", home + "/"},
        {"~/a/b", home + "/a/b"},
        {"~user", "~user"},
        {"~user/x", "~user/x"},
        {"a/~", "a/~"},
        {"/~", "/~"},
        {"", ""},
        {"~~", "~~"},
    };
    for (const char* value : {"", "/"}) {  // one separator between home and rest
        const std::string h = home + value;
        ::setenv("HOME", h.c_str(), 1);
        for (auto [in, out] : cases) {
            const std::string want = in == "~" ? h : out;  // "~" alone is HOME as it stands
            ExpandHome(in);
            EXPECT_EQ(in, want) << "HOME=" << h;
        }
    }
    ::setenv("HOME", "/", 1);
    std::string root = "~/tmp";
    ExpandHome(root);
    EXPECT_EQ(root, "/tmp");

    // Without HOME the password database names the home.
    ::unsetenv("HOME");
    std::string fromPasswd = "~";
    ExpandHome(fromPasswd);
    EXPECT_EQ(fromPasswd.front(), '/');

    // OK with "~/" scans the home itself, labelled with the expanded path.
    ::setenv("HOME", home.c_str(), 1);
    std::string typed = "~/";
    EXPECT_TRUE(PrepareStartPath(typed));
    EXPECT_EQ(typed, home);
    typed = "~/missing";
    EXPECT_FALSE(PrepareStartPath(typed));
    if (saved)
        ::setenv("HOME", savedHome.c_str(), 1);
    else
        ::unsetenv("HOME");
}

TEST(TreeOrder, BySizeLargestFirstWithNamesBreakingTies) {
    struct Case {
        const char* name;
        std::uint64_t size, disk;
        bool directory;
    };
    const Case cases[] = {
        {"b", 10, 4096, false}, {"a", 10, 0, false},    {"dir", 50, 8192, true},
        {"z", 99, 0, false},    {"c", 0, 12288, false}, {"a2", 10, 4096, false},
    };
    CScanList table;
    for (const Case& s : cases) {
        FindRecord r;
        r.dwFileAttributes = s.directory ? kFileAttributeDirectory : kFileAttributeNormal;
        r.SetSize(s.directory ? 0 : s.size);
        r.nDiskSize = s.disk;
        CScanEntry& e = table.Append(CScanEntry(r, s.name));
        if (s.directory) e.m_nSize = s.size;
    }
    const test::ByteOrder names;
    auto sorted = [&](std::vector<std::uint32_t> ids, SortOrder order, SizeMode mode) {
        SortChildren(ids, table, order, mode, names);
        std::string out;
        for (std::uint32_t id : ids) out += std::string(table[id].GetName()) + " ";
        // Every neighbour pair agrees with the one-pair comparison.
        for (std::size_t i = 1; i < ids.size(); ++i)
            EXPECT_LT(CompareEntries(table[ids[i - 1]], table[ids[i]], order, mode, names), 0);
        return out;
    };
    const std::vector<std::uint32_t> given = {0, 1, 2, 3, 4, 5}, reversed = {5, 4, 3, 2, 1, 0};
    for (const auto& ids : {given, reversed}) {
        EXPECT_EQ(sorted(ids, SortOrder::Name, SizeMode::Apparent), "a a2 b c dir z ");
        EXPECT_EQ(sorted(ids, SortOrder::Size, SizeMode::Apparent), "z dir a a2 b c ");
        EXPECT_EQ(sorted(ids, SortOrder::Size, SizeMode::OnDisk), "c dir a2 b a z ");
    }
    EXPECT_EQ(sorted({}, SortOrder::Size, SizeMode::Apparent), "");
    EXPECT_EQ(sorted({3}, SortOrder::Size, SizeMode::Apparent), "z ");
}

TEST_F(Command, RootIsKeptAndAccepted) {
    t.Dir("stand-in");
    source.redirect = t.Path("stand-in");
    EXPECT_EQ(Press("/", 0, 0), ScanOutcome::Scanned);
    EXPECT_EQ(source.scanned, std::vector<std::string>{"/"});
    EXPECT_EQ(kept.Root(), "/");
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(tree.Count(), 1u);
}

TEST_F(Command, ScansOncePerDistinctPathAndRedrawsOtherwise) {
    t.Dir("Case");
    t.File("Case/f", 2048);
    t.Dir("case");
    EXPECT_EQ(Press(t.Path("Case"), 0, 0), ScanOutcome::Scanned);
    EXPECT_EQ(Press(t.Path("Case"), 0, 0), ScanOutcome::Redrawn);
    EXPECT_EQ(tree.Outline(), t.Path("Case") + " [  0.00MB]\n");
    EXPECT_EQ(Press(t.Path("Case") + "/", 1, 1), ScanOutcome::Redrawn);  // same path once stripped
    EXPECT_EQ(tree.Outline(), t.Path("Case") + " [    2.00KB]\n  f [    2.00KB]\n");
    EXPECT_EQ(source.scanned.size(), 1u);

    // Another letter case is another path.
    EXPECT_EQ(Press(t.Path("case"), 1, 1), ScanOutcome::Scanned);
    EXPECT_EQ(tree.Outline(), t.Path("case") + " [    0.00KB]\n");
    EXPECT_EQ(Press(t.Path("Case"), 1, 1), ScanOutcome::Scanned);
    EXPECT_EQ(source.scanned.size(), 3u);

    // The kept scan is used even when the disk has changed since.
    t.File("Case/g", 1024);
    Press(t.Path("Case"), 1, 1);
    EXPECT_EQ(tree.Outline(), t.Path("Case") + " [    2.00KB]\n  f [    2.00KB]\n");
}

TEST_F(Command, WaitCursorCoversTheScanButNotTheFill) {
    const std::string data = MakeExample();
    Press(data, 2, 1);
    Press(data, 0, 1);
    EXPECT_EQ(cursor.begins, 1);  // a redraw of the kept scan is at once
    EXPECT_FALSE(cursor.active);
    EXPECT_EQ(source.scansUnderWaitCursor, 1);
    EXPECT_EQ(tree.insertsUnderWaitCursor, 0);
}

TEST_F(Command, OutOfMemoryDuringTheFillLeavesAnEmptyTree) {
    const std::string data = MakeExample();
    tree.failAfter = 2;
    EXPECT_EQ(Press(data, 2, 1), ScanOutcome::OutOfMemory);
    EXPECT_EQ(tree.Count(), 0u);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Out of memory.");
    EXPECT_FALSE(kept.IsValid());

    tree.failAfter = -1;
    EXPECT_EQ(Press(data, 2, 1), ScanOutcome::Scanned);
    EXPECT_EQ(tree.Count(), 4u);
}

TEST_F(Command, EveryFillStartsFromAnEmptyTreeAndEnds) {
    const std::string data = MakeExample();
    Press(data, 2, 1);
    Press(data, 2, 0);
    EXPECT_EQ(tree.Count(), 2u);
    EXPECT_EQ(tree.ends, 2);
    EXPECT_GE(tree.deletes, 2);
}

TEST_F(Command, StartPathNamedThroughALinkIsLabelledAsTyped) {
    t.Dir("real");
    t.File("real/f", 9);
    t.Link(t.Path("real"), "alias");
    Press(t.Path("alias") + "/", 2, 1);
    EXPECT_EQ(tree.Outline(), t.Path("alias") + " [         9 bytes]\n  f [         9 bytes]\n");
}

}  // namespace
}  // namespace sizewalk
