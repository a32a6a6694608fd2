// Names in questions and messages: what cannot show as itself is written
// out, and never two names the same way.
#include "platform/visible_text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace sizewalk {
namespace {

std::string Shown(std::string_view text) { return VisibleText(text, '/'); }

TEST(VisibleText, PlainNamesAndValidUtf8StayAsTheyAre) {
    EXPECT_EQ(
        Shown("/tmp/a b/Fotos 2024/caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80.jpg"),
        "/tmp/a b/Fotos 2024/caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80.jpg");
    // The separator's own backslash stays; elsewhere it is doubled.
    EXPECT_EQ(VisibleText("C:\\Users\\a", '\\'), "C:\\Users\\a");
    EXPECT_EQ(Shown("a\\nb"), "a\\\\nb");
}

TEST(VisibleText, ControlsAndBytesThatAreNotTextAreWrittenOut) {
    EXPECT_EQ(Shown("nl\n\nSize: 0 bytes"), "nl\\n\\nSize: 0 bytes");
    EXPECT_EQ(Shown(std::string("a\0b\x1b\x7f\r\t", 7)), "a\\x00b\\x1B\\x7F\\r\\t");
    EXPECT_EQ(Shown("bad\xff"), "bad\\xFF");
    // Overlong, surrogate, beyond U+10FFFF, cut short: each byte alone.
    EXPECT_EQ(Shown("\xC0\xAF"), "\\xC0\\xAF");
    EXPECT_EQ(Shown("\xED\xA0\x80"), "\\xED\\xA0\\x80");
    EXPECT_EQ(Shown("\xF4\x90\x80\x80"), "\\xF4\\x90\\x80\\x80");
    EXPECT_EQ(Shown("x\xE2\x80"), "x\\xE2\\x80");
}

TEST(VisibleText, CharactersThatHideOrReorderAreNamed) {
    EXPECT_EQ(Shown("a\xE2\x80\xAE"
                    "fdp.exe"),
              "a\\u{202E}fdp.exe");                             // right-to-left override
    EXPECT_EQ(Shown("report\xE2\x80\x8B"), "report\\u{200B}");  // zero width space
    EXPECT_EQ(Shown("a\xC2\xA0"
                    "b"),
              "a\\u{00A0}b");                            // no-break space
    EXPECT_EQ(Shown("x\xE2\x80\xA8y"), "x\\u{2028}y");   // line separator
    EXPECT_EQ(Shown("\xF3\xA0\x80\x81"), "\\u{E0001}");  // a language tag
}

// Names that differ in any byte are shown differently.
TEST(VisibleText, DistinctNamesStayDistinct) {
    const std::string names[] = {"bad\xff",     "bad\xfe", "bad\\xFF",        "bad\\xff", "bad",
                                 "bad\xC2\xA0", "bad ",    "bad\xE2\x80\x8B", "bad\n",    "bad\\n"};
    std::set<std::string> shown;
    for (const std::string& name : names) shown.insert(Shown(name));
    EXPECT_EQ(shown.size(), std::size(names));
}

}  // namespace
}  // namespace sizewalk
