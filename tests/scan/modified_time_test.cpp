// Modification times as both walks record them: each entry's own, and for a
// directory after the roll-up the newest in its subtree (its own included),
// with times outside what the list keeps clamped to its ends.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "scan/dir_scanner.h"
#include "tests/scan/as_unprivileged.h"
#include "tests/temp_tree.h"

namespace sizewalk {
namespace {

using test::TempTree;

void SetTime(const TempTree& t, const std::string& rel, std::int64_t seconds) {
    const timespec times[2] = {{static_cast<time_t>(seconds), 0},
                               {static_cast<time_t>(seconds), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, t.Path(rel).c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << rel;
}

std::map<std::string, std::int64_t> TimesByName(const CScanList& list) {
    std::map<std::string, std::int64_t> byName;
    for (std::size_t i = 1; i < list.Count(); ++i)
        byName[std::string(list[i].GetName())] = list.ModifiedOf(i);
    byName["(start)"] = list.ModifiedOf(0);
    return byName;
}

TEST(ModifiedTimes, BothWalksKeepOwnTimesAndRollTheNewestUp) {
    TempTree t;
    t.Dir("a");
    t.Dir("a/deep");
    t.File("a/deep/new", 1);
    t.File("a/f", 1);
    t.Dir("future");
    t.File("future/far", 1);
    t.File("old", 1);
    t.Link("old", "link");
    t.Dir("locked");
    t.File("locked/hidden", 1);
    t.Dir("empty");
    // Children first: creating an entry touches its directory.
    SetTime(t, "a/deep/new", 3000000000);  // 2065: past 32 signed bits
    SetTime(t, "a/deep", 100);
    SetTime(t, "a/f", 1500000000);
    SetTime(t, "a", 2000000000);
    SetTime(t, "future/far", 5000000000);  // 2128: past what the list keeps
    SetTime(t, "future", 1000);
    SetTime(t, "old", -86400);  // 1969
    SetTime(t, "link", 0);
    SetTime(t, "locked/hidden", 4000000000);  // unseen: the directory cannot be read
    SetTime(t, "locked", 1234567890);
    SetTime(t, "empty", 7);
    SetTime(t, "", 1000000000);
    ASSERT_EQ(::chmod(t.Path("locked").c_str(), 0), 0);

    constexpr std::int64_t kFirst = CScanList::kFirstTime, kLast = CScanList::kLastTime;
    // Directories whose subtree holds nothing newer show their own time.
    const std::map<std::string, std::int64_t> expected = {
        {"(start)", kLast}, {"a", 3000000000},      {"deep", 3000000000}, {"new", 3000000000},
        {"f", 1500000000},  {"future", kLast},      {"far", kLast},       {"old", kFirst},
        {"link", kFirst},   {"locked", 1234567890}, {"empty", 7},
    };
    test::AsUnprivileged([&] {
        bool same = true;
        for (int threads : {1, 8}) {
            CDirScanner scanner;
            scanner.SetThreadCount(threads);
            if (scanner.Scan(t.Root()) != ScanStatus::Complete) return false;
            for (const auto& [name, time] : TimesByName(scanner.GetList())) {
                const auto it = expected.find(name);
                if (it != expected.end() && it->second == time) continue;
                std::fprintf(stderr, "%d threads: %s at %lld\n", threads, name.c_str(),
                             static_cast<long long>(time));
                same = false;
            }
        }
        return same;
    });
}

}  // namespace
}  // namespace sizewalk
