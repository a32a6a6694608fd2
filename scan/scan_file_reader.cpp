// Reading saved scans: a zstd-aware byte stream, RapidJSON's SAX reader in
// its iterative mode (nesting costs heap, never stack), and a handler that
// checks the format's shape as events arrive and hands entries to the sink.
//
// Memory stays bounded whatever the input: RapidJSON buffers each string on
// its parse stack, whose allocator refuses to grow past a cap; directories
// nest at most ScanFileLimits::nMaxDepth deep and values of unknown keys at
// most kMaxSkipDepth; zstd's window is capped. What remains grows with the
// tree (one name mark per entry of each open directory).

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>
#ifdef SIZEWALK_HAVE_ZSTD
#include <zstd.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "scan/scan_file.h"

namespace sizewalk {
namespace {

constexpr std::size_t kMaxSkipDepth = 32;      // nesting inside values we skip
constexpr std::size_t kMaxMetadataText = 256;  // bytes kept of progname, progver
constexpr std::uint64_t kMaxSize = std::numeric_limits<std::int64_t>::max();
constexpr int kZstdWindowLogMax = 27;  // zstd's own default limit: 128 MiB

// Thrown by the parse stack's allocator when a string outgrows the cap.
struct StringTooLong {};

// RapidJSON's parse stack holds the iterative parser's states and the string
// being read; this allocator keeps it within a cap.
class CappedAllocator {
public:
    static const bool kNeedFree = true;
    explicit CappedAllocator(std::size_t cap = 1 << 20) : m_nCap(cap) {}
    void* Malloc(std::size_t size) { return size ? Realloc(nullptr, 0, size) : nullptr; }
    void* Realloc(void* original, std::size_t, std::size_t newSize) {
        if (newSize == 0) {
            std::free(original);
            return nullptr;
        }
        if (newSize > m_nCap) throw StringTooLong{};
        void* p = std::realloc(original, newSize);
        if (!p) throw std::bad_alloc();
        return p;
    }
    static void Free(void* p) { std::free(p); }

private:
    std::size_t m_nCap;
};

// The raw bytes, or their decompression when they start as a zstd frame.
class DecodedSource {
public:
    explicit DecodedSource(IScanFileSource& raw) : m_raw(raw), m_in(new char[kRawSize]) {
        // Enough bytes to see the magic number (a pipe may give fewer).
        while (m_nInSize < 4) {
            const std::size_t n = m_raw.Read(m_in.get() + m_nInSize, kRawSize - m_nInSize);
            if (n == 0) {
                m_bRawEnd = true;
                break;
            }
            m_nInSize += n;
        }
        static const unsigned char kMagic[4] = {0x28, 0xB5, 0x2F, 0xFD};
        if (m_nInSize >= 4 && std::memcmp(m_in.get(), kMagic, 4) == 0) {
#ifdef SIZEWALK_HAVE_ZSTD
            m_pZstd = ZSTD_createDStream();
            if (!m_pZstd) throw std::bad_alloc();
            ZSTD_DCtx_setParameter(m_pZstd, ZSTD_d_windowLogMax, kZstdWindowLogMax);
#else
            throw ScanFileError(
                "the scan is compressed with zstd, which this build of Sizewalk cannot read; "
                "decompress it first (zstd -d)",
                0);
#endif
        }
    }
    ~DecodedSource() {
#ifdef SIZEWALK_HAVE_ZSTD
        if (m_pZstd) ZSTD_freeDStream(m_pZstd);
#endif
    }
    DecodedSource(const DecodedSource&) = delete;
    DecodedSource& operator=(const DecodedSource&) = delete;

    bool Compressed() const { return m_pZstd != nullptr; }

    std::size_t Read(char* out, std::size_t size) {
        if (!m_pZstd) {
            if (m_nInPos < m_nInSize) {
                const std::size_t n = std::min(size, m_nInSize - m_nInPos);
                std::memcpy(out, m_in.get() + m_nInPos, n);
                m_nInPos += n;
                return n;
            }
            return m_bRawEnd ? 0 : m_raw.Read(out, size);
        }
#ifdef SIZEWALK_HAVE_ZSTD
        for (;;) {
            if (m_nInPos == m_nInSize && !m_bRawEnd) {
                m_nInPos = 0;
                m_nInSize = m_raw.Read(m_in.get(), kRawSize);
                if (m_nInSize == 0) m_bRawEnd = true;
            }
            ZSTD_inBuffer in{m_in.get(), m_nInSize, m_nInPos};
            ZSTD_outBuffer o{out, size, 0};
            const std::size_t ret = ZSTD_decompressStream(m_pZstd, &o, &in);
            if (ZSTD_isError(ret))
                throw ScanFileError(
                    std::string("zstd data is corrupt (") + ZSTD_getErrorName(ret) + ")", 0);
            // 0 once a frame is decoded and flushed whole; a call that did
            // nothing says nothing about that.
            if (in.pos != m_nInPos || o.pos) m_nLastResult = ret;
            m_nInPos = in.pos;
            if (o.pos > 0) return o.pos;
            if (m_nInPos == m_nInSize && m_bRawEnd) {
                if (m_nLastResult != 0) throw ScanFileError("the zstd data ends early", 0);
                return 0;
            }
        }
#else
        return 0;
#endif
    }

private:
    static constexpr std::size_t kRawSize = 64 * 1024;
    IScanFileSource& m_raw;
    std::unique_ptr<char[]> m_in;  // not zeroed: read into first
    std::size_t m_nInPos = 0, m_nInSize = 0;
    bool m_bRawEnd = false;
#ifdef SIZEWALK_HAVE_ZSTD
    ZSTD_DStream* m_pZstd = nullptr;
#else
    const void* m_pZstd = nullptr;  // never set: no decompression here
#endif
    std::size_t m_nLastResult = 1;  // no frame decoded yet
};

std::string WithOffset(const std::string& message, std::uint64_t offset, bool decompressed) {
    return message + " (at byte " + std::to_string(offset) +
           (decompressed ? " of the decompressed data)" : ")");
}

// RapidJSON's input stream: chunks of the decoded bytes, then '\0' for ever.
class JsonInput {
public:
    typedef char Ch;

    explicit JsonInput(DecodedSource& source) : m_source(source), m_buf(new char[kSize]) {
        m_pCur = m_pEnd = m_buf.get();
        Refill();
    }

    Ch Peek() const { return *m_pCur; }
    Ch Take() {
        const Ch c = *m_pCur;
        if (++m_pCur == m_pEnd) Refill();
        return c;
    }
    std::size_t Tell() const { return static_cast<std::size_t>(m_nBase + (m_pCur - m_buf.get())); }
    // The stream ended (a '\0' from Peek may also be a NUL byte of the input).
    bool AtEnd() const { return m_bEnd; }

    // Only for in-situ parsing, which is not used.
    Ch* PutBegin() { return nullptr; }
    void Put(Ch) {}
    void Flush() {}
    std::size_t PutEnd(Ch*) { return 0; }

private:
    void Refill() {
        if (m_bEnd) {  // back onto the '\0'
            m_pCur = m_buf.get();
            return;
        }
        m_nBase += static_cast<std::uint64_t>(m_pEnd - m_buf.get());
        std::size_t n;
        try {
            n = m_source.Read(m_buf.get(), kSize);
        } catch (const ScanFileError& e) {
            throw ScanFileError(WithOffset(e.what(), m_nBase, m_source.Compressed()), m_nBase);
        }
        m_pCur = m_buf.get();
        m_pEnd = m_pCur + n;
        if (n == 0) {
            m_bEnd = true;
            m_buf[0] = '\0';
            m_pEnd = m_pCur + 1;
        }
    }

    static constexpr std::size_t kSize = 64 * 1024;
    DecodedSource& m_source;
    std::unique_ptr<char[]> m_buf;
    char* m_pCur;
    char* m_pEnd;
    std::uint64_t m_nBase = 0;
    bool m_bEnd = false;
};

std::uint64_t Fnv1a(std::string_view s) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : s) h = (h ^ c) * 0x100000001b3ull;
    return h;
}

// Checks the format's shape event by event and feeds the sink. Any refusal
// stores a message and stops the parse (returns false).
class Handler {
public:
    Handler(IScanFileSink& sink, const ScanFileLimits& limits, const JsonInput& input)
        : m_sink(sink), m_limits(limits), m_input(input) {}

    bool Null() {
        return Guard([&] { return Scalar(Kind::Null); });
    }
    bool Bool(bool b) {
        m_bBool = b;
        return Guard([&] { return Scalar(Kind::Bool); });
    }
    bool Int(int i) { return Int64(i); }
    bool Uint(unsigned u) { return Uint64(u); }
    bool Int64(std::int64_t i) {
        if (i >= 0) return Uint64(static_cast<std::uint64_t>(i));
        m_nNegative = i;
        return Guard([&] { return Scalar(Kind::Negative); });
    }
    bool Uint64(std::uint64_t u) {
        m_nUnsigned = u;
        return Guard([&] { return Scalar(Kind::Unsigned); });
    }
    bool Double(double d) {
        m_dDouble = d;
        return Guard([&] { return Scalar(Kind::Double); });
    }
    bool RawNumber(const char*, rapidjson::SizeType, bool) { return Fail("unexpected number"); }
    bool String(const char* s, rapidjson::SizeType n, bool) {
        m_string = std::string_view(s, n);
        return Guard([&] { return Scalar(Kind::String); });
    }
    bool Key(const char* s, rapidjson::SizeType n, bool) {
        return Guard([&] { return OnKey(std::string_view(s, n)); });
    }
    bool StartObject() {
        return Guard([&] { return Start(false); });
    }
    bool EndObject(rapidjson::SizeType) {
        return Guard([&] { return EndObj(); });
    }
    bool StartArray() {
        return Guard([&] { return Start(true); });
    }
    bool EndArray(rapidjson::SizeType) {
        return Guard([&] { return EndArr(); });
    }

    bool Finished() const { return m_bFinished; }
    const std::string& Error() const { return m_strError; }
    std::uint64_t ErrorOffset() const { return m_nErrorOffset; }
    std::exception_ptr Exception() const { return m_exception; }

private:
    enum class Kind { Null, Bool, Negative, Unsigned, Double, String };
    enum class Frame : std::uint8_t { Top, Metadata, Directory, Info, Skip };
    enum class Field : std::uint8_t {
        Unknown,
        Name,
        ASize,
        DSize,
        Dev,
        Ino,
        NLink,
        HLnkC,
        ReadError,
        Excluded,
        NotReg,
        MTime,
        Items
    };
    enum class MetaField : std::uint8_t { Unknown, ProgName, ProgVer, Timestamp };

    struct Dir {
        std::uint64_t nDevice;
        std::size_t nFirstMark;  // its children's marks start here
        bool bExcluded;
    };
    struct NameMark {
        std::uint64_t h1, h2;
        std::uint64_t nOffset;
        bool operator<(const NameMark& o) const {
            return h1 != o.h1 ? h1 < o.h1 : h2 != o.h2 ? h2 < o.h2 : nOffset < o.nOffset;
        }
    };

    template <class F>
    bool Guard(F&& f) {
        try {
            return f();
        } catch (...) {
            m_exception = std::current_exception();
            return false;
        }
    }

    bool Fail(const std::string& message) { return FailAt(message, m_input.Tell()); }
    bool FailAt(const std::string& message, std::uint64_t offset) {
        if (m_strError.empty()) {
            m_strError = message;
            m_nErrorOffset = offset;
        }
        return false;
    }

    static const char* KindText(Kind k) {
        switch (k) {
            case Kind::Null:
                return "null";
            case Kind::Bool:
                return "true or false";
            case Kind::Negative:
                return "a negative number";
            case Kind::Unsigned:
                return "a number";
            case Kind::Double:
                return "a number with a fraction or exponent";
            case Kind::String:
                return "a string";
        }
        return "a value";
    }

    // ---- values -------------------------------------------------------

    bool Scalar(Kind kind) {
        if (m_frames.empty()) return Fail("not a saved scan: the file does not start with '['");
        switch (m_frames.back()) {
            case Frame::Skip:
                return true;
            case Frame::Top:
                return TopScalar(kind);
            case Frame::Metadata:
                return MetadataValue(kind);
            case Frame::Directory:
                return Fail(
                    std::string("expected an entry (an object or array) in a directory, found ") +
                    KindText(kind));
            case Frame::Info:
                return FieldValue(kind);
        }
        return true;
    }

    bool TopScalar(Kind kind) {
        const std::size_t index = m_nTopIndex++;
        if (index >= 4) return AfterTree();
        if (index == 0 || index == 1) {
            const char* what = index == 0 ? "major version" : "minor version";
            if (kind != Kind::Unsigned || m_nUnsigned > 10000)
                return Fail(std::string("expected the ") + what +
                            " (a number from 0 to 10000), found " +
                            (kind == Kind::Unsigned ? "a number above 10000" : KindText(kind)));
            if (index == 0 && m_nUnsigned != 1)
                return Fail("unsupported format version " + std::to_string(m_nUnsigned) +
                            " (only version 1 is known)");
            (index == 0 ? m_metadata.nMajorVersion : m_metadata.nMinorVersion) =
                static_cast<int>(m_nUnsigned);
            return true;
        }
        if (index == 2)
            return Fail(std::string("expected the metadata object, found ") + KindText(kind));
        return Fail(std::string("expected the root directory (an array), found ") + KindText(kind));
    }

    // A file holds one tree: anything after it (a second tree) would be
    // dropped unseen, so the file is refused instead.
    bool AfterTree() { return Fail("unexpected data after the scan's tree"); }

    bool MetadataValue(Kind kind) {
        const MetaField field = m_metaField;
        m_metaField = MetaField::Unknown;
        if ((field == MetaField::ProgName || field == MetaField::ProgVer) && kind == Kind::String) {
            std::string& s =
                field == MetaField::ProgName ? m_metadata.strProgName : m_metadata.strProgVersion;
            s.assign(m_string.substr(0, kMaxMetadataText));
        } else if (field == MetaField::Timestamp) {
            // Informative only: a timestamp of another type is left out.
            if (kind == Kind::Unsigned && m_nUnsigned <= kMaxSize)
                m_metadata.timestamp = static_cast<std::int64_t>(m_nUnsigned);
            else if (kind == Kind::Negative)
                m_metadata.timestamp = m_nNegative;
            else if (kind == Kind::Double && std::isfinite(m_dDouble) &&
                     std::fabs(m_dDouble) < 9.2e18)
                m_metadata.timestamp = static_cast<std::int64_t>(std::floor(m_dDouble));
        }
        return true;
    }

    bool SizeValue(Kind kind, const char* key, std::uint64_t max, std::uint64_t& out) {
        if (kind == Kind::Unsigned) {
            if (m_nUnsigned > max)
                return Fail(std::string("\"") + key + "\" is out of range (above " +
                            std::to_string(max) + ")");
            out = m_nUnsigned;
            return true;
        }
        if (kind == Kind::Double && m_dDouble >= 0) {
            // RapidJSON hands integers beyond 2^64 over as doubles.
            if (m_dDouble > static_cast<double>(max))
                return Fail(std::string("\"") + key + "\" is out of range (above " +
                            std::to_string(max) + ")");
            return Fail(std::string("\"") + key + "\" is not a whole number");
        }
        return Fail(std::string("\"") + key + "\" must be a number of 0 or more, found " +
                    KindText(kind));
    }

    bool BoolValue(Kind kind, const char* key, bool& out) {
        if (kind != Kind::Bool)
            return Fail(std::string("\"") + key + "\" must be true or false, found " +
                        KindText(kind));
        out = m_bBool;
        return true;
    }

    bool FieldValue(Kind kind) {
        const Field field = m_field;
        m_field = Field::Unknown;
        ScanFileItem& it = m_item;
        switch (field) {
            case Field::Unknown:
                return true;
            case Field::Name:
                return NameValue(kind);
            case Field::ASize:
                return SizeValue(kind, "asize", kMaxSize, it.nApparentSize);
            case Field::DSize:
                return SizeValue(kind, "dsize", kMaxSize, it.nDiskSize);
            case Field::Dev:
                return SizeValue(kind, "dev", UINT64_MAX, it.nDevice);
            case Field::Ino:
                return SizeValue(kind, "ino", UINT64_MAX, it.nInode);
            case Field::NLink: {
                std::uint64_t n = 0;
                if (!SizeValue(kind, "nlink", UINT32_MAX, n)) return false;
                it.nLinks = static_cast<std::uint32_t>(n);
                return true;
            }
            case Field::Items: {
                std::uint64_t n = 0;
                if (!SizeValue(kind, "items", UINT64_MAX, n)) return false;
                m_bItems = true;
                return true;
            }
            case Field::HLnkC:
                return BoolValue(kind, "hlnkc", it.bHardLinkCandidate);
            case Field::ReadError:
                return BoolValue(kind, "read_error", it.bReadError);
            case Field::NotReg:
                return BoolValue(kind, "notreg", it.bNotRegular);
            case Field::Excluded: {
                if (kind != Kind::String)
                    return Fail(std::string("\"excluded\" must be a string, found ") +
                                KindText(kind));
                const std::string_view s = m_string;
                it.excluded = s == "otherfs" || s == "othfs" ? ScanFileExcluded::OtherFs
                              : s == "pattern"               ? ScanFileExcluded::Pattern
                              : s == "frmlnk"                ? ScanFileExcluded::FirmLink
                              : s == "kernfs"                ? ScanFileExcluded::KernFs
                                                             : ScanFileExcluded::Other;
                return true;
            }
            case Field::MTime: {
                if (kind == Kind::Unsigned && m_nUnsigned <= kMaxSize) {
                    it.mtime = static_cast<std::int64_t>(m_nUnsigned);
                } else if (kind == Kind::Negative) {
                    it.mtime = m_nNegative;
                } else if (kind == Kind::Double && std::isfinite(m_dDouble) &&
                           std::fabs(m_dDouble) < 9.2e18) {
                    it.mtime = static_cast<std::int64_t>(
                        std::floor(m_dDouble));  // ncdu writes fractions too
                } else {
                    return Fail(std::string("\"mtime\" must be a number of seconds, found ") +
                                (kind == Kind::Unsigned || kind == Kind::Double ? "one out of range"
                                                                                : KindText(kind)));
                }
                return true;
            }
        }
        return true;
    }

    bool NameValue(Kind kind) {
        if (kind != Kind::String)
            return Fail(std::string("\"name\" must be a string, found ") + KindText(kind));
        if (m_bHaveName) return Fail("an entry has two names");
        const bool root = m_dirs.empty();
        const std::size_t max = root ? m_limits.nMaxRootBytes : m_limits.nMaxNameBytes;
        if (m_string.size() > max)
            return Fail(std::string(root ? "the root path" : "a name") + " is longer than " +
                        std::to_string(max) + " bytes");
        m_name.assign(m_string);
        m_bHaveName = true;
        return true;
    }

    // ---- keys ---------------------------------------------------------

    bool OnKey(std::string_view k) {
        switch (m_frames.back()) {
            case Frame::Metadata:
                m_metaField = k == "progname"    ? MetaField::ProgName
                              : k == "progver"   ? MetaField::ProgVer
                              : k == "timestamp" ? MetaField::Timestamp
                                                 : MetaField::Unknown;
                return true;
            case Frame::Info:
                m_field = FieldOf(k);
                return true;
            default:
                return true;  // Skip
        }
    }

    // Every entry has several keys: compared as fixed-size blocks, which the
    // compiler turns into a load or two (string_view's == called memcmp).
    template <std::size_t N>
    static bool Is(std::string_view k, const char (&literal)[N]) {
        return std::memcmp(k.data(), literal, N - 1) == 0;
    }

    static Field FieldOf(std::string_view k) {
        switch (k.size()) {
            case 3:
                if (Is(k, "dev")) return Field::Dev;
                if (Is(k, "ino")) return Field::Ino;
                break;
            case 4:
                if (Is(k, "name")) return Field::Name;
                break;
            case 5:
                if (Is(k, "asize")) return Field::ASize;
                if (Is(k, "dsize")) return Field::DSize;
                if (Is(k, "nlink")) return Field::NLink;
                if (Is(k, "hlnkc")) return Field::HLnkC;
                if (Is(k, "mtime")) return Field::MTime;
                if (Is(k, "items")) return Field::Items;
                break;
            case 6:
                if (Is(k, "notreg")) return Field::NotReg;
                break;
            case 8:
                if (Is(k, "excluded")) return Field::Excluded;
                break;
            case 10:
                if (Is(k, "read_error")) return Field::ReadError;
                break;
            default:
                break;
        }
        return Field::Unknown;
    }

    // ---- containers -----------------------------------------------------

    bool Start(bool array) {
        if (m_frames.empty()) {
            if (!array) return Fail("not a saved scan: the file does not start with '['");
            m_frames.push_back(Frame::Top);
            return true;
        }
        switch (m_frames.back()) {
            case Frame::Skip:
                return PushSkip();
            case Frame::Top: {
                const std::size_t index = m_nTopIndex++;
                if (index == 2 && !array) {
                    m_frames.push_back(Frame::Metadata);
                    return true;
                }
                if (index == 3 && array) return PushDirectory();
                if (index >= 4) return AfterTree();
                if (index < 2) {
                    return Fail(std::string("expected the ") + (index == 0 ? "major" : "minor") +
                                " version (a number), found " + (array ? "an array" : "an object"));
                }
                return Fail(index == 2 ? "expected the metadata object, found an array"
                                       : "expected the root directory (an array), found an object");
            }
            case Frame::Metadata:
                m_metaField = MetaField::Unknown;
                return PushSkip();
            case Frame::Info:
                if (m_field != Field::Unknown) {
                    m_field = Field::Unknown;
                    return Fail(std::string("a known field holds ") +
                                (array ? "an array" : "an object"));
                }
                return PushSkip();
            case Frame::Directory:
                if (m_bAwaitingInfo) {
                    if (array)
                        return Fail("a directory must start with its info object, found an array");
                    return BeginInfo(true);
                }
                if (m_dirs.back().bExcluded) return Fail("an excluded directory has contents");
                if (array) return PushDirectory();
                return BeginInfo(false);
        }
        return true;
    }

    bool PushSkip() {
        if (++m_nSkipDepth > kMaxSkipDepth)
            return Fail("a value is nested deeper than " + std::to_string(kMaxSkipDepth) +
                        " levels");
        m_frames.push_back(Frame::Skip);
        return true;
    }

    bool PushDirectory() {
        if (m_dirs.size() + 1 > m_limits.nMaxDepth)
            return Fail("directories are nested deeper than " + std::to_string(m_limits.nMaxDepth) +
                        " levels");
        m_frames.push_back(Frame::Directory);
        m_bAwaitingInfo = true;
        return true;
    }

    bool BeginInfo(bool directory) {
        m_frames.push_back(Frame::Info);
        m_item = ScanFileItem{};
        m_item.bDirectory = directory;
        m_item.nDevice = m_dirs.empty() ? 0 : m_dirs.back().nDevice;
        m_bHaveName = false;
        m_bItems = false;
        m_field = Field::Unknown;
        m_nItemOffset = m_input.Tell();  // at the brace
        return true;
    }

    bool EndObj() {
        const Frame frame = m_frames.back();
        m_frames.pop_back();
        if (frame == Frame::Skip) {
            --m_nSkipDepth;
            return true;
        }
        if (frame == Frame::Metadata) {
            m_bGdu = m_metadata.strProgName == "gdu";
            m_sink.Metadata(m_metadata);
            return true;
        }
        return EndInfo();
    }

    bool EndInfo() {
        const bool root = m_dirs.empty();
        if (!m_bHaveName) return FailAt("an entry has no \"name\"", m_nItemOffset);
        const std::string_view name = m_name;
        if (name.empty()) return FailAt("an entry has an empty name", m_nItemOffset);
        if (name.find('\0') != std::string_view::npos)
            return FailAt("a name holds a NUL character", m_nItemOffset);
        if (!root) {
            if (name == "." || name == "..")
                return FailAt("an entry is named \"" + m_name + "\"", m_nItemOffset);
            if (name.find('/') != std::string_view::npos)
                return FailAt("a name holds \"/\"", m_nItemOffset);
            if (!m_limits.bAllowDuplicateNames)
                m_marks.push_back(
                    {std::hash<std::string_view>{}(name), Fnv1a(name), m_nItemOffset});
        }
        m_item.name = name;
        if (m_item.bDirectory) {
            m_item.bSubtreeTotals = m_bItems || m_bGdu;
            m_bAwaitingInfo = false;
            m_dirs.push_back(
                {m_item.nDevice, m_marks.size(), m_item.excluded != ScanFileExcluded::None});
            m_sink.EnterDirectory(m_item);
        } else {
            if (root) return FailAt("the root must be a directory (an array)", m_nItemOffset);
            m_sink.File(m_item);
        }
        return true;
    }

    bool EndArr() {
        const Frame frame = m_frames.back();
        m_frames.pop_back();
        switch (frame) {
            case Frame::Skip:
                --m_nSkipDepth;
                return true;
            case Frame::Top:
                if (m_nTopIndex < 4) {
                    static const char* const kMissing[] = {"the major version", "the minor version",
                                                           "the metadata object",
                                                           "the root directory"};
                    return Fail(std::string("the file ends its top array without ") +
                                kMissing[m_nTopIndex]);
                }
                m_bFinished = true;
                return true;
            case Frame::Directory: {
                if (m_bAwaitingInfo) return Fail("a directory array has no info object");
                if (!CheckDuplicates()) return false;
                m_marks.resize(m_dirs.back().nFirstMark);
                m_dirs.pop_back();
                m_sink.LeaveDirectory();
                return true;
            }
            default:
                return true;
        }
    }

    bool CheckDuplicates() {
        if (m_limits.bAllowDuplicateNames) return true;
        const auto first = m_marks.begin() + static_cast<std::ptrdiff_t>(m_dirs.back().nFirstMark);
        std::sort(first, m_marks.end());
        for (auto it = first; it != m_marks.end() && it + 1 != m_marks.end(); ++it) {
            if (it->h1 == (it + 1)->h1 && it->h2 == (it + 1)->h2)
                return FailAt("a name repeats an earlier name of the same directory",
                              (it + 1)->nOffset);
        }
        return true;
    }

    IScanFileSink& m_sink;
    const ScanFileLimits& m_limits;
    const JsonInput& m_input;

    std::vector<Frame> m_frames;
    std::vector<Dir> m_dirs;
    std::vector<NameMark> m_marks;
    std::size_t m_nSkipDepth = 0;
    std::size_t m_nTopIndex = 0;
    bool m_bAwaitingInfo = false;
    bool m_bFinished = false;
    bool m_bGdu = false;

    ScanFileMetadata m_metadata;
    MetaField m_metaField = MetaField::Unknown;

    ScanFileItem m_item;
    std::string m_name;
    bool m_bHaveName = false;
    bool m_bItems = false;
    Field m_field = Field::Unknown;
    std::uint64_t m_nItemOffset = 0;

    // The scalar being handed over.
    bool m_bBool = false;
    std::int64_t m_nNegative = 0;
    std::uint64_t m_nUnsigned = 0;
    double m_dDouble = 0;
    std::string_view m_string;

    std::string m_strError;
    std::uint64_t m_nErrorOffset = 0;
    std::exception_ptr m_exception;
};

}  // namespace

void ReadScanFile(IScanFileSource& source, IScanFileSink& sink, const ScanFileLimits& limits) {
    DecodedSource decoded(source);
    const bool z = decoded.Compressed();
    JsonInput input(decoded);
    Handler handler(sink, limits, input);
    // Room for the longest root path RapidJSON may hold while reading it
    // (its stack grows by half), and the parser's state per level.
    CappedAllocator allocator(
        std::max<std::size_t>(1 << 20, 2 * limits.nMaxRootBytes + 64 * limits.nMaxDepth));
    rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, CappedAllocator> reader(
        &allocator, 1024);
    rapidjson::ParseResult result;
    try {
        result = reader.Parse<rapidjson::kParseIterativeFlag>(input, handler);
    } catch (const StringTooLong&) {
        throw ScanFileError(WithOffset("a string is too long", input.Tell(), z), input.Tell());
    }
    if (handler.Exception()) std::rethrow_exception(handler.Exception());
    if (!handler.Error().empty())
        throw ScanFileError(WithOffset(handler.Error(), handler.ErrorOffset(), z),
                            handler.ErrorOffset());
    if (result.IsError()) {
        const std::uint64_t offset = result.Offset();
        std::string message;
        switch (result.Code()) {
            case rapidjson::kParseErrorDocumentEmpty:
                message = "the file is empty";
                break;
            case rapidjson::kParseErrorDocumentRootNotSingular:
                message = "unexpected data after the end of the scan";
                break;
            default:
                message = !input.AtEnd() && offset == input.Tell() && input.Peek() == '\0'
                              ? std::string("unexpected NUL byte")
                          : input.AtEnd() && offset >= input.Tell()
                              ? std::string("the file ends early (") +
                                    rapidjson::GetParseError_En(result.Code()) + ")"
                              : std::string("invalid JSON: ") +
                                    rapidjson::GetParseError_En(result.Code());
                break;
        }
        throw ScanFileError(WithOffset(message, offset, z), offset);
    }
    // RapidJSON takes a NUL byte for the end of the input.
    if (!input.AtEnd())
        throw ScanFileError(WithOffset("unexpected NUL byte", input.Tell(), z), input.Tell());
    if (!handler.Finished())
        throw ScanFileError(WithOffset("the file ends early", input.Tell(), z), input.Tell());
}

}  // namespace sizewalk
