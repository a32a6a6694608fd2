#pragma once
// How one listed reparse point counts: what a walk may enter, and which
// entries stand for something elsewhere and so own no bytes.

#include <cstdint>

namespace sizewalk {

inline constexpr std::uint32_t kReparseAttribute = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT
inline constexpr std::uint32_t kDirectoryAttribute = 0x10;

// A tag's name-surrogate bit (bit 29): the entry names another file or
// directory (symbolic links, junctions, mount points).
inline constexpr bool IsNameSurrogateTag(std::uint32_t tag) { return (tag & 0x20000000u) != 0; }

// True when the listed entry is a link: a reparse point with a name-surrogate
// tag, or with no tag at all, as Wine lists its host's links. A link counts
// 0 bytes, apparent and on disk, whatever length the listing gives it. Other
// tagged reparse points (deduplicated, compressed or cloud files, cloud
// folders) hold their own data and count as plain entries.
inline constexpr bool IsListedLink(std::uint32_t attributes, std::uint32_t tag) {
    return (attributes & kReparseAttribute) != 0 && (tag == 0 || IsNameSurrogateTag(tag));
}

}  // namespace sizewalk
