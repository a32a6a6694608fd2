// sizewalk-scan: the window's scan without a window, for machines that have
// no display. It walks PATH with the same engine, rules and thread count as
// the window and writes the scan in the JSON export format that ncdu and gdu
// read (and that the window opens), plain or zstd-compressed.
//
//   sizewalk-scan [-o FILE] [-c] [--threads N] PATH
//   sizewalk-scan [--top N] [--find PATTERN] [--on-disk] [--json] PATH|FILE
//
// The second form prints the largest files or the matches of a scan of PATH
// or of a saved scan FILE (see listing.h) instead of writing a scan.
//   sizewalk-scan --types [--on-disk] [--json] PATH|FILE
//
// --types prints the files of PATH, or of a saved scan FILE, by kind and
// type (File Types) instead of writing a scan.
//
//   sizewalk-scan --compare OLD [-n N] [--json] [--on-disk] [-o FILE] PATH|NEW
//
// --compare prints what changed since the saved scan OLD: the largest
// changes (directories and files, either sign, gone ones too), each as the
// signed change in bytes, a tab and the path, or one JSON document with
// --json. The current scan is PATH walked now (and saved too with -o) or
// the saved scan NEW.
//
// Progress goes to stderr when stderr is a terminal. Exit status: 0 written,
// 1 the scan or the output failed, 2 bad arguments.

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/scan/compare_report.h"
#include "app/scan/listing.h"
#include "core/command_line.h"
#include "core/scan_command.h"
#include "model/file_types.h"
#include "model/file_types_text.h"
#include "model/scan_compare.h"
#include "model/size_text.h"
#include "res/version.h"
#include "scan/dir_scanner.h"
#include "scan/scan_file_list.h"
#include "scan/scan_file_path.h"
#ifdef _WIN32
#include "platform/wide_text_win32.h"
#endif

namespace {

struct Arguments {
    std::string output;  // empty: standard output, unless comparing
    std::string compare;
    int count = 20;
    bool compress = false;
    int threads = sizewalk::CDirScanner::DefaultThreadCount();
    bool help = false, version = false;
    sizewalk::ListingRequest listing;
    bool types = false;
};

void DeclareTypes(sizewalk::CCommandLine& options, Arguments& a) {
    options.Flag("--types", a.types, "print the files of PATH or FILE by kind and type instead");
}

sizewalk::CCommandLine Options(Arguments& a) {
    sizewalk::CCommandLine options;
    options.Text("-o", "FILE", a.output, "write to FILE (default, or -: standard output)")
        .Flag("-c", a.compress, "compress with zstd")
        .Integer("--threads", "N", a.threads, 1, 1024,
                 "read directories with N threads (default " +
                     std::to_string(sizewalk::CDirScanner::DefaultThreadCount()) + ")")
        .Text("--compare", "OLD", a.compare, "print what changed since the saved scan OLD")
        .Integer("-n", "N", a.count, 1, 1000000000, "with --compare: the N largest changes (20)");
    sizewalk::DeclareListingOptions(options, a.listing);
    DeclareTypes(options, a);
    options.Stop("-h, --help", a.help, "show this help")
        .Stop("--version", a.version, "show the version");
    return options;
}

std::string Usage(const sizewalk::CCommandLine& options) {
    return "Usage: sizewalk-scan " + options.Synopsis() +
           " PATH|FILE\n"
           "       sizewalk-scan --types [--on-disk] [--json] PATH|FILE\n"
           "       sizewalk-scan --compare OLD [-n N] [--on-disk] [--json] PATH|NEW\n"
           "Scans PATH as Sizewalk does and writes the scan in the JSON export format\n"
           "that ncdu and gdu read; open it in Sizewalk with Open Scan (Ctrl+O).\n"
           "With --top or --find, prints the largest files or the matches of PATH or\n"
           "of a saved scan FILE instead: the size in bytes, a tab, the path.\n"
           "With --compare OLD, prints the largest changes since the saved scan OLD\n"
           "(ours, ncdu's or gdu's): signed bytes, a tab and the path. The current\n"
           "scan is PATH scanned now, or NEW, a saved scan.\n"
           "\n" +
           options.Table();
}

int Fail(int status, const std::string& message) {
    std::fprintf(stderr, "sizewalk-scan: %s\n", message.c_str());
    return status;
}

#ifdef _WIN32
bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
// The console may not take terminal escapes: blanks wipe the line instead.
constexpr char kLineStart[] = "\r";
constexpr char kLineWipe[] =
    "\r                                                                 \r";
#else
bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }
constexpr char kLineStart[] = "\r\033[K";
constexpr char kLineWipe[] = "\r\033[K";
#endif

// Writes the progress on one line of the terminal while the scan runs.
class ProgressLine {
public:
    ProgressLine(const sizewalk::CScanProgress& progress, std::string path)
        : m_progress(progress), m_path(std::move(path)), m_thread([this] { Run(); }) {}
    ~ProgressLine() {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_bDone = true;
        }
        m_wake.notify_one();
        m_thread.join();
        std::fputs(kLineWipe, stderr);
    }

private:
    void Run() {
        std::unique_lock<std::mutex> lock(m_lock);
        while (!m_wake.wait_for(lock, std::chrono::milliseconds(200), [this] { return m_bDone; })) {
            const sizewalk::ProgressText text =
                sizewalk::FormatProgress(m_progress.GetSnapshot(), sizewalk::Units::MB,
                                         sizewalk::SizeMode::Apparent, m_path);
            std::fprintf(stderr, "%s%s", kLineStart, text.strCounts.c_str());
        }
    }

    const sizewalk::CScanProgress& m_progress;
    std::string m_path;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_bDone = false;
    std::thread m_thread;
};

const sizewalk::CScanList& ScanPath(sizewalk::CDirScanner& scanner, const std::string& path,
                                    int threads) {
    scanner.SetThreadCount(threads);
    sizewalk::CScanProgress progress;
    std::unique_ptr<ProgressLine> line;
    if (StderrIsTerminal()) line = std::make_unique<ProgressLine>(progress, path);
    scanner.Scan(path, &progress);
    return scanner.GetList();
}

void Write(const sizewalk::CScanList& list, const std::string& output, bool compress) {
    if (output == "-") {
#ifdef _WIN32
        _setmode(_fileno(stdout), _O_BINARY);  // the bytes as written, no CR added
#endif
        sizewalk::CFileOutput file(stdout);
        sizewalk::ScanFileWriterOptions options;
        options.bCompress = compress;
        sizewalk::CScanFileWriter writer(file, options);
        sizewalk::WriteScanList(list, writer);
        if (std::fflush(stdout) != 0)
            throw std::runtime_error(std::string("standard output: ") + std::strerror(errno));
    } else {
        // Written beside and renamed in place: never a half-written file
        // (a device or FIFO is written into).
        sizewalk::SaveScanFile(list, output, compress);
    }
}

void ReportUnreadable(const sizewalk::CScanList& list) {
    if (list.UnreadableCount() > 0)
        std::fprintf(stderr, "sizewalk-scan: %zu directories could not be read\n",
                     list.UnreadableCount());
}

// --compare: the older scan read first (a bad file ends it before a long
// scan), then the current one, walked (and saved with -o) or read.
int Compare(const Arguments& args, const std::string& path) {
    sizewalk::CScanList older, read;
    sizewalk::ScanFileMetadata metadata;
    try {
        sizewalk::OpenScanFile(args.compare, older, &metadata);
    } catch (const sizewalk::ScanFileError& e) {
        return Fail(1, args.compare + ": " + e.what());
    }
    sizewalk::CDirScanner scanner;
    const sizewalk::CScanList* current = &read;
    if (sizewalk::IsExistingDirectory(path)) {
        if (!args.output.empty() && args.output != "-")
            sizewalk::CheckScanFileWritable(args.output);
        sizewalk::RemoveUnfinishedSaveOnSignal();
        current = &ScanPath(scanner, path, args.threads);
        if (current->Empty()) return Fail(1, path + ": the scan found nothing");
        if (!args.output.empty() && args.output != "-")
            sizewalk::SaveScanFile(*current, args.output, args.compress);
        ReportUnreadable(*current);
    } else {
        try {
            sizewalk::OpenScanFile(path, read);
        } catch (const sizewalk::ScanFileError& e) {
            return Fail(1, path + ": " + e.what());
        }
    }
    sizewalk::CScanComparison comparison;
    comparison.Compare(*current, older);
    sizewalk::CompareReport report;
    report.mode = args.listing.bOnDisk ? sizewalk::SizeMode::OnDisk : sizewalk::SizeMode::Apparent;
    report.count = static_cast<std::size_t>(args.count);
    report.olderTime = metadata.timestamp;
    const bool atLeast = args.listing.bJson
                             ? sizewalk::PrintCompareJson(stdout, comparison, report)
                             : sizewalk::PrintCompareText(stdout, comparison, report);
    if (std::fflush(stdout) != 0)
        throw std::runtime_error(std::string("standard output: ") + std::strerror(errno));
    if (atLeast && !args.listing.bJson)
        std::fputs(
            "sizewalk-scan: some changes involve directories that could not be read: "
            "they are at least as shown (--json marks them)\n",
            stderr);
    return 0;
}

// The scan of the directory `given`, or the saved scan it names (a reason
// thrown when it cannot be read); `scanner` or `opened` holds it.
const sizewalk::CScanList& ScanOrOpen(const Arguments& args, const std::string& given,
                                      sizewalk::CDirScanner& scanner, sizewalk::CScanList& opened) {
    std::string path = given;
    sizewalk::StripTrailingSeparator(path);
    if (!sizewalk::IsExistingDirectory(path)) {
        sizewalk::OpenScanFile(given, opened);
        return opened;
    }
    return ScanPath(scanner, path, args.threads);
}

// --top, --find: the list of a scan of the directory `path`, or of the
// saved scan it names.
int RunListing(const Arguments& args, const std::string& given) {
    if (args.compress || !args.output.empty())
        return Fail(2, "-o and -c write a scan; they do not go with --top or --find");
    sizewalk::CDirScanner scanner;
    sizewalk::CScanList opened;
    const sizewalk::CScanList& list = ScanOrOpen(args, given, scanner, opened);
    if (list.Empty()) return Fail(1, given + ": the scan found nothing");
    std::string error;
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);  // lines end in LF as on Linux: one parser for both
#endif
    if (const int status = sizewalk::PrintListing(list, args.listing, stdout, error); status != 0)
        return Fail(status, error);
    if (std::fflush(stdout) != 0)
        throw std::runtime_error(std::string("standard output: ") + std::strerror(errno));
    return 0;
}

// File Types of a directory (scanned) or of a saved scan, to standard output.
int PrintTypes(const Arguments& args, const std::string& given) {
    sizewalk::CDirScanner scanner;
    sizewalk::CScanList opened;
    const sizewalk::CScanList& list = ScanOrOpen(args, given, scanner, opened);
    if (list.Empty()) return Fail(1, given + ": the scan found nothing");
    sizewalk::CFileTypes types;
    types.Count(list,
                args.listing.bOnDisk ? sizewalk::SizeMode::OnDisk : sizewalk::SizeMode::Apparent);
    const std::string text =
        args.listing.bJson ? sizewalk::FileTypesJson(types) : sizewalk::FileTypesTable(types);
    if (std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0)
        throw std::runtime_error(std::string("standard output: ") + std::strerror(errno));
    return 0;
}

int Run(const std::vector<std::string>& argv) {
    Arguments args;
    const sizewalk::CCommandLine options = Options(args);
    const sizewalk::CCommandLine::Result parsed =
        options.Parse(std::vector<std::string>(argv.begin() + (argv.empty() ? 0 : 1), argv.end()));
    if (parsed.eError == sizewalk::CCommandLine::Error::UnknownOption)
        std::fputs(Usage(options).c_str(), stderr);
    if (!parsed) return Fail(2, parsed.strError);
    if (args.help) {
        std::fputs(Usage(options).c_str(), stdout);
        return 0;
    }
    if (args.version) {
        std::printf("sizewalk-scan %s\n", sizewalk::version::kText);
        return 0;
    }
    if ((args.listing.nTop > 0 || args.listing.bFind) && parsed.positional.size() == 1)
        return RunListing(args, parsed.positional.front());
    if (args.compress && !sizewalk::ScanFilesCanCompress())
        return Fail(2, "-c: this build cannot compress (no zstd)");
    if (parsed.positional.empty()) {
        std::fputs(Usage(options).c_str(), stderr);
        return 2;
    }
    if (parsed.positional.size() > 1) return Fail(2, "one PATH only (see --help)");
    std::string path = parsed.positional.front();
    sizewalk::StripTrailingSeparator(path);
    if (args.types) return PrintTypes(args, path);
    if (!args.compare.empty()) return Compare(args, path);
    if (args.listing.bOnDisk || args.listing.bJson)
        return Fail(2, "--on-disk and --json go with --top, --find, --types or --compare");
    if (!sizewalk::IsExistingDirectory(path)) return Fail(1, path + ": not a directory");
    const std::string output = args.output.empty() ? "-" : args.output;

    // Check the output first: a scan of hours must not end in "cannot write".
    if (output != "-") sizewalk::CheckScanFileWritable(output);
    // Stopped while saving (Ctrl+C, kill, a closed terminal): no large
    // temporary file stays beside the output.
    sizewalk::RemoveUnfinishedSaveOnSignal();

    sizewalk::CDirScanner scanner;
    const sizewalk::CScanList& list = ScanPath(scanner, path, args.threads);
    if (list.Empty()) return Fail(1, path + ": the scan found nothing");
    Write(list, output, args.compress);
    ReportUnreadable(list);
    return 0;
}

}  // namespace

#ifdef _WIN32
// Arguments in UTF-16, as Windows has them, made UTF-8 as the engine's paths are.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(sizewalk::Utf8FromWide(argv[i]));
#else
int main(int argc, char** argv) {
    const std::vector<std::string> args(argv, argv + argc);
#endif
    try {
        return Run(args);
    } catch (const std::bad_alloc&) {
        return Fail(1, "out of memory");
    } catch (const std::exception& e) {
        return Fail(1, e.what());
    }
}
