// The generated version header: what the program reports must be the
// project's version, and the Windows resource strings must stay exact.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "res/version.h"

namespace {

TEST(Version, TextIsTheProjectVersion) {
    EXPECT_STREQ(sizewalk::version::kText, SIZEWALK_EXPECTED_VERSION);
    EXPECT_STREQ(SIZEWALK_VERSION_TEXT, SIZEWALK_EXPECTED_VERSION);
}

TEST(Version, NumbersSpellTheText) {
    using namespace sizewalk::version;
    const std::string dotted = std::to_string(kMajor) + '.' + std::to_string(kMinor) + '.' +
                               std::to_string(kPatch) + '.' + std::to_string(kTweak);
    EXPECT_EQ(dotted, kText);
}

TEST(Version, WindowsResourceStrings) {
    struct Case {
        std::string_view name;
        std::string_view value;
        std::string_view expected;
    };
    const Case cases[] = {
        {"version string", SIZEWALK_RC_VERSION_STRING, "1, 0, 0, 1"},
        {"string block", SIZEWALK_RC_STRING_BLOCK, "040904b0"},
        {"InternalName", SIZEWALK_RC_INTERNAL_NAME, "SIZEWALK"},
        {"OriginalFilename", SIZEWALK_RC_ORIGINAL_FILENAME, "SIZEWALK.EXE"},
        {"ProductName", SIZEWALK_RC_PRODUCT_NAME, "SIZEWALK Application"},
        {"FileDescription", SIZEWALK_RC_FILE_DESCRIPTION, "SIZEWALK MFC Application"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value, c.expected) << c.name;
    }
}

TEST(Version, ResourceNumbersListFourParts) {
    const int numbers[] = {SIZEWALK_RC_VERSION_NUMBERS};
    ASSERT_EQ(std::size(numbers), 4u);
    EXPECT_EQ(numbers[0], sizewalk::version::kMajor);
    EXPECT_EQ(numbers[3], sizewalk::version::kTweak);
}

}  // namespace
