// The details columns: automatic units at their boundaries, and every
// column's text and order on a list with known sizes, times and an
// unreadable directory.

#include "model/detail_columns.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "scan/name_arena.h"
#include "tests/core/command_fakes.h"

namespace sizewalk {
namespace {

using Item = CScanTree::Item;

TEST(DetailColumns, AutomaticUnitsRoundAndGroupAtTheirBoundaries) {
    EXPECT_EQ(FormatAutoSize(0), "0 bytes");
    EXPECT_EQ(FormatAutoSize(1), "1 byte");
    EXPECT_EQ(FormatAutoSize(1023), "1,023 bytes");
    EXPECT_EQ(FormatAutoSize(1024), "1.0 KB");
    EXPECT_EQ(FormatAutoSize(1536), "1.5 KB");
    EXPECT_EQ(FormatAutoSize(1024 * 1023 + 972), "1,023.9 KB");
    EXPECT_EQ(FormatAutoSize(1024 * 1024 - 1), "1.0 MB");  // never "1,024.0 KB"
    EXPECT_EQ(FormatAutoSize(std::uint64_t{5} << 30), "5.0 GB");
    EXPECT_EQ(FormatAutoSize(std::uint64_t{1} << 40), "1.0 TB");
    EXPECT_EQ(FormatAutoSize(UINT64_MAX), "16,777,216.0 TB");
    EXPECT_EQ(FormatAutoSize(UINT64_MAX, "\xc2\xa0"),
              "16\xc2\xa0"
              "777\xc2\xa0"
              "216.0 TB");
}

struct Spec {
    std::int32_t depth;
    bool dir;
    const char* name;
    std::uint64_t size;
    std::int64_t modified;  // CScanList::kNoTime: never told
};

class DetailColumnsTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Local time is UTC here, so the dates below are what any user in UTC sees.
        ::setenv("TZ", "UTC0", 1);
        ::tzset();
        const Spec specs[] = {
            {0, true, "/start", 0, 1000},
            {2, false, "big", 3000, 1700000000},
            {2, true, "sub", 0, 100},
            {3, false, "x", 700, 4102444800},  // 2100-01-01
            {3, false, "y", 300, CScanList::kNoTime},
            {2, true, "locked", 0, 5},
            {2, false, "old", 1000, -86400},  // 1969: kept as 1970
            {2, true, "empty", 0, 50},
            {2, false, "far", 0, 9000000000},  // past 2106: kept as its last second
        };
        FindRecord record;
        for (const Spec& s : specs) {
            record.dwFileAttributes = s.dir ? kFileAttributeDirectory : kFileAttributeNormal;
            record.SetSize(s.size);
            record.nDiskSize = s.size / 2;
            list.Append(CScanEntry(record, list.Names().Add(s.name))).m_nDepth = s.depth;
            if (s.modified != CScanList::kNoTime) list.SetModified(list.Count() - 1, s.modified);
        }
        list.MarkUnreadable(5, 13);
        list.Finish();
    }
    Item Named(std::string_view name) const {
        for (std::size_t i = 0; i < list.Count(); ++i)
            if (list[i].GetName() == name) return static_cast<Item>(i);
        return CScanTree::kNoItem;
    }
    std::vector<std::string> Row(const CScanTree& tree, std::string_view name,
                                 SizeMode mode = SizeMode::Apparent) const {
        std::vector<std::string> row;
        for (int c = 1; c < kDetailColumnCount; ++c)
            row.push_back(DetailText(tree, Named(name), static_cast<DetailColumn>(c), mode));
        return row;
    }
    std::vector<std::string> Children(CScanTree& tree, DetailColumn column) const {
        tree.SetOrder(DetailSortOrder(column), SizeMode::Apparent);
        std::vector<std::string> names;
        for (Item child : tree.Children(0)) names.emplace_back(list[child].GetName());
        return names;
    }

    CScanList list;
    test::ByteOrder names;
};

TEST_F(DetailColumnsTest, CellsShowShareSizeItemsAndNewestTime) {
    CScanTree tree(list, Files::Shown, names);
    using Cells = std::vector<std::string>;
    // The start holds an unreadable directory: its totals are lower bounds.
    EXPECT_EQ(Row(tree, "/start"),
              (Cells{"", "at least 4.9 KB", "at least 8", "2106-02-07 06:28"}));
    EXPECT_EQ(Row(tree, "big"), (Cells{"60.0%", "2.9 KB", "", "2023-11-14 22:13"}));
    EXPECT_EQ(Row(tree, "sub"), (Cells{"20.0%", "1,000 bytes", "2", "2100-01-01 00:00"}));
    EXPECT_EQ(Row(tree, "y"), (Cells{"30.0%", "300 bytes", "", ""}));
    EXPECT_EQ(Row(tree, "locked"),
              (Cells{"0.0%", "at least 0 bytes", "at least 0", "1970-01-01 00:00"}));
    EXPECT_EQ(Row(tree, "old"), (Cells{"20.0%", "1,000 bytes", "", "1970-01-01 00:00"}));
    // The share follows the size on show; under a parent of size 0 there is none.
    EXPECT_EQ(Row(tree, "sub", SizeMode::OnDisk)[0], "20.0%");
    EXPECT_EQ(ShareOfParent(tree, Named("big"), SizeMode::Apparent).fFraction, 0.6);
    EXPECT_EQ(ShareOfParent(tree, 0, SizeMode::Apparent).strText, "");

    CScanList empty;
    FindRecord dir;
    dir.dwFileAttributes = kFileAttributeDirectory;
    empty.Append(CScanEntry(dir, "/e")).m_nDepth = 0;
    empty.Append(CScanEntry(FindRecord{}, "zero")).m_nDepth = 2;
    empty.Finish();
    CScanTree zero(empty, Files::Shown, names);
    EXPECT_EQ(ShareOfParent(zero, 1, SizeMode::Apparent).strText, "");
    EXPECT_EQ(ShareOfParent(zero, 1, SizeMode::Apparent).fFraction, 0.0);
}

TEST_F(DetailColumnsTest, HeadersSortTheirColumnsNamesBreakingTies) {
    CScanTree tree(list, Files::Shown, names);
    using Names = std::vector<std::string>;
    EXPECT_EQ(Children(tree, DetailColumn::Items),
              (Names{"sub", "big", "empty", "far", "locked", "old"}));
    EXPECT_EQ(Children(tree, DetailColumn::Modified),
              (Names{"far", "sub", "big", "empty", "locked", "old"}));
    EXPECT_EQ(Children(tree, DetailColumn::Percent),
              (Names{"big", "old", "sub", "empty", "far", "locked"}));
    EXPECT_EQ(Children(tree, DetailColumn::Name),
              (Names{"big", "empty", "far", "locked", "old", "sub"}));
    for (int c = 0; c < kDetailColumnCount; ++c) {
        const auto column = static_cast<DetailColumn>(c);
        const DetailColumn back = DetailColumnOf(DetailSortOrder(column));
        EXPECT_EQ(back, column == DetailColumn::Percent ? DetailColumn::Size : column);
        EXPECT_FALSE(DetailHeader(column).empty());
    }
    EXPECT_EQ(DetailHeader(DetailColumn::Modified), "Last Modified");
}

}  // namespace
}  // namespace sizewalk
