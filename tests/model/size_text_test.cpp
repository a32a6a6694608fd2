// The texts that tell sizes beyond the labels: digit grouping, the progress
// line of a running scan, and an item's details against a real tree with a
// written file, a sparse one and hard links.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>

#include <string>
#include <vector>

#include "core/scan_command.h"
#include "model/size_text.h"
#include "platform/error_text.h"
#include "tests/core/command_fakes.h"
#include "tests/temp_tree.h"

namespace sizewalk {
namespace {

TEST(SizeText, GroupDigits) {
    EXPECT_EQ(GroupDigits(0), "0");
    EXPECT_EQ(GroupDigits(999), "999");
    EXPECT_EQ(GroupDigits(1000), "1,000");
    EXPECT_EQ(GroupDigits(123456), "123,456");
    EXPECT_EQ(GroupDigits(1234567), "1,234,567");
    EXPECT_EQ(GroupDigits(18446744073709551615ull), "18,446,744,073,709,551,615");
    EXPECT_EQ(GroupDigits(1234567, "\xc2\xa0"),
              "1\xc2\xa0"
              "234\xc2\xa0"
              "567");  // no-break space
    EXPECT_EQ(GroupDigits(1234, ""), "1234");
}

TEST(SizeText, SizesInTheUnitsOfTheLabels) {
    EXPECT_EQ(FormatSize(1536, Units::KB), "1.50KB");
    EXPECT_EQ(FormatSize(0, Units::MB), "0.00MB");
    EXPECT_EQ(FormatSize(5243, Units::MB), "0.01MB");
    EXPECT_EQ(FormatSize(10737418240, Units::Bytes), "10737418240 bytes");
    EXPECT_EQ(FormatSize(7, Units::None), "7 bytes");  // no unit checked reads as bytes
}

TEST(SizeText, ProgressCountsSizeAndDirectory) {
    CScanProgress::Snapshot s;
    ProgressText p = FormatProgress(s, Units::MB, SizeMode::Apparent, "/start");
    EXPECT_EQ(p.strCounts, "Scanning: 0 entries, 0.00MB");
    EXPECT_EQ(p.strDir, "/start");  // until the scan names a directory

    s.nEntries = 1;
    s.nBytes = 1536;
    s.nDiskBytes = 1048576;
    s.strDir = "/start/deeper";
    p = FormatProgress(s, Units::KB, SizeMode::Apparent, "/start");
    EXPECT_EQ(p.strCounts, "Scanning: 1 entry, 1.50KB");
    EXPECT_EQ(p.strDir, "/start/deeper");
    // The figure on show: on disk in that mode.
    EXPECT_EQ(FormatProgress(s, Units::KB, SizeMode::OnDisk, "/start").strCounts,
              "Scanning: 1 entry, 1024.00KB");
    s.nEntries = 975101;
    EXPECT_EQ(FormatProgress(s, Units::Bytes, SizeMode::Apparent, "/").strCounts,
              "Scanning: 975,101 entries, 1536 bytes");
}

std::uint64_t Digits(const std::string& text) {
    std::string d;
    for (char c : text) {
        if (c >= '0' && c <= '9') d += c;
        if (c == '(') break;
    }
    return d.empty() ? 0 : std::stoull(d);
}

TEST(SizeText, DetailsOfARealTree) {
    test::TempTree t;
    t.Dir("Data");
    t.Dir("Data/sub");
    {
        const int fd = ::open(t.Path("Data/written").c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        const std::string bytes(5000, 'x');
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), 5000);
        ::close(fd);
    }
    t.File("Data/sparse", 1048576);
    ASSERT_EQ(::link(t.Path("Data/written").c_str(), t.Path("Data/sub/again").c_str()), 0);

    CDirScanner scanner;
    ASSERT_EQ(scanner.Scan(t.Path("Data")), ScanStatus::Complete);
    const test::ByteOrder names;
    const CScanTree tree(scanner.GetList(), Files::Shown, names);
    auto item = [&](const CScanEntry* e) {
        return static_cast<CScanTree::Item>(scanner.IndexOf(*e));
    };
    const CScanEntry* data = &scanner.GetAt(0);
    const CScanEntry *written = nullptr, *sparse = nullptr, *sub = nullptr, *again = nullptr;
    for (std::size_t i = 1; i < scanner.GetCount(); ++i) {
        const CScanEntry& e = scanner.GetAt(i);
        if (e.GetName() == "written") written = &e;
        if (e.GetName() == "sparse") sparse = &e;
        if (e.GetName() == "sub") sub = &e;
        if (e.GetName() == "again") again = &e;
    }
    ASSERT_TRUE(written && sparse && sub && again);

    // The start entry: its path, both sizes with no parent to share, and
    // everything below it.
    std::vector<std::string> lines = DescribeItem(tree, item(data));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], t.Path("Data"));
    EXPECT_EQ(lines[1], "Size: 1,058,576 bytes");  // every link counts apparent
    EXPECT_EQ(lines[2].rfind("Size on disk: ", 0), 0u);
    EXPECT_EQ(Digits(lines[2]), data->GetDiskSize());
    EXPECT_EQ(lines[3], "4 entries below");

    lines = DescribeItem(tree, item(sparse));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], t.Path("Data/sparse"));
    EXPECT_EQ(lines[1], "Size: 1,048,576 bytes (99.1% of parent)");
    EXPECT_EQ(lines[2], "Size on disk: 0 bytes (0.0% of parent)");

    // The written file's blocks count once, at whichever link comes first.
    const CScanEntry* first = written->GetDiskSize() ? written : again;
    const CScanEntry* other = first == written ? again : written;
    EXPECT_EQ(other->GetDiskSize(), 0u);
    EXPECT_GE(first->GetDiskSize(), 5000u);
    lines = DescribeItem(tree, item(first));
    EXPECT_EQ(Digits(lines[2]), first->GetDiskSize());
    EXPECT_NE(lines[2].find("% of parent)"), std::string::npos);

    lines = DescribeItem(tree, item(sub), ".");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], t.Path("Data/sub"));
    EXPECT_EQ(lines[1], "Size: 5.000 bytes (0.5% of parent)");
    EXPECT_EQ(lines[3], "1 entry below");
}

// A directory that could not be read says so on its label and in its
// details; the totals above it are lower bounds; every other label and
// tooltip stays as it was.
TEST(SizeText, UnreadableDirectoriesAndTheTotalsAboveThem) {
    CScanList list;
    auto add = [&](const char* name, bool directory, int depth, std::uint64_t size) {
        FindRecord r;
        r.dwFileAttributes = directory ? kFileAttributeDirectory : kFileAttributeNormal;
        r.SetSize(size);
        list.Append(CScanEntry(r, name)).m_nDepth = depth;
    };
    add("/top", true, 0, 0);
    add("open", true, 2, 0);
    add("f", false, 3, 1536);
    add("locked", true, 3, 0);
    add("g", false, 2, 10);
    list.MarkUnreadable(3, EACCES);
    list.Finish();
    const test::ByteOrder names;
    const CScanTree tree(list, Files::Shown, names);

    std::string label;
    FormatItemLabel(label, tree, 3, Units::KB, SizeMode::Apparent);
    EXPECT_EQ(label, "locked [    0.00KB] (could not be read)");
    FormatItemLabel(label, tree, 1, Units::KB, SizeMode::Apparent);
    EXPECT_EQ(label, "open [    1.50KB]");

    std::vector<std::string> lines = DescribeItem(tree, 3);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], "Size: at least 0 bytes (0.0% of parent)");
    EXPECT_EQ(lines[4], "Could not be read: " + ErrorText(EACCES));
    EXPECT_NE(lines[4].find("ermission"), std::string::npos);
    lines = DescribeItem(tree, 0);
    EXPECT_EQ(lines[1], "Size: at least 1,546 bytes");
    lines = DescribeItem(tree, 4);  // beside it, not above it
    EXPECT_EQ(lines[1], "Size: 10 bytes (0.6% of parent)");
}

}  // namespace
}  // namespace sizewalk
