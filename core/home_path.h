#pragma once
// A start path that begins with "~" alone or "~/" means the user's home
// directory, as in a shell. Other paths ("~user" included) are left alone.

#include <string>

namespace sizewalk {

// Replaces the leading "~" of "~" or "~/..." with the home directory: HOME,
// or the password database's entry when HOME is unset or empty. Leaves the
// path as it is when no home is known, and always on Windows.
void ExpandHome(std::string& path);

}  // namespace sizewalk
