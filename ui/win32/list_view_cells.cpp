#include "ui/win32/list_view_cells.h"

#include <algorithm>

namespace sizewalk {

int ControlLineHeight(HWND control) {
    HDC dc = ::GetDC(control);
    if (!dc) return 16;
    const HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return metrics.tmHeight + 4;
}

void CopyCellText(const std::wstring& text, wchar_t* out, int size) {
    if (!out || size <= 0) return;
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
    text.copy(out, n);
    out[n] = L'\0';
}

}  // namespace sizewalk
