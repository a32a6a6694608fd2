#include "core/find_fields.h"

#include <gtest/gtest.h>

#include <ctime>

namespace sizewalk {
namespace {

TEST(FindFields, SizesReadWithTheirUnitsAndRefuseWhatIsNotOne) {
    EXPECT_EQ(ParseSizeText("4096"), 4096u);
    EXPECT_EQ(ParseSizeText(" 10 mb "), 10u * 1024 * 1024);
    EXPECT_EQ(ParseSizeText("1.5K"), 1536u);
    EXPECT_EQ(ParseSizeText("0.1 B"), 1u);  // a part of a byte is a byte
    EXPECT_EQ(ParseSizeText("18446744073709551615"), 18446744073709551615u);
    for (const char* bad :
         {"", "MB", "12 XB", "-1", "1e3", "16777216 TB", "18446744073709551616", "1.2.3", "10 M B"})
        EXPECT_FALSE(ParseSizeText(bad)) << bad;
}

TEST(FindFields, DaysAreRealDaysInLocalTime) {
    const auto day = ParseDayText("2024-02-29");
    ASSERT_TRUE(day);
    std::tm local{};
    const std::time_t t = static_cast<std::time_t>(*day);
    ASSERT_NE(localtime_r(&t, &local), nullptr);
    EXPECT_EQ(local.tm_year, 124);
    EXPECT_EQ(local.tm_mon, 1);
    EXPECT_EQ(local.tm_mday, 29);
    EXPECT_EQ(local.tm_hour, 0);
    EXPECT_EQ(ParseDayText("2024-02-29 13:05"), *day + 13 * 3600 + 5 * 60);
    for (const char* bad : {"2023-02-29", "2026-13-01", "2026-04-31", "2026-1-01", "1969-12-31",
                            "2026-12-01 24:00", "2026-12-01T10:00", "yesterday", ""})
        EXPECT_FALSE(ParseDayText(bad)) << bad;
}

TEST(FindFields, EachFieldThatCannotBeReadIsNamed) {
    std::string error;
    FindFields fields;
    fields.strPattern = "  ";
    EXPECT_FALSE(ReadFindFields(fields, error));
    EXPECT_EQ(error.rfind("Type a name to find", 0), 0u);
    fields.strPattern = "*.iso";
    fields.strMinSize = "12 XB";
    EXPECT_FALSE(ReadFindFields(fields, error));
    EXPECT_EQ(error, "The least size \"12 XB\" is not a size such as 10 MB.");
    fields.strMinSize = "1 KB";
    fields.strBefore = "2026-02-30";
    EXPECT_FALSE(ReadFindFields(fields, error));
    EXPECT_EQ(error, "The date \"2026-02-30\" (modified before) is not a day such as 2026-12-01.");
    fields.strBefore = "2026-03-01";
    fields.eKinds = FindKinds::Files;
    const auto request = ReadFindFields(fields, error);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->filters.nMinSize, 1024u);
    EXPECT_EQ(request->filters.nModifiedAfter, CScanList::kNoTime);
    EXPECT_EQ(request->filters.nModifiedBefore, *ParseDayText("2026-03-01"));
    EXPECT_EQ(request->filters.eKinds, FindKinds::Files);
    EXPECT_TRUE(request->pattern->Matches("disk.iso"));
    EXPECT_EQ(request->fields, fields);
}

}  // namespace
}  // namespace sizewalk
