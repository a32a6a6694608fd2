#pragma once
// What the owner-data list views share: the height of a line of a
// control's font, and handing a cell's text to the list, which copies it
// into a buffer of its own size.

#include <windows.h>

#include <string>

namespace sizewalk {

int ControlLineHeight(HWND control);
// Copies `text` into the list's buffer of `size` units, cut to fit.
void CopyCellText(const std::wstring& text, wchar_t* out, int size);

}  // namespace sizewalk
