#include "model/file_types_text.h"

#include <algorithm>
#include <cstdio>

#include "model/size_text.h"
#include "model/treemap_render.h"

namespace sizewalk {
namespace {

std::string Printf(const char* format, auto... args) {
    char buf[160];
    const int n = std::snprintf(buf, sizeof buf, format, args...);
    return std::string(buf, n < 0 ? 0 : std::min<std::size_t>(std::size_t(n), sizeof buf - 1));
}

std::string Escaped(std::string_view text, const char* escape) {
    std::string out;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\')
            out += Printf(escape, unsigned(c));
        else
            out += ch;
    }
    return out;
}

std::string Color(FileKind kind) {
    return Printf("#%06X", unsigned(TreemapKindColor(kind) & 0xFFFFFFu));
}

std::string TableLine(const CFileTypes& types, const FileTypeRow& row, bool kind) {
    std::string label = kind ? row.Label()
                        : row.eClass == FileTypeClass::Extension
                            ? "  ." + Escaped(row.strExtension, "\\x%02x")
                            : "  " + row.Label();
    std::string line =
        Printf("%-28s %10s %16s %6.1f%%", label.c_str(), GroupDigits(row.nFiles).c_str(),
               GroupDigits(row.nSize).c_str(), 100.0 * types.Share(row.nSize));
    if (kind) line += "  " + Color(row.kind);
    return line + "\n";
}

std::string JsonCounts(const CFileTypes& types, const FileTypeRow& row) {
    return Printf("\"files\": %llu, \"size\": %llu, \"share\": %.6f",
                  static_cast<unsigned long long>(row.nFiles),
                  static_cast<unsigned long long>(row.nSize), types.Share(row.nSize));
}

}  // namespace

std::string FileTypesTable(const CFileTypes& types) {
    std::string out =
        Printf("%-28s %10s %16s %7s  %s\n", "Kind / type", "Files",
               types.Mode() == SizeMode::OnDisk ? "Bytes on disk" : "Bytes", "Share", "Colour");
    for (const FileTypeKind& kind : types.Kinds()) {
        out += TableLine(types, kind.total, true);
        for (const FileTypeRow& row : kind.rows) out += TableLine(types, row, false);
    }
    out += Printf("%-28s %10s %16s\n", "Whole scan", GroupDigits(types.Files()).c_str(),
                  GroupDigits(types.Total()).c_str());
    return out;
}

std::string FileTypesJson(const CFileTypes& types) {
    std::string out = Printf("{\"mode\": \"%s\", \"total\": %llu, \"files\": %llu, \"kinds\": [",
                             types.Mode() == SizeMode::OnDisk ? "disk" : "apparent",
                             static_cast<unsigned long long>(types.Total()),
                             static_cast<unsigned long long>(types.Files()));
    const char* kindComma = "";
    for (const FileTypeKind& kind : types.Kinds()) {
        out += kindComma;
        kindComma = ", ";
        out += "{\"kind\": \"" + kind.total.Label() + "\", \"color\": \"" + Color(kind.total.kind) +
               "\", " + JsonCounts(types, kind.total) + ", \"types\": [";
        const char* comma = "";
        for (const FileTypeRow& row : kind.rows) {
            out += comma;
            comma = ", ";
            out += row.eClass == FileTypeClass::Extension
                       ? "{\"extension\": \"" + Escaped(row.strExtension, "\\u%04x") + "\", "
                   : row.eClass == FileTypeClass::Hidden
                       ? std::string("{\"type\": \"hidden\", ")
                       : std::string("{\"type\": \"no extension\", ");
            out += JsonCounts(types, row) + "}";
        }
        out += "]}";
    }
    return out + "]}\n";
}

}  // namespace sizewalk
