#include "scan/name_arena.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sizewalk {
namespace {

TEST(NameArena, AFewNamesKeepLittleAndManyStayWhereTheyWereWritten) {
    NameArena arena(CPageBlock::kHugePage);
    const char* first = arena.Add("start");
    EXPECT_LE(arena.Bytes(), std::size_t{64} << 10);  // not a huge page for one name

    // Enough names for blocks up to the largest, and one longer than a block.
    std::vector<std::pair<const char*, std::string>> names;
    for (int i = 0; i < 400000; ++i) {
        std::string name = "name-" + std::to_string(i);
        names.emplace_back(arena.Add(name), std::move(name));
    }
    arena.Trim();                          // the list is whole, with its last block part filled
    const char* late = arena.Add("late");  // a later name still goes in
    const std::string huge(3 * CPageBlock::kHugePage, 'x');
    const char* hugeName = arena.Add(huge);
    EXPECT_STREQ(first, "start");
    EXPECT_STREQ(late, "late");
    for (const auto& [p, name] : names) ASSERT_STREQ(p, name.c_str());
    EXPECT_EQ(std::string(hugeName), huge);
    EXPECT_GE(arena.Bytes(), huge.size() + 1);

    NameArena other;
    const char* theirs = other.Add("theirs");
    const std::size_t before = arena.Bytes() + other.Bytes();
    arena.Adopt(other);
    EXPECT_EQ(arena.Bytes(), before);
    EXPECT_EQ(other.Bytes(), 0u);
    EXPECT_STREQ(theirs, "theirs");
    EXPECT_STREQ(other.Add("again"), "again");  // an emptied arena still takes names
}

}  // namespace
}  // namespace sizewalk
