// Scans a directory with the real scanner and prints one JSON line per run:
//   sizewalk-bench [--repeat N] PATH
// bytes_per_entry is the growth of resident memory across the scan (taken
// against the process before its first scan), divided by the entries kept.

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/find_record.h"
#include "scan/dir_scanner.h"

namespace {

long long ResidentBytes() {
    long long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%lld %lld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

long long PeakResidentBytes() {
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<long long>(ru.ru_maxrss) * 1024;
}

// JSON string body: names are bytes, so anything outside printable ASCII is
// escaped byte by byte rather than trusted to be UTF-8.
std::string JsonEscape(const char* s) {
    std::string out;
    for (; *s; ++s) {
        const auto c = static_cast<unsigned char>(*s);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int Usage() {
    std::fprintf(stderr, "usage: sizewalk-bench [--repeat N] PATH\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int repeat = 1;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::atoi(argv[++i]);
            if (repeat < 1) return Usage();
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return Usage();
        } else if (!path) {
            path = argv[i];
        } else {
            return Usage();
        }
    }
    if (!path) return Usage();

    sizewalk::FindRecord probe;
    if (!sizewalk::ProbePath(path, probe) || !probe.IsDirectory()) {
        std::fprintf(stderr, "sizewalk-bench: %s: not a directory\n", path);
        return 1;
    }

    sizewalk::CDirScanner scanner;
    const long long baseline = ResidentBytes();
    for (int run = 0; run < repeat; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        scanner.Scan(path);
        const auto t1 = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(t1 - t0).count();

        std::size_t directories = 0;
        for (std::size_t i = 0; i < scanner.GetCount(); ++i)
            directories += scanner.GetAt(i).IsDirectory() ? 1 : 0;
        const std::size_t entries = scanner.GetCount();
        const long long growth = ResidentBytes() - baseline;
        std::printf(
            "{\"run\": %d, \"path\": \"%s\", \"entries\": %zu, \"directories\": %zu, "
            "\"files\": %zu, \"total_bytes\": %.0f, \"scan_seconds\": %.6f, "
            "\"peak_rss_bytes\": %lld, \"bytes_per_entry\": %.2f}\n",
            run + 1, JsonEscape(path).c_str(), entries, directories, entries - directories,
            scanner.GetAt(0).m_dTotal, seconds, PeakResidentBytes(),
            entries ? static_cast<double>(growth) / static_cast<double>(entries) : 0.0);
        std::fflush(stdout);
    }
    return 0;
}
