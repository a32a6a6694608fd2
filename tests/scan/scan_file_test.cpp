// Saved scans: round trips through the writer and the reader, what ncdu's
// and gdu's files hold, every kind of bad input with its offset, random
// mutations of valid files, and interoperability with ncdu and gdu.

#include "scan/scan_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#include <zstd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "scan/scan_file_list.h"
#include "scan/scan_file_path.h"
#include "tests/temp_tree.h"

namespace sizewalk {
namespace {

using namespace std::string_literals;

// One event as the sink saw it, the item's fields written out.
std::string Describe(const char* what, const ScanFileItem& it) {
    std::string s = what;
    s += " '" + std::string(it.name) + "' a=" + std::to_string(it.nApparentSize) +
         " d=" + std::to_string(it.nDiskSize) + " dev=" + std::to_string(it.nDevice);
    if (it.nInode) s += " ino=" + std::to_string(it.nInode);
    if (it.nLinks) s += " nlink=" + std::to_string(it.nLinks);
    if (it.bHardLinkCandidate) s += " hlnkc";
    if (it.bReadError) s += " read_error";
    if (it.bNotRegular) s += " notreg";
    if (it.excluded != ScanFileExcluded::None) s += " excluded=" + std::to_string(int(it.excluded));
    if (it.mtime) s += " mtime=" + std::to_string(*it.mtime);
    if (it.bSubtreeTotals) s += " totals";
    return s;
}

class RecordingSink : public IScanFileSink {
public:
    void Metadata(const ScanFileMetadata& m) override { metadata = m; }
    void EnterDirectory(const ScanFileItem& it) override { events.push_back(Describe("dir", it)); }
    void File(const ScanFileItem& it) override { events.push_back(Describe("file", it)); }
    void LeaveDirectory() override { events.push_back("leave"); }
    ScanFileMetadata metadata;
    std::vector<std::string> events;
};

std::vector<std::string> Read(const std::string& bytes, const ScanFileLimits& limits = {},
                              ScanFileMetadata* metadata = nullptr) {
    CMemorySource source(bytes);
    RecordingSink sink;
    ReadScanFile(source, sink, limits);
    if (metadata) *metadata = sink.metadata;
    return sink.events;
}

// The error ReadScanFile gives for `bytes`; fails the test when it accepts.
ScanFileError ErrorOf(const std::string& bytes, const ScanFileLimits& limits = {}) {
    try {
        Read(bytes, limits);
    } catch (const ScanFileError& e) {
        return e;
    }
    ADD_FAILURE() << "accepted: " << bytes.substr(0, 200);
    return ScanFileError("", 0);
}

std::string Zstd(const std::string& bytes) {
    // One context for all: a fresh one per call costs the mutation test.
    static const std::unique_ptr<ZSTD_CCtx, std::size_t (*)(ZSTD_CCtx*)> cctx(ZSTD_createCCtx(),
                                                                              ZSTD_freeCCtx);
    std::string out(ZSTD_compressBound(bytes.size()), '\0');
    const std::size_t n =
        ZSTD_compressCCtx(cctx.get(), out.data(), out.size(), bytes.data(), bytes.size(), 3);
    if (ZSTD_isError(n)) throw std::runtime_error("zstd");
    out.resize(n);
    return out;
}

ScanFileItem Item(std::string_view name, std::uint64_t asize, std::uint64_t dsize,
                  std::uint64_t dev = 7) {
    ScanFileItem it;
    it.name = name;
    it.nApparentSize = asize;
    it.nDiskSize = dsize;
    it.nDevice = dev;
    return it;
}

// A tree with every kind of name and flag the writer knows.
void WriteOddTree(CScanFileWriter& w) {
    ScanFileItem root = Item("/srv/data \"x\"", 0, 4096, 7);
    w.EnterDirectory(root);
    w.File(Item("plain", 10, 4096));
    w.File(Item("quote\"back\\slash", 1, 0));
    w.File(Item("ctl\x01\x1f\x7f\n\t\r\b\f end", 2, 0));
    w.File(Item("emoji \xF0\x9F\x98\x80 \xE2\x80\xAE rtl", 3, 0));
    w.File(Item("bad \xFF\xFE \xC3( \xED\xA0\x80 \xF4\x90\x80\x80", 4, 0));
    w.File(Item("latin1 \xE9t\xE9", 5, 0));
    w.File(Item("back\\u0041slash", 6, 0));
    ScanFileItem link = Item("link1", 100, 8192);
    link.nInode = 123456789012345ull;
    link.nLinks = 3;
    link.bHardLinkCandidate = true;
    w.File(link);
    link.name = "link2";
    w.File(link);
    ScanFileItem fifo = Item("fifo", 0, 0);
    fifo.bNotRegular = true;
    fifo.mtime = -5;
    w.File(fifo);
    ScanFileItem unreadable = Item("unreadable", 0, 4096);
    unreadable.bReadError = true;
    w.EnterDirectory(unreadable);
    w.LeaveDirectory();
    ScanFileItem mount = Item("mnt", 0, 0, 99);
    mount.excluded = ScanFileExcluded::OtherFs;
    w.EnterDirectory(mount);
    w.LeaveDirectory();
    ScanFileItem sub = Item("sub", 0, 4096);
    sub.mtime = 1700000000;
    w.EnterDirectory(sub);
    w.File(Item("huge", 9223372036854775807ull, 9223372036854775807ull));
    w.File(Item("other dev", 1, 512, 8));
    w.LeaveDirectory();
    w.LeaveDirectory();
    w.Finish();
}

std::string OddTreeFile(bool compress) {
    CStringOutput out;
    ScanFileWriterOptions options;
    options.bCompress = compress;
    options.timestamp = 1234567890;
    CScanFileWriter w(out, options);
    WriteOddTree(w);
    return out.m_str;
}

const std::vector<std::string> kOddTreeEvents = {
    "dir '/srv/data \"x\"' a=0 d=4096 dev=7",
    "file 'plain' a=10 d=4096 dev=7",
    "file 'quote\"back\\slash' a=1 d=0 dev=7",
    "file 'ctl\x01\x1f\x7f\n\t\r\b\f end' a=2 d=0 dev=7",
    "file 'emoji \xF0\x9F\x98\x80 \xE2\x80\xAE rtl' a=3 d=0 dev=7",
    "file 'bad \xFF\xFE \xC3( \xED\xA0\x80 \xF4\x90\x80\x80' a=4 d=0 dev=7",
    "file 'latin1 \xE9t\xE9' a=5 d=0 dev=7",
    "file 'back\\u0041slash' a=6 d=0 dev=7",
    "file 'link1' a=100 d=8192 dev=7 ino=123456789012345 nlink=3 hlnkc",
    "file 'link2' a=100 d=8192 dev=7 ino=123456789012345 nlink=3 hlnkc",
    "file 'fifo' a=0 d=0 dev=7 notreg",  // a negative mtime left out
    "dir 'unreadable' a=0 d=4096 dev=7 read_error",
    "leave",
    "dir 'mnt' a=0 d=0 dev=99 excluded=1",
    "leave",
    "dir 'sub' a=0 d=4096 dev=7 mtime=1700000000",
    "file 'huge' a=9223372036854775807 d=9223372036854775807 dev=7",
    "file 'other dev' a=1 d=512 dev=8",
    "leave",
    "leave",
};

TEST(ScanFile, RoundTripKeepsEveryNameByteAndFlagPlainAndZstd) {
    for (bool compress : {false, true}) {
        const std::string file = OddTreeFile(compress);
        EXPECT_EQ(compress, file.rfind("\x28\xB5\x2F\xFD", 0) == 0);
        ScanFileMetadata meta;
        EXPECT_EQ(Read(file, {}, &meta), kOddTreeEvents) << "compressed " << compress;
        EXPECT_EQ(meta.nMajorVersion, 1);
        EXPECT_EQ(meta.nMinorVersion, 2);
        EXPECT_EQ(meta.strProgName, "sizewalk");
        EXPECT_FALSE(meta.strProgVersion.empty());
        EXPECT_EQ(meta.timestamp, 1234567890);
    }
    // What the text holds: zeros written, control characters escaped, other
    // bytes as they are.
    const std::string text = OddTreeFile(false);
    EXPECT_EQ(text.rfind("[1,2,{\"progname\":\"sizewalk\",", 0), 0u);
    EXPECT_NE(text.find("{\"name\":\"quote\\\"back\\\\slash\",\"asize\":1,\"dsize\":0}"),
              std::string::npos);
    EXPECT_NE(text.find("ctl\\u0001\\u001f\\u007f\\n\\t\\r\\b\\f end"), std::string::npos);
    EXPECT_NE(text.find("bad \xFF\xFE"), std::string::npos);
    EXPECT_NE(
        text.find(
            "[{\"name\":\"mnt\",\"asize\":0,\"dsize\":0,\"dev\":99,\"excluded\":\"otherfs\"}]"),
        std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 3), "]]\n");
}

// Sources that trickle (a pipe may hand over one byte at a time), real
// files and descriptors, and their failures.
TEST(ScanFile, ReadsAndWritesThroughTricklesFilesAndDescriptors) {
    class Trickle : public IScanFileSource {
    public:
        explicit Trickle(std::string_view bytes) : m_bytes(bytes) {}
        std::size_t Read(void* buffer, std::size_t size) override {
            if (m_bytes.empty() || size == 0) return 0;
            *static_cast<char*>(buffer) = m_bytes.front();
            m_bytes.remove_prefix(1);
            return 1;
        }

    private:
        std::string_view m_bytes;
    };
    for (bool compress : {false, true}) {
        const std::string file = OddTreeFile(compress);
        Trickle source(file);
        RecordingSink sink;
        ReadScanFile(source, sink);
        EXPECT_EQ(sink.events, kOddTreeEvents) << "compressed " << compress;
    }

    test::TempTree t;
    const std::string path = t.Path("scan.json.zst");
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        CFileOutput out(f);
        ScanFileWriterOptions options;
        options.bCompress = true;
        CScanFileWriter w(out, options);
        WriteOddTree(w);
        std::fclose(f);
    }
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    CFdSource source(fd);
    RecordingSink sink;
    ReadScanFile(source, sink);
    ::close(fd);
    EXPECT_EQ(sink.events, kOddTreeEvents);

    // A directory opened as the file.
    const int dirFd = ::open(t.Root().c_str(), O_RDONLY);
    ASSERT_GE(dirFd, 0);
    CFdSource dirSource(dirFd);
    try {
        ReadScanFile(dirSource, sink);
        ADD_FAILURE() << "read a directory";
    } catch (const ScanFileError& e) {
        EXPECT_NE(std::string(e.what()).find("cannot read the file"), std::string::npos)
            << e.what();
    }
    ::close(dirFd);

    // A full disk: the error surfaces, and nothing is written after it.
    const int full = ::open("/dev/full", O_WRONLY);
    if (full >= 0) {
        CFdOutput out(full);
        CScanFileWriter w(out);
        EXPECT_THROW(WriteOddTree(w), ScanFileError);
        EXPECT_THROW(w.Finish(), ScanFileError);
        ::close(full);
    }
}

TEST(ScanFile, WriterRefusesMisuse) {
    CStringOutput out;
    {
        CScanFileWriter w(out);
        EXPECT_THROW(w.File(Item("f", 1, 1)), std::logic_error);  // no root
    }
    {
        CScanFileWriter w(out);
        w.EnterDirectory(Item("/", 0, 0));
        EXPECT_THROW(w.File(Item("a\0b"s, 1, 1)), std::logic_error);
    }
    {
        CScanFileWriter w(out);
        w.EnterDirectory(Item("/", 0, 0));
        EXPECT_THROW(w.Finish(), std::logic_error);  // root still open
    }
    {
        CScanFileWriter w(out);
        w.EnterDirectory(Item("/", 0, 0));
        w.LeaveDirectory();
        EXPECT_THROW(w.LeaveDirectory(), std::logic_error);
    }
}

TEST(ScanFile, ReadsWhatNcduAndGduWrite) {
    // ncdu: zero sizes left out, raw non-UTF-8 bytes, "dev" inherited,
    // excluded and unreadable entries as objects, unknown keys with nested
    // values, mtime with a fraction.
    const std::string ncdu =
        "[1,2,{\"progname\":\"ncdu\",\"progver\":\"1.18\",\"timestamp\":1700000000,\"x\":[{}]},\n"
        "[{\"name\":\"/r\",\"asize\":4096,\"dsize\":4096,\"dev\":65024},\n"
        "{\"name\":\"fifo\",\"notreg\":true},\n"
        "{\"name\":\"hl\",\"asize\":5,\"dsize\":4096,\"ino\":10953629,\"hlnkc\":true,\"nlink\":2},"
        "\n"
        "{\"name\":\"bad\xff\\u0001name\",\"asize\":1,\"dsize\":4096,\"uid\":0,\"ext\":{\"a\":[1,{"
        "\"b\":null}]}},\n"
        "{\"name\":\"m\",\"excluded\":\"othfs\"},{\"name\":\"p\",\"excluded\":\"pattern\"},"
        "{\"name\":\"k\",\"excluded\":\"kernfs\"},{\"name\":\"f\",\"excluded\":\"frmlnk\"},"
        "{\"name\":\"o\",\"excluded\":\"whatever\"},{\"name\":\"e\",\"read_error\":true},\n"
        "[{\"name\":\"sub\",\"asize\":4096,\"dsize\":4096,\"dev\":5,\"mtime\":1.75},\n"
        "{\"name\":\"b\",\"asize\":11,\"dsize\":4096}]]]\n";
    ScanFileMetadata meta;
    EXPECT_EQ(Read(ncdu, {}, &meta),
              (std::vector<std::string>{
                  "dir '/r' a=4096 d=4096 dev=65024",
                  "file 'fifo' a=0 d=0 dev=65024 notreg",
                  "file 'hl' a=5 d=4096 dev=65024 ino=10953629 nlink=2 hlnkc",
                  "file 'bad\xff\x01name' a=1 d=4096 dev=65024",
                  "file 'm' a=0 d=0 dev=65024 excluded=1",
                  "file 'p' a=0 d=0 dev=65024 excluded=2",
                  "file 'k' a=0 d=0 dev=65024 excluded=4",
                  "file 'f' a=0 d=0 dev=65024 excluded=3",
                  "file 'o' a=0 d=0 dev=65024 excluded=5",
                  "file 'e' a=0 d=0 dev=65024 read_error",
                  "dir 'sub' a=4096 d=4096 dev=5 mtime=1",
                  "file 'b' a=11 d=4096 dev=5",
                  "leave",
                  "leave",
              }));
    EXPECT_EQ(meta.strProgName, "ncdu");
    EXPECT_EQ(meta.strProgVersion, "1.18");
    EXPECT_EQ(meta.timestamp, 1700000000);

    // gdu: newer versions write subtree totals and "items" into directories;
    // any gdu file's directory sizes are marked as such.
    EXPECT_EQ(
        Read("[1,2,{\"progname\":\"x\"},[{\"name\":\"/r\",\"asize\":16,\"dsize\":8192,\"items\":3},"
             "[{\"name\":\"d\",\"asize\":5,\"dsize\":4096,\"items\":1},{\"name\":\"f\",\"asize\":5}"
             "]]]"),
        (std::vector<std::string>{"dir '/r' a=16 d=8192 dev=0 totals",
                                  "dir 'd' a=5 d=4096 dev=0 totals", "file 'f' a=5 d=0 dev=0",
                                  "leave", "leave"}));
    EXPECT_EQ(Read("[1,2,{\"progname\":\"gdu\"},[{\"name\":\"/r\"},[{\"name\":\"d\"}]]]"),
              (std::vector<std::string>{"dir '/r' a=0 d=0 dev=0 totals",
                                        "dir 'd' a=0 d=0 dev=0 totals", "leave", "leave"}));
    // Older minor versions and whitespace everywhere.
    EXPECT_EQ(Read(" [ 1 , 0 , { } , [ { \"name\" : \"/\" } ] ] \n\t"),
              (std::vector<std::string>{"dir '/' a=0 d=0 dev=0", "leave"}));
}

TEST(ScanFile, SinkExceptionsPassThrough) {
    struct Throwing : RecordingSink {
        void File(const ScanFileItem&) override { throw std::bad_alloc(); }
    } sink;
    const std::string file = OddTreeFile(false);
    CMemorySource source(file);
    EXPECT_THROW(ReadScanFile(source, sink), std::bad_alloc);
}

struct BadCase {
    const char* what;
    std::string input;
    const char* message;   // part of the message
    std::uint64_t offset;  // where the reader says it is
};

const std::string kHead = "[1,2,{},[{\"name\":\"/r\"},";

TEST(ScanFile, RefusesBadInputNamingTheOffset) {
    const std::vector<BadCase> cases = {
        {"empty", "", "the file is empty", 0},
        {"not an array", "{\"a\":1}", "does not start with '['", 0},
        {"major version 2", "[2,2,{},[{\"name\":\"/\"}]]", "unsupported format version 2", 2},
        {"major version text", "[\"1\",2,{},[{\"name\":\"/\"}]]", "expected the major version", 4},
        {"minor version negative", "[1,-2,{},[{\"name\":\"/\"}]]", "expected the minor version", 5},
        {"minor version too big", "[1,10001,{},[{\"name\":\"/\"}]]", "above 10000", 8},
        {"minor version fraction", "[1,2.5,{},[{\"name\":\"/\"}]]", "expected the minor version",
         6},
        {"metadata array", "[1,2,[],[{\"name\":\"/\"}]]", "expected the metadata object", 5},
        {"missing root", "[1,2,{}]", "without the root directory", 7},
        {"missing metadata", "[1,2]", "without the metadata object", 4},
        {"root is a file", "[1,2,{},{\"name\":\"/\"}]", "expected the root directory", 8},
        {"directory without info", "[1,2,{},[]]", "has no info object", 9},
        {"directory starts with a directory", "[1,2,{},[[{\"name\":\"/\"}]]]",
         "must start with its info", 9},
        {"entry without name", kHead + "{\"asize\":1}]]", "has no \"name\"", 23},
        {"root name empty", "[1,2,{},[{\"name\":\"\"}]]", "empty name", 9},
        {"name empty", kHead + "{\"name\":\"\"}]]", "empty name", 23},
        {"name dot", kHead + "{\"name\":\".\"}]]", "named \".\"", 23},
        {"name dot dot", kHead + "[{\"name\":\"..\"}]]]", "named \"..\"", 24},
        {"name with slash", kHead + "{\"name\":\"a/b\"}]]", "holds \"/\"", 23},
        {"name with NUL", kHead + "{\"name\":\"a\\u0000b\"}]]", "NUL character", 23},
        {"two names", kHead + "{\"name\":\"a\",\"name\":\"b\"}]]", "two names", 45},
        {"name a number", kHead + "{\"name\":5}]]", "must be a string", 32},
        {"duplicate name", kHead + "{\"name\":\"a\"},{\"name\":\"b\"},[{\"name\":\"a\"}]]]",
         "repeats", 50},
        {"asize negative", kHead + "{\"name\":\"a\",\"asize\":-1}]]",
         "\"asize\" must be a number of 0 or more", 45},
        {"asize above 2^63-1", kHead + "{\"name\":\"a\",\"asize\":9223372036854775808}]]",
         "out of range", 62},
        {"dsize beyond 2^64", kHead + "{\"name\":\"a\",\"dsize\":18446744073709551616}]]",
         "out of range", 63},
        {"asize fraction", kHead + "{\"name\":\"a\",\"asize\":1.5}]]", "not a whole number", 46},
        {"asize as text", kHead + "{\"name\":\"a\",\"asize\":\"1\"}]]", "must be a number", 46},
        {"asize as array", kHead + "{\"name\":\"a\",\"asize\":[1]}]]", "holds an array", 43},
        {"nlink too big", kHead + "{\"name\":\"a\",\"nlink\":4294967296}]]", "out of range", 53},
        {"hlnkc not bool", kHead + "{\"name\":\"a\",\"hlnkc\":1}]]", "true or false", 44},
        {"excluded not text", kHead + "{\"name\":\"a\",\"excluded\":true}]]", "must be a string",
         50},
        {"excluded directory with contents",
         kHead + "[{\"name\":\"m\",\"excluded\":\"otherfs\"},{\"name\":\"x\"}]]]",
         "excluded directory has contents", 58},
        {"number in a directory", kHead + "5]]", "found a number", 24},
        {"lone surrogate", kHead + "{\"name\":\"\\ud800\"}]]", "invalid JSON", 32},
        {"bad escape", kHead + "{\"name\":\"\\x41\"}]]", "invalid JSON", 32},
        {"raw control character", kHead + "{\"name\":\"a\nb\"}]]", "invalid JSON", 33},
        {"trailing garbage", "[1,2,{},[{\"name\":\"/\"}]] x", "after the end of the scan", 24},
        {"second document", "[1,2,{},[{\"name\":\"/\"}]][]", "after the end of the scan", 23},
        // One tree a file: a second one (or anything) after it is not dropped unseen.
        {"second tree", "[1,2,{},[{\"name\":\"/\"}],[{\"name\":\"/x\"}]]", "after the scan's tree",
         23},
        {"number after the tree", "[1,2,{},[{\"name\":\"/\"}], 7]", "after the scan's tree", 25},
        {"NUL byte after the end", "[1,2,{},[{\"name\":\"/\"}]]\0junk"s, "NUL byte", 23},
        {"NUL byte inside", "[1,2,{},[{\"name\":\"/\"}\0]]"s, "NUL byte", 21},
        {"truncated", "[1,2,{},[{\"name\":\"/\"},{\"name\":\"a\",\"asi", "ends early", 38},
        {"truncated after a directory", "[1,2,{},[{\"name\":\"/\"}]", "ends early", 22},
        {"NaN", kHead + "{\"name\":\"a\",\"asize\":NaN}]]", "invalid JSON", 43},
        {"deep unknown value",
         "[1,2,{\"x\":" + std::string(100, '[') + std::string(100, ']') + "},[{\"name\":\"/\"}]]",
         "nested deeper than 32 levels", 42},
        {"root path too long", "[1,2,{},[{\"name\":\"" + std::string(40000, 'a') + "\"}]]",
         "root path is longer", 40019},
        {"name too long", kHead + "{\"name\":\"" + std::string(5000, 'a') + "\"}]]",
         "name is longer", 5033},
    };
    for (const BadCase& c : cases) {
        const ScanFileError e = ErrorOf(c.input);
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
            << c.what << ": " << e.what();
        EXPECT_EQ(e.Offset(), c.offset) << c.what << ": " << e.what();
        EXPECT_NE(std::string(e.what()).find("at byte " + std::to_string(c.offset) + ")"),
                  std::string::npos)
            << c.what << ": " << e.what();
    }
    // In a zstd file the offset counts decompressed bytes, and says so.
    const ScanFileError z = ErrorOf(Zstd(kHead + "{\"name\":\"a/b\"}]]"));
    EXPECT_EQ(z.Offset(), 23u);
    EXPECT_NE(std::string(z.what()).find("at byte 23 of the decompressed data"), std::string::npos)
        << z.what();
    // Duplicates may be let through.
    ScanFileLimits lenient;
    lenient.bAllowDuplicateNames = true;
    EXPECT_EQ(Read(kHead + "{\"name\":\"a\"},{\"name\":\"a\"}]]", lenient).size(), 4u);
}

// Opening by path: a directory, a device or a socket is refused by what it
// is, unread; a FIFO is read as its writer sends, and while it has none a
// stop ends the wait at once, leaving the next open free to run.
TEST(ScanFilePath, OpensOnlyFilesAndFifosAndAStopEndsAFifosWait) {
    test::TempTree t;
    CScanList list;
    auto refusal = [&](const std::string& rel) -> std::string {
        try {
            OpenScanFile(t.Path(rel), list);
        } catch (const ScanFileError& e) {
            return std::string(e.what()).substr(t.Path(rel).size());
        }
        return "opened";
    };
    t.Dir("dir");
    EXPECT_EQ(refusal("dir"), ": this is a directory, not a saved scan");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", t.Path("sock").c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(refusal("sock"), ": this is a socket, not a saved scan");
    ::close(sock);
    if (::geteuid() == 0) {
        // The system's zero device, made here: endless NUL bytes, not "empty".
        ASSERT_EQ(::mknod(t.Path("zero").c_str(), S_IFCHR | 0600, makedev(1, 5)), 0);
        EXPECT_EQ(refusal("zero"), ": this is a device, not a saved scan");
    }

    ASSERT_EQ(::mkfifo(t.Path("fifo").c_str(), 0600), 0);
    CScanProgress progress;
    progress.RequestStop();  // asked before: no wait at all
    EXPECT_THROW(OpenScanFile(t.Path("fifo"), list, nullptr, &progress), ScanFileStopped);
    progress.Reset();
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // most likely waiting by then
        progress.RequestStop();
    });
    EXPECT_THROW(OpenScanFile(t.Path("fifo"), list, nullptr, &progress), ScanFileStopped);
    stopper.join();
    EXPECT_TRUE(list.Empty());

    // A writer that comes after the reader opened: its scan is read whole.
    progress.Reset();
    std::thread writer([&] {
        const int fd = ::open(t.Path("fifo").c_str(), O_WRONLY);
        const std::string scan = "[1,2,{},[{\"name\":\"/r\"},{\"name\":\"a\",\"asize\":7}]]";
        if (fd >= 0 && ::write(fd, scan.data(), scan.size()) < 0) std::perror("write");
        if (fd >= 0) ::close(fd);
    });
    OpenScanFile(t.Path("fifo"), list, nullptr, &progress);
    writer.join();
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list[0].m_nSize, 7u);
}

TEST(ScanFile, RefusesBrokenZstd) {
    const std::string whole = OddTreeFile(true);
    const ScanFileError cut = ErrorOf(whole.substr(0, whole.size() - 5));
    EXPECT_NE(std::string(cut.what()).find("ends"), std::string::npos) << cut.what();
    std::string corrupt = whole;
    for (std::size_t i = 8; i < corrupt.size(); i += 7)
        corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
    const ScanFileError bad = ErrorOf(corrupt);
    EXPECT_NE(std::string(bad.what()).find("decompressed data"), std::string::npos) << bad.what();
    // Garbage after the last frame.
    const ScanFileError tail = ErrorOf(whole + "garbage!");
    EXPECT_NE(std::string(tail.what()).find("zstd"), std::string::npos) << tail.what();
}

// Nesting a million levels deep, as a string of 16 MB.
TEST(ScanFile, RefusesAMillionLevelsOfNesting) {
    std::string deep = kHead;
    deep.reserve(20'000'000);
    for (int i = 0; i < 1'000'000; ++i) deep += "[{\"name\":\"d\"},";
    const ScanFileError e = ErrorOf(deep);
    EXPECT_NE(std::string(e.what()).find("nested deeper than 4096 levels"), std::string::npos)
        << e.what();
    EXPECT_EQ(e.Offset(), kHead.size() + 4095 * 14);  // the 4097th level's '['
    // Bare brackets at the top, and inside a value that is skipped.
    EXPECT_NE(
        std::string(ErrorOf(std::string(1'000'000, '[')).what()).find("expected the major version"),
        std::string::npos);
    // Exactly at the limit is fine.
    ScanFileLimits limits;
    limits.nMaxDepth = 50;
    std::string fifty = "[1,2,{},[{\"name\":\"/\"}";
    for (int i = 1; i < 50; ++i) fifty += ",[{\"name\":\"d\"}";
    fifty += std::string(50, ']') + "]";
    EXPECT_EQ(Read(fifty, limits).size(), 100u);
    EXPECT_NE(
        std::string(ErrorOf(fifty.insert(fifty.size() - 51, ",[{\"name\":\"x\"}]"), limits).what())
            .find("deeper than 50"),
        std::string::npos);
}

// An endless string: refused after a bounded number of bytes, never
// buffered whole.
TEST(ScanFile, RefusesAGigabyteStringEarly) {
    class Endless : public IScanFileSource {
    public:
        explicit Endless(std::string head) : m_head(std::move(head)) {}
        std::size_t Read(void* buffer, std::size_t size) override {
            if (m_nServed >= (1ull << 30)) return 0;
            char* p = static_cast<char*>(buffer);
            for (std::size_t i = 0; i < size; ++i, ++m_nServed)
                p[i] = m_nServed < m_head.size() ? m_head[m_nServed] : 'a';
            return size;
        }
        std::string m_head;
        std::uint64_t m_nServed = 0;
    };
    for (const std::string& head : {kHead + "{\"name\":\"", kHead + "{\"unknown\":\"",
                                    "[1,2,{\"progname\":\""s, kHead + "{\"" /* a key */}) {
        Endless source(head);
        RecordingSink sink;
        try {
            ReadScanFile(source, sink);
            ADD_FAILURE() << "accepted";
        } catch (const ScanFileError& e) {
            EXPECT_NE(std::string(e.what()).find("too long"), std::string::npos) << e.what();
        }
        EXPECT_LT(source.m_nServed, 4u << 20) << head;
    }
}

// Random damage to valid files: every case must end in either a result or a
// ScanFileError, never a crash, a hang or another exception.
TEST(ScanFile, SurvivesRandomMutations) {
    std::vector<std::string> seeds;
    seeds.push_back(OddTreeFile(false));
    {
        CStringOutput out;
        CScanFileWriter w(out);
        w.EnterDirectory(Item("/deep", 0, 0));
        for (int i = 0; i < 40; ++i) w.EnterDirectory(Item(test::Numbered("d", i), 0, 4096));
        for (int i = 0; i < 40; ++i) {
            w.File(Item(test::Numbered("f", i), static_cast<std::uint64_t>(i), 0));
            w.LeaveDirectory();
        }
        w.LeaveDirectory();
        w.Finish();
        seeds.push_back(out.m_str);
    }
    seeds.push_back(
        "[1,2,{\"progname\":\"ncdu\",\"progver\":\"1.18\",\"timestamp\":1700000000},\n"
        "[{\"name\":\"/r\",\"asize\":4096,\"dsize\":4096,\"dev\":65024},\n"
        "{\"name\":\"hl\",\"asize\":5,\"dsize\":4096,\"ino\":10953629,\"hlnkc\":true,\"nlink\":2},"
        "\n"
        "{\"name\":\"bad\xff\\u0001name\",\"mtime\":1.5,\"ext\":{\"a\":[1,{\"b\":null}]}},\n"
        "[{\"name\":\"sub\",\"items\":3,\"excluded\":\"otherfs\"}],{\"name\":\"e\",\"read_error\":"
        "true}]]\n");
    const std::size_t plainSeeds = seeds.size();
    for (std::size_t i = 0; i < plainSeeds; ++i) seeds.push_back(Zstd(seeds[i]));

    std::mt19937_64 rng(20261210);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % (n ? n : 1)); };
    static const char kTokens[][8] = {"[",    "]",  "{",        "}",    ",",     ":",
                                      "\"",   "\\", "\\u",      "-",    "1e999", "null",
                                      "true", "0",  "\"name\"", "\xff", "\0"};
    int accepted = 0, refused = 0;
    for (int round = 0; round < 10000; ++round) {
        const std::size_t seed = pick(seeds.size());
        // Damage the JSON, then compress it, half of the time for the zstd
        // seeds: the zstd path then carries bad JSON rather than bad frames.
        const bool compressLater = seed >= plainSeeds && rng() % 2;
        std::string s = compressLater ? seeds[seed - plainSeeds] : seeds[seed];
        const int mutations = 1 + static_cast<int>(pick(4));
        for (int m = 0; m < mutations && !s.empty(); ++m) {
            switch (pick(6)) {
                case 0:
                    s[pick(s.size())] ^= static_cast<char>(1 << pick(8));
                    break;  // bit flip
                case 1:
                    s[pick(s.size())] = static_cast<char>(rng());
                    break;  // byte
                case 2:
                    s.resize(pick(s.size()));
                    break;  // truncation
                case 3: {   // insertion
                    const char* t = kTokens[pick(std::size(kTokens))];
                    s.insert(pick(s.size() + 1),
                             std::string(t, std::max<std::size_t>(1, std::strlen(t))));
                    break;
                }
                case 4: {  // a span duplicated elsewhere
                    const std::size_t from = pick(s.size()),
                                      len = std::min(pick(64) + 1, s.size() - from);
                    s.insert(pick(s.size() + 1), s.substr(from, len));
                    break;
                }
                case 5: {  // a span removed
                    const std::size_t from = pick(s.size());
                    s.erase(from, pick(32) + 1);
                    break;
                }
            }
        }
        if (compressLater) s = Zstd(s);
        try {
            Read(s);
            ++accepted;
        } catch (const ScanFileError& e) {
            ASSERT_GT(std::strlen(e.what()), 0u);
            ++refused;
        }
    }
    EXPECT_GT(refused, 5000);
    EXPECT_GT(accepted, 10);
}

// ---- interoperability with ncdu and gdu ---------------------------------

bool Installed(const char* tool) {
    return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Slurp(const std::string& path) {
    std::string s;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[65536];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
        std::fclose(f);
    }
    return s;
}

std::string Output(const std::string& command) {
    std::string out;
    if (std::FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

// Paths below the root (or "" for it) with their apparent and disk sizes.
struct Seen {
    bool bDirectory;
    std::uint64_t nApparent, nDisk;
};

class TreeSink : public IScanFileSink {
public:
    void Metadata(const ScanFileMetadata& m) override { metadata = m; }
    void EnterDirectory(const ScanFileItem& it) override {
        const std::string path = m_path.empty() && m_bRoot ? "" : Join(it.name);
        m_bRoot = false;
        Add(path, it, true);
        m_stack.push_back(m_path);
        m_path = path;
    }
    void File(const ScanFileItem& it) override { Add(Join(it.name), it, false); }
    void LeaveDirectory() override {
        m_path = m_stack.back();
        m_stack.pop_back();
    }
    // Totals as Sizewalk counts: apparent sizes of non-directories; blocks of
    // everything, a hard-linked file's once per (dev, ino).
    std::uint64_t nApparent = 0, nDisk = 0;
    // What gdu 5.22 counts of a file it reads: 4096 bytes for every
    // directory, whatever the file says, and a hard-linked file once.
    std::uint64_t nDirs = 0, nFileApparentLinksOnce = 0, nFileDiskLinksOnce = 0;
    std::map<std::string, Seen> entries;
    ScanFileMetadata metadata;

private:
    std::string Join(std::string_view name) const {
        return m_path.empty() ? std::string(name) : m_path + "/" + std::string(name);
    }
    void Add(const std::string& path, const ScanFileItem& it, bool dir) {
        entries[path] = {dir, it.nApparentSize, it.nDiskSize};
        if (!dir) nApparent += it.nApparentSize;
        if (dir) ++nDirs;
        if (dir && it.bSubtreeTotals) return;
        if (it.bHardLinkCandidate && !m_links.insert({it.nDevice, it.nInode}).second) return;
        nDisk += it.nDiskSize;
        if (!dir) {
            nFileApparentLinksOnce += it.nApparentSize;
            nFileDiskLinksOnce += it.nDiskSize;
        }
    }
    bool m_bRoot = true;
    std::string m_path;
    std::vector<std::string> m_stack;
    std::set<std::pair<std::uint64_t, std::uint64_t>> m_links;
};

TreeSink ReadTree(const std::string& bytes) {
    CMemorySource source(bytes);
    TreeSink sink;
    ReadScanFile(source, sink);
    return sink;
}

// A small tree on disk: nested directories, odd names, a hard link, a FIFO.
void MakeTree(const test::TempTree& t) {
    t.Dir("sub");
    t.Dir("sub/deeper");
    t.Dir("empty");
    t.File("a.txt", 10);
    t.File("sub/b.txt", 5000);
    t.File("sub/deeper/c", 123457);
    t.File("quote\"and\\back", 3);
    t.File("emoji \xF0\x9F\x98\x80", 4);
    t.File("tab\there", 1);
    if (::link(t.Path("sub/b.txt").c_str(), t.Path("hard").c_str()) != 0 ||
        ::mkfifo(t.Path("fifo").c_str(), 0644) != 0)
        throw std::runtime_error("link or mkfifo");
    // Real blocks for one file, so sizes on disk are not all zero.
    if (std::FILE* f = std::fopen(t.Path("sub/b.txt").c_str(), "r+b")) {
        std::fputs("data", f);
        std::fclose(f);
    }
}

void ExpectMatchesDisk(const test::TempTree& t, const TreeSink& tree) {
    const std::vector<std::string> expected = {
        "",          "a.txt",      "emoji \xF0\x9F\x98\x80", "empty",
        "fifo",      "hard",       "quote\"and\\back",       "sub",
        "sub/b.txt", "sub/deeper", "sub/deeper/c",           "tab\there"};
    std::vector<std::string> got;
    for (const auto& [path, seen] : tree.entries) got.push_back(path);
    EXPECT_EQ(got, expected);
    for (const auto& [path, seen] : tree.entries) {
        struct stat st {};
        ASSERT_EQ(::lstat(t.Path(path).c_str(), &st), 0) << path;
        EXPECT_EQ(seen.bDirectory, S_ISDIR(st.st_mode)) << path;
        if (!S_ISREG(st.st_mode)) continue;
        EXPECT_EQ(seen.nApparent, static_cast<std::uint64_t>(st.st_size)) << path;
        EXPECT_EQ(seen.nDisk, static_cast<std::uint64_t>(st.st_blocks) * 512) << path;
    }
}

TEST(ScanFileInterop, ReadsNcduExportPlainAndZstd) {
    if (!Installed("ncdu")) GTEST_SKIP() << "ncdu is not installed";
    test::TempTree t;
    MakeTree(t);
    const std::string out = t.Root() + ".ncdu.json";
    ASSERT_EQ(std::system(("ncdu -0 -o '" + out + "' '" + t.Root() + "' >/dev/null 2>&1").c_str()),
              0);
    const std::string json = Slurp(out);
    std::remove(out.c_str());
    for (const std::string& bytes : {json, Zstd(json)}) {
        const TreeSink tree = ReadTree(bytes);
        EXPECT_EQ(tree.metadata.strProgName, "ncdu");
        ExpectMatchesDisk(t, tree);
    }
}

TEST(ScanFileInterop, ReadsGduExport) {
    if (!Installed("gdu")) GTEST_SKIP() << "gdu is not installed";
    test::TempTree t;
    MakeTree(t);
    const std::string out = t.Root() + ".gdu.json";
    ASSERT_EQ(
        std::system(("gdu -n -p -o '" + out + "' '" + t.Root() + "' >/dev/null 2>&1").c_str()), 0);
    const TreeSink tree = ReadTree(Slurp(out));
    std::remove(out.c_str());
    EXPECT_EQ(tree.metadata.strProgName, "gdu");
    ExpectMatchesDisk(t, tree);
}

// Our file for the tree on disk, as a walk would hand it over (a
// directory's apparent size 0, its own blocks; hard links with their inode).
std::string ExportTree(const std::string& root, bool compress) {
    CStringOutput out;
    ScanFileWriterOptions options;
    options.bCompress = compress;
    CScanFileWriter w(out, options);
    struct Walk {
        CScanFileWriter& w;
        void Entry(const std::string& path, const std::string& name, bool top) {
            struct stat st {};
            if (::lstat(path.c_str(), &st) != 0) throw std::runtime_error("lstat " + path);
            ScanFileItem it;
            it.name = name;
            it.nDevice = st.st_dev;
            it.nDiskSize = static_cast<std::uint64_t>(st.st_blocks) * 512;
            if (!S_ISDIR(st.st_mode)) {
                it.nApparentSize = static_cast<std::uint64_t>(st.st_size);
                it.bNotRegular = !S_ISREG(st.st_mode);
                if (st.st_nlink > 1) {
                    it.nInode = st.st_ino;
                    it.nLinks = static_cast<std::uint32_t>(st.st_nlink);
                    it.bHardLinkCandidate = true;
                }
                w.File(it);
                return;
            }
            w.EnterDirectory(it);
            std::vector<std::string> names;
            const std::string list = Output("ls -A1 --quoting-style=literal '" + path + "'");
            // Names here hold no newline but one ("tab\there" a tab).
            std::size_t start = 0;
            for (std::size_t nl; (nl = list.find('\n', start)) != std::string::npos; start = nl + 1)
                names.push_back(list.substr(start, nl - start));
            for (const std::string& n : names) Entry(path + "/" + n, n, false);
            w.LeaveDirectory();
            (void)top;
        }
    } walk{w};
    walk.Entry(root, root, true);
    w.Finish();
    return out.m_str;
}

TEST(ScanFileInterop, NcduReadsOursWithTheSameTotals) {
    if (!Installed("ncdu")) GTEST_SKIP() << "ncdu is not installed";
    test::TempTree t;
    MakeTree(t);
    const std::string ours = ExportTree(t.Root(), false);
    const TreeSink mine = ReadTree(ours);
    const std::string in = t.Root() + ".ours.json", out = t.Root() + ".ncdu-out.json";
    {
        std::FILE* f = std::fopen(in.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        CFileOutput output(f);
        output.Write(ours.data(), ours.size());
        std::fclose(f);
    }
    ASSERT_EQ(std::system(("ncdu -0 -f '" + in + "' -o '" + out + "' >/dev/null 2>&1").c_str()), 0);
    const TreeSink theirs = ReadTree(Slurp(out));
    std::remove(in.c_str());
    std::remove(out.c_str());
    EXPECT_EQ(theirs.nApparent, mine.nApparent);
    EXPECT_EQ(theirs.nDisk, mine.nDisk);
    EXPECT_GT(mine.nDisk, 0u);
    EXPECT_EQ(theirs.entries.size(), mine.entries.size());
    ExpectMatchesDisk(t, theirs);
}

// gdu 5.22 reads our file; its totals differ from ours only by its own
// rules: 4096 bytes for each directory, apparent and on disk, whatever the
// file holds, and a hard-linked file's apparent size once.
// Every name and flag we write survives ncdu reading and writing it again,
// but for what ncdu 1.18 leaves out without -e (mtime).
TEST(ScanFileInterop, NcduKeepsEveryNameAndFlagOfOurs) {
    if (!Installed("ncdu")) GTEST_SKIP() << "ncdu is not installed";
    test::TempTree t;
    const std::string in = t.Path("odd.json"), out = t.Path("odd-ncdu.json");
    {
        const std::string ours = OddTreeFile(false);
        std::FILE* f = std::fopen(in.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(ours.data(), 1, ours.size(), f);
        std::fclose(f);
    }
    ASSERT_EQ(std::system(("ncdu -0 -f '" + in + "' -o '" + out + "' >/dev/null 2>&1").c_str()), 0);
    ScanFileMetadata meta;
    const std::vector<std::string> theirs = Read(Slurp(out), {}, &meta);
    EXPECT_EQ(meta.strProgName, "ncdu");
    std::vector<std::string> expected = kOddTreeEvents;
    for (std::string& e : expected) {
        if (const std::size_t at = e.find(" mtime="); at != std::string::npos) e.erase(at);
    }
    EXPECT_EQ(theirs, expected);
}

TEST(ScanFileInterop, GduReadsOursWithTheSameTotalsByItsRules) {
    if (!Installed("gdu")) GTEST_SKIP() << "gdu is not installed";
    test::TempTree t;
    MakeTree(t);
    const std::string ours = ExportTree(t.Root(), false);  // gdu 5.22 reads no zstd
    const TreeSink mine = ReadTree(ours);
    const std::string in = t.Root() + ".ours.json";
    {
        std::FILE* f = std::fopen(in.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(ours.data(), 1, ours.size(), f);
        std::fclose(f);
    }
    const std::string apparent = Output("gdu -f '" + in + "' -n -p --no-prefix -s -a 2>/dev/null");
    const std::string disk = Output("gdu -f '" + in + "' -n -p --no-prefix -s 2>/dev/null");
    std::remove(in.c_str());
    EXPECT_EQ(std::strtoull(apparent.c_str(), nullptr, 10),
              mine.nFileApparentLinksOnce + 4096 * mine.nDirs)
        << apparent;
    EXPECT_EQ(std::strtoull(disk.c_str(), nullptr, 10), mine.nFileDiskLinksOnce + 4096 * mine.nDirs)
        << disk;
}

}  // namespace
}  // namespace sizewalk
