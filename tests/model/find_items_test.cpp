// The largest files and searches, on real trees: against find(1) for the
// ranking, hard links and sparse files; the pattern rules; the filters and
// what the count and total say.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "model/find_query.h"
#include "model/largest_files.h"
#include "model/name_pattern.h"
#include "model/row_order.h"
#include "scan/dir_scanner.h"
#include "tests/temp_tree.h"

namespace sizewalk {
namespace {

struct Found {
    std::uint64_t size, inode;
};

// find -type f under `dir`, sizes apparent (%s) or on disk (%b blocks),
// one record per file: a hard-linked file once.
std::vector<Found> FindFiles(const std::string& dir, bool onDisk) {
    const std::string cmd =
        "find '" + dir + "' -type f -printf '" + (onDisk ? "%b" : "%s") + " %i %p\\0'";
    FILE* pipe = ::popen(cmd.c_str(), "r");
    std::string all;
    for (int c; (c = std::fgetc(pipe)) != EOF;) all.push_back(static_cast<char>(c));
    ::pclose(pipe);
    std::map<std::uint64_t, std::uint64_t> byInode;
    for (std::size_t at = 0; at < all.size();) {
        const std::size_t end = all.find('\0', at);
        unsigned long long size = 0, inode = 0;
        std::sscanf(all.c_str() + at, "%llu %llu", &size, &inode);
        byInode[inode] = onDisk ? size * 512 : size;
        at = end + 1;
    }
    std::vector<Found> files;
    for (const auto& [inode, size] : byInode) files.push_back({size, inode});
    std::sort(files.begin(), files.end(),
              [](const Found& a, const Found& b) { return a.size > b.size; });
    return files;
}

class FindItemsTest : public ::testing::Test {
protected:
    void SetUp() override {
        t.Dir("top");
        t.Dir("top/sub");
        t.Dir("top/sub/deep");
        t.Dir("top/Photos");
        for (int i = 0; i < 40; ++i) t.File(test::Numbered("top/sub/deep/f", i), 100 + i * 7);
        t.File("top/sparse", std::uint64_t{1} << 33);  // 8 GiB apparent, no blocks
        Write("top/sub/solid", 70000);
        ASSERT_EQ(::link(t.Path("top/sub/solid").c_str(), t.Path("top/linked").c_str()), 0);
        Write("top/with space", 3000);
        Write("top/new\nline", 2500);
        Write("top/bad\xff\xfename", 2000);
        Write("top/Photos/IMG_1.JPG", 900);
        Write("top/Photos/img_2.jpg", 800);
        Write("top/Photos/\xc3\xa9t\xc3\xa9.jpg", 700);
        t.Link("sub/solid", "top/symlink");
        ASSERT_EQ(scanner.Scan(t.Path("top")), ScanStatus::Complete);
    }
    void Write(const std::string& rel, std::size_t size) {
        const std::string bytes(size, 'x');
        const int fd = ::open(t.Path(rel).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, bytes.data(), size), static_cast<ssize_t>(size));
        ::close(fd);
    }
    std::uint64_t InodeOf(std::uint32_t index) const {
        struct stat st {};
        ::lstat(list().PathOf(index).c_str(), &st);
        return st.st_ino;
    }
    std::size_t IndexOf(const std::string& rel) const {
        for (std::size_t i = 0; i < list().Count(); ++i)
            if (list().PathOf(i) == t.Path(rel)) return i;
        return CScanList::kNone;
    }
    std::vector<std::string> Names(const RankedRows& r) const {
        std::vector<std::string> names;
        for (std::uint32_t row : r.rows) names.emplace_back(list()[row].GetName());
        return names;
    }
    RankedRows Find(const std::string& text, const FindFilters& filters = {},
                    std::size_t limit = kFindRowsDefault) {
        std::string error;
        auto pattern = CNamePattern::Compile(text, error);
        EXPECT_TRUE(pattern) << error;
        return pattern ? FindItems(list(), 0, *pattern, filters, SizeMode::Apparent, limit)
                       : RankedRows{};
    }
    const CScanList& list() const { return scanner.GetList(); }
    test::TempTree t;
    CDirScanner scanner;
};

TEST_F(FindItemsTest, LargestFilesAgreeWithFind) {
    for (const SizeMode mode : {SizeMode::Apparent, SizeMode::OnDisk})
        for (const char* dir : {"top", "top/sub"})
            for (const std::size_t n : {std::size_t{5}, std::size_t{1000}}) {
                SCOPED_TRACE(std::string(dir) + (mode == SizeMode::OnDisk ? " on disk " : " ") +
                             std::to_string(n));
                const std::vector<Found> want = FindFiles(t.Path(dir), mode == SizeMode::OnDisk);
                const RankedRows got = LargestFiles(list(), IndexOf(dir), mode, n);
                ASSERT_EQ(got.rows.size(), std::min(n, want.size()));
                EXPECT_EQ(got.nCount, want.size());
                std::set<std::uint64_t> inodes;
                for (std::size_t k = 0; k < got.rows.size(); ++k) {
                    EXPECT_EQ(got.SizeOf(list(), got.rows[k], mode), want[k].size) << k;
                    EXPECT_TRUE(inodes.insert(InodeOf(got.rows[k])).second) << "a file twice";
                }
            }
    // The sparse file leads by its length and trails on disk; the linked
    // file has its blocks below top/sub, whichever link the walk met first.
    EXPECT_EQ(list()[LargestFiles(list(), 0, SizeMode::Apparent, 1).rows[0]].GetName(), "sparse");
    const RankedRows sub = LargestFiles(list(), IndexOf("top/sub"), SizeMode::OnDisk, 1);
    EXPECT_GE(sub.SizeOf(list(), sub.rows[0], SizeMode::OnDisk), 70000u);
    EXPECT_TRUE(LargestFiles(list(), 0, SizeMode::Apparent, 0).rows.empty());
}

TEST(NamePatternTest, WildcardsCaseAndCharacters) {
    const struct {
        const char* pattern;
        const char* name;
        bool match;
    } cases[] = {
        {"*.jpg", "IMG_1.JPG", true},
        {"*.JPG", "img_2.jpg", false},
        {"*.JPG", "IMG_1.JPG", true},
        {"img*", "xIMG", false},
        {"a*b*c", "a-b-b-c", true},
        {"a*b*c", "a-c-b", false},
        {"*", "", true},
        {"", "", true},
        {"", "a", false},
        {"report", "my report", false},
        {"?t?.jpg", "\xc3\xa9t\xc3\xa9.jpg", true},
        {"?", "\xc3\xa9", true},
        {"??", "\xc3\xa9", false},
        {"bad?name", "bad\xffname", true},
        {"bad*", "bad\xff\xfename", true},
        {"*?x", "x", false},
        {"**a**", "banana", true},
        {"new*line", "new\nline", true},
        {"a?c*", "abcdef", true},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto pattern = CNamePattern::Compile(c.pattern, error);
        ASSERT_TRUE(pattern) << c.pattern << ": " << error;
        EXPECT_EQ(pattern->Matches(c.name), c.match) << c.pattern << " / " << c.name;
        EXPECT_FALSE(pattern->IsRegex());
    }
}

TEST(NamePatternTest, RegularExpressions) {
    if (!NamePatternsHaveRegex()) {
        std::string error;
        EXPECT_FALSE(CNamePattern::Compile("/a.b/", error));
        EXPECT_NE(error.find("not available"), std::string::npos) << error;
        GTEST_SKIP() << "no regular expressions in this build";
    }
    const struct {
        const char* pattern;
        const char* name;
        bool match;
    } cases[] = {
        {"/jpg/", "IMG_1.JPG", true},
        {"/JPG/", "img_2.jpg", false},
        {"/^img/", "IMG_1.JPG", true},
        {"/^img$/", "img_2", false},
        {"/\\.jpe?g$/", "a.jpeg.txt", false},
        {"/\\.jpe?g$/", "a.JPEG", true},
        {"/\\S+\\d/", "img2", true},
        {"/^.t.\\./", "\xc3\xa9t\xc3\xa9.jpg", true},
        {"/\xc3\xa9/", "\xc3\x89T\xc3\x89", true},
        {"/name$/", "bad\xff\xfename", true},
        {"//", "anything", true},
        {"/", "/", true},  // one slash: a wildcard pattern
    };
    for (const auto& c : cases) {
        std::string error;
        const auto pattern = CNamePattern::Compile(c.pattern, error);
        ASSERT_TRUE(pattern) << c.pattern << ": " << error;
        EXPECT_EQ(pattern->Matches(c.name), c.match) << c.pattern << " / " << c.name;
    }
    for (const auto& [text, offset, words] :
         {std::tuple{"/(a/", "offset 2", "missing closing parenthesis"},
          std::tuple{"/a[/", "offset 2", "missing terminating ]"},
          std::tuple{"/*x/", "offset 0", "quantifier does not follow"}}) {
        std::string error;
        EXPECT_FALSE(CNamePattern::Compile(text, error));
        EXPECT_NE(error.find(offset), std::string::npos) << error;
        EXPECT_NE(error.find(words), std::string::npos) << error;
    }
}

TEST_F(FindItemsTest, FiltersCountAndTotal) {
    // Case-insensitive: both photos and the accented one; largest first.
    RankedRows r = Find("*.jpg");
    EXPECT_EQ(Names(r),
              (std::vector<std::string>{"IMG_1.JPG", "img_2.jpg", "\xc3\xa9t\xc3\xa9.jpg"}));
    EXPECT_EQ(r.nTotal, 2400u);
    EXPECT_EQ(FindSummary(r, Units::Bytes), "3 found, 2400 bytes");
    // A directory and what lies in it count once in the total.
    // Photos, the three photos in it, sparse, with space, deep.
    r = Find("*p*");
    EXPECT_EQ(r.nCount, 7u);
    EXPECT_EQ(r.nTotal, list()[IndexOf("top/Photos")].m_nSize + (std::uint64_t{1} << 33) + 3000 +
                            list()[IndexOf("top/sub/deep")].m_nSize);
    // Both links match: the file is one row.
    EXPECT_EQ(Find("/^(solid|linked)$/").rows.size(), 1u);
    FindFilters filters;
    filters.eKinds = FindKinds::Directories;
    r = Find("*", filters);
    std::sort(r.rows.begin(), r.rows.end());  // list order: a parent before its child
    EXPECT_EQ(Names(r).size(), 3u);
    EXPECT_TRUE(list()[r.rows[0]].IsDirectory());
    filters.eKinds = FindKinds::Files;
    filters.nMinSize = 2500;
    // sparse, the linked file once, with space, new\nline (2500: at least).
    EXPECT_EQ(Find("*", filters).nCount, 4u);
    // The limit keeps the largest rows; count and total still cover all.
    r = Find("f*", {}, 3);
    EXPECT_EQ(Names(r), (std::vector<std::string>{"f39", "f38", "f37"}));
    EXPECT_EQ(r.nCount, 40u);
    // Times: everything was made just now.
    filters = {};
    filters.nModifiedBefore = 1000;
    EXPECT_EQ(Find("*", filters).nCount, 0u);
    filters = {};
    filters.nModifiedAfter = 1000;
    EXPECT_EQ(Find("f1*", filters).nCount, 11u);
}

TEST_F(FindItemsTest, RowsResortStablyByEachColumn) {
    RankedRows r = Find("*.jpg");
    SortRows(list(), r, RowColumn::Name, true, SizeMode::Apparent);
    // Bytes: capitals before small letters, UTF-8 after both.
    EXPECT_EQ(Names(r),
              (std::vector<std::string>{"IMG_1.JPG", "img_2.jpg", "\xc3\xa9t\xc3\xa9.jpg"}));
    SortRows(list(), r, RowColumn::Size, true, SizeMode::Apparent);
    EXPECT_EQ(Names(r),
              (std::vector<std::string>{"\xc3\xa9t\xc3\xa9.jpg", "img_2.jpg", "IMG_1.JPG"}));
    // One folder for all: equal keys keep the order they had, either way.
    for (const bool up : {true, false}) {
        RankedRows same = r;
        SortRows(list(), same, RowColumn::Folder, up, SizeMode::Apparent);
        EXPECT_EQ(same.rows, r.rows);
    }
    // Made within moments: rows of one time stay in the name order before.
    r = Find("f1*");
    SortRows(list(), r, RowColumn::Name, false, SizeMode::Apparent);
    const std::vector<std::string> byName = Names(r);
    EXPECT_EQ(byName.front(), "f19");
    EXPECT_EQ(byName.back(), "f1");
    SortRows(list(), r, RowColumn::Modified, true, SizeMode::Apparent);
    for (std::size_t k = 1; k < r.rows.size(); ++k) {
        const auto a = list().ModifiedOf(r.rows[k - 1]), b = list().ModifiedOf(r.rows[k]);
        ASSERT_LE(a, b);
        if (a == b) {
            EXPECT_GT(list()[r.rows[k - 1]].GetName(), list()[r.rows[k]].GetName());
        }
    }
    // By folder path, the top's own rows first; and nothing to sort.
    r = Find("*", {}, 5);
    SortRows(list(), r, RowColumn::Folder, true, SizeMode::Apparent);
    EXPECT_EQ(list().DirPathOf(r.rows.front()), t.Path("top"));
    RankedRows none;
    SortRows(list(), none, RowColumn::Modified, false, SizeMode::OnDisk);
    EXPECT_TRUE(none.rows.empty());
}

}  // namespace
}  // namespace sizewalk
