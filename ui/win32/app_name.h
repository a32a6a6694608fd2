#pragma once
// The application's name: the executable's file name without its directory
// and extension. It captions every message box the program shows.

#include <string>
#include <string_view>

namespace sizewalk {

// "C:\Tools\sizewalk.exe" -> "sizewalk"; only the last extension goes
// ("my.tool.exe" -> "my.tool"), and a name without one stays whole.
std::string AppNameFromPath(std::string_view modulePath);

// The running executable's name in UTF-8, worked out once at the first call (which
// start-up makes, so that a later call never allocates). Never null.
const char* ApplicationName();

}  // namespace sizewalk
