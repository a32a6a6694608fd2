#include <windows.h>

#include <cstring>

#include "platform/find_record.h"

namespace sizewalk {

bool ProbePath(const char* path, FindRecord& out) {
    // A wildcard would make the search report some other entry that matches.
    if (std::strpbrk(path, "*?")) return false;
    // The path must fit MAX_PATH with its terminator, as the program's find
    // record does; not every system's search enforces that itself.
    if (std::strlen(path) >= MAX_PATH) return false;
    WIN32_FIND_DATAA data;
    HANDLE h = ::FindFirstFileA(path, &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::FindClose(h);
    out = FindRecord{};
    out.dwFileAttributes = static_cast<std::uint32_t>(data.dwFileAttributes);
    if (!out.IsDirectory()) {
        out.nFileSizeHigh = data.nFileSizeHigh;
        out.nFileSizeLow = data.nFileSizeLow;
    }
    return true;
}

}  // namespace sizewalk
