#pragma once
// Test helpers for what a disk cannot be made to do on demand: a listing
// hook that is set for one scope, and a walk whose list keeps the record of
// the directories it could not read.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>

#include "platform/dir_listing.h"
#include "scan/dir_scanner.h"

namespace sizewalk::test {

// Sets `hook` for the scope; every scan in it sees what the hook says.
class HookScope {
public:
    explicit HookScope(ListingHookForTesting& hook) { SetListingHookForTesting(&hook); }
    ~HookScope() { SetListingHookForTesting(nullptr); }
    HookScope(const HookScope&) = delete;
    HookScope& operator=(const HookScope&) = delete;
};

// Whether `name` as the hook sees it (a name, or a path relative to an open
// directory) names the directory `last`.
inline bool Names(std::string_view name, std::string_view last) {
    if (name.size() < last.size() || name.substr(name.size() - last.size()) != last) return false;
    return name.size() == last.size() || name[name.size() - last.size() - 1] == kPathSeparator;
}

struct Walked {
    std::map<std::string, int> unreadable;     // directory name (the start: its path) -> error
    std::map<std::string, std::size_t> count;  // how many entries have each name
    bool bComplete = false;
};

// Scans `root` on `threads` threads and keeps what the list records of the
// directories that could not be read.
inline Walked Walk(const std::string& root, int threads, CScanProgress* progress = nullptr) {
    CDirScanner scanner;
    scanner.SetThreadCount(threads);
    Walked w;
    w.bComplete = scanner.Scan(root, progress) == ScanStatus::Complete;
    const CScanList& list = scanner.GetList();
    for (std::size_t i = 0; i < list.Count(); ++i) {
        ++w.count[std::string(list[i].GetName())];
        if (const int error = list.ReadErrorOf(i)) {
            EXPECT_TRUE(list[i].IsDirectory()) << list[i].GetName();
            w.unreadable[std::string(list[i].GetName())] = error;
        }
    }
    return w;
}

}  // namespace sizewalk::test
