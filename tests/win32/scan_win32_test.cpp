// The scanner on Windows: backslash paths, drive starts, paths of any length,
// names of any script, sizes on disk.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/reparse_win32.h"
#include "scan/dir_scanner.h"
#include "tests/scan/listing_hook.h"
#include "win_temp_tree.h"

namespace sizewalk {
namespace {

using test::WinTempTree;

struct Row {
    std::string name, dir;
    int depth;
    std::uint64_t value;
};

std::vector<Row> Rows(CDirScanner& s) {
    std::vector<Row> rows;
    s.Rewind(0);
    while (CScanEntry* e = s.GetNext())
        rows.push_back({std::string(e->GetName()), s.GetDir(*e), e->m_nDepth, e->m_nSize});
    return rows;
}

std::map<std::string, Row> ByName(const std::vector<Row>& rows) {
    std::map<std::string, Row> m;
    for (const Row& r : rows) m[r.name] = r;
    return m;
}

void MakeExample(const WinTempTree& t) {
    t.Dir("Data");
    t.File("Data\\a.txt", 10);
    t.Dir("Data\\sub");
    t.File("Data\\sub\\b.txt", 5);
}

TEST(ScanWin32, ExampleWithOneBackslash) {
    WinTempTree t;
    MakeExample(t);
    char old[MAX_PATH];
    ASSERT_GT(::GetCurrentDirectoryA(MAX_PATH, old), 0u);
    ASSERT_TRUE(::SetCurrentDirectoryA(t.Root().c_str()));
    CDirScanner s;
    s.Scan(".\\Data");
    ::SetCurrentDirectoryA(old);
    const auto rows = Rows(s);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].name, ".\\Data");
    EXPECT_EQ(rows[0].depth, 0);
    EXPECT_EQ(rows[0].value, 15.0);
    const auto m = ByName(rows);
    EXPECT_EQ(m.at("a.txt").depth, 2);
    EXPECT_EQ(m.at("sub").depth, 2);
    EXPECT_EQ(m.at("sub").value, 5.0);
    EXPECT_EQ(m.at("b.txt").depth, 3);
    EXPECT_EQ(m.at("b.txt").dir, ".\\Data\\sub");
    const std::size_t sub = rows[1].name == "sub" ? 1 : 2;
    EXPECT_EQ(rows[sub + 1].name, "b.txt");  // pre-order
}

TEST(ScanWin32, ForwardSlashStartKeepsKeysConsistent) {
    WinTempTree t;
    MakeExample(t);
    std::string start = t.Path("Data");
    for (char& c : start)
        if (c == '\\') c = '/';
    CDirScanner s;
    s.Scan(start);
    const auto m = ByName(Rows(s));
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m.at(start).depth, -1);
    EXPECT_EQ(m.at("a.txt").depth, 1);
    EXPECT_EQ(m.at("sub").depth, 1);
    EXPECT_EQ(m.at("b.txt").depth, 2);
    EXPECT_EQ(m.at("b.txt").dir, start + "\\sub");
    EXPECT_EQ(m.at(start).value, 15.0);
}

TEST(ScanWin32, DriveStarts) {
    CDirScanner bare;
    bare.Scan("C:");
    ASSERT_GT(bare.GetCount(), 1u);
    EXPECT_EQ(bare.GetAt(0).GetName(), "C:");
    EXPECT_EQ(bare.GetAt(0).m_nDepth, -1);
    EXPECT_EQ(bare.GetAt(1).m_nDepth, 1);
    EXPECT_EQ(bare.GetDir(bare.GetAt(1)), "C:");
    bool sawSecondLevel = false;
    for (std::size_t i = 1; i < bare.GetCount(); ++i) {
        const std::string dir = bare.GetDir(bare.GetAt(i));
        if (dir.size() > 3 && dir.find('\\', 3) == std::string::npos) {  // C:\name
            EXPECT_EQ(bare.GetAt(i).m_nDepth, 2) << dir;
            sawSecondLevel = true;
        }
    }
    EXPECT_TRUE(sawSecondLevel);

    // "C:\\" typed loses one backslash: the scan runs on "C:\".
    CDirScanner rooted;
    rooted.Scan("C:\\");
    EXPECT_EQ(rooted.GetCount(), bare.GetCount());
    EXPECT_EQ(rooted.GetAt(0).m_nDepth, 0);
    EXPECT_EQ(rooted.GetAt(1).m_nDepth, 2);
    EXPECT_EQ(rooted.GetAt(0).m_nSize, bare.GetAt(0).m_nSize);
}

TEST(ScanWin32, UnmappedDriveYieldsOneEmptyEntry) {
    const DWORD drives = ::GetLogicalDrives();
    char letter = 0;
    for (char c = 'Q'; c <= 'Y' && !letter; ++c)
        if (!(drives & (1u << (c - 'A')))) letter = c;
    ASSERT_NE(letter, 0);
    const std::string drive = std::string(1, letter) + ":";
    CDirScanner s;
    s.Scan(drive);
    ASSERT_EQ(s.GetCount(), 1u);
    EXPECT_EQ(s.GetAt(0).GetName(), drive);
    EXPECT_EQ(s.GetAt(0).m_nSize, 0.0);
}

// "f" and the number (GCC 12 warns falsely about "f" + std::to_string(i)).
std::string FileName(int i) {
    std::string name = "f";
    name += std::to_string(i);
    return name;
}

// Fails opening, or reading after the first batch, the directories it names.
class FailingHook : public ListingHookForTesting {
public:
    int OpenError(std::string_view name) override {
        return test::Names(name, "locked") ? ERROR_ACCESS_DENIED : 0;
    }
    int ReadError(std::string_view name) override {
        return test::Names(name, "partial") ? ERROR_NETNAME_DELETED : 0;
    }
};

// Directories that cannot be read are recorded with the system's error: one
// the system refuses (injected: Wine grants every access), one whose listing
// fails part-way, and a start that does not exist.
TEST(ScanWin32, UnreadableDirectoriesAreRecordedWithTheirError) {
    WinTempTree t;
    t.Dir("a");
    t.Dir("a\\locked");
    t.File("a\\locked\\secret", 1);
    t.Dir("a\\partial");
    for (int i = 0; i < 300; ++i) t.File("a\\partial\\" + FileName(i), 1);
    t.Dir("a\\fine");
    for (int threads : {1, 8}) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        {
            FailingHook hook;
            test::HookScope scope(hook);
            const test::Walked w = test::Walk(t.Root(), threads);
            EXPECT_EQ(w.unreadable,
                      (std::map<std::string, int>{{"locked", ERROR_ACCESS_DENIED},
                                                  {"partial", ERROR_NETNAME_DELETED}}));
            EXPECT_EQ(w.count.count("secret"), 0u);
            std::size_t read = 0;
            for (int i = 0; i < 300; ++i) read += w.count.count(FileName(i));
            EXPECT_GT(read, 0u);
            EXPECT_LT(read, 300u);
        }
        const std::string missing = t.Path("missing");
        const test::Walked w = test::Walk(missing, threads);
        ASSERT_EQ(w.unreadable.size(), 1u);
        EXPECT_TRUE(w.unreadable.count(missing));
        EXPECT_NE(w.unreadable.begin()->second, 0);
    }
}

TEST(ScanWin32, SizesAboveFourGiB) {
    WinTempTree t;
    t.File("four", 4294967296LL);
    t.File("four-and-one", 4294967297LL);
    CDirScanner s;
    s.Scan(t.Root());
    const auto m = ByName(Rows(s));
    EXPECT_EQ(m.at("four").value, 4294967296.0);
    EXPECT_EQ(m.at("four-and-one").value, 4294967297.0);
    EXPECT_EQ(s.GetAt(0).m_nSize, 8589934593.0);
}

// Every directory below the start is listed, however long its path: the
// system's MAX_PATH bounds only what is typed.
TEST(ScanWin32, PathsPastMaxPathAreCounted) {
    WinTempTree t;
    std::string rel = "long";
    t.Dir(rel);
    std::size_t expected = 0;
    int files = 0;
    // Levels of 40-character names until the path passes 1,000 characters,
    // with a file at every level: the ones past 260 and 300 count as well.
    while (t.Path(rel).size() < 1000) {
        rel += "\\" + std::string(40, static_cast<char>('a' + files % 26));
        t.Dir(rel);
        const std::size_t size = 1 + static_cast<std::size_t>(files);
        t.File(rel + "\\f", static_cast<long long>(size));
        expected += size;
        ++files;
    }
    ASSERT_GT(t.Path(rel + "\\f").size(), 1000u);

    CDirScanner s;
    s.Scan(t.Root());
    EXPECT_EQ(s.GetAt(0).m_nSize, static_cast<double>(expected));
    std::size_t counted = 0, longest = 0;
    for (std::size_t i = 0; i < s.GetCount(); ++i) {
        if (s.GetAt(i).IsDirectory()) continue;
        ++counted;
        longest = std::max(longest, s.GetPath(s.GetAt(i)).size());
    }
    EXPECT_EQ(counted, static_cast<std::size_t>(files));
    EXPECT_EQ(longest, t.Path(rel + "\\f").size());
}

// Deeper than the walk keeps handles open: the deepest levels are opened
// below the start, one name at a time.
TEST(ScanWin32, DeepChainsAreCountedToTheBottom) {
    WinTempTree t;
    std::string rel = "deep";
    t.Dir(rel);
    constexpr int kLevels = 150;
    for (int i = 0; i < kLevels; ++i) {
        rel += "\\d";
        t.Dir(rel);
        t.File(rel + "\\f", 2);
        if (i % 30 == 29) t.Dir(rel + "\\side");  // siblings after a deep descent
    }
    CDirScanner s;
    s.Scan(t.Path("deep"));
    EXPECT_EQ(s.GetAt(0).m_nSize, 2.0 * kLevels);
    int bottom = 0, sides = 0;
    for (std::size_t i = 0; i < s.GetCount(); ++i) {
        bottom = std::max(bottom, s.GetAt(i).m_nDepth);
        sides += s.GetAt(i).GetName() == "side";
    }
    EXPECT_EQ(sides, kLevels / 30);
    EXPECT_EQ(bottom, s.GetAt(0).m_nDepth + 2 + kLevels);  // the last level's file
}

// Names in any script are kept as UTF-8 and their subtrees counted.
TEST(ScanWin32, NamesOfEveryScriptKeepTheirSubtrees) {
    WinTempTree t;
    const std::string names[] = {"\u05e2\u05d1\u05e8\u05d9\u05ea",  // Hebrew
                                 "\u4e2d\u6587\u76ee\u5f55",        // CJK
                                 "\U0001F600 emoji",                // outside the BMP
                                 "caf\u00e9 \u00c5ngstr\u00f6m"};   // Latin with marks
    std::size_t expected = 0;
    int made = 0;
    for (const std::string& name : names) {
        t.Dir(name);
        t.File(name + "\\inner.bin", 100 + made);
        t.Dir(name + "\\" + name);  // the same name one level down
        t.File(name + "\\" + name + "\\deeper.bin", 1000);
        expected += 1100 + static_cast<std::size_t>(made);
        ++made;
    }
    CDirScanner s;
    s.Scan(t.Root());
    std::map<std::string, double> byPath;
    for (std::size_t i = 1; i < s.GetCount(); ++i)
        if (s.GetAt(i).IsDirectory()) byPath[s.GetPath(s.GetAt(i))] = s.GetAt(i).m_nSize;
    EXPECT_EQ(s.GetAt(0).m_nSize, static_cast<double>(expected));
    for (int i = 0; i < made; ++i) {
        SCOPED_TRACE(names[i]);
        ASSERT_TRUE(byPath.count(t.Path(names[i])));
        EXPECT_EQ(byPath.at(t.Path(names[i])), 1100.0 + i);
        EXPECT_EQ(byPath.at(t.Path(names[i] + "\\" + names[i])), 1000.0);
    }
}

// The size on disk comes from the listing: the allocation the system reports
// for each file, summed into every directory.
// Records as Windows documents them: a symbolic link (to a file or a
// directory) and a junction carry name-surrogate tags; deduplicated,
// compressed and cloud files carry others and hold data of their own. A hard
// link is no reparse point at all.
TEST(ScanWin32, OnlyLinksAmongReparsePointsCountZero) {
    constexpr std::uint32_t kFile = 0x20, kDir = 0x10, kReparse = 0x400;
    EXPECT_TRUE(IsListedLink(kFile | kReparse, 0xA000000C));  // IO_REPARSE_TAG_SYMLINK
    EXPECT_TRUE(IsListedLink(kDir | kReparse, 0xA000000C));
    EXPECT_TRUE(IsListedLink(kDir | kReparse, 0xA0000003));  // IO_REPARSE_TAG_MOUNT_POINT
    EXPECT_TRUE(IsListedLink(kFile | kReparse, 0));          // Wine's untagged host link
    EXPECT_TRUE(IsListedLink(kDir | kReparse, 0));
    EXPECT_FALSE(IsListedLink(kFile | kReparse, 0x80000013));  // IO_REPARSE_TAG_DEDUP
    EXPECT_FALSE(IsListedLink(kFile | kReparse, 0x80000017));  // IO_REPARSE_TAG_WOF
    EXPECT_FALSE(IsListedLink(kDir | kReparse, 0x9000601A));   // a cloud folder
    EXPECT_FALSE(IsListedLink(kFile, 0xA000000C));  // no reparse attribute: the tag is EA size
    EXPECT_FALSE(IsListedLink(kFile, 0));
}

TEST(ScanWin32, SizeOnDiskIsTheAllocationAndSumsUp) {
    WinTempTree t;
    t.Dir("d");
    t.WrittenFile("d\\five-thousand", 5000);
    t.WrittenFile("d\\one", 1);
    t.File("d\\empty", 0);
    t.Dir("d\\sub");
    t.WrittenFile("d\\sub\\big", 100000);
    // Marked sparse before it grows, so that no system allocates the 4 GiB.
    {
        HANDLE h = ::CreateFileW(WinTempTree::Wide(t.Path("d\\sparse")).c_str(),
                                 GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD unused = 0;
        ::DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
        LARGE_INTEGER at;
        at.QuadPart = 4294967296LL;
        EXPECT_TRUE(::SetFilePointerEx(h, at, nullptr, FILE_BEGIN));
        EXPECT_TRUE(::SetEndOfFile(h));
        ::CloseHandle(h);
    }
    // What the system reports for one file, asked on its own.
    auto allocation = [&](const std::string& rel) -> std::uint64_t {
        HANDLE h =
            ::CreateFileW(WinTempTree::Wide(t.Path(rel)).c_str(), FILE_READ_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << rel;
        FILE_STANDARD_INFO info{};
        EXPECT_TRUE(::GetFileInformationByHandleEx(h, FileStandardInfo, &info, sizeof info));
        ::CloseHandle(h);
        return static_cast<std::uint64_t>(info.AllocationSize.QuadPart);
    };

    CDirScanner s;
    s.Scan(t.Path("d"));
    std::map<std::string, const CScanEntry*> byName;
    for (std::size_t i = 0; i < s.GetCount(); ++i)
        byName[std::string(s.GetAt(i).GetName())] = &s.GetAt(i);
    const std::uint64_t five = byName.at("five-thousand")->GetDiskSize();
    EXPECT_GE(five, 5000u);
    EXPECT_EQ(five % 512, 0u);  // whole blocks
    EXPECT_EQ(five, allocation("d\\five-thousand"));
    EXPECT_EQ(byName.at("one")->GetDiskSize(), allocation("d\\one"));
    EXPECT_GT(byName.at("one")->GetDiskSize(), 0u);
    EXPECT_EQ(byName.at("empty")->GetDiskSize(), 0u);
    EXPECT_GE(byName.at("big")->GetDiskSize(), 100000u);
    EXPECT_EQ(byName.at("sparse")->GetFileSize(), 4294967296.0);
    EXPECT_LT(byName.at("sparse")->GetDiskSize(), 1024u * 1024u);
    EXPECT_EQ(byName.at("sparse")->GetDiskSize(), allocation("d\\sparse"));

    // Every directory holds the allocation of everything below it (the
    // system reports none for a directory itself).
    EXPECT_EQ(byName.at("sub")->GetDiskSize(), byName.at("big")->GetDiskSize());
    std::uint64_t files = 0;
    for (const char* name : {"five-thousand", "one", "empty", "big", "sparse"})
        files += byName.at(name)->GetDiskSize();
    EXPECT_EQ(s.GetAt(0).GetDiskSize(), files);
    // Apparent sizes are untouched by it.
    EXPECT_EQ(s.GetAt(0).m_nSize, 5000.0 + 1 + 100000 + 4294967296.0);
}

}  // namespace
}  // namespace sizewalk
