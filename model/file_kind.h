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

// The group's name for a legend: "Images", "Video", ... "Other".
std::string_view FileKindLabel(FileKind kind);

}  // namespace sizewalk
