#include "model/size_text.h"

#include <cmath>
#include <cstdio>


namespace sizewalk {

namespace {

std::string Printf(const char* format, double value) {
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, format, value);
    return n < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(n));
}

std::string Counted(std::uint64_t n, const char* one, const char* many, std::string_view separator) {
    return GroupDigits(n, separator) + (n == 1 ? one : many);
}

// "Size: 1,234 bytes (12.5% of parent)".
std::string SizeLine(const char* what, std::uint64_t size, const CScanEntry* parent, SizeMode mode,
                     std::string_view separator) {
    std::string line = std::string(what) + GroupDigits(size, separator) + " bytes";
    const std::uint64_t whole = parent ? parent->GetShownSize(mode) : 0;
    if (whole > 0)
        line += Printf(" (%.1f%% of parent)",
                       100.0 * static_cast<double>(size) / static_cast<double>(whole));
    return line;
}

}  // namespace

std::string GroupDigits(std::uint64_t n, std::string_view separator) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
        out += digits[i];
    }
    return out;
}

std::string FormatSize(std::uint64_t size, Units units) {
    switch (units) {
        case Units::MB: return Printf("%.2fMB", static_cast<double>(size) * kBytesToMB);
        case Units::KB: return Printf("%.2fKB", static_cast<double>(size) * kBytesToKB);
        case Units::Bytes:
        case Units::None: break;
    }
    return std::to_string(size) + " bytes";
}

ProgressText FormatProgress(const CScanProgress::Snapshot& snapshot, Units units, SizeMode mode,
                            std::string_view startPath, std::string_view separator) {
    const std::uint64_t bytes = mode == SizeMode::OnDisk ? snapshot.nDiskBytes : snapshot.nBytes;
    ProgressText text;
    text.strCounts = "Scanning: " + Counted(snapshot.nEntries, " entry, ", " entries, ", separator) +
                     FormatSize(bytes, units);
    text.strDir = snapshot.strDir.empty() ? std::string(startPath) : snapshot.strDir;
    return text;
}

std::vector<std::string> DescribeItem(const CScanTree& tree, CScanTree::Item item,
                                      std::string_view separator) {
    const CScanEntry& entry = tree.Entry(item);
    const CScanTree::Item up = tree.Parent(item);
    const CScanEntry* parent = up == CScanTree::kNoItem ? nullptr : &tree.Entry(up);
    std::vector<std::string> lines;
    lines.push_back(tree.Path(item));
    lines.push_back(SizeLine("Size: ", entry.GetShownSize(SizeMode::Apparent), parent,
                             SizeMode::Apparent, separator));
    lines.push_back(SizeLine("Size on disk: ", entry.GetShownSize(SizeMode::OnDisk), parent,
                             SizeMode::OnDisk, separator));
    if (entry.IsDirectory())
        lines.push_back(
            Counted(tree.CountsBelow(item).nEntries, " entry below", " entries below", separator));
    return lines;
}

}  // namespace sizewalk
