// Writing saved scans: the JSON text is built in a buffer and handed to the
// output in chunks, through zstd when asked.

#ifdef SIZEWALK_HAVE_ZSTD
#include <zstd.h>
#endif

#include <charconv>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <vector>

#include "res/version.h"
#include "scan/scan_file.h"

namespace sizewalk {

class CScanFileWriter::Impl {
public:
    Impl(IScanFileOutput& output, const ScanFileWriterOptions& options) : m_output(output) {
        m_buf.reserve(kFlushAt + 64 * 1024);
        if (options.bCompress) {
#ifdef SIZEWALK_HAVE_ZSTD
            m_pZstd = ZSTD_createCStream();
            if (!m_pZstd) throw std::bad_alloc();
            ZSTD_CCtx_setParameter(m_pZstd, ZSTD_c_compressionLevel, options.nCompressionLevel);
            m_zout.resize(ZSTD_CStreamOutSize());
#else
            throw ScanFileError("this build of Sizewalk cannot compress scans", 0);
#endif
        }
        Put("[1,2,{\"progname\":\"");
        PutEscaped(options.strProgName);
        Put("\",\"progver\":\"");
        PutEscaped(options.strProgVersion.empty() ? std::string_view(version::kText)
                                                  : std::string_view(options.strProgVersion));
        Put("\",\"timestamp\":");
        PutInt(options.timestamp ? *options.timestamp
                                 : static_cast<std::int64_t>(std::time(nullptr)));
        Put("}");
    }
    ~Impl() {
#ifdef SIZEWALK_HAVE_ZSTD
        if (m_pZstd) ZSTD_freeCStream(m_pZstd);
#endif
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    void Entry(const ScanFileItem& item, bool directory) {
        Usable();
        if (item.name.empty() || item.name.find('\0') != std::string_view::npos)
            Misuse("a saved scan's names must be non-empty and hold no NUL");
        if (m_devices.empty() && (!directory || m_bRootWritten))
            Misuse("a saved scan holds one root directory and everything else below it");
        const bool root = m_devices.empty();
        Put(directory ? ",\n[{\"name\":\"" : ",\n{\"name\":\"");
        PutEscaped(item.name);
        Put("\",\"asize\":");
        PutUint(item.nApparentSize);
        Put(",\"dsize\":");
        PutUint(item.nDiskSize);
        // Items without "dev" take their directory's.
        if (root || item.nDevice != m_devices.back()) {
            Put(",\"dev\":");
            PutUint(item.nDevice);
        }
        if (!directory && (item.bHardLinkCandidate || item.nLinks > 1)) {
            Put(",\"ino\":");
            PutUint(item.nInode);
            Put(",\"hlnkc\":true");
            if (item.nLinks) {
                Put(",\"nlink\":");
                PutUint(item.nLinks);
            }
        }
        if (item.bReadError) Put(",\"read_error\":true");
        switch (item.excluded) {
            case ScanFileExcluded::None:
                break;
            case ScanFileExcluded::OtherFs:
                Put(",\"excluded\":\"otherfs\"");
                break;
            case ScanFileExcluded::Pattern:
                Put(",\"excluded\":\"pattern\"");
                break;
            case ScanFileExcluded::FirmLink:
                Put(",\"excluded\":\"frmlnk\"");
                break;
            case ScanFileExcluded::KernFs:
                Put(",\"excluded\":\"kernfs\"");
                break;
            case ScanFileExcluded::Other:
                Put(",\"excluded\":\"other\"");
                break;
        }
        if (item.bNotRegular) Put(",\"notreg\":true");
        // ncdu stops reading at a negative mtime.
        if (item.mtime && *item.mtime >= 0) {
            Put(",\"mtime\":");
            PutInt(*item.mtime);
        }
        Put("}");
        if (directory) {
            m_devices.push_back(item.nDevice);
            m_bRootWritten = true;
        }
        MaybeFlush();
    }

    void Leave() {
        Usable();
        if (m_devices.empty()) Misuse("LeaveDirectory without an open directory");
        m_devices.pop_back();
        Put("]");
        MaybeFlush();
    }

    void Finish() {
        Usable();
        if (!m_bRootWritten || !m_devices.empty())
            Misuse("Finish before the root directory was written and left");
        Put("]\n");
        Flush(true);
        m_output.Flush();
        m_bDone = true;
    }

private:
    static constexpr std::size_t kFlushAt = 64 * 1024;

    void Usable() {
        if (m_bBroken) throw ScanFileError("the saved scan cannot be written any further", 0);
        if (m_bDone) throw std::logic_error("the saved scan is already finished");
    }
    [[noreturn]] void Misuse(const char* what) {
        m_bBroken = true;
        throw std::logic_error(what);
    }

    void Put(std::string_view s) { m_buf.insert(m_buf.end(), s.begin(), s.end()); }
    void PutUint(std::uint64_t n) {
        char text[24];
        const auto r = std::to_chars(text, text + sizeof text, n);
        m_buf.insert(m_buf.end(), text, r.ptr);
    }
    void PutInt(std::int64_t n) {
        char text[24];
        const auto r = std::to_chars(text, text + sizeof text, n);
        m_buf.insert(m_buf.end(), text, r.ptr);
    }
    // JSON string contents: quotes, backslashes and control characters
    // escaped; every other byte as it is, so bytes that are not UTF-8 stay
    // what they are (as ncdu writes them).
    void PutEscaped(std::string_view s) {
        std::size_t run = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if (c >= 0x20 && c != '"' && c != '\\' && c != 0x7F) continue;
            Put(s.substr(run, i - run));
            run = i + 1;
            switch (c) {
                case '"':
                    Put("\\\"");
                    break;
                case '\\':
                    Put("\\\\");
                    break;
                case '\n':
                    Put("\\n");
                    break;
                case '\r':
                    Put("\\r");
                    break;
                case '\t':
                    Put("\\t");
                    break;
                case '\b':
                    Put("\\b");
                    break;
                case '\f':
                    Put("\\f");
                    break;
                default: {
                    static const char kHex[] = "0123456789abcdef";
                    const char esc[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
                    Put(std::string_view(esc, 6));
                }
            }
        }
        Put(s.substr(run));
    }

    void MaybeFlush() {
        if (m_buf.size() >= kFlushAt) Flush(false);
    }

    void Flush(bool end) {
        try {
            if (!m_pZstd) {
                m_output.Write(m_buf.data(), m_buf.size());
            } else {
#ifdef SIZEWALK_HAVE_ZSTD
                ZSTD_inBuffer in{m_buf.data(), m_buf.size(), 0};
                for (;;) {
                    ZSTD_outBuffer out{m_zout.data(), m_zout.size(), 0};
                    const std::size_t left = ZSTD_compressStream2(
                        m_pZstd, &out, &in, end ? ZSTD_e_end : ZSTD_e_continue);
                    if (ZSTD_isError(left))
                        throw ScanFileError(std::string("zstd: ") + ZSTD_getErrorName(left), 0);
                    if (out.pos) m_output.Write(m_zout.data(), out.pos);
                    if (end ? left == 0 : in.pos == in.size) break;
                }
#else
                static_cast<void>(end);
#endif
            }
        } catch (...) {
            m_bBroken = true;
            throw;
        }
        m_buf.clear();
    }

    IScanFileOutput& m_output;
    std::vector<char> m_buf;
    std::vector<char> m_zout;
#ifdef SIZEWALK_HAVE_ZSTD
    ZSTD_CStream* m_pZstd = nullptr;
#else
    const void* m_pZstd = nullptr;  // never set: no compression here
#endif
    std::vector<std::uint64_t> m_devices;  // of the open directories
    bool m_bRootWritten = false;
    bool m_bDone = false;
    bool m_bBroken = false;
};

CScanFileWriter::CScanFileWriter(IScanFileOutput& output, const ScanFileWriterOptions& options)
    : m_pImpl(std::make_unique<Impl>(output, options)) {}
CScanFileWriter::~CScanFileWriter() = default;

void CScanFileWriter::EnterDirectory(const ScanFileItem& item) { m_pImpl->Entry(item, true); }
void CScanFileWriter::File(const ScanFileItem& item) { m_pImpl->Entry(item, false); }
void CScanFileWriter::LeaveDirectory() { m_pImpl->Leave(); }
void CScanFileWriter::Finish() { m_pImpl->Finish(); }

}  // namespace sizewalk
