#include "app/scan/compare_report.h"

#include <cinttypes>
#include <string>
#include <string_view>

namespace sizewalk {

namespace {

struct Row {
    std::string path;
    std::int64_t change;
    const char* kind;
    bool directory, atLeast;
    std::uint64_t size, olderSize;
};

Row RowOf(const CScanComparison& c, const ScanChange& change, SizeMode mode) {
    Row row{};
    row.change = change.nChange;
    if (change.bGone) {
        const CScanEntry& e = c.Older()[change.nIndex];
        row.path = c.GonePathOf(change.nIndex);
        row.kind = "gone";
        row.directory = e.IsDirectory() != 0;
        row.atLeast = c.IsGoneAtLeast(change.nIndex);
        row.olderSize = e.GetShownSize(mode);
        return row;
    }
    const CScanEntry& e = c.Current()[change.nIndex];
    row.path = c.Current().PathOf(change.nIndex);
    row.directory = e.IsDirectory() != 0;
    row.atLeast = c.IsAtLeast(change.nIndex);
    row.size = e.GetShownSize(mode);
    const std::size_t older = c.OlderIndexOf(change.nIndex);
    if (older != CScanList::kNone) row.olderSize = c.Older()[older].GetShownSize(mode);
    switch (c.KindOf(change.nIndex, mode)) {
        case CScanComparison::Kind::New:
            row.kind = "new";
            break;
        case CScanComparison::Kind::Grown:
            row.kind = "grown";
            break;
        case CScanComparison::Kind::Shrunk:
            row.kind = "shrunk";
            break;
        default:
            row.kind = "unchanged";
            break;
    }
    return row;
}

void PutJsonString(std::FILE* out, std::string_view s) {
    std::fputc('"', out);
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\')
            std::fprintf(out, "\\%c", ch);
        else if (c < 0x20)
            std::fprintf(out, "\\u%04x", c);
        else
            std::fputc(ch, out);
    }
    std::fputc('"', out);
}

}  // namespace

bool PrintCompareText(std::FILE* out, const CScanComparison& comparison,
                      const CompareReport& report) {
    bool atLeast = false;
    for (const ScanChange& change : LargestChanges(comparison, report.mode, report.count)) {
        const Row row = RowOf(comparison, change, report.mode);
        atLeast = atLeast || row.atLeast;
        std::fprintf(out, "%+" PRId64 "\t", row.change);
        std::fwrite(row.path.data(), 1, row.path.size(), out);
        std::fputc('\n', out);
    }
    return atLeast;
}

bool PrintCompareJson(std::FILE* out, const CScanComparison& comparison,
                      const CompareReport& report) {
    std::fputs("{\"root\": ", out);
    PutJsonString(out, comparison.Current()[0].GetName());
    std::fputs(", \"compared_with\": ", out);
    PutJsonString(out, comparison.Older()[0].GetName());
    if (report.olderTime)
        std::fprintf(out, ", \"compared_with_time\": %" PRId64, *report.olderTime);
    std::fprintf(out,
                 ", \"roots_differ\": %s, \"size_mode\": \"%s\", \"change\": %" PRId64
                 ", \"at_least\": %s, \"new_entries\": %zu, \"gone_entries\": %zu, "
                 "\"changes\": [",
                 comparison.RootsDiffer() ? "true" : "false",
                 report.mode == SizeMode::OnDisk ? "on_disk" : "apparent",
                 comparison.ChangeOf(0, report.mode), comparison.IsAtLeast(0) ? "true" : "false",
                 comparison.NewCount(), comparison.GoneCount());
    bool atLeast = false, first = true;
    for (const ScanChange& change : LargestChanges(comparison, report.mode, report.count)) {
        const Row row = RowOf(comparison, change, report.mode);
        atLeast = atLeast || row.atLeast;
        std::fputs(first ? "\n  {\"path\": " : ",\n  {\"path\": ", out);
        first = false;
        PutJsonString(out, row.path);
        std::fprintf(out,
                     ", \"change\": %" PRId64
                     ", \"kind\": \"%s\", \"directory\": %s, "
                     "\"size\": %" PRIu64 ", \"older_size\": %" PRIu64 ", \"at_least\": %s}",
                     row.change, row.kind, row.directory ? "true" : "false", row.size,
                     row.olderSize, row.atLeast ? "true" : "false");
    }
    std::fputs("]}\n", out);
    return atLeast;
}

}  // namespace sizewalk
