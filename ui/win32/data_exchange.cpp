#include "ui/win32/data_exchange.h"

#include "platform/wide_text_win32.h"

namespace sizewalk {

namespace {

// The whole text, as UTF-8: the control holds UTF-16, so every character
// typed survives.
std::string ReadText(HWND control) {
    const int length = ::GetWindowTextLengthW(control);
    if (length <= 0) return std::string();
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(control, text.data(), length + 1);
    const std::size_t n = copied > 0 ? static_cast<std::size_t>(copied) : 0;
    return Utf8FromWide(std::wstring_view(text.data(), n));
}

bool IsRadioButton(HWND control) {
    return (::SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) != 0;
}

}  // namespace

void ExchangeText(HWND dialog, int id, std::string& value, bool save) {
    HWND control = ::GetDlgItem(dialog, id);
    if (!control) return;
    if (save) {
        value = ReadText(control);
    } else if (ReadText(control) != value) {
        ::SetWindowTextW(control, WideFromUtf8(value).c_str());
    }
}

void ExchangeRadioGroup(HWND dialog, int firstId, int& value, bool save) {
    HWND control = ::GetDlgItem(dialog, firstId);
    if (!control) return;
    if (save) value = -1;
    int index = 0;
    do {
        if (IsRadioButton(control)) {
            if (save) {
                if (::SendMessageA(control, BM_GETCHECK, 0, 0) != BST_UNCHECKED) value = index;
            } else {
                ::SendMessageA(control, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED,
                               0);
            }
            ++index;
        }
        control = ::GetWindow(control, GW_HWNDNEXT);
    } while (control && !(::GetWindowLongA(control, GWL_STYLE) & WS_GROUP));
}

void ExchangeCheck(HWND dialog, int id, int& value, bool save) {
    HWND control = ::GetDlgItem(dialog, id);
    if (!control) return;
    if (save) {
        value = static_cast<int>(::SendMessageA(control, BM_GETCHECK, 0, 0));
    } else {
        if (value < 0 || value > 2) value = 0;
        ::SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
    }
}

}  // namespace sizewalk
