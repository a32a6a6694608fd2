#include <windows.h>

#include <cstring>
#include <string>

#include "platform/find_record.h"
#include "platform/wide_text_win32.h"

namespace sizewalk {

bool ProbePath(const char* path, FindRecord& out) {
    // A wildcard would make the search report some other entry that matches
    // ('<', '>' and '"' are wildcards to the system's search too).
    if (std::strpbrk(path, "*?<>\"")) return false;
    const std::wstring wide = WideFromUtf8(path);
    // What is typed must fit MAX_PATH with its terminator, counted in the
    // system's own UTF-16 units.
    if (wide.size() >= MAX_PATH) return false;
    WIN32_FIND_DATAW data;
    HANDLE h =
        ::FindFirstFileExW(wide.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
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
