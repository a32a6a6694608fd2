#pragma once
// How this system spells paths, for the layers above that must not ask
// which system they run on: the separators, and where a scan starts.

#include <string_view>

namespace sizewalk {

#ifdef _WIN32
// The separator paths are shown with.
inline constexpr char kPathSeparator = '\\';
// What ends a path component: Windows takes the slash as well.
inline constexpr std::string_view kPathSeparators = "\\/";
// What may end a drive spec ("C:\"): either separator on Windows.
inline constexpr std::string_view kDriveSeparators = "\\/";
// A bare drive ("C:") counts as a directory to scan.
inline constexpr bool kDrivesAreDirectories = true;
// Where a scan starts unless told otherwise: the system drive's root.
inline constexpr std::string_view kDefaultStartDir = "C:\\";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr std::string_view kPathSeparators = "/";
// A backslash still ends a drive spec here, so "C:\" is recognised alike.
inline constexpr std::string_view kDriveSeparators = "\\";
inline constexpr bool kDrivesAreDirectories = false;
// The file system's root.
inline constexpr std::string_view kDefaultStartDir = "/";
#endif

}  // namespace sizewalk
