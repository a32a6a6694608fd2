#pragma once
// The kind of a file, told from its name alone, for the treemap's colours:
// one of a fixed set of groups keyed by extension, compared without regard to
// ASCII case. A name without a known extension is Other.

#include <cstdint>
#include <string_view>

namespace sizewalk {

enum class FileKind : std::uint8_t {
    Image,
    Video,
    Audio,
    Archive,
    Document,
    Source,
    Program,  // programs and libraries
    Other,
};
inline constexpr int kFileKindCount = 8;

// The group of a file named `name` (a name, not a path). Shared libraries
// with a version after ".so" ("libz.so.1.3") are programs and libraries.
FileKind ClassifyFileName(std::string_view name);

// What the group of `name` is told by, as the name has it: the part after
// the last dot ("gz" of "x.tar.gz"), or "so" for a versioned shared
// library; empty for a name without a dot or with only a leading one.
// ClassifyFileName(name) is FileKindOfExtension(FileKindExtension(name)).
std::string_view FileKindExtension(std::string_view name);
// The group of an extension given without its dot, in any ASCII case.
FileKind FileKindOfExtension(std::string_view ext);

// The group's name for a legend: "Images", "Video", ... "Other".
std::string_view FileKindLabel(FileKind kind);

}  // namespace sizewalk
