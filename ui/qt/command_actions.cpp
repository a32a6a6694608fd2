#include "ui/qt/command_actions.h"

namespace sizewalk {

QString ActionText(const CommandInfo& info) {
    return QString::fromUtf8(info.text.data(), static_cast<qsizetype>(info.text.size()));
}

QKeySequence KeySequenceOf(const KeyChord& key) {
    Qt::Key code = Qt::Key_unknown;
    switch (key.name) {
        case KeyName::None:
            return {};
        case KeyName::Char:
            // Qt's codes of letters and digits are their characters.
            code = static_cast<Qt::Key>(key.ch);
            break;
        case KeyName::F3:
            code = Qt::Key_F3;
            break;
        case KeyName::F5:
            code = Qt::Key_F5;
            break;
        case KeyName::F8:
            code = Qt::Key_F8;
            break;
        case KeyName::F9:
            code = Qt::Key_F9;
            break;
        case KeyName::Delete:
            code = Qt::Key_Delete;
            break;
        case KeyName::Backspace:
            code = Qt::Key_Backspace;
            break;
        case KeyName::Escape:
            code = Qt::Key_Escape;
            break;
        case KeyName::Home:
            code = Qt::Key_Home;
            break;
    }
    Qt::KeyboardModifiers modifiers;
    if (key.ctrl) modifiers |= Qt::ControlModifier;
    if (key.shift) modifiers |= Qt::ShiftModifier;
    return QKeySequence(QKeyCombination(modifiers, code));
}

}  // namespace sizewalk
