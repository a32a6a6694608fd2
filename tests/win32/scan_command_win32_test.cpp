// The scan command the window uses, on Windows, filling a real tree-view control from real
// directories: backslash and forward-slash paths, drive starts, the
// MAX_PATH limits, and the control's own sorted order.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/live_scan_command.h"
#include "core/scan_command.h"
#include "scan/name_arena.h"
#include "tests/core/command_fakes.h"
#include "tree_outline.h"
#include "ui/win32/tree_view_sink.h"
#include "ui/win32/tree_window.h"
#include "win_temp_tree.h"

namespace sizewalk {
namespace {

using test::LocalTreeOutline;
using test::WinTempTree;

// The real scanner, counting scans; it can run out of memory on request,
// leaving its list empty as the real one does.
class CountingSource : public CEntrySource {
public:
    ScanStatus ScanInto(std::string_view path, CScanList& list, CScanProgress*) override {
        scanned.emplace_back(path);
        if (failNextScan) {
            failNextScan = false;
            list.Clear();
            throw std::bad_alloc();
        }
        return m_scanner.ScanInto(path, list);
    }

    std::vector<std::string> scanned;
    bool failNextScan = false;

private:
    CDirScanner m_scanner;
};

class Messages : public CMessageBox {
public:
    void Show(std::string_view text, MessageIcon icon) override {
        texts.emplace_back(text);
        icons.push_back(icon);
    }
    std::vector<std::string> texts;
    std::vector<MessageIcon> icons;
};

class NoCursor : public CWaitCursor {
public:
    void Begin() override {}
    void End() override {}
};

char UnmappedDriveLetter() {
    const DWORD drives = ::GetLogicalDrives();
    for (char c = 'Y'; c >= 'J'; --c)
        if (!(drives & (1u << (c - 'A')))) return c;
    return 0;
}

std::string Slashed(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

class WindowsCommand : public ::testing::Test {
protected:
    WindowsCommand() { window.Attach(&sink); }
    ScanOutcome Press(const std::string& dir, int units, int files) {
        fields.m_strStartDir = dir;
        fields.m_eUnits = UnitsFromIndex(units);
        fields.m_eFiles = files != 0 ? Files::Shown : Files::Hidden;
        // Through the window's command, waiting for a scan it starts.
        const int notices = notify.Count();
        const ScanOutcome outcome = command.Start(fields);
        if (outcome != ScanOutcome::Started) return outcome;
        if (!notify.WaitFor(notices + 1)) return ScanOutcome::Busy;
        return command.Finish().value_or(ScanOutcome::Busy);
    }
    std::string Outline() const { return LocalTreeOutline(window.Tree()); }
    std::string MakeExample() { return test::MakeExampleTree(t); }

    WinTempTree t;
    CTreeWindow window;
    CTreeViewSink sink{window.Tree(), L"en-US"};
    ScanFields fields;
    CountingSource source;
    CKeptScan kept;
    Messages messages;
    NoCursor cursor;
    test::TestNotify notify;
    CLiveScanCommand command{source, kept, sink, messages, cursor, notify};
};

TEST_F(WindowsCommand, ExampleInEveryUnitInTheControlsOrder) {
    const std::string data = MakeExample();
    struct Case {
        int units, files;
        std::string outline;
    };
    // The control sorts without regard to case: a.txt, Beta, C.bin, sub.
    const Case cases[] = {
        {2, 1,
         " [        18 bytes]\n  a.txt [        10 bytes]\n  Beta [         0 bytes]\n"
         "  C.bin [         3 bytes]\n  sub [         5 bytes]\n    b.txt [         5 bytes]\n"},
        {1, 1,
         " [    0.02KB]\n  a.txt [    0.01KB]\n  Beta [    0.00KB]\n  C.bin [    0.00KB]\n"
         "  sub [    0.00KB]\n    b.txt [    0.00KB]\n"},
        {0, 0, " [  0.00MB]\n  Beta [  0.00MB]\n  sub [  0.00MB]\n"},
        {-1, 0, " [        18 bytes]\n  Beta [         0 bytes]\n  sub [         5 bytes]\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "units " << c.units << " files " << c.files);
        EXPECT_NE(Press(data + "\\", c.units, c.files), ScanOutcome::Rejected);
        EXPECT_EQ(fields.m_strStartDir, data);  // one backslash stripped
        EXPECT_EQ(Outline(), data + c.outline);
    }
    EXPECT_EQ(source.scanned, std::vector<std::string>{data});
    EXPECT_TRUE(messages.texts.empty());
}

TEST_F(WindowsCommand, StartPathForms) {
    const std::string data = MakeExample();
    t.File("plain", 4);
    const char unmapped = UnmappedDriveLetter();
    ASSERT_NE(unmapped, 0);
    const std::string q(1, unmapped);
    struct Case {
        std::string typed;
        std::string label;  // name of the one top-level item; empty: rejected
    };
    const Case cases[] = {
        {data, data},
        {data + "\\", data},
        {data + "\\\\", ""},  // one backslash stays, and the search rejects it
        {Slashed(data), Slashed(data)},
        {Slashed(data) + "/", Slashed(data)},  // a slash is a separator too
        {data + "/", data},
        {Slashed(data) + "//", ""},  // one slash stays, and the search rejects it
        {q + ":", q + ":"},
        {q + ":\\", q + ":"},
        {q + ":\\\\", q + ":\\"},  // the drive test forgives the second one
        {"C:", "C:"},
        {"C:\\", "C:"},
        {"c:\\\\", "c:\\"},
        {"C:/", "C:"},
        {"C://", "C:/"},
        {q + ":/", q + ":"},
        {"1:", ""},
        {"CC:", ""},
        {"", ""},
        {t.Path("plain"), ""},
        {t.Path("missing"), ""},
        {data + "\\*", ""},
        {data + "\\s?b", ""},
        {data + "\\sub\\b.txt", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        messages.texts.clear();
        sink.DeleteAllItems();  // every case scans afresh
        kept.Clear();
        const ScanOutcome outcome = Press(c.typed, 0, 0);
        if (c.label.empty()) {
            EXPECT_EQ(outcome, ScanOutcome::Rejected);
            ASSERT_EQ(messages.texts.size(), 1u);
            EXPECT_EQ(messages.texts[0], "Start directory does not exist or is not a directory");
            EXPECT_EQ(messages.icons[0], MessageIcon::None);
            continue;
        }
        EXPECT_EQ(outcome, ScanOutcome::Scanned);
        EXPECT_TRUE(messages.texts.empty());
        const std::string outline = Outline();
        EXPECT_EQ(outline.rfind(c.label + " [", 0), 0u) << outline;
        // Exactly one top-level item: every later line is indented.
        for (std::size_t at = 0; (at = outline.find('\n', at)) + 1 < outline.size(); ++at)
            EXPECT_EQ(outline[at + 1], ' ') << outline;
    }
}

TEST_F(WindowsCommand, ForwardSlashStartKeepsItsSubtree) {
    const std::string data = Slashed(MakeExample());
    Press(data, 2, 1);
    EXPECT_EQ(Outline(), data +
                             " [        18 bytes]\n  a.txt [        10 bytes]\n"
                             "  Beta [         0 bytes]\n  C.bin [         3 bytes]\n"
                             "  sub [         5 bytes]\n    b.txt [         5 bytes]\n");
}

// The drive cannot be read, and its one item says so.
TEST_F(WindowsCommand, DrivesWithNothingMappedShowOneEmptyItem) {
    const char unmapped = UnmappedDriveLetter();
    ASSERT_NE(unmapped, 0);
    const std::string drive = std::string(1, unmapped) + ":";
    for (int units : {0, 1, 2}) {
        Press(drive + "\\", units, 1);
        EXPECT_EQ(fields.m_strStartDir, drive);
    }
    EXPECT_EQ(Outline(), drive + " [         0 bytes] (could not be read)\n");
    EXPECT_EQ(source.scanned, std::vector<std::string>{drive});
}

// What is typed stays within MAX_PATH (259 UTF-16 units); what lies below
// it is listed at any length.
TEST_F(WindowsCommand, PathLimits) {
    // 259 units, the longest start path: accepted and listed, with a
    // subdirectory whose path passes 300 characters.
    const std::string longest = t.DirOfLength(259);
    const std::string below = longest.substr(t.Root().size() + 1);
    t.File(below + "\\g", 9);
    t.Dir(below + "\\" + std::string(60, 's'));
    t.File(below + "\\" + std::string(60, 's') + "\\h", 4);
    EXPECT_EQ(Press(longest, 2, 1), ScanOutcome::Scanned);
    EXPECT_EQ(Outline(), longest + " [        13 bytes]\n  g [         9 bytes]\n  " +
                             std::string(60, 's') +
                             " [         4 bytes]\n    h [         4 bytes]\n");
    // Typed with a backslash it is 260 units, 259 once stripped.
    EXPECT_EQ(Press(longest + "\\", 2, 1), ScanOutcome::Redrawn);

    // 260 units is past the limit, whether or not the directory exists.
    const std::string tooLong = t.DirOfLength(260);
    messages.texts.clear();
    EXPECT_EQ(Press(tooLong, 2, 1), ScanOutcome::Rejected);
    EXPECT_EQ(Press(tooLong + "\\", 2, 1), ScanOutcome::Rejected);
    EXPECT_EQ(messages.texts.size(), 2u);
    EXPECT_EQ(Outline().rfind(longest + " [        13 bytes]\n", 0), 0u);  // the tree is kept

    // The limit counts characters, not bytes: Hebrew letters take two bytes
    // each in UTF-8, yet 259 of them and the root still fit.
    const std::string alef = "\u05d0";
    std::string hebrew = t.Root();
    std::size_t units = hebrew.size();  // the root is ASCII
    std::string rel;
    while (units < 259) {
        const std::size_t part = std::min<std::size_t>(40, 259 - units - 1);
        std::string name;
        for (std::size_t i = 0; i < part; ++i) name += alef;
        rel += (rel.empty() ? "" : "\\") + name;
        t.Dir(rel);
        units += 1 + part;
    }
    ASSERT_EQ(units, 259u);
    ASSERT_GT(t.Path(rel).size(), 400u);
    EXPECT_EQ(Press(t.Path(rel), 2, 1), ScanOutcome::Scanned);
    t.Dir(rel + "\\" + alef);  // 261 units
    EXPECT_EQ(Press(t.Path(rel + "\\" + alef), 2, 1), ScanOutcome::Rejected);
}

TEST_F(WindowsCommand, LetterCaseMakesAnotherPathOnACaseBlindDisk) {
    const std::string data = MakeExample();
    std::string upper = data;
    for (char& c : upper) c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
    ASSERT_NE(upper, data);
    EXPECT_EQ(Press(data, 0, 0), ScanOutcome::Scanned);
    EXPECT_EQ(Press(data, 2, 0), ScanOutcome::Redrawn);
    EXPECT_EQ(Press(upper, 2, 0), ScanOutcome::Scanned);  // the same directory, typed otherwise
    EXPECT_EQ(Outline(), upper +
                             " [        18 bytes]\n  Beta [         0 bytes]\n"
                             "  sub [         5 bytes]\n");
    EXPECT_EQ(source.scanned.size(), 2u);
}

TEST_F(WindowsCommand, OutOfMemoryLeavesTheControlEmptyAndScansAgain) {
    const std::string data = MakeExample();
    Press(data, 2, 1);
    ASSERT_GT(window.Count(), 0);
    source.failNextScan = true;
    EXPECT_EQ(Press(t.Root(), 2, 1), ScanOutcome::OutOfMemory);
    EXPECT_EQ(window.Count(), 0);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0], "Out of memory.");
    EXPECT_EQ(messages.icons[0], MessageIcon::Warning);
    EXPECT_EQ(Press(data, 2, 1), ScanOutcome::Scanned);
    EXPECT_EQ(window.Count(), 1);  // the rest comes as directories open
    EXPECT_EQ(Outline(), data +
                             " [        18 bytes]\n  a.txt [        10 bytes]\n"
                             "  Beta [         0 bytes]\n  C.bin [         3 bytes]\n"
                             "  sub [         5 bytes]\n    b.txt [         5 bytes]\n");
    EXPECT_EQ(window.Count(), 6);
}

// Labels come from the C runtime's formatting, which is not the same library
// as on Linux: the widths, the rounding of halves and wide numbers must match.
TEST(WindowsLabels, FormattedAsOnEveryOtherSystem) {
    struct Case {
        std::uint64_t size;
        int units;
        const char* label;
    };
    const Case cases[] = {
        {1536, 1, "docs [    1.50KB]"},
        {0, 0, "docs [  0.00MB]"},
        {0, 2, "docs [         0 bytes]"},
        {5242, 0, "docs [  0.00MB]"},    // 0.004999...
        {5243, 0, "docs [  0.01MB]"},    // 0.005000...
        {131072, 0, "docs [  0.12MB]"},  // exactly 0.125: the even neighbour
        {393216, 0, "docs [  0.38MB]"},  // exactly 0.375
        {1023, 1, "docs [    1.00KB]"},
        {4294967296, 2, "docs [4294967296 bytes]"},
        {10737418240, 2, "docs [10737418240 bytes]"},
        {1073741824ull * 1024, 0, "docs [1048576.00MB]"},
        {18446744073709551615ull, 2, "docs [18446744073709551615 bytes]"},
    };
    std::string out;
    for (const Case& c : cases) {
        FormatLabel(out, "docs", c.size, UnitsFromIndex(c.units));
        EXPECT_EQ(out, c.label) << c.size << " in unit " << c.units;
    }
}

// The sink on its own, fed as the scan command feeds it.
class TreeViewSinkTest : public ::testing::Test {
protected:
    TreeViewSinkTest() { window.Attach(&sink); }
    // Appends an entry `depth` levels below the top; files take twice their
    // length on disk, directories nothing of their own.
    void Add(const std::string& name, bool directory, int depth, std::uint64_t size = 0) {
        FindRecord record;
        record.dwFileAttributes = directory ? kFileAttributeDirectory : kFileAttributeNormal;
        record.SetSize(size);
        record.nDiskSize = directory ? 0 : size * 2;
        list.Append(CScanEntry(record, list.Names().Add(name))).m_nDepth = depth;
    }
    void Show() {
        list.Finish();
        sink.ShowList(list, Units::Bytes, Files::Shown);
    }
    std::string Outline() const { return LocalTreeOutline(window.Tree()); }
    HTREEITEM Root() const { return test::NextItem(window.Tree(), nullptr, TVGN_ROOT); }
    int Children(HTREEITEM item) const {
        TVITEMW tv{};
        tv.mask = TVIF_CHILDREN | TVIF_HANDLE;
        tv.hItem = item;
        ::SendMessageW(window.Tree(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
        return tv.cChildren;
    }

    CTreeWindow window;
    CScanList list;  // outlives the sink's items
    CTreeViewSink sink{window.Tree(), L"en-US"};
};

TEST_F(TreeViewSinkTest, AFillCreatesTheTopLevelAndAnOpenedParentItsSortedChildren) {
    Add("C:\\Data", true, 0);
    Add("file10", true, 1);
    Add("inner", false, 2, 10);
    Add("File2", false, 1, 20);
    Add("empty", true, 1);
    Add("file1", false, 1, 30);
    Show();
    EXPECT_EQ(sink.ItemCount(), 6u);

    // One item, closed and not selected; it has children to open.
    EXPECT_EQ(window.Count(), 1);
    ASSERT_NE(Root(), nullptr);
    EXPECT_FALSE(test::IsExpanded(window.Tree(), Root()));
    EXPECT_EQ(test::NextItem(window.Tree(), nullptr, TVGN_CARET), nullptr);
    EXPECT_EQ(Children(Root()), 1);

    // Digits by value, letter case aside; the empty directory has no button.
    EXPECT_EQ(Outline(),
              "C:\\Data [        60 bytes]\n"
              "  empty [         0 bytes]\n"
              "  file1 [        30 bytes]\n"
              "  File2 [        20 bytes]\n"
              "  file10 [        10 bytes]\n"
              "    inner [        10 bytes]\n");
    const HTREEITEM first = test::NextItem(window.Tree(), Root(), TVGN_CHILD);
    EXPECT_EQ(Children(first), 0);  // "empty"
    EXPECT_EQ(window.Count(), 6);
    EXPECT_FALSE(test::IsExpanded(window.Tree(), Root()));  // reading closed it again

    sink.DeleteAllItems();
    EXPECT_EQ(window.Count(), 0);
    EXPECT_EQ(sink.ItemCount(), 0u);
}

TEST_F(TreeViewSinkTest, LabelsAreWholeAtAnyLengthAndInAnyScript) {
    const std::string longName(600, 'n');
    const std::string hebrew = "\u05e2\u05d1\u05e8\u05d9\u05ea";
    Add(longName, true, 0);
    Add(std::string(255, 'f'), false, 1, 4294967296ull);
    Add(hebrew, false, 1, 7);
    // A name that would steer the text's direction shows a mark instead.
    Add("x\u202Ey\ttab", false, 1, 1);
    Show();
    EXPECT_EQ(Outline(), longName + " [4294967304 bytes]\n  " + std::string(255, 'f') +
                             " [4294967296 bytes]\n  x\uFFFDy\uFFFDtab [         1 bytes]\n  " +
                             hebrew + " [         7 bytes]\n");

    // A caller's buffer too small for the label gets the whole label anyway.
    wchar_t small[8] = {};
    TVITEMW tv{};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = Root();
    tv.pszText = small;
    tv.cchTextMax = 8;
    ASSERT_TRUE(::SendMessageW(window.Tree(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv)));
    const std::wstring got = tv.pszText;
    EXPECT_TRUE(got == WideFromUtf8(longName + " [4294967304 bytes]") || got == std::wstring(small))
        << Utf8FromWide(got);
}

TEST_F(TreeViewSinkTest, ShowingTheOtherSizeNeedsNoNewItems) {
    Add("top", true, 0);
    Add("f", false, 1, 100);
    Show();
    const std::string apparent = Outline();
    EXPECT_EQ(apparent, "top [       100 bytes]\n  f [       100 bytes]\n");
    const int items = window.Count();
    sink.SetSizeMode(SizeMode::OnDisk);
    EXPECT_EQ(Outline(), "top [       200 bytes]\n  f [       200 bytes]\n");
    EXPECT_EQ(window.Count(), items);
    sink.SetSizeMode(SizeMode::Apparent);
    EXPECT_EQ(Outline(), apparent);
}

}  // namespace
}  // namespace sizewalk
