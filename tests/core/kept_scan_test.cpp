// The kept scan holds a list and its root together or neither, whatever it
// is handed.

#include "core/kept_scan.h"

#include <gtest/gtest.h>

#include "scan/dir_scanner.h"
#include "tests/temp_tree.h"

namespace sizewalk {
namespace {

TEST(KeptScan, HoldsAListAndItsRootTogetherOrNeither) {
    test::TempTree t;
    t.File("f", 3);
    CDirScanner scanner;
    auto scan = [&] {
        CScanList list;
        EXPECT_EQ(scanner.ScanInto(t.Root(), list, nullptr), ScanStatus::Complete);
        return list;
    };
    CKeptScan kept;
    EXPECT_FALSE(kept.IsValid());
    kept.ReplaceList(scan());  // nothing to replace: stays empty
    EXPECT_FALSE(kept.IsValid());
    EXPECT_TRUE(kept.List().Empty());

    kept.Take(scan(), t.Root(), ScanOrigin::Opened("a.json", 5));
    ASSERT_TRUE(kept.IsValid());
    EXPECT_EQ(kept.List().Count(), 2u);
    EXPECT_TRUE(kept.IsOpened());

    // No root, or no list: nothing is kept, not even where it came from.
    kept.Take(scan(), "", ScanOrigin::Opened("b.json", {}));
    EXPECT_FALSE(kept.IsValid());
    EXPECT_TRUE(kept.List().Empty());
    EXPECT_FALSE(kept.IsOpened());
    kept.Take(scan(), t.Root(), ScanOrigin::Opened("a.json", 5));
    kept.ReplaceList(CScanList());
    EXPECT_FALSE(kept.IsValid());
    EXPECT_FALSE(kept.IsOpened());
    EXPECT_TRUE(kept.Origin().strFile.empty());
    EXPECT_FALSE(kept.Origin().made);

    kept.Take(scan(), t.Root(), ScanOrigin::Walked());
    kept.Clear();
    EXPECT_FALSE(kept.IsValid());
    EXPECT_TRUE(kept.List().Empty());
}

}  // namespace
}  // namespace sizewalk
