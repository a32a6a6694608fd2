#include <sys/stat.h>

#include "platform/find_record.h"

namespace sizewalk {

bool ProbePath(const char* path, FindRecord& out) {
    struct stat st;
    if (::stat(path, &st) != 0) return false;
    out = FindRecord{};
    if (S_ISDIR(st.st_mode)) {
        out.dwFileAttributes = kFileAttributeDirectory;
    } else {
        out.dwFileAttributes = kFileAttributeNormal;
        out.SetSize(static_cast<std::uint64_t>(st.st_size));
    }
    return true;
}

}  // namespace sizewalk
