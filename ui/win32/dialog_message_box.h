#pragma once
// The scan command's message box: an OK button, owned by the dialog,
// captioned with the application name. A warning (the out-of-memory report)
// carries the exclamation icon and is system modal; a plain message has no
// icon. Texts and the caption are UTF-8.

#include <windows.h>

#include "core/message_box.h"

namespace sizewalk {

class CDialogMessageBox : public CMessageBox {
public:
    CDialogMessageBox(HWND owner, const char* caption) : m_hOwner(owner), m_pszCaption(caption) {}
    void Show(std::string_view text, MessageIcon icon) override;

private:
    HWND m_hOwner;
    const char* m_pszCaption;
};

}  // namespace sizewalk
