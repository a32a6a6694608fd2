#include "ui/win32/data_exchange.h"

namespace sizewalk {

namespace {

std::string ReadText(HWND control) {
    // The length may overstate (double-byte text); the copy says how much came.
    const int length = ::GetWindowTextLengthA(control);
    if (length <= 0) return std::string();
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(control, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
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
        ::SetWindowTextA(control, value.c_str());
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
