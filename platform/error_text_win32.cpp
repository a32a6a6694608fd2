#include <windows.h>

#include "platform/error_text.h"
#include "platform/wide_text_win32.h"

namespace sizewalk {

std::string ErrorText(int error) {
    wchar_t buffer[512];
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                               static_cast<DWORD>(error), 0, buffer, 512, nullptr);
    // The system's text ends with a full stop and a line break.
    while (n > 0 && (buffer[n - 1] == L'\r' || buffer[n - 1] == L'\n' || buffer[n - 1] == L'.'))
        --n;
    if (n == 0) return "Error " + std::to_string(error);
    return Utf8FromWide(std::wstring_view(buffer, n));
}

}  // namespace sizewalk
