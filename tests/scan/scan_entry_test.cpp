#include <gtest/gtest.h>

#include <string>

#include "platform/find_record.h"
#include "scan/scan_entry.h"

namespace sizewalk {
namespace {

FindRecord Record(std::uint32_t attributes, std::uint32_t high, std::uint32_t low,
                  std::string_view name = "x") {
    FindRecord r;
    r.dwFileAttributes = attributes;
    r.nFileSizeHigh = high;
    r.nFileSizeLow = low;
    r.cFileName = name;
    return r;
}

TEST(ScanEntry, RecordFacts) {
    struct Case {
        std::uint32_t attributes, high, low;
        bool directory;
        double size;
    };
    const Case cases[] = {
        {0x10, 0, 0, true, 0.0},
        {0x20, 0, 0, false, 0.0},
        {0x30, 0, 0, true, 0.0},  // directory bit among others
        {0x80, 0, 10, false, 10.0},
        {0x80, 1, 0, false, 4294967296.0},
        {0x80, 1, 1, false, 4294967297.0},
        {0x80, 0, 0xFFFFFFFFu, false, 4294967295.0},
        {0x80, 0xFFFFFFFFu, 0xFFFFFFFFu, false, 18446744073709551615.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "attributes " << c.attributes << " size " << c.high << ":" << c.low);
        const FindRecord r = Record(c.attributes, c.high, c.low);
        const CScanEntry e(r, "x");
        EXPECT_EQ(e.IsDirectory() != 0, c.directory);
        EXPECT_EQ(e.IsDirectory(), c.directory ? 0x10 : 0);
        if (!c.directory) {
            EXPECT_EQ(e.GetFileSize(), c.size);
            EXPECT_EQ(FileSizeFromHalves(c.high, c.low), c.size);
        } else {
            EXPECT_EQ(e.GetFileSize(), 0.0);  // a directory's own size never counts
            EXPECT_EQ(e.m_nSize, 0.0);
        }
    }
}

TEST(ScanEntry, CountsSeparatorBytesOnly) {
    const struct {
        const char* text;
        int count;
    } cases[] = {{"", 0},   {"/", 1},      {"./Data", 1},   {"/a/b//c/", 5},
                 {"\\", 0}, {"a\\b/c", 1}, {"\xff/\xfe", 1}};
    for (const auto& c : cases) EXPECT_EQ(CountSeparators(c.text), c.count) << c.text;
}

TEST(ScanEntry, NamesAreKeptWhole) {
    const std::string longest(255, 'n');
    const std::string bytes = "caf\xe9\n\x01\xff";
    for (const std::string& name : {longest, bytes, std::string(259, 'p')}) {
        const CScanEntry e(Record(0x80, 0, 1, name), name.c_str());
        EXPECT_EQ(e.GetName(), name);
        EXPECT_EQ(e.GetName().size(), name.size());
    }
}

}  // namespace
}  // namespace sizewalk
