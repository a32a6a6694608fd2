#pragma once
// Saved scans in the JSON export format that ncdu documents and that ncdu and
// gdu read and write:
//
//   [1, 2, {metadata}, [{root info}, {file info}, [{dir info}, ...], ...]]
//
// A directory is an array whose first element is its own info object, then
// its children; a file (or any other non-directory) is an info object.
//
// Both directions stream: the reader hands out one event per entry and never
// holds the file whole; the writer takes one call per entry. Neither knows
// the scan list: the list fills an IScanFileSink and feeds a CScanFileWriter.
//
// What a consumer must do with the numbers (the reader reports them as the
// file has them):
// - Apparent size: a directory's own apparent size counts 0 in Sizewalk, so
//   ignore `nApparentSize` of directories (ncdu writes the directory
//   record's st_size there).
// - Size on disk: keep a directory's `nDiskSize` as its own blocks, as a walk
//   does, unless `bSubtreeTotals` is set (gdu writes subtree totals into its
//   directories): then ignore both sizes of that directory.
// - Hard links: an item with `bHardLinkCandidate` (or `nLinks` > 1) shares
//   its blocks with every other such item of the same (`nDevice`, `nInode`);
//   count its blocks once per pair, at its first item in file order. Its
//   apparent size counts once per link.
// - Excluded entries: ncdu 2 writes them as objects whatever their type, so
//   an excluded mount point may come as File() with `excluded` set; ncdu 1.x
//   and Sizewalk's writer write excluded directories as directories without
//   children.
//
// Names are the raw bytes of the file system: the format's documentation
// leaves names in the file system's encoding, and ncdu writes bytes that are
// not UTF-8 unescaped. The writer does the same (and escapes quotes,
// backslashes and control characters), and the reader keeps whatever bytes
// it finds, so a name survives a round trip byte for byte.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace sizewalk {

// Why an entry was not entered ("excluded").
enum class ScanFileExcluded : std::uint8_t {
    None,
    OtherFs,   // "otherfs" (also the old spelling "othfs"): a mount point
    Pattern,   // "pattern": an exclude pattern
    FirmLink,  // "frmlnk": a macOS firmlink
    KernFs,    // "kernfs": a kernel pseudo file system
    Other,     // any other text
};

// One entry as the file has it. `name` is only valid during the call that
// hands the item out.
struct ScanFileItem {
    std::string_view name;  // raw bytes; for the root, the scanned path
    bool bDirectory = false;
    std::uint64_t nApparentSize = 0;  // "asize", at most 2^63 - 1
    std::uint64_t nDiskSize = 0;      // "dsize", at most 2^63 - 1
    // "dev"; where the item has none, its directory's (the root's default
    // is 0).
    std::uint64_t nDevice = 0;
    std::uint64_t nInode = 0;         // "ino"; 0 when absent
    std::uint32_t nLinks = 0;         // "nlink"; 0 when absent
    bool bHardLinkCandidate = false;  // "hlnkc"
    bool bReadError = false;          // "read_error"
    bool bNotRegular = false;         // "notreg": FIFO, socket, device, link...
    ScanFileExcluded excluded = ScanFileExcluded::None;
    std::optional<std::int64_t> mtime;  // "mtime", seconds (a fraction dropped)
    // Directories: the sizes are totals of the subtree, not the directory's
    // own (a gdu file: "items" present, or progname "gdu").
    bool bSubtreeTotals = false;
};

// The third element. Only informative: nothing in it changes how the tree is
// read, except that a gdu file marks its directories' sizes as totals.
struct ScanFileMetadata {
    int nMajorVersion = 1;
    int nMinorVersion = 0;
    std::string strProgName;                // "progname", "" when absent
    std::string strProgVersion;             // "progver", "" when absent
    std::optional<std::int64_t> timestamp;  // "timestamp", seconds since 1970
};

// Receives a file's entries in file order: Metadata once, then the root's
// EnterDirectory, and for every directory its children followed by one
// LeaveDirectory. The sink may throw (std::bad_alloc, a stop of its own): the
// exception leaves ReadScanFile unchanged. After an error the sink has seen
// part of the tree and must drop it.
class IScanFileSink {
public:
    virtual ~IScanFileSink() = default;
    virtual void Metadata(const ScanFileMetadata& metadata) = 0;
    virtual void EnterDirectory(const ScanFileItem& item) = 0;
    virtual void File(const ScanFileItem& item) = 0;
    virtual void LeaveDirectory() = 0;
};

// What the reader refuses, so that no input can take unbounded memory.
struct ScanFileLimits {
    // Directory levels, the root being 1. A path of 4096 bytes (Linux's
    // PATH_MAX) holds at most 2048 levels below its root; Windows allows
    // longer paths, so twice that.
    std::size_t nMaxDepth = 4096;
    // Bytes of a name below the root (255 on Linux file systems, 765 bytes
    // of UTF-8 for 255 UTF-16 units on Windows), and of the root's path.
    std::size_t nMaxNameBytes = 4096;
    std::size_t nMaxRootBytes = 32768;
    // A directory may not hold a name twice: such a file does not describe a
    // directory tree. (gdu writes bytes that are not UTF-8 as U+FFFD, so two
    // such names of one directory can collide in its files.)
    bool bAllowDuplicateNames = false;
};

// Any file that cannot be read whole: malformed, truncated, hostile, or an
// input error. The message names the byte offset; offsets count bytes of
// the JSON text, which for a zstd file is the decompressed stream.
class ScanFileError : public std::runtime_error {
public:
    ScanFileError(const std::string& message, std::uint64_t offset);
    // Offset 0-based in the (decompressed) JSON text.
    std::uint64_t Offset() const { return m_nOffset; }

private:
    std::uint64_t m_nOffset;
};

// Bytes in. Read returns up to `size` bytes, 0 at the end; it throws
// ScanFileError (offset 0, the reader fixes it) on an input error.
class IScanFileSource {
public:
    virtual ~IScanFileSource() = default;
    virtual std::size_t Read(void* buffer, std::size_t size) = 0;
};

// Reads from a stdio stream, which stays open.
class CFileSource : public IScanFileSource {
public:
    explicit CFileSource(std::FILE* file) : m_pFile(file) {}
    std::size_t Read(void* buffer, std::size_t size) override;

private:
    std::FILE* m_pFile;
};

// Reads from a file descriptor, which stays open.
class CFdSource : public IScanFileSource {
public:
    explicit CFdSource(int fd) : m_nFd(fd) {}
    std::size_t Read(void* buffer, std::size_t size) override;

private:
    int m_nFd;
};

// Reads bytes held by the caller (tests, small files).
class CMemorySource : public IScanFileSource {
public:
    explicit CMemorySource(std::string_view bytes) : m_bytes(bytes) {}
    std::size_t Read(void* buffer, std::size_t size) override;

private:
    std::string_view m_bytes;
};

// Reads one saved scan from `source` into `sink`; a zstd stream (magic
// 28 B5 2F FD) is decompressed on the way. Throws ScanFileError for any
// input that is not a whole, well-formed scan within `limits`; exceptions of
// the sink pass through.
void ReadScanFile(IScanFileSource& source, IScanFileSink& sink, const ScanFileLimits& limits = {});

// Bytes out. Write takes all of `size` or throws ScanFileError.
class IScanFileOutput {
public:
    virtual ~IScanFileOutput() = default;
    virtual void Write(const void* data, std::size_t size) = 0;
    virtual void Flush() {}
};

// Writes to a stdio stream, which stays open (Flush flushes it).
class CFileOutput : public IScanFileOutput {
public:
    explicit CFileOutput(std::FILE* file) : m_pFile(file) {}
    void Write(const void* data, std::size_t size) override;
    void Flush() override;

private:
    std::FILE* m_pFile;
};

// Writes to a file descriptor, which stays open.
class CFdOutput : public IScanFileOutput {
public:
    explicit CFdOutput(int fd) : m_nFd(fd) {}
    void Write(const void* data, std::size_t size) override;

private:
    int m_nFd;
};

// Collects the bytes (tests).
class CStringOutput : public IScanFileOutput {
public:
    void Write(const void* data, std::size_t size) override {
        m_str.append(static_cast<const char*>(data), size);
    }
    std::string m_str;
};

struct ScanFileWriterOptions {
    bool bCompress = false;     // zstd, as ncdu's -c
    int nCompressionLevel = 4;  // ncdu's default
    std::string strProgName = "sizewalk";
    std::string strProgVersion;             // "" means Sizewalk's own version
    std::optional<std::int64_t> timestamp;  // none means now
};

// Writes a saved scan (format 1.2) as it is handed over: EnterDirectory of
// the root, then every entry in pre-order, LeaveDirectory after each
// directory's children, and Finish. Every entry gets "asize" and "dsize",
// zeros too (ncdu leaves zeros out; writing them lets a reader tell a zero
// from a size that was not recorded). A directory gets "dev" where it differs
// from its parent's (the root always); a file with hard links gets "ino",
// "hlnkc" and "nlink"; then "read_error", "excluded" and "notreg" where set,
// and "mtime" when given and not negative (ncdu stops at negative ones).
// Sizewalk's list passes 0 as a directory's apparent size, which makes
// ncdu's totals of the file Sizewalk's (gdu 5.22 counts 4096 bytes for each
// directory, apparent and on disk, whatever the file says).
//
// Misuse (a file at the top, an unbalanced LeaveDirectory, Finish inside a
// directory, an empty name or one holding NUL) throws std::logic_error and
// writes nothing more; write errors throw ScanFileError. Without Finish the
// output is left incomplete, which every reader refuses.
class CScanFileWriter {
public:
    CScanFileWriter(IScanFileOutput& output, const ScanFileWriterOptions& options = {});
    ~CScanFileWriter();
    CScanFileWriter(const CScanFileWriter&) = delete;
    CScanFileWriter& operator=(const CScanFileWriter&) = delete;

    void EnterDirectory(const ScanFileItem& item);
    void File(const ScanFileItem& item);
    void LeaveDirectory();
    // Closes the top array, ends the zstd frame and flushes the output.
    void Finish();

private:
    class Impl;
    std::unique_ptr<Impl> m_pImpl;
};

}  // namespace sizewalk
