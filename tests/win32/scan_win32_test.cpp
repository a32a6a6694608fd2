// The scanner on Windows: backslash paths, drive starts, the MAX_PATH bound.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "scan/dir_scanner.h"
#include "win_temp_tree.h"

namespace sizewalk {
namespace {

using test::WinTempTree;

struct Row {
    std::string name, dir;
    int depth;
    double value;
};

std::vector<Row> Rows(CDirScanner& s) {
    std::vector<Row> rows;
    s.Rewind(0);
    while (CScanEntry* e = s.GetNext())
        rows.push_back({std::string(e->GetName()), s.GetDir(*e), e->m_nDepth,
                        e->IsDirectory() ? e->m_dTotal : e->GetFileSize()});
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
    EXPECT_EQ(rooted.GetAt(0).m_dTotal, bare.GetAt(0).m_dTotal);
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
    EXPECT_EQ(s.GetAt(0).m_dTotal, 0.0);
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
    EXPECT_EQ(s.GetAt(0).m_dTotal, 8589934593.0);
}

TEST(ScanWin32, DirectoriesBeyondThePathLimitHaveNoChildren) {
    WinTempTree t;
    // Grow a chain until one directory's path is exactly 257 bytes: its
    // pattern "\*" plus terminator just fits MAX_PATH; its child does not.
    std::string rel;
    std::string path = t.Root();
    while (path.size() + 1 + 10 < 257) {
        if (!rel.empty()) rel += '\\';
        rel.append(9, 'd');
        path = t.Path(rel);
        t.Dir(rel);
    }
    const std::size_t pad = 257 - path.size() - 1;
    rel += '\\';
    rel.append(pad, 'e');
    t.Dir(rel);
    ASSERT_EQ(t.Path(rel).size(), 257u);
    t.File(rel + "\\f", 1);
    t.Dir(rel + "\\x");  // path 259: listed, never opened
    // Past MAX_PATH only the wide calls with the "\\?\" prefix reach.
    const std::string deep = t.Path(rel) + "\\x\\y";
    const std::wstring wide = L"\\\\?\\" + std::wstring(deep.begin(), deep.end());
    ASSERT_TRUE(::CreateDirectoryW(wide.c_str(), nullptr));
    HANDLE h = ::CreateFileW((wide + L"\\g").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const char payload[] = "payload";
    DWORD written = 0;
    EXPECT_TRUE(::WriteFile(h, payload, sizeof payload, &written, nullptr));
    ::CloseHandle(h);

    CDirScanner s;
    s.Scan(t.Root());
    const auto m = ByName(Rows(s));
    EXPECT_EQ(m.at("f").value, 1.0);
    ASSERT_TRUE(m.count("x"));
    EXPECT_EQ(m.at("x").value, 0.0);
    EXPECT_FALSE(m.count("y"));
    EXPECT_EQ(s.GetAt(0).m_dTotal, 1.0);
}

}  // namespace
}  // namespace sizewalk
