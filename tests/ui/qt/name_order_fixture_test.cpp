// The order of names under one parent, held in tests/data/name-order.txt:
// 20,000 names in Latin with and without accents, Greek, Cyrillic, Hebrew,
// Arabic, Chinese and Korean, in every letter case, with numbers (leading
// zeros too), spaces, dots and extensions, listed in the order the Linux tree
// gives them. The Windows tree is held to the same file (tests/win32), so
// both systems show the same order. The two systems' collations still differ
// where the file holds no names: emoji and other symbols, two different
// punctuation marks at the same place, Roman numeral characters, and "ß"
// against "ss".
//
// To remake the file after a deliberate change of order, run this test with
// SIZEWALK_WRITE_NAME_ORDER=PATH: it writes the order it finds there.

#include <gtest/gtest.h>

#include <QLocale>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "ui/qt/name_collator.h"

namespace sizewalk {
namespace {

std::vector<std::string> Fixture() {
    std::ifstream in(SIZEWALK_NAME_ORDER_FIXTURE, std::ios::binary);
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);) names.push_back(line);
    return names;
}

TEST(NameOrderFixture, TheLinuxTreeGivesTheFixturesOrder) {
    const std::vector<std::string> names = Fixture();
    ASSERT_EQ(names.size(), 20000u);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
    for (const std::string& name : names) {
        ASSERT_FALSE(name.empty());
        // Names a Windows directory can hold too.
        EXPECT_EQ(name.find_first_of("\\/:*?\"<>|"), std::string::npos) << name;
        EXPECT_NE(name.back(), ' ');
        EXPECT_NE(name.back(), '.');
    }

    // Listed in another order, as a directory would list them.
    std::vector<std::uint32_t> ids(names.size());
    std::iota(ids.begin(), ids.end(), 0u);
    std::reverse(ids.begin(), ids.end());
    std::rotate(ids.begin(), ids.begin() + 7919, ids.end());
    const CNameCollator collator(QLocale(QLocale::English, QLocale::UnitedStates));
    collator.Sort(ids, [&](std::uint32_t id) { return std::string_view(names[id]); });

    if (const char* out = std::getenv("SIZEWALK_WRITE_NAME_ORDER")) {
        std::ofstream file(out, std::ios::binary);
        for (std::uint32_t id : ids) file << names[id] << '\n';
    }
    for (std::size_t i = 0; i < ids.size(); ++i)
        ASSERT_EQ(ids[i], i) << "position " << i << ": \"" << names[ids[i]]
                             << "\" where the file has \"" << names[i] << "\"";
}

}  // namespace
}  // namespace sizewalk
