// File Types on a real tree: its rows against the names written and
// against a count of our own over the directory (file counts, lengths, and
// blocks with a hard link counted once), re-sorting, and the filters that
// pick one kind or one type of file.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "model/file_types.h"
#include "model/largest_files.h"
#include "model/type_table.h"
#include "scan/dir_scanner.h"
#include "tests/temp_tree.h"

namespace sizewalk {
namespace {

namespace fs = std::filesystem;

class FileTypesTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* d : {"docs", "pics", "src", ".config"}) t.Dir(d);
        const std::pair<const char*, int> files[] = {
            {"docs/Report.PDF", 9000},   {"docs/notes.pdf", 500},
            {"docs/archive.tar.gz", 70}, {"docs/README", 60},
            {"pics/x.png", 30000},       {"pics/y.JPG", 2000},
            {"pics/.thumb.png", 40},     {"src/main.cpp", 300},
            {"src/Makefile", 20},        {"src/.bashrc", 10},
            {"src/trailing.", 5},        {"src/Dr. Smith letter", 7},
            {"src/libz.so.1.3", 900},    {"src/weird.abcdefghijklmnopq", 3},
            {".config/a.b.C", 11},       {"..dots", 2},
        };
        for (auto [name, size] : files) std::ofstream(t.Path(name)) << std::string(size, 'x');
        // Another name of x.png: its length twice, its blocks once.
        if (::link(t.Path("pics/x.png").c_str(), t.Path("pics/copy.png").c_str()) != 0)
            throw std::runtime_error("link");
        scanner.Scan(t.Root());
    }

    const FileTypeRow* Row(const CFileTypes& types, FileKind kind, const std::string& label) {
        for (const FileTypeKind& k : types.Kinds())
            if (k.total.kind == kind)
                for (const FileTypeRow& r : k.rows)
                    if (r.Label() == label) return &r;
        return nullptr;
    }

    test::TempTree t;
    CDirScanner scanner;
};

TEST_F(FileTypesTest, RowsOfAwkwardNames) {
    CFileTypes types;
    types.Count(scanner.GetList(), SizeMode::Apparent);
    struct Expect {
        FileKind kind;
        const char* label;
        std::uint64_t files, size;
    };
    const Expect rows[] = {
        {FileKind::Document, "pdf", 2, 9500},  // upper case joins lower
        {FileKind::Document, "(no extension)", 0, 0},
        {FileKind::Archive, "gz", 1, 70},  // the last dot's suffix
        {FileKind::Image, "png", 2, 60000},
        {FileKind::Image, "jpg", 1, 2000},
        {FileKind::Image, "(hidden)", 1, 40},  // ".thumb.png": hidden, and an image
        {FileKind::Source, "cpp", 1, 300},
        {FileKind::Program, "so", 1, 900},  // a versioned library
        // README, Makefile, "trailing.", "Dr. Smith letter", a 17-byte suffix
        {FileKind::Other, "(no extension)", 5, 60 + 20 + 5 + 7 + 3},
        {FileKind::Other, "(hidden)", 2, 10 + 2},  // ".bashrc", "..dots"
        {FileKind::Source, "c", 1, 11},            // "a.b.C" in a hidden folder is not hidden
    };
    for (const Expect& e : rows) {
        const FileTypeRow* r = Row(types, e.kind, e.label);
        if (e.files == 0) {
            EXPECT_EQ(r, nullptr) << e.label;
            continue;
        }
        ASSERT_NE(r, nullptr) << FileKindLabel(e.kind) << " " << e.label;
        EXPECT_EQ(r->nFiles, e.files) << e.label;
        EXPECT_EQ(r->nSize, e.size) << e.label;
    }
    EXPECT_EQ(types.Files(), 17u);
    EXPECT_EQ(types.Kinds().front().total.kind, FileKind::Image);  // sorted by size
    EXPECT_NEAR(types.Share(types.Kinds().front().total.nSize), 62040.0 / types.Total(), 1e-12);
    std::uint64_t sum = 0;
    for (const FileTypeKind& k : types.Kinds()) sum += k.total.nSize;
    EXPECT_EQ(sum, types.Total());  // apparent: every byte is some file's

    types.Sort(FileTypeOrder::Files);
    EXPECT_EQ(types.Kinds().front().total.kind, FileKind::Other);
    EXPECT_EQ(types.Kinds().front().rows.front().Label(), "(no extension)");
    types.Sort(FileTypeOrder::Name);
    EXPECT_EQ(types.Kinds().front().total.Label(), "Archives");
    EXPECT_EQ(types.Kinds().back().rows.back().Label(), "cpp");

    // A subtree, and roots that are not there.
    types.Count(scanner.GetList(), SizeMode::Apparent, 0);
    CFileTypes none;
    none.Count(scanner.GetList(), SizeMode::Apparent, scanner.GetList().Count());
    EXPECT_TRUE(none.Kinds().empty());
    EXPECT_EQ(none.Share(5), 0.0);
}

// Our own count over the directory: lengths and files by kind and type,
// blocks by inode once.
TEST_F(FileTypesTest, AgreesWithAnIndependentCount) {
    std::map<std::pair<FileKind, std::string>, std::array<std::uint64_t, 3>> expected;
    std::set<std::pair<dev_t, ino_t>> seen;
    for (const fs::directory_entry& d : fs::recursive_directory_iterator(t.Root())) {
        if (d.is_directory()) continue;
        const std::string name = d.path().filename().string();
        std::string ext = d.path().extension().string();
        std::string label = "(no extension)";
        if (name[0] == '.') {
            label = "(hidden)";
        } else if (name.ends_with(".so.1.3")) {
            label = "so";
        } else if (ext.size() > 1 && ext.size() <= 17 && ext.find(' ') == std::string::npos) {
            for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            label = ext.substr(1);
        }
        struct stat st {};
        ASSERT_EQ(::lstat(d.path().c_str(), &st), 0);
        auto& row = expected[{ClassifyFileName(name), label}];
        row[0] += 1;
        row[1] += static_cast<std::uint64_t>(st.st_size);
        if (seen.insert({st.st_dev, st.st_ino}).second)
            row[2] += static_cast<std::uint64_t>(st.st_blocks) * 512;
    }
    CFileTypes apparent, disk;
    apparent.Count(scanner.GetList(), SizeMode::Apparent);
    disk.Count(scanner.GetList(), SizeMode::OnDisk);
    std::size_t rows = 0;
    for (const FileTypeKind& k : apparent.Kinds()) rows += k.rows.size();
    EXPECT_EQ(rows, expected.size());
    for (const auto& [key, want] : expected) {
        const FileTypeRow* a = Row(apparent, key.first, key.second);
        const FileTypeRow* o = Row(disk, key.first, key.second);
        ASSERT_TRUE(a && o) << key.second;
        EXPECT_EQ(a->nFiles, want[0]) << key.second;
        EXPECT_EQ(a->nSize, want[1]) << key.second;
        EXPECT_EQ(o->nSize, want[2]) << key.second;
    }
}

TEST_F(FileTypesTest, FiltersPickTheirFiles) {
    const CScanList& list = scanner.GetList();
    CFileTypes types;
    types.Count(list, SizeMode::Apparent);
    // Each row's filter picks exactly its files; the kind's filter all of them.
    for (const FileTypeKind& k : types.Kinds()) {
        std::uint64_t kindFiles = 0;
        for (std::size_t i = 0; i < list.Count(); ++i)
            kindFiles += MatchesFileType(list, i, k.total.Filter());
        EXPECT_EQ(kindFiles, k.total.nFiles) << k.total.Label();
        for (const FileTypeRow& r : k.rows) {
            std::uint64_t files = 0;
            for (std::size_t i = 0; i < list.Count(); ++i)
                files += MatchesFileType(list, i, r.Filter());
            EXPECT_EQ(files, r.nFiles) << r.Label();
        }
    }
    const FileTypeFilter png{FileKind::Image, FileTypeClass::Extension, "png"};
    EXPECT_TRUE(png.Matches("A.PNG"));
    EXPECT_FALSE(png.Matches(".x.png"));  // hidden
    EXPECT_FALSE(png.Matches("png"));
    const FileTypeFilter hidden{FileKind::Image, FileTypeClass::Hidden, {}};
    EXPECT_TRUE(hidden.Matches(".x.png"));
    EXPECT_FALSE(hidden.Matches(".bashrc"));                   // hidden, but Other
    EXPECT_FALSE(MatchesFileType(list, 0, FileTypeFilter{}));  // a directory
    EXPECT_FALSE(MatchesFileType(list, list.Count(), FileTypeFilter{}));
}

// The view's table: each kind's types stay below it whichever way it is
// sorted, a row is found again by its filter, and the largest files of a
// type are that type's files alone.
TEST_F(FileTypesTest, TheTableKeepsTypesBelowTheirKindInEveryOrder) {
    const CScanList& list = scanner.GetList();
    CFileTypes types;
    types.Count(list, SizeMode::Apparent);
    CTypeTable table(types);
    const auto kindOf = [&](std::size_t row) { return table.Kind(row); };
    for (const TypeColumn column :
         {TypeColumn::Type, TypeColumn::Files, TypeColumn::Size, TypeColumn::Share})
        for (const bool ascending : {true, false}) {
            table.Sort(column, ascending);
            ASSERT_GT(table.RowCount(), 0u);
            EXPECT_TRUE(table.IsKind(0));
            std::set<FileKind> seen;
            for (std::size_t row = 0; row < table.RowCount(); ++row) {
                if (table.IsKind(row)) {
                    EXPECT_TRUE(seen.insert(kindOf(row)).second);  // each kind once
                } else {
                    EXPECT_EQ(kindOf(row), kindOf(row - 1));  // under its kind
                }
                EXPECT_EQ(table.RowOf(table.Filter(row)), row);
            }
        }
    table.Sort(TypeColumn::Size, false);
    EXPECT_EQ(table.Text(0, TypeColumn::Type), "Images");
    EXPECT_EQ(table.Text(1, TypeColumn::Type), ".png");
    table.Sort(TypeColumn::Size, true);
    EXPECT_EQ(table.Text(table.RowCount() - 1, TypeColumn::Type), ".png");
    EXPECT_EQ(table.RowOf(FileTypeFilter{FileKind::Video, FileTypeClass::Kind, {}}),
              CTypeTable::npos);

    const FileTypeFilter pdf{FileKind::Document, FileTypeClass::Extension, "pdf"};
    const RankedRows largest = LargestFiles(list, 0, SizeMode::Apparent, 10, &pdf);
    std::set<std::string> names;
    for (const std::uint32_t row : largest.rows) names.insert(std::string(list[row].GetName()));
    EXPECT_EQ(names, (std::set<std::string>{"Report.PDF", "notes.pdf"}));
    EXPECT_EQ(largest.nTotal, 9500u);
}

}  // namespace
}  // namespace sizewalk
