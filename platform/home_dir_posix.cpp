#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/home_dir.h"

namespace sizewalk {

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

}  // namespace sizewalk
