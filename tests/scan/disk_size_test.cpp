// Sizes on disk: blocks rather than lengths, directories' own blocks, and a
// file with several hard links counted once, as du counts them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "scan/dir_scanner.h"
#include "tests/scan/scan_rows.h"
#include "tests/temp_tree.h"

namespace sizewalk {
namespace {

using test::ByName;
using test::Rows;
using test::TempTree;

void Write(const TempTree& t, const std::string& rel, std::size_t bytes) {
    const int fd = ::open(t.Path(rel).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const std::vector<char> data(bytes, 'x');
    ASSERT_EQ(::write(fd, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    ASSERT_EQ(::fsync(fd), 0);
    ::close(fd);
}

// What `du -s -B1 -x` counts for `path`, or -1 where du cannot be run.
long long DiskUsage(const std::string& path) {
    const std::string cmd = "du -s -B1 -x '" + path + "' 2>/dev/null";
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (!pipe) return -1;
    long long bytes = -1;
    if (std::fscanf(pipe, "%lld", &bytes) != 1) bytes = -1;
    ::pclose(pipe);
    return bytes;
}

std::uint64_t OwnBlocks(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return static_cast<std::uint64_t>(st.st_blocks) * 512;
}

TEST(DiskSize, SparseAndWrittenFiles) {
    TempTree t;
    t.File("sparse", 4294967296ull);
    Write(t, "written", 5000);
    for (int threads : {1, 8}) {
        CDirScanner s;
        s.SetThreadCount(threads);
        s.Scan(t.Root());
        const auto m = ByName(Rows(s));
        EXPECT_EQ(m.at("sparse").value, 4294967296.0);
        EXPECT_LT(m.at("sparse").disk, 64u * 1024);  // a hole takes no blocks
        EXPECT_GE(m.at("written").disk, 5000u);
        EXPECT_EQ(m.at("written").disk % 512, 0u);
        EXPECT_EQ(m.at("written").disk, OwnBlocks(t.Path("written")));
        EXPECT_EQ(s.GetAt(0).GetDiskSize(),
                  OwnBlocks(t.Root()) + m.at("sparse").disk + m.at("written").disk);
        EXPECT_EQ(static_cast<long long>(s.GetAt(0).GetDiskSize()), DiskUsage(t.Root()));
    }
}

TEST(DiskSize, HardLinksTakeTheirBlocksOnceAtTheFirstLink) {
    TempTree t;
    for (const char* d : {"a", "b", "c"}) t.Dir(d);
    Write(t, "a/one", 1 << 20);
    ASSERT_EQ(::link(t.Path("a/one").c_str(), t.Path("b/two").c_str()), 0);
    ASSERT_EQ(::link(t.Path("a/one").c_str(), t.Path("c/three").c_str()), 0);
    const std::uint64_t blocks = OwnBlocks(t.Path("a/one"));
    ASSERT_GE(blocks, 1u << 20);
    for (int threads : {1, 8}) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        CDirScanner s;
        s.SetThreadCount(threads);
        s.Scan(t.Root());
        const auto rows = Rows(s);
        EXPECT_EQ(rows[0].value, 3.0 * (1 << 20));  // apparent: every link
        // On disk: whichever link comes first in the list holds the blocks.
        std::uint64_t linked = 0;
        int holders = 0;
        for (const auto& r : rows) {
            if (r.directory) continue;
            linked += r.disk;
            holders += r.disk != 0;
        }
        EXPECT_EQ(linked, blocks);
        EXPECT_EQ(holders, 1);
        for (const auto& r : rows) {
            if (!r.directory || r.depth == rows[0].depth) continue;
            const std::uint64_t own = OwnBlocks(r.dir + "/" + r.name);
            EXPECT_TRUE(r.disk == own || r.disk == own + blocks) << r.name;
        }
        EXPECT_EQ(static_cast<long long>(rows[0].disk), DiskUsage(t.Root()));
    }
}

TEST(DiskSize, DirectoriesCountTheirOwnBlocks) {
    TempTree t;
    t.Dir("crowded");
    for (int i = 0; i < 3000; ++i) t.File("crowded/" + std::string(60, 'n') + std::to_string(i), 0);
    t.Dir("crowded/sub");
    CDirScanner s;
    s.Scan(t.Root());
    const auto m = ByName(Rows(s));
    EXPECT_GT(m.at("crowded").disk, 4096u);  // many names need many blocks
    EXPECT_EQ(m.at("crowded").disk,
              OwnBlocks(t.Path("crowded")) + OwnBlocks(t.Path("crowded/sub")));
    EXPECT_EQ(m.at("crowded").value, 0.0);  // apparent sizes stay lengths only
    EXPECT_EQ(static_cast<long long>(s.GetAt(0).GetDiskSize()), DiskUsage(t.Root()));
}

// What is mounted into the tree lies on another file system: its blocks do
// not count on disk, as du -x leaves them out, while its length still
// counts, as find -xdev lists it.
TEST(DiskSize, BlocksOfOtherFileSystemsDoNotCount) {
    TempTree t;
    Write(t, "here", 20000);
    Write(t, "covered", 10);
    t.Dir("mnt");
    if (::mount("none", t.Path("mnt").c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount here: " << std::strerror(errno);
    {
        const int fd = ::open(t.Path("mnt/inside").c_str(), O_CREAT | O_WRONLY, 0644);
        EXPECT_EQ(::write(fd, "x", 1), 1);
        ::close(fd);
    }
    const bool fileMounted = ::mount(t.Path("mnt/inside").c_str(), t.Path("covered").c_str(),
                                     nullptr, MS_BIND, nullptr) == 0;
    CDirScanner s;
    s.Scan(t.Root());
    const auto m = ByName(Rows(s));
    const long long du = DiskUsage(t.Root());
    if (fileMounted) ::umount(t.Path("covered").c_str());
    ::umount(t.Path("mnt").c_str());
    ASSERT_TRUE(fileMounted);
    EXPECT_EQ(m.at("mnt").disk, 0u);
    EXPECT_EQ(m.at("covered").disk, 0u);
    EXPECT_EQ(m.at("covered").value, 1.0);  // the mounted file's length
    EXPECT_EQ(static_cast<long long>(s.GetAt(0).GetDiskSize()), du);
}

// A btrfs subvolume and its snapshots each have a device number of their
// own: listed, never entered, so that their shared blocks are not counted
// three times, and the total is what du -x says.
TEST(DiskSize, BtrfsSubvolumesAndSnapshotsAreNotEntered) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a btrfs image needs root";
    TempTree t;
    t.Dir("mnt");
    const std::string image = t.Path("btrfs.img"), mnt = t.Path("mnt");
    const std::string make = "truncate -s 160M '" + image + "' && mkfs.btrfs -q '" + image +
                             "' >/dev/null 2>&1 && mount -o loop '" + image + "' '" + mnt + "'";
    if (std::system(make.c_str()) != 0)
        GTEST_SKIP() << "cannot make and mount a btrfs image here (mkfs.btrfs, loop devices)";
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mnt};
    const std::string subvolumes = "btrfs -q subvolume create '" + mnt + "/vol' >/dev/null";
    ASSERT_EQ(std::system(subvolumes.c_str()), 0);
    Write(t, "mnt/vol/data", 3000000);
    for (const char* snap : {"snap1", "snap2"}) {
        const std::string cmd =
            "btrfs -q subvolume snapshot '" + mnt + "/vol' '" + mnt + "/" + snap + "' >/dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    t.Dir("mnt/plain");
    Write(t, "mnt/plain/here", 5000);
    ::sync();
    const long long du = DiskUsage(mnt);
    for (int threads : {1, 8}) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        CDirScanner s;
        s.SetThreadCount(threads);
        s.Scan(mnt);
        const auto rows = Rows(s);
        const auto m = ByName(rows);
        EXPECT_EQ(m.count("data"), 0u);
        for (const char* d : {"vol", "snap1", "snap2"}) {
            EXPECT_TRUE(m.at(d).directory) << d;
            EXPECT_EQ(m.at(d).value, 0.0) << d;
            EXPECT_EQ(m.at(d).disk, 0u) << d;
        }
        EXPECT_EQ(rows[0].value, 5000.0);
        EXPECT_EQ(static_cast<long long>(rows[0].disk), du);
    }
}

TEST(DiskSize, SystemDirectoryAgreesWithDu) {
    const long long du = DiskUsage("/etc");
    if (du < 0) GTEST_SKIP() << "du is not available";
    CDirScanner s;
    s.Scan("/etc");
    EXPECT_EQ(static_cast<long long>(s.GetAt(0).GetDiskSize()), du);
}

}  // namespace
}  // namespace sizewalk
