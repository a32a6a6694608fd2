#include "ui/win32/command_keys.h"

#include "platform/wide_text_win32.h"

namespace sizewalk {

std::wstring MenuItemText(const CommandInfo& info) {
    std::string text(info.text);
    if (const std::string key = KeyText(info.key); !key.empty()) text += '\t' + key;
    return WideFromUtf8(text);
}

ACCEL AccelOf(const KeyChord& key, int id) {
    WORD code = 0;
    switch (key.name) {
        case KeyName::None:
            break;
        case KeyName::Char:
            // The virtual keys of letters and digits are their characters.
            code = static_cast<WORD>(key.ch);
            break;
        case KeyName::F3:
            code = VK_F3;
            break;
        case KeyName::F5:
            code = VK_F5;
            break;
        case KeyName::F8:
            code = VK_F8;
            break;
        case KeyName::F9:
            code = VK_F9;
            break;
        case KeyName::Delete:
            code = VK_DELETE;
            break;
        case KeyName::Backspace:
            code = VK_BACK;
            break;
        case KeyName::Escape:
            code = VK_ESCAPE;
            break;
        case KeyName::Home:
            code = VK_HOME;
            break;
    }
    BYTE flags = FVIRTKEY;
    if (key.ctrl) flags |= FCONTROL;
    if (key.shift) flags |= FSHIFT;
    return ACCEL{flags, code, static_cast<WORD>(id)};
}

}  // namespace sizewalk
