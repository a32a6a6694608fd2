// What the command line cannot show of a comparison: the gone entries as
// the tree asks for them, by the directory that held them, and the kinds of
// change, with the children of a directory listed in another order by each
// scan (as two walks, or ncdu and Sizewalk, list them).

#include "model/scan_compare.h"

#include <gtest/gtest.h>

#include <string>

#include "scan/scan_file_list.h"

namespace sizewalk {
namespace {

CScanList Read(const std::string& json) {
    CScanList list;
    CMemorySource source(json);
    ReadScanList(source, list);
    return list;
}

TEST(ScanCompare, ChildrenInAnotherOrderGoneByDirectoryAndKinds) {
    const CScanList older = Read(
        R"([1,2,{},[{"name":"/r"},{"name":"a","asize":10},[{"name":"d"},{"name":"x","asize":5},)"
        R"({"name":"y","asize":7}],{"name":"b","asize":3},{"name":"t","asize":1}]])");
    const CScanList current = Read(
        R"([1,2,{},[{"name":"/elsewhere"},[{"name":"t"},{"name":"in","asize":2}],)"
        R"({"name":"b","asize":3},[{"name":"d"},{"name":"y","asize":4}],{"name":"a","asize":30},)"
        R"({"name":"c","asize":8}]])");
    CScanComparison c;
    c.Compare(current, older);
    EXPECT_TRUE(c.RootsDiffer());
    const SizeMode m = SizeMode::Apparent;
    // Current order: /elsewhere, t, t/in, b, d, d/y, a, c.
    EXPECT_EQ(c.ChangeOf(0, m), 47 - 26);
    EXPECT_EQ(c.KindOf(1, m), CScanComparison::Kind::New);  // a file became a directory
    EXPECT_EQ(c.KindOf(3, m), CScanComparison::Kind::Unchanged);
    EXPECT_EQ(c.ChangeOf(4, m), 4 - 12);  // d: x gone, y shrunk
    EXPECT_EQ(c.KindOf(6, m), CScanComparison::Kind::Grown);
    EXPECT_EQ(c.NewCount(), 3u);
    EXPECT_EQ(c.GoneCount(), 2u);
    ASSERT_EQ(c.GoneIn(0).size(), 1u);
    EXPECT_EQ(c.GonePathOf(c.GoneIn(0)[0].nOlder), "/elsewhere/t");
    ASSERT_EQ(c.GoneIn(4).size(), 1u);
    EXPECT_EQ(c.GonePathOf(c.GoneIn(4)[0].nOlder), "/elsewhere/d/x");
    EXPECT_TRUE(c.GoneIn(6).empty());
}

}  // namespace
}  // namespace sizewalk
