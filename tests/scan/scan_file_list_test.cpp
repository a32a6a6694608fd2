// A saved scan lands in the same list a walk builds: a written scan opens
// as the list it came from, ncdu's export of a tree opens as a scan of that
// tree, and a file that fails part-way leaves no list behind.

#include "scan/scan_file_list.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/scan_file_os.h"
#include "scan/dir_scanner.h"
#include "scan/scan_file_path.h"
#include "tests/temp_tree.h"

namespace sizewalk {
namespace {

// Every entry as the list has it: key, kind, both sizes, name.
std::vector<std::string> Lines(const CScanList& list) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < list.Count(); ++i) {
        const CScanEntry& e = list[i];
        lines.push_back(std::to_string(e.m_nDepth) + (e.IsDirectory() ? " D " : " F ") +
                        std::to_string(e.m_nSize) + " " + std::to_string(e.GetDiskSize()) + " " +
                        std::string(e.GetName()) + (list.ReadErrorOf(i) ? " unreadable" : "") +
                        (e.IsOtherFileSystem() ? " otherfs" : "") +
                        (e.IsNotRegular() ? " notreg" : "") + " modified " +
                        std::to_string(list.ModifiedOf(i)));
    }
    return lines;
}

// A folder's names, sorted.
std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (std::string_view(e->d_name) != "." && std::string_view(e->d_name) != "..")
                names.emplace_back(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void MakeTree(const test::TempTree& t) {
    t.Dir("top");
    t.Dir("top/sub");
    t.Dir("top/sub/empty");
    t.Dir("top/mnt");
    t.File("top/sub/sparse", 1 << 20);
    t.File("top/name with \"quotes\" and \\", 12);
    t.File("top/\xff\xfe not utf-8", 3);
    std::FILE* f = std::fopen(t.Path("top/written").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const std::string bytes(9000, 'x');
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    ASSERT_EQ(::link(t.Path("top/written").c_str(), t.Path("top/sub/again").c_str()), 0);
    ASSERT_EQ(::mkfifo(t.Path("top/fifo").c_str(), 0600), 0);
    t.Link("written", "top/link");
    // A directory older than what it holds: it takes the newest below it.
    const timespec old[2] = {{5, 0}, {5, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, t.Path("top/sub").c_str(), old, 0), 0);
}

TEST(ScanFileList, AWrittenScanOpensAsTheListItCameFrom) {
    test::TempTree t;
    MakeTree(t);
    CDirScanner scanner;
    ASSERT_EQ(scanner.Scan(t.Path("top")), ScanStatus::Complete);
    CScanList& list = scanner.GetList();
    for (std::size_t i = 0; i < list.Count(); ++i) {
        if (list[i].GetName() == "empty") list.MarkUnreadable(i, 13);  // as a walk would
        if (list[i].GetName() == "mnt") list.At(i).MarkOtherFileSystem();
    }
    list.Finish();

    for (bool compress : {false, true}) {
        SCOPED_TRACE(compress ? "zstd" : "plain");
        CStringOutput out;
        ScanFileWriterOptions options;
        options.bCompress = compress;
        CScanFileWriter writer(out, options);
        WriteScanList(scanner.GetList(), writer);

        CMemorySource in(out.m_str);
        CScanList opened;
        ScanFileMetadata metadata;
        ReadScanList(in, opened, &metadata);
        EXPECT_EQ(metadata.strProgName, "sizewalk");
        EXPECT_EQ(Lines(opened), Lines(scanner.GetList()));
        // The second link holds no blocks of its own, on both sides.
        ASSERT_EQ(opened.Dirs().size(), scanner.GetList().Dirs().size());
        EXPECT_EQ(opened[0].GetDiskSize(), scanner.GetList()[0].GetDiskSize());
    }
}

TEST(ScanFileList, AFileThatFailsPartWayLeavesNoList) {
    const std::string good =
        "[1,2,{\"progname\":\"x\"},[{\"name\":\"/r\"},{\"name\":\"a\",\"asize\":5},"
        "[{\"name\":\"d\",\"dsize\":4096,\"asize\":4096,\"read_error\":true}]]]";
    CMemorySource in(good);
    CScanList list;
    ReadScanList(in, list);
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_EQ(list[0].m_nSize, 5u);  // a directory's own apparent size counts 0
    EXPECT_EQ(list[0].GetDiskSize(), 4096u);
    EXPECT_EQ(list.ReadErrorOf(2), CScanList::kErrorFromFile);
    EXPECT_TRUE(list.HasUnreadableBelow(0));
    EXPECT_EQ(list[1].m_nDepth, list[2].m_nDepth);
    EXPECT_EQ(list[0].m_nDepth + 2, list[1].m_nDepth);

    const std::string truncated = good.substr(0, good.size() - 4);
    CMemorySource bad(truncated);
    EXPECT_THROW(ReadScanList(bad, list), ScanFileError);
    EXPECT_TRUE(list.Empty());
}

// Sizes a file may hold (up to 2^63 - 1 each) add up past 2^64: totals stop
// at 2^64 - 1 rather than wrap to less than a child, and such a list saves
// as a file that opens again.
TEST(ScanFileList, TotalsStopAtTheTopRatherThanWrap) {
    const std::string big = "9223372036854775807";
    std::string file = "[1,2,{},[{\"name\":\"/r\"},[{\"name\":\"d\"}";
    for (const char* name : {"a", "b", "c"})
        file +=
            ",{\"name\":\"" + std::string(name) + "\",\"asize\":" + big + ",\"dsize\":" + big + "}";
    file += "],{\"name\":\"e\",\"asize\":1,\"dsize\":1}]]";
    CMemorySource in(file);
    CScanList list;
    ReadScanList(in, list);
    ASSERT_EQ(list.Count(), 6u);
    for (const std::size_t dir : {0u, 1u}) {
        EXPECT_EQ(list[dir].m_nSize, UINT64_MAX) << dir;
        EXPECT_EQ(list[dir].GetDiskSize(), UINT64_MAX) << dir;
    }
    CStringOutput saved;
    CScanFileWriter writer(saved);
    WriteScanList(list, writer);
    CMemorySource again(saved.m_str);
    CScanList reopened;
    ReadScanList(again, reopened);
    EXPECT_EQ(Lines(reopened), Lines(list));
}

// Reading counts what it has read as it goes, and a stop asked for ends it
// with no list, even part way through a long file.
TEST(ScanFileList, ReadingCountsItsEntriesAndStopsWhenAsked) {
    std::string file = "[1,2,{},[{\"name\":\"/r\"}";
    constexpr int kFiles = 10000;  // more than one report's worth
    for (int i = 0; i < kFiles; ++i)
        file += ",{\"name\":\"f" + std::to_string(i) + "\",\"asize\":3,\"dsize\":4096}";
    file += "]]";
    CScanList list;
    CScanProgress progress;
    CMemorySource in(file);
    ReadScanList(in, list, nullptr, {}, &progress);
    ASSERT_EQ(list.Count(), kFiles + 1u);
    const CScanProgress::Snapshot counted = progress.GetSnapshot();
    EXPECT_EQ(counted.nEntries, list.Count());
    EXPECT_EQ(counted.nBytes, 3u * kFiles);
    EXPECT_EQ(counted.nDiskBytes, 4096u * kFiles);

    CScanProgress stopped;
    stopped.RequestStop();
    CMemorySource again(file);
    EXPECT_THROW(ReadScanList(again, list, nullptr, {}, &stopped), ScanFileStopped);
    EXPECT_TRUE(list.Empty());
    EXPECT_LE(stopped.GetSnapshot().nEntries, 4096u);  // not read to its end
}

// Saving by path replaces a file only once the new one is whole, and
// leaves nothing behind when it cannot.
TEST(ScanFileList, SavingByPathReplacesWholeOrNotAtAll) {
    test::TempTree t;
    MakeTree(t);
    CDirScanner scanner;
    ASSERT_EQ(scanner.Scan(t.Path("top")), ScanStatus::Complete);
    t.Dir("out");
    const std::string target = t.Path("out/scan.json");
    t.File("out/scan.json", 5);  // an older file in the way
    SaveScanFile(scanner.GetList(), target, ScanFilesCanCompress());
    CScanList opened;
    OpenScanFile(target, opened);
    EXPECT_EQ(Lines(opened), Lines(scanner.GetList()));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    // A new file gets what a new file gets, not a private temporary's mode.
    struct stat st {};
    SaveScanFile(scanner.GetList(), t.Path("out/new.json"), false);
    ASSERT_EQ(::stat(t.Path("out/new.json").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
    ASSERT_EQ(::unlink(t.Path("out/new.json").c_str()), 0);

    // A directory in the way, a missing folder: refused, naming the path;
    // the folder holds only what it held.
    t.Dir("out/taken");
    try {
        SaveScanFile(scanner.GetList(), t.Path("out/taken"), false);
        ADD_FAILURE() << "saved over a directory";
    } catch (const ScanFileError& e) {
        EXPECT_EQ(std::string(e.what()),
                  t.Path("out/taken") + ": this is a directory; a scan is saved to a file");
    }
    try {
        SaveScanFile(scanner.GetList(), t.Path("missing/scan.json"), false);
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const ScanFileError& e) {
        EXPECT_NE(std::string(e.what()).find(t.Path("missing/scan.json")), std::string::npos);
    }
    EXPECT_EQ(Names(t.Path("out")), (std::vector<std::string>{"scan.json", "taken"}));
    EXPECT_THROW(OpenScanFile(t.Path("out/none.json"), opened), ScanFileError);
    EXPECT_TRUE(opened.Empty());
}

// What the path names stays what it is: a replaced file keeps its mode, a
// link stays a link and the file it names is replaced (the new file made
// beside that one), and a link to nothing is refused with nothing made.
TEST(ScanFileList, SavingKeepsWhatThePathNames) {
    test::TempTree t;
    MakeTree(t);
    CDirScanner scanner;
    ASSERT_EQ(scanner.Scan(t.Path("top")), ScanStatus::Complete);
    const CScanList& list = scanner.GetList();
    t.Dir("out");
    t.Dir("far");
    struct stat st {};

    t.File("out/private.json", 3);
    ASSERT_EQ(::chmod(t.Path("out/private.json").c_str(), 0600), 0);
    SaveScanFile(list, t.Path("out/private.json"));
    ASSERT_EQ(::stat(t.Path("out/private.json").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_GT(st.st_size, 3);

    t.File("far/real.json", 3);
    t.Link("../far/real.json", "out/link.json");
    SaveScanFile(list, t.Path("out/link.json"));
    ASSERT_EQ(::lstat(t.Path("out/link.json").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    CScanList opened;
    OpenScanFile(t.Path("far/real.json"), opened);
    EXPECT_EQ(Lines(opened), Lines(list));
    EXPECT_EQ(Names(t.Path("far")), std::vector<std::string>{"real.json"});

    t.Link("nothing.json", "out/dangling.json");
    for (const bool check : {true, false}) {
        try {
            if (check)
                CheckScanFileWritable(t.Path("out/dangling.json"));
            else
                SaveScanFile(list, t.Path("out/dangling.json"));
            ADD_FAILURE() << "saved through a dangling link";
        } catch (const ScanFileError& e) {
            EXPECT_EQ(std::string(e.what()), t.Path("out/dangling.json") +
                                                 ": this is a link to a file that does not exist");
        }
    }
    ASSERT_EQ(::lstat(t.Path("out/dangling.json").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // Set-id and sticky bits are not carried over to the new file.
    t.File("out/setid.json", 3);
    ASSERT_EQ(::chmod(t.Path("out/setid.json").c_str(), 06755), 0);
    SaveScanFile(list, t.Path("out/setid.json"));
    ASSERT_EQ(::stat(t.Path("out/setid.json").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    EXPECT_EQ(Names(t.Path("out")), (std::vector<std::string>{"dangling.json", "link.json",
                                                              "private.json", "setid.json"}));
}

// The rename looks again at what stands at the target: a FIFO put in the
// file's place, or a file made where there was none, stays as it is.
TEST(ScanFileList, SavingRenamesOnlyOverTheFileItSaw) {
    namespace os = scanfile_os;
    test::TempTree t;
    t.Dir("out");
    t.File("out/was-file", 3);
    const std::string wasFile = t.Path("out/was-file"), wasNothing = t.Path("out/was-nothing");
    for (const std::string& path : {wasFile, wasNothing}) {
        os::Target target;
        ASSERT_TRUE(os::ResolveTarget(path, target));
        std::string temp;
        int fd = -1;
        ASSERT_TRUE(os::CreateBeside(target, temp, fd));
        ::close(fd);
        if (path == wasFile) {
            ASSERT_EQ(::unlink(path.c_str()), 0);
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        } else {
            t.File("out/was-nothing", 3);
        }
        EXPECT_EQ(os::Replace(temp, target).problem, os::Problem::Changed) << path;
        os::Discard(temp);
    }
    struct stat st {};
    ASSERT_EQ(::lstat(wasFile.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(::lstat(wasNothing.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 3);
    EXPECT_EQ(Names(t.Path("out")), (std::vector<std::string>{"was-file", "was-nothing"}));
}

// A link owned by another user, in a folder that user does not own, is not
// followed (it could send a privileged save anywhere); in that user's own
// folder it is.
TEST(ScanFileList, SavingFollowsNoLinkPlantedByAnotherUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a link away needs root";
    constexpr uid_t kOther = 65534;
    test::TempTree t;
    t.Dir("top");
    CDirScanner scanner;
    ASSERT_EQ(scanner.Scan(t.Path("top")), ScanStatus::Complete);
    const CScanList& list = scanner.GetList();
    t.Dir("far");
    t.File("far/real.json", 3);
    t.Dir("shared");
    t.Link("../far/real.json", "shared/planted.json");
    ASSERT_EQ(::lchown(t.Path("shared/planted.json").c_str(), kOther, kOther), 0);
    try {
        SaveScanFile(list, t.Path("shared/planted.json"), false);
        ADD_FAILURE() << "followed a planted link";
    } catch (const ScanFileError& e) {
        EXPECT_NE(std::string(e.what()).find("link owned by another user"), std::string::npos)
            << e.what();
    }
    struct stat st {};
    ASSERT_EQ(::stat(t.Path("far/real.json").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 3);

    ASSERT_EQ(::chown(t.Path("shared").c_str(), kOther, kOther), 0);
    SaveScanFile(list, t.Path("shared/planted.json"), false);
    ASSERT_EQ(::stat(t.Path("far/real.json").c_str(), &st), 0);
    EXPECT_NE(st.st_size, 3);
}

TEST(ScanFileList, NcduExportOpensAsAScanOfTheSameTree) {
    if (std::system("command -v ncdu >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ncdu is not installed";
    test::TempTree t;
    MakeTree(t);
    CDirScanner scanner;
    scanner.SetThreadCount(1);  // the listing's own order, as ncdu reads it
    ASSERT_EQ(scanner.Scan(t.Path("top")), ScanStatus::Complete);
    const std::string file = t.Root() + ".ncdu.json";
    ASSERT_EQ(std::system(
                  ("ncdu -e -0 -o '" + file + "' '" + t.Path("top") + "' >/dev/null 2>&1").c_str()),
              0);
    std::FILE* f = std::fopen(file.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    CFileSource in(f);
    CScanList opened;
    ReadScanList(in, opened);
    std::fclose(f);
    std::remove(file.c_str());
    EXPECT_EQ(Lines(opened), Lines(scanner.GetList()));
}

}  // namespace
}  // namespace sizewalk
