#include "app/scan/listing.h"

#include <limits>

#include "model/find_query.h"
#include "model/largest_files.h"
#include "model/name_pattern.h"

namespace sizewalk {

namespace {

// A JSON string: quotes, backslashes and control characters escaped, every
// other byte as it is.
void PutString(std::FILE* out, std::string_view s) {
    std::fputc('"', out);
    for (char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            std::fprintf(out, "\\%c", c);
        else if (b < 0x20)
            std::fprintf(out, "\\u%04x", b);
        else
            std::fputc(c, out);
    }
    std::fputc('"', out);
}

}  // namespace

void DeclareListingOptions(CCommandLine& options, ListingRequest& request) {
    options
        .Integer("--top", "N", request.nTop, 1, std::numeric_limits<int>::max(),
                 "print the N largest files of PATH or of a saved scan FILE (with --find: "
                 "the N largest matches)")
        .Value(
            "--find", "PATTERN",
            [&request](const std::string& value) {
                request.strFind = value;
                request.bFind = true;
                return true;
            },
            "print the items whose names match PATTERN (* and ?; /regex/), the largest first")
        .Flag("--on-disk", request.bOnDisk,
              "with --top, --find, --types or --compare: sizes on disk")
        .Flag("--json", request.bJson, "with --top, --find, --types or --compare: as JSON");
}

int PrintListing(const CScanList& list, const ListingRequest& request, std::FILE* out,
                 std::string& error) {
    const SizeMode mode = request.bOnDisk ? SizeMode::OnDisk : SizeMode::Apparent;
    const std::size_t limit = request.nTop > 0 ? static_cast<std::size_t>(request.nTop)
                                               : std::numeric_limits<std::size_t>::max();
    RankedRows result;
    if (request.bFind) {
        const auto pattern = CNamePattern::Compile(request.strFind, error);
        if (!pattern) return 2;
        result = FindItems(list, 0, *pattern, {}, mode, limit);
    } else {
        result = LargestFiles(list, 0, mode, limit);
    }
    if (!request.bJson) {
        for (std::uint32_t row : result.rows)
            std::fprintf(out, "%llu\t%s\n",
                         static_cast<unsigned long long>(result.SizeOf(list, row, mode)),
                         list.PathOf(row).c_str());
        return 0;
    }
    std::fputs("{\"root\": ", out);
    PutString(out, list.Empty() ? std::string_view() : list[0].GetName());
    std::fprintf(out, ", \"size\": \"%s\", \"top\": ", request.bOnDisk ? "on_disk" : "apparent");
    if (request.nTop > 0)
        std::fprintf(out, "%d", request.nTop);
    else
        std::fputs("null", out);
    std::fputs(", \"find\": ", out);
    if (request.bFind)
        PutString(out, request.strFind);
    else
        std::fputs("null", out);
    std::fprintf(out, ", \"matches\": %llu, \"total_bytes\": %llu, \"items\": [",
                 static_cast<unsigned long long>(result.nCount),
                 static_cast<unsigned long long>(result.nTotal));
    const char* comma = "";
    for (std::uint32_t row : result.rows) {
        std::fprintf(out, "%s\n  {\"path\": ", comma);
        PutString(out, list.PathOf(row));
        const std::int64_t modified = list.ModifiedOf(row);
        std::fprintf(out, ", \"size\": %llu, \"directory\": %s, \"modified\": ",
                     static_cast<unsigned long long>(result.SizeOf(list, row, mode)),
                     list[row].IsDirectory() ? "true" : "false");
        if (modified == CScanList::kNoTime)
            std::fputs("null}", out);
        else
            std::fprintf(out, "%lld}", static_cast<long long>(modified));
        comma = ",";
    }
    std::fputs(result.rows.empty() ? "]}\n" : "\n]}\n", out);
    return 0;
}

}  // namespace sizewalk
