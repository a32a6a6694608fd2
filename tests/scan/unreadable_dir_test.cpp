// Directories that cannot be read, wholly or in part, are recorded with the
// system's reason by both walks: a failed open, a listing that ends early,
// sizes that cannot be read, a directory that vanished, the start itself.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <string>
#include <string_view>

#include "tests/scan/as_unprivileged.h"
#include "tests/scan/listing_hook.h"
#include "tests/temp_tree.h"

namespace sizewalk {
namespace {

using test::AsUnprivileged;
using test::HookScope;
using test::Names;
using test::TempTree;
using test::Walk;
using test::Walked;

constexpr int kThreadCounts[] = {1, 8};
using Errors = std::map<std::string, int>;

// Fails opening, or reading after the first batch, the directories it names.
class FailingHook : public ListingHookForTesting {
public:
    Errors openErrors, readErrors;  // by directory name; the start by its path

    int OpenError(std::string_view name) override { return Find(openErrors, name); }
    int ReadError(std::string_view name) override { return Find(readErrors, name); }

private:
    static int Find(const Errors& errors, std::string_view name) {
        for (const auto& [dir, error] : errors)
            if (Names(name, dir)) return error;
        return 0;
    }
};

// More entries than any reader's kept buffer takes in one batch.
void ManyFiles(const TempTree& t, const std::string& dir, int n) {
    for (int i = 0; i < n; ++i) t.File(dir + test::Numbered("/f", i), 1);
}

std::size_t CountOf(const Walked& w, std::string_view prefix) {
    std::size_t n = 0;
    for (const auto& [name, count] : w.count)
        if (name.rfind(prefix, 0) == 0) n += count;
    return n;
}

TEST(UnreadableDirs, FailedOpensAndShortReadsAreRecordedWithTheirError) {
    TempTree t;
    t.Dir("a");
    t.Dir("a/locked");
    t.File("a/locked/secret", 100);
    t.Dir("a/partial");
    ManyFiles(t, "a/partial", 3000);
    t.Dir("a/fine");
    t.File("a/fine/x", 5);
    t.Dir("deep");
    t.Dir("deep/locked2");
    FailingHook hook;
    hook.openErrors = {{"locked", EACCES}, {"locked2", EIO}};
    hook.readErrors = {{"partial", EIO}};
    HookScope scope(hook);
    for (int threads : kThreadCounts) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        const Walked w = Walk(t.Root(), threads);
        EXPECT_TRUE(w.bComplete);
        EXPECT_EQ(w.unreadable, (Errors{{"locked", EACCES}, {"locked2", EIO}, {"partial", EIO}}));
        EXPECT_EQ(w.count.count("locked"), 1u);  // listed, without children
        EXPECT_EQ(w.count.count("secret"), 0u);
        const std::size_t read = CountOf(w, "f");
        EXPECT_GT(read, 0u);  // what was read before the failure stays
        EXPECT_LT(read, 3000u);
        EXPECT_EQ(w.count.count("x"), 1u);
    }
}

// The real thing, where permission bits bind: a directory that cannot be
// opened, and one that can be listed but not searched (its names are
// listed, their sizes cannot be read).
TEST(UnreadableDirs, PermissionDenied) {
    TempTree t;
    t.Dir("locked");
    t.File("locked/secret", 100);
    t.Dir("unsearchable");
    t.File("unsearchable/name", 10);
    t.Dir("open");
    t.File("open/visible", 5);
    ASSERT_EQ(::chmod(t.Path("locked").c_str(), 0), 0);
    ASSERT_EQ(::chmod(t.Path("unsearchable").c_str(), 0444), 0);
    const std::string root = t.Root();
    AsUnprivileged([&] {
        bool ok = true;
        for (int threads : kThreadCounts) {
            const Walked w = Walk(root, threads);
            ok &= w.unreadable == Errors{{"locked", EACCES}, {"unsearchable", EACCES}};
            ok &= w.count.count("name") == 1 && w.count.count("secret") == 0 &&
                  w.count.count("visible") == 1;
        }
        return ok;
    });
}

TEST(UnreadableDirs, TheStartDirectory) {
    TempTree t;
    t.Dir("sub");
    ManyFiles(t, "sub", 3000);
    const std::string start = t.Path("sub");
    for (int threads : kThreadCounts) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        FailingHook hook;
        HookScope scope(hook);
        hook.openErrors = {{start, EACCES}};
        Walked w = Walk(start, threads);
        EXPECT_EQ(w.unreadable, (Errors{{start, EACCES}}));
        EXPECT_EQ(w.count.size(), 1u);  // the start entry alone

        hook.openErrors.clear();
        hook.readErrors = {{start, EIO}};
        w = Walk(start, threads);
        EXPECT_EQ(w.unreadable, (Errors{{start, EIO}}));
        EXPECT_GT(w.count.size(), 1u);

        hook.readErrors.clear();
        const std::string missing = t.Path("missing");
        EXPECT_EQ(Walk(missing, threads).unreadable, (Errors{{missing, ENOENT}}));
    }
}

// Removes a directory after its parent was listed and before it is opened:
// at the first size the start's read asks for.
class RemovingHook : public ListingHookForTesting {
public:
    explicit RemovingHook(std::string victim) : m_strVictim(std::move(victim)) {}
    void OnReadCall(bool listing) override {
        if (!listing && !m_bDone.exchange(true)) {
            EXPECT_EQ(::rmdir(m_strVictim.c_str()), 0);
        }
    }

private:
    const std::string m_strVictim;
    std::atomic<bool> m_bDone{false};
};

TEST(UnreadableDirs, DirectoryThatVanishedAfterItsParentWasListed) {
    TempTree t;
    t.File("first", 1);
    t.Dir("kept");
    for (int threads : kThreadCounts) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        t.Dir("gone");
        RemovingHook hook(t.Path("gone"));
        HookScope scope(hook);
        const Walked w = Walk(t.Root(), threads);
        EXPECT_EQ(w.unreadable, (Errors{{"gone", ENOENT}}));
        EXPECT_EQ(w.count.count("gone"), 1u);
        EXPECT_EQ(w.count.count("kept"), 1u);
    }
}

}  // namespace
}  // namespace sizewalk
