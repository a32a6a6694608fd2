#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "scan/dir_scanner.h"
#include "tests/scan/as_unprivileged.h"
#include "tests/scan/listing_hook.h"
#include "tests/scan/scan_rows.h"
#include "tests/temp_tree.h"

namespace sizewalk {
namespace {

using test::AsUnprivileged;
using test::ByName;
using test::Row;
using test::Rows;
using test::TempTree;

// Rebuilds the structure the way the tree fill does (order and keys only) and
// checks it against the paths: every entry's parent must be its directory.
void ExpectKeysMatchPaths(const std::vector<Row>& rows) {
    std::vector<std::size_t> stack;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        while (!stack.empty() && rows[stack.back()].depth >= rows[i].depth) stack.pop_back();
        if (i == 0) {
            EXPECT_EQ(rows[0].dir, rows[0].name);
        } else {
            ASSERT_FALSE(stack.empty()) << rows[i].name;
            const Row& parent = rows[stack.back()];
            std::string parentPath = stack.back() == 0 ? parent.name : parent.dir;
            if (stack.back() != 0) {
                if (parentPath.back() != '/') parentPath += '/';
                parentPath += parent.name;
            }
            EXPECT_EQ(rows[i].dir, parentPath) << rows[i].name;
        }
        if (rows[i].directory) stack.push_back(i);
    }
}

class CwdGuard {
public:
    explicit CwdGuard(const std::string& dir) {
        if (!::getcwd(m_old, sizeof m_old) || ::chdir(dir.c_str()) != 0) ADD_FAILURE() << "chdir";
    }
    ~CwdGuard() {
        if (::chdir(m_old) != 0) ADD_FAILURE() << "chdir back";
    }

private:
    char m_old[PATH_MAX];
};

// A line of /proc/self/status in KiB, such as "VmRSS:" or the peak "VmHWM:".
long ResidentKiB(const std::string& key) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(key.size()));
    return -1;
}

// Starts the peak ("VmHWM:") afresh from the current resident size.
bool ResetPeakResident() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.close();
    return clear.good();
}

TEST(DirScanner, ExampleTreeInPreOrderWithKeysAndTotals) {
    TempTree t;
    t.Dir("Data");
    t.File("Data/a.txt", 10);
    t.Dir("Data/sub");
    t.File("Data/sub/b.txt", 5);
    CwdGuard cwd(t.Root());

    CDirScanner s;
    s.Scan("./Data");  // one separator, as in C:\Data
    auto rows = Rows(s);
    for (Row& r : rows) r.disk = 0;  // the file system's business
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (Row{"./Data", "./Data", 0, true, 15, 0}));
    // a.txt and sub in enumeration order, b.txt right after sub.
    std::size_t sub = rows[1].name == "sub" ? 1 : 2;
    EXPECT_EQ(rows[sub], (Row{"sub", "./Data", 2, true, 5, 0}));
    EXPECT_EQ(rows[sub + 1], (Row{"b.txt", "./Data/sub", 3, false, 5, 0}));
    EXPECT_EQ(rows[sub == 1 ? 3 : 1], (Row{"a.txt", "./Data", 2, false, 10, 0}));
    ExpectKeysMatchPaths(rows);
}

TEST(DirScanner, EmptyStartDirectoryIsOneEntry) {
    TempTree t;
    CDirScanner s;
    s.Scan(t.Root());
    const auto rows = Rows(s);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, t.Root());
    EXPECT_TRUE(rows[0].directory);
    EXPECT_EQ(rows[0].value, 0.0);
}

TEST(DirScanner, StartThatIsNotADirectoryYieldsOnlyTheStartEntry) {
    TempTree t;
    t.File("plain", 3);
    CDirScanner s;
    for (const std::string& p : {t.Path("plain"), t.Path("missing"), std::string()}) {
        s.Scan(p);
        ASSERT_EQ(s.GetCount(), 1u) << p;
        EXPECT_EQ(s.GetAt(0).GetName(), p);
        EXPECT_EQ(s.GetAt(0).m_nSize, 0.0);
    }
}

TEST(DirScanner, HugeSparseFilesAreSummedExactly) {
    TempTree t;
    t.Dir("big");
    t.File("big/four-gib", 4294967296ull);
    t.File("big/four-gib-and-one", 4294967297ull);
    t.File("ten-gib", 10737418240ull);
    CDirScanner s;
    s.Scan(t.Root());
    const auto m = ByName(Rows(s));
    EXPECT_EQ(m.at("four-gib").value, 4294967296.0);
    EXPECT_EQ(m.at("four-gib-and-one").value, 4294967297.0);
    EXPECT_EQ(m.at("big").value, 8589934593.0);
    EXPECT_EQ(s.GetAt(0).m_nSize, 8589934593.0 + 10737418240.0);
}

TEST(DirScanner, NamesAreBytes) {
    TempTree t;
    const std::vector<std::string> names = {
        std::string(255, 'L'), "caf\xe9", "new\nline", "\xff\xfe", " lead and trail ", "tab\there"};
    for (const auto& n : names) t.File(n, 7);
    t.Dir("d\x80");
    t.File("d\x80/inner", 1);
    CDirScanner s;
    s.Scan(t.Root());
    const auto rows = Rows(s);
    const auto m = ByName(rows);
    for (const auto& n : names) {
        ASSERT_TRUE(m.count(n)) << n;
        EXPECT_EQ(m.at(n).value, 7.0);
    }
    EXPECT_EQ(m.at("inner").dir, t.Root() + "/d\x80");
    EXPECT_EQ(s.GetAt(0).m_nSize, 7.0 * names.size() + 1);
    ExpectKeysMatchPaths(rows);
}

TEST(DirScanner, LinksAreEntriesNeverFollowed) {
    TempTree t;
    t.Dir("real");
    t.File("real/payload", 1000);
    t.Link("..", "real/up");            // a loop back to the start
    t.Link(t.Path("real"), "to-real");  // a link to a directory
    t.Link("self", "self");             // a link to itself
    t.Link("missing-target", "dangling");
    CDirScanner s;
    s.Scan(t.Root());
    const auto rows = Rows(s);
    const auto m = ByName(rows);
    EXPECT_EQ(rows.size(), 7u);  // start, real, payload, up, to-real, self, dangling
    for (const char* link : {"up", "to-real", "self", "dangling"}) {
        ASSERT_TRUE(m.count(link)) << link;
        EXPECT_FALSE(m.at(link).directory) << link;
    }
    // A link's own size is the length of its target text.
    EXPECT_EQ(m.at("up").value, 2.0);
    EXPECT_EQ(m.at("to-real").value, static_cast<double>(t.Path("real").size()));
    EXPECT_EQ(m.at("real").value, 1002.0);
    ExpectKeysMatchPaths(rows);
}

TEST(DirScanner, HardLinksCountOncePerLink) {
    TempTree t;
    t.File("original", 100);
    t.Dir("elsewhere");
    ASSERT_EQ(::link(t.Path("original").c_str(), t.Path("elsewhere/again").c_str()), 0);
    CDirScanner s;
    s.Scan(t.Root());
    const auto m = ByName(Rows(s));
    EXPECT_EQ(m.at("again").value, 100.0);
    EXPECT_EQ(m.at("elsewhere").value, 100.0);
    EXPECT_EQ(s.GetAt(0).m_nSize, 200.0);
}

TEST(DirScanner, StartPathNamedThroughALinkIsFollowed) {
    TempTree t;
    t.Dir("real");
    t.File("real/f", 9);
    t.Link(t.Path("real"), "alias");
    CDirScanner s;
    s.Scan(t.Path("alias"));
    ASSERT_EQ(s.GetCount(), 2u);
    EXPECT_EQ(s.GetAt(0).GetName(), t.Path("alias"));
    EXPECT_EQ(s.GetAt(0).m_nSize, 9.0);
}

TEST(DirScanner, SpecialFilesAreCountedNotOpened) {
    TempTree t;
    ASSERT_EQ(::mkfifo(t.Path("fifo").c_str(), 0644), 0);
    int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = t.Path("sock");
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, sockPath.c_str(), sockPath.size() + 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    t.File("plain", 4);
    CDirScanner s;
    s.Scan(t.Root());  // would hang here if the FIFO were opened
    ::close(sock);
    const auto m = ByName(Rows(s));
    EXPECT_EQ(m.size(), 4u);
    EXPECT_FALSE(m.at("fifo").directory);
    EXPECT_FALSE(m.at("sock").directory);
    EXPECT_EQ(s.GetAt(0).m_nSize, 4.0);
}

TEST(DirScanner, UnreadableDirectoryIsListedWithoutChildren) {
    TempTree t;
    t.Dir("locked");
    t.File("locked/secret", 100);
    t.Dir("open");
    t.File("open/visible", 5);
    ASSERT_EQ(::chmod(t.Path("locked").c_str(), 0), 0);
    const std::string root = t.Root();
    AsUnprivileged([&] {
        CDirScanner s;
        s.Scan(root);
        const auto m = ByName(Rows(s));
        const bool ok = m.size() == 4 && m.count("locked") && m.at("locked").directory &&
                        m.at("locked").value == 0.0 && !m.count("secret") &&
                        m.at("open").value == 5.0 && s.GetAt(0).m_nSize == 5.0;
        EXPECT_TRUE(ok);
        return ok;
    });
}

TEST(DirScanner, TreeDeeperThanThePathLimitStopsThereWithoutRunningOutOfHandles) {
    TempTree t;
    // Built with relative mkdir and chdir, since full paths stop working.
    const int levels = PATH_MAX / 2 + 50;
    {
        CwdGuard cwd(t.Root());
        for (int i = 0; i < levels; ++i) {
            ASSERT_EQ(::mkdir("d", 0755), 0) << i;
            ASSERT_EQ(::chdir("d"), 0) << i;
        }
        int fd = ::open("bottom", O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
    rlimit low = old;
    low.rlim_cur = std::min<rlim_t>(old.rlim_cur, 200);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    const bool peakReset = ResetPeakResident();
    const long residentBefore = ResidentKiB("VmRSS:");
    CDirScanner s;
    s.Scan(t.Root());
    ::setrlimit(RLIMIT_NOFILE, &old);
    // Each open level keeps its listing: that must cost about a page for a
    // directory of one entry, not tens of kilobytes (2,000 levels here).
    if (peakReset) {
        EXPECT_LT(ResidentKiB("VmHWM:") - residentBefore, 48 * 1024);
    }

    // Every directory whose path fits was entered; the first one that does
    // not is listed without children; the bottom file is out of reach.
    const std::size_t rootLength = t.Root().size();
    const std::size_t fitting = (PATH_MAX - 1 - rootLength) / 2;  // "/d" per level
    ASSERT_EQ(s.GetCount(), fitting + 2);
    for (std::size_t i = 1; i < s.GetCount(); ++i) {
        EXPECT_EQ(s.GetAt(i).GetName(), "d");
        EXPECT_EQ(s.GetAt(i).m_nDepth, s.GetAt(i - 1).m_nDepth + (i == 1 ? 2 : 1));
    }
    EXPECT_LE(s.GetDir(s.GetAt(s.GetCount() - 1)).size(), std::size_t{PATH_MAX - 1});
}

TEST(DirScanner, TrailingSeparatorOnTheStartKeepsKeysConsistent) {
    TempTree t;
    t.Dir("a");
    t.Dir("a/b");
    t.File("a/b/c", 3);
    t.File("top", 1);
    CDirScanner s;
    s.Scan(t.Root() + "/");  // as the root "/" is scanned
    const auto rows = Rows(s);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].value, 4.0);
    EXPECT_EQ(ByName(rows).at("c").dir, t.Root() + "/a/b");
    ExpectKeysMatchPaths(rows);
}

TEST(DirScanner, RescanReplacesEveryEntry) {
    TempTree t;
    t.Dir("x");
    t.File("x/one", 1);
    t.File("two", 2);
    CDirScanner s;
    s.Scan(t.Root());
    const auto first = Rows(s);
    s.Scan(t.Root());
    EXPECT_EQ(Rows(s), first);  // same disk, same list

    t.File("x/three", 3);
    ASSERT_EQ(::unlink(t.Path("two").c_str()), 0);
    s.Scan(t.Root());
    const auto m = ByName(Rows(s));
    EXPECT_EQ(m.size(), 4u);
    EXPECT_FALSE(m.count("two"));
    EXPECT_EQ(m.at("x").value, 4.0);
    EXPECT_EQ(s.GetAt(0).m_nSize, 4.0);

    TempTree other;
    s.Scan(other.Root());
    EXPECT_EQ(s.GetCount(), 1u);
}

TEST(DirScanner, CursorStopsAtTheEndUntilRewound) {
    TempTree t;
    t.File("f", 1);
    CDirScanner s;
    EXPECT_EQ(s.GetNext(), nullptr);  // never scanned
    s.Scan(t.Root());
    CScanEntry* first = s.GetNext();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(s.GetNext(), nullptr);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(s.GetNext(), nullptr);
    s.Rewind(0);
    EXPECT_EQ(s.GetNext(), first);
    s.Rewind(-1);
    EXPECT_EQ(s.GetNext(), nullptr);
    s.Rewind(1);
    EXPECT_EQ(s.GetNext()->GetName(), "f");
}

TEST(DirScanner, WideDirectory) {
    TempTree t;
    t.Dir("wide");
    for (int i = 0; i < 20000; ++i) t.File(test::Numbered("wide/f", i), 1);
    CDirScanner s;
    s.Scan(t.Root());
    EXPECT_EQ(s.GetCount(), 20002u);
    EXPECT_EQ(s.GetAt(0).m_nSize, 20000.0);
}

TEST(DirScanner, OtherFileSystemsAreListedButNotEntered) {
    TempTree t;
    t.Dir("mnt");
    t.File("here", 1);
    if (::mount("none", t.Path("mnt").c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    {
        int fd = ::open(t.Path("mnt/inside").c_str(), O_CREAT | O_WRONLY, 0644);
        EXPECT_EQ(::ftruncate(fd, 500), 0);
        ::close(fd);
    }
    CDirScanner s;
    s.Scan(t.Root());
    ::umount(t.Path("mnt").c_str());
    const auto m = ByName(Rows(s));
    EXPECT_EQ(m.size(), 3u);
    EXPECT_TRUE(m.at("mnt").directory);
    EXPECT_EQ(m.at("mnt").value, 0.0);
    EXPECT_EQ(s.GetAt(0).m_nSize, 1.0);
}

// Says that some directories lie on another device (a btrfs subvolume or
// snapshot), are automount points not mounted yet, or are mount roots, and
// notes which directories the walk tried to open.
class FactsHook : public ListingHookForTesting {
public:
    void OnFacts(std::string_view name, Facts& facts) override {
        if (test::Names(name, "subvolume")) facts.nDevice += 1;
        if (test::Names(name, "automount")) facts.bAutomount = true;
        if (test::Names(name, "mountroot")) facts.bMountRoot = true;
    }
    int OpenError(std::string_view name) override {
        std::lock_guard<std::mutex> lock(m_lock);
        const std::size_t slash = name.rfind(kPathSeparator);
        m_opened.emplace_back(name.substr(slash == std::string_view::npos ? 0 : slash + 1));
        return 0;
    }
    std::vector<std::string> Opened() {
        std::lock_guard<std::mutex> lock(m_lock);
        std::sort(m_opened.begin(), m_opened.end());
        return std::exchange(m_opened, {});
    }

private:
    std::mutex m_lock;
    std::vector<std::string> m_opened;
};

// The rule is decided from the directory's own stat, before it is opened:
// an automount point is never opened (opening would mount it), and another
// device is never entered, its own blocks not counted.
TEST(DirScanner, OtherDevicesAndAutomountPointsAreListedNeverOpened) {
    TempTree t;
    for (const char* d : {"subvolume", "automount", "mountroot", "plain", "plain/below"}) {
        t.Dir(d);
        t.File(std::string(d) + "/inside", 7);
    }
    ASSERT_EQ(::mkfifo(t.Path("fifo").c_str(), 0600), 0);
    t.Link("plain", "link");
    FactsHook hook;
    test::HookScope scope(hook);
    for (int threads : {1, 8}) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        CDirScanner s;
        s.SetThreadCount(threads);
        s.Scan(t.Root());
        const std::vector<Row> rows = Rows(s);
        const auto m = ByName(rows);
        std::vector<std::string> opened{"below", "plain", t.Root().substr(t.Root().rfind('/') + 1)};
        std::sort(opened.begin(), opened.end());
        EXPECT_EQ(hook.Opened(), opened);  // the start, and what the rule lets in
        for (const char* d : {"subvolume", "automount", "mountroot"}) {
            EXPECT_TRUE(m.at(d).directory) << d;
            EXPECT_EQ(m.at(d).value, 0.0) << d;
        }
        EXPECT_EQ(m.at("subvolume").disk, 0u);  // another device's blocks
        struct stat st {};
        ASSERT_EQ(::lstat(t.Path("automount").c_str(), &st), 0);
        EXPECT_EQ(m.at("automount").disk, static_cast<std::uint64_t>(st.st_blocks) * 512);
        // plain/inside, plain/below/inside and the link's own 5 bytes ("plain")
        EXPECT_EQ(rows[0].value, 19.0);
        EXPECT_TRUE(test::Walk(t.Root(), threads).unreadable.empty());
        hook.Opened();  // forgets the walk's
        // Each entry says what it is, for a saved scan to tell ("otherfs",
        // "notreg"): the three not entered, the FIFO and the link.
        std::map<std::string, std::string> kinds;
        const CScanList& list = s.GetList();
        for (std::size_t i = 1; i < list.Count(); ++i)
            kinds[std::string(list[i].GetName())] =
                std::string(list[i].IsOtherFileSystem() ? "otherfs" : "") +
                (list[i].IsNotRegular() ? "notreg" : "");
        EXPECT_EQ(kinds["subvolume"], "otherfs");
        EXPECT_EQ(kinds["automount"], "otherfs");
        EXPECT_EQ(kinds["mountroot"], "otherfs");
        EXPECT_EQ(kinds["plain"], "");
        EXPECT_EQ(kinds["inside"], "");
        EXPECT_EQ(kinds["fifo"], "notreg");
        EXPECT_EQ(kinds["link"], "notreg");
    }
}

}  // namespace
}  // namespace sizewalk
