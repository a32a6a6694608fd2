#pragma once
// The type of a file by its name, as File Types lists it: its kind (the
// treemap's colour group) and, within the kind, its extension. And the
// filter that picks the files of one kind or one type, for the map's
// highlight and for lists of files.
//
// The rule, on the name alone:
// - a name that starts with a dot is hidden (".bashrc", ".cache.db"): one
//   row per kind, whatever else the name holds;
// - otherwise the extension is what follows the last dot ("gz" of
//   "x.tar.gz"), ASCII upper case made lower ("JPG" is "jpg"), or "so" for
//   a versioned shared library ("libz.so.1.3");
// - a name without a dot, ending in a dot, or whose last dot is followed by
//   more than kMaxExtension bytes or by a space ("Dr. Smith letter") has no
//   extension.
// The kind is the treemap's (ClassifyFileName), so a hidden ".x.png" is an
// image, as its tile is.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/file_kind.h"

namespace sizewalk {

inline constexpr std::size_t kMaxExtension = 16;

// What a row of a kind holds.
enum class FileTypeClass : std::uint8_t {
    Kind,         // every file of the kind (the kind's own row)
    Extension,    // the files of one extension
    NoExtension,  // the files without one
    Hidden,       // the hidden files
};

// A name's type. For a hidden file the extension is still the one its kind
// is told by, so that the kind can be found again from it.
struct FileType {
    FileTypeClass eClass = FileTypeClass::NoExtension;
    std::uint8_t nLength = 0;
    char szExtension[kMaxExtension] = {};  // lower case, not terminated

    std::string_view Extension() const { return {szExtension, nLength}; }
    FileKind Kind() const { return FileKindOfExtension(Extension()); }
};

FileType FileTypeOfName(std::string_view name);

// The files of one kind, or of one row of a kind. Directories never match.
struct FileTypeFilter {
    FileKind kind = FileKind::Other;
    FileTypeClass eClass = FileTypeClass::Kind;
    std::string strExtension;  // for Extension: lower case, without the dot

    bool Matches(std::string_view name) const;
    bool operator==(const FileTypeFilter&) const = default;
};

}  // namespace sizewalk
