#include "ui/win32/dialog_message_box.h"

#include <cstring>
#include <string>

namespace sizewalk {

namespace {

UINT StyleFor(MessageIcon icon) {
    return icon == MessageIcon::Warning ? MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL : MB_OK;
}

}  // namespace

void CDialogMessageBox::Show(std::string_view text, MessageIcon icon) {
    // The out-of-memory report must not need the heap: short texts are
    // terminated in a buffer on the stack.
    char small[256];
    std::string large;
    const char* terminated = small;
    if (text.size() < sizeof small) {
        std::memcpy(small, text.data(), text.size());
        small[text.size()] = '\0';
    } else {
        large.assign(text);
        terminated = large.c_str();
    }
    ::MessageBoxA(m_hOwner, terminated, m_pszCaption, StyleFor(icon));
}

}  // namespace sizewalk
