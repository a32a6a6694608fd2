#include "core/home_path.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>
#endif

namespace sizewalk {

#ifndef _WIN32
namespace {

std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0) size = 16384;
    std::vector<char> buffer(static_cast<std::size_t>(size));
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir)
        return found->pw_dir;
    return {};
}

}  // namespace
#endif

void ExpandHome(std::string& path) {
#ifdef _WIN32
    (void)path;
#else
    if (path.empty() || path[0] != '~' || (path.size() > 1 && path[1] != '/')) return;
    std::string home = HomeDirectory();
    if (home.empty()) return;
    // One separator between the home and the rest, also for a home of "/".
    if (path.size() > 1 && home.back() == '/') home.pop_back();
    path.replace(0, 1, home);
#endif
}

}  // namespace sizewalk
