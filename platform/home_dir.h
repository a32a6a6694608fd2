#pragma once
// The user's home directory, which "~" stands for in a typed path.

#include <string>

namespace sizewalk {

// HOME, or the password database's entry when HOME is unset or empty; empty
// when no home is known. Always empty on Windows, where "~" means nothing.
std::string HomeDirectory();

}  // namespace sizewalk
