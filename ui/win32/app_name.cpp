#include "ui/win32/app_name.h"

#include <windows.h>

#include <vector>

#include "platform/wide_text_win32.h"

namespace sizewalk {

std::string AppNameFromPath(std::string_view modulePath) {
    const std::size_t slash = modulePath.find_last_of("\\/:");
    std::string_view name =
        slash == std::string_view::npos ? modulePath : modulePath.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    return std::string(name);
}

namespace {

std::string ModulePath() {
    // The path may be longer than MAX_PATH; grow until it fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return std::string();
        if (n < buffer.size()) return Utf8FromWide(std::wstring_view(buffer.data(), n));
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

const char* ApplicationName() {
    static const std::string name = AppNameFromPath(ModulePath());
    return name.c_str();
}

}  // namespace sizewalk
