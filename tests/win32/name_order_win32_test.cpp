// The Windows order of names and how label text is shown.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "platform/wide_text_win32.h"
#include "ui/win32/label_text.h"
#include "ui/win32/name_order.h"

namespace sizewalk {
namespace {

std::vector<std::string> Sorted(const CSystemNameOrder& order, std::vector<std::string> names) {
    std::vector<std::uint32_t> ids(names.size());
    std::iota(ids.begin(), ids.end(), 0u);
    // Listed backwards, so that nothing depends on the listing's order.
    std::reverse(ids.begin(), ids.end());
    order.Sort(ids, [&](std::uint32_t id) { return std::string_view(names[id]); });
    std::vector<std::string> out;
    for (std::uint32_t id : ids) out.push_back(names[id]);
    return out;
}

TEST(NameOrder, CaseBlindDigitsByValuePunctuationFirstTiesByBytes) {
    const CSystemNameOrder order(L"en-US");
    const std::vector<std::string> expected = {
        "_build",           "1",     "2",     "10",     "a-b",    "a.b",    "ab",     "B",
        "file01",           "file1", "file2", "File10", "README", "ReadMe", "readme", "resume",
        "r\u00e9sum\u00e9", "zebra"};
    std::vector<std::string> shuffled = expected;
    std::rotate(shuffled.begin(), shuffled.begin() + 7, shuffled.end());
    EXPECT_EQ(Sorted(order, shuffled), expected);

    // Leading zeros aside, numbers compare by value; equal ones by bytes.
    EXPECT_EQ(Sorted(order, {"a7", "a08", "a007", "a10", "0", "00", "a0", "b"}),
              (std::vector<std::string>{"0", "00", "a0", "a007", "a7", "a08", "a10", "b"}));
    EXPECT_GT(order.Compare("x007 b", "x7 a"), 0);  // a number's zeros do not outweigh what follows
    EXPECT_LT(order.Compare("file2", "file10"), 0);
    EXPECT_GT(order.Compare("ReadMe", "README"), 0);  // equal but for case: by bytes
    EXPECT_EQ(order.Compare("same", "same"), 0);
    EXPECT_LT(order.Compare("", "a"), 0);
}

TEST(LabelText, ShownOnOneLineWithEveryCharacterKept) {
    const struct {
        std::string utf8;
        std::wstring shown;
    } cases[] = {
        {"plain [  1.00MB]", L"plain [  1.00MB]"},
        {"\u05e2\u05d1\u05e8\u05d9\u05ea", L"\x05e2\x05d1\x05e8\x05d9\x05ea"},
        {"\U0001F600", L"\xd83d\xde00"},  // a pair stays a pair
        {"a\tb\nc\x7f"
         "d",
         L"a\xfffd"
         L"b\xfffd"
         L"c\xfffd"
         L"d"},
        {"x\u202Ey\u2066z\u2028", L"x\xfffdy\xfffdz\xfffd"},  // direction and line marks
        {"\xED\xA0\x80"
         "q",
         L"\xfffdq"},  // an unpaired surrogate
        {"\xff", L"\xfffd"},
    };
    for (const auto& c : cases) {
        std::wstring out = L">";
        AppendLabelText(out, c.utf8);
        EXPECT_EQ(out, L">" + c.shown) << testing::PrintToString(c.utf8);
    }
}

}  // namespace
}  // namespace sizewalk
