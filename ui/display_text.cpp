#include "ui/display_text.h"

namespace sizewalk {

QString DisplayText(std::string_view bytes) {
    QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20)
            c = QChar(static_cast<char16_t>(0x2400 + u));
        else if (u == 0x7F)
            c = QChar(static_cast<char16_t>(0x2421));
        else if ((u >= 0x80 && u <= 0x9F) || u == 0x2028 || u == 0x2029)
            c = QChar(QChar::ReplacementCharacter);
    }
    return text;
}

}  // namespace sizewalk
