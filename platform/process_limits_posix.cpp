#include <dirent.h>
#include <sys/resource.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "platform/process_limits.h"

namespace sizewalk {

std::optional<long> SpareDescriptors() {
    struct rlimit rl {};
    if (::getrlimit(RLIMIT_NOFILE, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY) return std::nullopt;
    long inUse = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (::readdir(d)) ++inUse;
        ::closedir(d);
        inUse -= 3;  // ".", ".." and the listing's own descriptor
    } else {
        inUse = 64;  // no /proc: a guess on the safe side
    }
    return static_cast<long>(rl.rlim_cur) - inUse;
}

void ReleaseFreedMemory() {
#ifdef __GLIBC__
    // Each worker had an allocator arena of its own; glibc keeps what they
    // freed unless asked.
    ::malloc_trim(0);
#endif
}

}  // namespace sizewalk
