#include "model/labels.h"

#include <cinttypes>
#include <cstdio>

namespace sizewalk {

namespace {

// Writes with snprintf into a stack buffer, growing into `out` only for
// labels longer than any that a 255-byte name produces.
template <typename Format>
void Print(std::string& out, Format&& format) {
    char buffer[512];
    const int n = format(buffer, sizeof buffer);
    if (n < 0) {
        out.clear();
        return;
    }
    if (static_cast<std::size_t>(n) < sizeof buffer) {
        out.assign(buffer, static_cast<std::size_t>(n));
        return;
    }
    out.resize(static_cast<std::size_t>(n) + 1);
    format(out.data(), out.size());
    out.resize(static_cast<std::size_t>(n));
}

}  // namespace

Units UnitsFromIndex(int index) {
    switch (index) {
        case 0:
            return Units::MB;
        case 1:
            return Units::KB;
        case 2:
            return Units::Bytes;
        default:
            return Units::None;
    }
}

void FormatLabel(std::string& out, const char* name, std::uint64_t size, Units units) {
    switch (units) {
        case Units::MB:
            Print(out, [&](char* b, std::size_t n) {
                return std::snprintf(b, n, "%s [%6.2fMB]", name,
                                     static_cast<double>(size) * kBytesToMB);
            });
            break;
        case Units::KB:
            Print(out, [&](char* b, std::size_t n) {
                return std::snprintf(b, n, "%s [%8.2fKB]", name,
                                     static_cast<double>(size) * kBytesToKB);
            });
            break;
        case Units::Bytes:
        case Units::None:
            // Whole bytes, exact at any size.
            Print(out, [&](char* b, std::size_t n) {
                return std::snprintf(b, n, "%s [%10" PRIu64 " bytes]", name, size);
            });
            break;
    }
}

void FormatLabel(std::string& out, const CScanEntry& entry, Units units, SizeMode mode) {
    FormatLabel(out, entry.GetNameCStr(), entry.GetShownSize(mode), units);
}

}  // namespace sizewalk
