// The walk on a pool of threads: the same list as the sequential walk
// whatever the thread count, stopping, progress, and the cases that used to
// lose entries (records larger than the read buffer, a low limit on open
// files, mounts deep down).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "scan/dir_scanner.h"
#include "tests/scan/listing_hook.h"
#include "tests/scan/scan_rows.h"
#include "tests/temp_tree.h"

namespace sizewalk {
namespace {

using test::ByName;
using test::Row;
using test::Rows;
using test::TempTree;

constexpr int kThreadCounts[] = {1, 2, 8, 64};

std::vector<Row> ScanRows(const std::string& root, int threads) {
    CDirScanner s;
    s.SetThreadCount(threads);
    EXPECT_EQ(s.Scan(root), ScanStatus::Complete);
    return Rows(s);
}

void ExpectSameAtEveryThreadCount(const std::string& root, std::size_t minimum) {
    const std::vector<Row> expected = ScanRows(root, 1);
    ASSERT_GE(expected.size(), minimum);
    for (int threads : kThreadCounts) {
        for (int run = 0; run < 2; ++run) {
            const std::vector<Row> rows = ScanRows(root, threads);
            ASSERT_EQ(rows.size(), expected.size()) << threads << " threads";
            for (std::size_t i = 0; i < rows.size(); ++i)
                ASSERT_EQ(rows[i], expected[i]) << "entry " << i << ", " << threads << " threads";
        }
    }
}

// Wide, deep past the handles a walk holds, empty, linked, special and
// unreadable directories in one tree.
void BuildMixedTree(const TempTree& t) {
    t.Dir("wide");
    for (int i = 0; i < 3000; ++i) t.File(test::Numbered("wide/f", i), i);
    for (int i = 0; i < 40; ++i) {
        const std::string d = test::Numbered("wide/d", i);
        t.Dir(d);
        for (int j = 0; j < i % 5; ++j) t.File(d + test::Numbered("/g", j), 1000 + j);
    }
    std::string deep = "deep";
    t.Dir(deep);
    for (int level = 0; level < 200; ++level) {
        t.File(deep + test::Numbered("/at", level), level);
        deep += "/d";
        t.Dir(deep);
    }
    t.Dir("empty");
    t.Dir("empty/inner");
    t.Link("..", "wide/up");
    t.Link(t.Path("deep"), "to-deep");
    t.Link("nowhere", "dangling");
    ASSERT_EQ(::mkfifo(t.Path("fifo").c_str(), 0644), 0);
    t.Dir("locked");
    t.File("locked/secret", 77);
    ASSERT_EQ(::chmod(t.Path("locked").c_str(), 0), 0);
    t.File("multi", 4096);
    ASSERT_EQ(::link(t.Path("multi").c_str(), t.Path("wide/d1/multi-again").c_str()), 0);
}

TEST(ParallelScan, EveryThreadCountGivesTheSequentialList) {
    TempTree t;
    BuildMixedTree(t);
    ExpectSameAtEveryThreadCount(t.Root(), 3500);

    // And where the locked directory really cannot be read.
    if (::geteuid() == 0) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
            ExpectSameAtEveryThreadCount(t.Root(), 3500);
            ::_exit(::testing::Test::HasFailure() ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "unprivileged scans differ between thread counts";
    }
}

TEST(ParallelScan, StopLeavesTheScannerEmptyAndTheNextScanIsWhole) {
    TempTree t;
    for (int d = 0; d < 40; ++d) {
        t.Dir(test::Numbered("d", d));
        for (int f = 0; f < 500; ++f) t.File(test::Numbered("d", d) + test::Numbered("/f", f), 1);
    }
    const std::size_t whole = 1 + 40 + 40 * 500;
    for (int threads : {1, 8}) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        CDirScanner s;
        s.SetThreadCount(threads);
        CScanProgress progress;

        progress.RequestStop();  // asked for before the scan starts
        EXPECT_EQ(s.Scan(t.Root(), &progress), ScanStatus::Stopped);
        EXPECT_EQ(s.GetCount(), 0u);

        progress.Reset();
        std::thread stopper([&] {
            while (progress.GetSnapshot().nEntries == 0) std::this_thread::yield();
            progress.RequestStop();
        });
        const ScanStatus status = s.Scan(t.Root(), &progress);
        stopper.join();
        EXPECT_EQ(status, ScanStatus::Stopped);
        EXPECT_EQ(s.GetCount(), 0u);
        EXPECT_EQ(s.GetNext(), nullptr);

        progress.Reset();
        EXPECT_EQ(s.Scan(t.Root(), &progress), ScanStatus::Complete);
        EXPECT_EQ(s.GetCount(), whole);
        EXPECT_EQ(s.GetAt(0).m_nSize, 20000.0);

        // Stops later on, among the directories or while the list is laid
        // out: each scan is either stopped and empty or whole.
        int stoppedLater = 0;
        for (int delayUs : {200, 1000, 3000, 10000}) {
            progress.Reset();
            std::thread later([&] {
                std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
                progress.RequestStop();
            });
            const ScanStatus late = s.Scan(t.Root(), &progress);
            later.join();
            if (late == ScanStatus::Stopped) {
                EXPECT_EQ(s.GetCount(), 0u) << delayUs;
                ++stoppedLater;
            } else {
                EXPECT_EQ(s.GetCount(), whole) << delayUs;
            }
        }
        EXPECT_GT(stoppedLater, 0);
    }
}

// Counts go up only, and end at the list's totals: on disk, a file with
// several links counts once however many of its links the walk meets.
TEST(ParallelScan, ProgressNeverGoesBackAndEndsWithTheList) {
    TempTree t;
    for (int d = 0; d < 100; ++d) {
        t.Dir(test::Numbered("d", d));
        for (int f = 0; f < 200; ++f) t.File(test::Numbered("d", d) + test::Numbered("/f", f), 3);
    }
    const std::string block(4096, 'x');
    for (int f = 0; f < 50; ++f) {
        const std::string first = t.Path(test::Numbered("d0/linked", f));
        const int fd = ::open(first.c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, block.data(), block.size()), static_cast<ssize_t>(block.size()));
        ::close(fd);
        for (int d = 1; d < 100; d += 10)
            ASSERT_EQ(::link(first.c_str(),
                             t.Path(test::Numbered("d", d) + test::Numbered("/l", f)).c_str()),
                      0);
    }
    for (int threads : {1, 8}) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        CDirScanner s;
        s.SetThreadCount(threads);
        CScanProgress progress;
        std::atomic<bool> done{false};
        bool backwards = false, strangeDir = false;
        std::thread watcher([&] {
            CScanProgress::Snapshot last;
            while (!done.load()) {
                const CScanProgress::Snapshot now = progress.GetSnapshot();
                backwards |= now.nEntries < last.nEntries || now.nBytes < last.nBytes ||
                             now.nDiskBytes < last.nDiskBytes;
                strangeDir |= !now.strDir.empty() && now.strDir.rfind(t.Root(), 0) != 0;
                last = now;
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        EXPECT_EQ(s.Scan(t.Root(), &progress), ScanStatus::Complete);
        done = true;
        watcher.join();
        EXPECT_FALSE(backwards);
        EXPECT_FALSE(strangeDir);
        const CScanProgress::Snapshot end = progress.GetSnapshot();
        EXPECT_EQ(end.nEntries, s.GetCount());
        EXPECT_EQ(static_cast<double>(end.nBytes), s.GetAt(0).m_nSize);
        EXPECT_EQ(end.nDiskBytes, s.GetAt(0).GetDiskSize());
        EXPECT_FALSE(end.strDir.empty());
    }
}

// getdents64 refuses a record larger than the space left; such a record
// must make the buffer grow, not end the listing.
TEST(ParallelScan, RecordsLargerThanTheReadBufferAreNotLost) {
    TempTree t;
    t.Dir("mixed");
    for (int i = 0; i < 150; ++i) t.File(test::Numbered("mixed/s", i), 10);
    t.File("mixed/" + std::string(255, 'L'), 0);
    for (int i = 0; i < 5; ++i) t.File(test::Numbered("mixed/big", i), 100000);
    for (int threads : {1, 8}) {
        for (std::size_t first : {std::size_t{24}, std::size_t{300}, std::size_t{4096}}) {
            // Also as on file systems whose reads may stop short anywhere.
            for (bool untilEmpty : {false, true}) {
                SCOPED_TRACE(testing::Message() << threads << " threads, first read " << first
                                                << (untilEmpty ? ", read until empty" : ""));
                CDirScanner s;
                s.SetThreadCount(threads);
                s.SetReadingForTesting(first, untilEmpty);
                s.Scan(t.Root());
                EXPECT_EQ(s.GetCount(), 2u + 156u);
                EXPECT_EQ(s.GetAt(0).m_nSize, 150.0 * 10 + 5 * 100000.0);
            }
        }
    }
}

class FileLimit {
public:
    explicit FileLimit(rlim_t limit) {
        EXPECT_EQ(::getrlimit(RLIMIT_NOFILE, &m_old), 0);
        rlimit low = m_old;
        low.rlim_cur = std::min(limit, m_old.rlim_cur);
        EXPECT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    }
    ~FileLimit() { ::setrlimit(RLIMIT_NOFILE, &m_old); }

private:
    rlimit m_old{};
};

TEST(ParallelScan, LowOpenFileLimitGivesTheSameList) {
    TempTree t;
    // Many directories side by side and a chain deeper than the limit.
    for (int a = 0; a < 30; ++a) {
        const std::string da = test::Numbered("a", a);
        t.Dir(da);
        for (int b = 0; b < 12; ++b) {
            const std::string db = da + test::Numbered("/b", b);
            t.Dir(db);
            for (int f = 0; f < 25; ++f) t.File(db + test::Numbered("/f", f), f);
        }
    }
    std::string deep = "deep";
    t.Dir(deep);
    for (int level = 0; level < 150; ++level) {
        deep += "/d";
        t.Dir(deep);
        t.File(deep + "/x", 1);
    }
    const std::vector<Row> expected = ScanRows(t.Root(), 1);
    ASSERT_GT(expected.size(), 9000u);
    FileLimit limit(64);
    for (int threads : kThreadCounts) {
        const std::vector<Row> rows = ScanRows(t.Root(), threads);
        ASSERT_EQ(rows.size(), expected.size()) << threads << " threads";
        EXPECT_TRUE(rows == expected) << threads << " threads";
    }
    // The rest of the program holds all but a few of them: fewer handles
    // are free than there are threads, and still nothing is lost.
    std::vector<int> held;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) held.push_back(fd);
    for (int keepFree = 4; keepFree-- > 0 && !held.empty(); held.pop_back()) ::close(held.back());
    for (int threads : {8, 64}) {
        for (int run = 0; run < 3; ++run) {
            const std::vector<Row> rows = ScanRows(t.Root(), threads);
            ASSERT_EQ(rows.size(), expected.size()) << threads << " threads, run " << run;
            EXPECT_TRUE(rows == expected) << threads << " threads, run " << run;
        }
    }
    for (int fd : held) ::close(fd);
}

// A bind mount of the start's own device is another mount: listed, never
// entered, near the start and below the depth where handles are given back.
TEST(ParallelScan, BindMountsAreNotEnteredAtAnyDepth) {
    TempTree t;
    t.Dir("target");
    t.File("target/inside", 500);
    t.Dir("near");
    std::string deep = "far";
    t.Dir(deep);
    for (int level = 0; level < 140; ++level) {
        deep += "/d";
        t.Dir(deep);
    }
    if (::mount(t.Path("target").c_str(), t.Path("near").c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "cannot bind-mount here: " << std::strerror(errno);
    const bool farMounted =
        ::mount(t.Path("target").c_str(), t.Path(deep).c_str(), nullptr, MS_BIND, nullptr) == 0;
    for (int threads : {1, 8}) {
        const std::vector<Row> rows = ScanRows(t.Root(), threads);
        int inside = 0;
        for (const Row& r : rows) inside += r.name == "inside";
        EXPECT_EQ(inside, 1) << threads << " threads";
        const auto m = ByName(rows);
        EXPECT_EQ(m.at("near").value, 0.0);
        std::size_t deepest = 0;
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].depth > rows[deepest].depth) deepest = i;
        EXPECT_EQ(rows[deepest].name, "d");
        EXPECT_EQ(rows[deepest].depth, rows[0].depth + 2 + 140);
        EXPECT_EQ(m.at("far").value, 0.0);
        EXPECT_EQ(rows[0].value, 500.0) << threads << " threads";
    }
    if (farMounted) ::umount(t.Path(deep).c_str());
    ::umount(t.Path("near").c_str());
    EXPECT_TRUE(farMounted);
}

// Holds the first read call of one kind (a batch of the listing, or an
// entry's size) until the test has asked for a stop, and counts the calls.
class PausingHook : public ListingHookForTesting {
public:
    explicit PausingHook(bool listing) : m_bListing(listing) {}

    void OnReadCall(bool listing) override {
        (listing ? m_nListing : m_nSizes).fetch_add(1);
        if (listing != m_bListing || m_bPaused.exchange(true)) return;
        std::unique_lock<std::mutex> lock(m_lock);
        m_bReached = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_bReleased; });
    }
    void WaitUntilPaused() {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(lock, [this] { return m_bReached; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bReleased = true;
        m_changed.notify_all();
    }
    int Listing() const { return m_nListing.load(); }
    int Sizes() const { return m_nSizes.load(); }

private:
    const bool m_bListing;
    std::atomic<int> m_nListing{0}, m_nSizes{0};
    std::atomic<bool> m_bPaused{false};
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_bReached = false, m_bReleased = false;
};

// A stop asked for while one huge directory is being read is seen before
// the next system call of that read, whether it is listing the names or
// reading their sizes: not after all 150,000 of them.
TEST(ParallelScan, StopIsSeenInsideTheReadOfAHugeDirectory) {
    TempTree t;
    t.Dir("huge");
    // In memory where the test may mount, so that making the files is quick.
    struct Unmount {
        std::string path;
        bool bMounted;
        ~Unmount() {
            if (bMounted) ::umount2(path.c_str(), MNT_DETACH);
        }
    } unmount{t.Path("huge"), ::mount("none", t.Path("huge").c_str(), "tmpfs", 0, "size=64m") == 0};
    constexpr int kFiles = 150000;
    for (int i = 0; i < kFiles; ++i) {
        const int fd =
            ::open(t.Path(test::Numbered("huge/file-", i)).c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    for (bool listing : {true, false}) {
        for (int threads : {1, 8}) {
            SCOPED_TRACE(testing::Message()
                         << (listing ? "listing, " : "sizes, ") << threads << " threads");
            PausingHook hook(listing);
            test::HookScope scope(hook);
            CDirScanner s;
            s.SetThreadCount(threads);
            CScanProgress progress;
            ScanStatus status = ScanStatus::Complete;
            std::thread scan([&] { status = s.Scan(t.Path("huge"), &progress); });
            hook.WaitUntilPaused();
            progress.RequestStop();
            hook.Release();
            scan.join();
            EXPECT_EQ(status, ScanStatus::Stopped);
            EXPECT_EQ(s.GetCount(), 0u);
            if (listing) {
                EXPECT_EQ(hook.Listing(), 1);  // the batch under way, and no further one
                EXPECT_EQ(hook.Sizes(), 0);
            } else {
                EXPECT_GT(hook.Listing(), 1);  // the names took several batches
                EXPECT_EQ(hook.Sizes(), 1);    // of kFiles
            }
        }
    }
}

}  // namespace
}  // namespace sizewalk
