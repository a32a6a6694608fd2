// The option parser: the values it refuses, what it says then, and where an
// argument stops being an option.
#include "core/command_line.h"

#include <gtest/gtest.h>

#include <optional>

namespace sizewalk {
namespace {

using Error = CCommandLine::Error;
using Args = std::vector<std::string>;

struct CommandLine : ::testing::Test {
    std::string output = "-";
    bool compress = false, help = false;
    int threads = 4;
    double after = -1;
    std::optional<int> order;
    CCommandLine options;

    CommandLine() {
        options.Text("-o", "FILE", output, "write to FILE")
            .Flag("-c", compress, "compress")
            .Integer("--threads", "N", threads, 1, 256, "threads")
            .Decimal("--after", "S", after, 0)
            .Choice("--sort", "size|name", order,
                    std::vector<std::pair<std::string, int>>{{"size", 1}, {"name", 2}})
            .Stop("-h, --help", help, "show this help");
    }
};

TEST_F(CommandLine, ValuesLandInTheirTargetsAndTheLastRepeatWins) {
    const auto r = options.Parse({"-c", "--threads", "2", "-o", "-", "--threads=7", "dir",
                                  "--after", "0.5", "--sort", "name", "--sort", "size"});
    ASSERT_TRUE(r) << r.strError;
    EXPECT_EQ(threads, 7);
    EXPECT_EQ(output, "-");  // a value, though it looks like an option
    EXPECT_TRUE(compress);
    EXPECT_DOUBLE_EQ(after, 0.5);
    EXPECT_EQ(order, 1);
    EXPECT_EQ(r.positional, Args{"dir"});
}

TEST_F(CommandLine, BadValuesAreRefusedWholeAndNamed) {
    for (const char* bad : {"0", "257", "", "4x", " 4", "+4", "-1", "99999999999999999999"}) {
        threads = 4;
        const auto r = options.Parse({"--threads", bad, "dir"});
        EXPECT_EQ(r.eError, Error::BadValue) << bad;
        EXPECT_EQ(r.strError, "--threads takes 1 to 256") << bad;
        EXPECT_EQ(threads, 4) << bad;  // untouched
    }
    EXPECT_TRUE(options.Parse({"--threads", "256"}));
    EXPECT_TRUE(options.Parse({"--threads", "1"}));
    for (const char* bad : {"-0.1", "x", "", "inf", "nan", "1s"})
        EXPECT_EQ(options.Parse({"--after", bad}).strError, "--after takes a number of at least 0")
            << bad;
    EXPECT_EQ(options.Parse({"--sort", "weight"}).strError, "--sort takes size|name");
    EXPECT_EQ(options.Parse({"-c=1"}).eError, Error::UnknownOption);  // short options take no "="
    EXPECT_EQ(options.Parse({"--help=1"}).strError, "--help takes no value");
}

TEST_F(CommandLine, MissingValuesAndUnknownOptions) {
    auto r = options.Parse({"dir", "--threads"});
    EXPECT_EQ(r.eError, Error::MissingValue);
    EXPECT_EQ(r.strError, "--threads needs a value");
    EXPECT_EQ(options.Parse({"-o"}).strError, "-o needs a value");
    r = options.Parse({"--bogus", "dir"});
    EXPECT_EQ(r.eError, Error::UnknownOption);
    EXPECT_EQ(r.strError, "unknown option --bogus");
    EXPECT_EQ(options.Parse({"--bogus=3"}).strError, "unknown option --bogus=3");
}

TEST_F(CommandLine, DashIsAPathAndDoubleDashEndsTheOptions) {
    auto r = options.Parse({"-", "--", "-c", "--", "--threads"});
    ASSERT_TRUE(r) << r.strError;
    EXPECT_EQ(r.positional, (Args{"-", "-c", "--", "--threads"}));
    EXPECT_FALSE(compress);
}

TEST_F(CommandLine, HelpStopsTheParseWhateverFollows) {
    const auto r = options.Parse({"-c", "-h", "--bogus", "--threads", "0"});
    ASSERT_TRUE(r);
    EXPECT_TRUE(r.bStopped);
    EXPECT_TRUE(help);
    EXPECT_EQ(options.Parse({"--bogus", "--help"}).eError, Error::UnknownOption);  // in order
}

TEST_F(CommandLine, HelpComesFromTheDeclarations) {
    EXPECT_EQ(options.Synopsis(), "[-o FILE] [-c] [--threads N] [--after S] [--sort size|name]");
    EXPECT_EQ(options.Table(),
              "  -o FILE            write to FILE\n"
              "  -c                 compress\n"
              "  --threads N        threads\n"
              "  --after S\n"
              "  --sort size|name\n"
              "  -h, --help         show this help\n");
}

}  // namespace
}  // namespace sizewalk
