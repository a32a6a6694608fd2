#include "model/size_text.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/error_text.h"
#include "platform/local_time.h"

namespace sizewalk {

namespace {

std::string Printf(const char* format, double value) {
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, format, value);
    return n < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(n));
}

std::string Counted(std::uint64_t n, const char* one, const char* many,
                    std::string_view separator) {
    return GroupDigits(n, separator) + (n == 1 ? one : many);
}

// "Size: 1,234 bytes (12.5% of parent)".
std::string SizeLine(const char* what, std::uint64_t size, const CScanEntry* parent, SizeMode mode,
                     std::string_view separator, bool lowerBound) {
    std::string line = std::string(what) + (lowerBound ? "at least " : "") +
                       GroupDigits(size, separator) + " bytes";
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
        case Units::MB:
            return Printf("%.2fMB", static_cast<double>(size) * kBytesToMB);
        case Units::KB:
            return Printf("%.2fKB", static_cast<double>(size) * kBytesToKB);
        case Units::Bytes:
        case Units::None:
            break;
    }
    return std::to_string(size) + " bytes";
}

ProgressText FormatProgress(const CScanProgress::Snapshot& snapshot, Units units, SizeMode mode,
                            std::string_view startPath, std::string_view separator,
                            double elapsedSeconds, bool opening) {
    const std::uint64_t bytes = mode == SizeMode::OnDisk ? snapshot.nDiskBytes : snapshot.nBytes;
    ProgressText text;
    text.strCounts = (opening ? "Opening: " : "Scanning: ") +
                     Counted(snapshot.nEntries, " entry, ", " entries, ", separator) +
                     FormatSize(bytes, units);
    if (elapsedSeconds >= 0) {
        const auto seconds = static_cast<std::uint64_t>(elapsedSeconds);
        char clock[32];
        std::snprintf(clock, sizeof clock, ", %llu:%02llu",
                      static_cast<unsigned long long>(seconds / 60),
                      static_cast<unsigned long long>(seconds % 60));
        text.strCounts += clock;
    }
    text.strDir = snapshot.strDir.empty() ? std::string(startPath) : snapshot.strDir;
    return text;
}

void FormatItemLabel(std::string& out, const CScanTree& tree, CScanTree::Item item, Units units,
                     SizeMode mode) {
    const CScanEntry& entry = tree.Entry(item);
    FormatLabel(out, entry, units, mode);
    if (entry.IsDirectory() && tree.List().ReadErrorOf(item) != 0) out += " (could not be read)";
}

ProgressText FormatScanNotes(std::size_t unreadable, SizeMode mode, std::string_view separator,
                             std::string_view origin) {
    ProgressText text;
    text.strCounts = origin;
    if (unreadable > 0 && !origin.empty()) text.strCounts += ' ';
    if (unreadable == 1)
        text.strCounts += "1 directory could not be read.";
    else if (unreadable > 1)
        text.strCounts += GroupDigits(unreadable, separator) + " directories could not be read.";
    if (mode == SizeMode::OnDisk) text.strDir = "Sizes on disk";
    return text;
}

std::string FormatScanOrigin(std::optional<std::int64_t> made) {
    std::string text = "From a file";
    std::tm local{};
    bool known = made.has_value() && *made >= 0 && *made < (std::int64_t{1} << 40);
    if (known) known = ToLocalTime(*made, local);
    char when[32];
    if (known && std::strftime(when, sizeof when, "%Y-%m-%d %H:%M", &local) > 0) {
        text += ", made ";
        text += when;
    }
    text += '.';
    return text;
}

std::vector<std::string> DescribeItem(const CScanTree& tree, CScanTree::Item item,
                                      std::string_view separator) {
    const CScanEntry& entry = tree.Entry(item);
    const CScanTree::Item up = tree.Parent(item);
    const CScanEntry* parent = up == CScanTree::kNoItem ? nullptr : &tree.Entry(up);
    std::vector<std::string> lines;
    lines.push_back(tree.Path(item));
    const CScanList& list = tree.List();
    const int error = entry.IsDirectory() ? list.ReadErrorOf(item) : 0;
    const bool lowerBound = error != 0 || (entry.IsDirectory() && list.HasUnreadableBelow(item));
    lines.push_back(SizeLine("Size: ", entry.GetShownSize(SizeMode::Apparent), parent,
                             SizeMode::Apparent, separator, lowerBound));
    lines.push_back(SizeLine("Size on disk: ", entry.GetShownSize(SizeMode::OnDisk), parent,
                             SizeMode::OnDisk, separator, lowerBound));
    if (entry.IsDirectory())
        lines.push_back(
            Counted(tree.CountsBelow(item).nEntries, " entry below", " entries below", separator));
    if (error == CScanList::kErrorFromFile)
        lines.push_back("Could not be read when the saved scan was made");
    else if (error != 0)
        lines.push_back("Could not be read: " + ErrorText(error));
    return lines;
}

}  // namespace sizewalk
