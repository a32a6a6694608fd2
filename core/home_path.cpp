#include "core/home_path.h"

#include "platform/home_dir.h"

namespace sizewalk {

void ExpandHome(std::string& path) {
    if (path.empty() || path[0] != '~' || (path.size() > 1 && path[1] != '/')) return;
    // No home is known on Windows, so the path stays as typed there.
    std::string home = HomeDirectory();
    if (home.empty()) return;
    // One separator between the home and the rest, also for a home of "/".
    if (path.size() > 1 && home.back() == '/') home.pop_back();
    path.replace(0, 1, home);
}

}  // namespace sizewalk
