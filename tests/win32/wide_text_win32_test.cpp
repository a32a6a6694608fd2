// UTF-8 in the engine, UTF-16 at the system: every name the system can list
// comes back to the same units.
#include "platform/wide_text_win32.h"

#include <gtest/gtest.h>

#include <string>

namespace sizewalk {
namespace {

TEST(WideText, RoundTripsEveryKindOfName) {
    const std::wstring names[] = {
        L"plain.txt",
        L"\x05e2\x05d1\x05e8\x05d9\x05ea",  // Hebrew
        L"\x4e2d\x6587",                    // CJK
        L"\xd83d\xde00",                    // an emoji: one surrogate pair
        L"caf\x00e9",                       // two-byte UTF-8
        L"\xd800",                          // a lone high surrogate
        L"a\xdc00z",                        // a lone low surrogate inside
        L"\xdc00\xd800",                    // reversed: two lone ones
        L"\xffff\xfffe",                    // noncharacters are names too
    };
    for (const std::wstring& name : names) {
        SCOPED_TRACE(testing::PrintToString(Utf8FromWide(name)));
        const std::string utf8 = Utf8FromWide(name);
        EXPECT_EQ(WideFromUtf8(utf8), name);
        std::wstring units;
        ForEachWideUnit(utf8, [&](wchar_t u) { units += u; });
        EXPECT_EQ(units, name);
    }
    EXPECT_EQ(Utf8FromWide(L"\xd83d\xde00"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf8FromWide(L"\xd800"), "\xED\xA0\x80");
    EXPECT_EQ(Utf8FromWide(L""), "");
}

TEST(WideText, BytesThatAreNoUtf8BecomeReplacementCharacters) {
    const struct {
        std::string bytes;
        std::wstring wide;
    } cases[] = {
        {"\xff", L"\xfffd"},
        {"a\x80z", L"a\xfffdz"},        // a stray continuation byte
        {"\xC0\xAF", L"\xfffd\xfffd"},  // an overlong slash
        {"\xE0\x80\xAF", L"\xfffd\xfffd\xfffd"},
        {"\xF4\x90\x80\x80", L"\xfffd\xfffd\xfffd\xfffd"},  // past U+10FFFF
        {"\xE4\xB8", L"\xfffd\xfffd"},                      // cut short at the end
        {"\xE4\xB8"
         "a",
         L"\xfffd\xfffd"
         L"a"},
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        EXPECT_EQ(WideFromUtf8(c.bytes), c.wide);
    }
}

}  // namespace
}  // namespace sizewalk
