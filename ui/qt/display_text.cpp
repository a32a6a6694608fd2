#include "ui/qt/display_text.h"

namespace sizewalk {

QString DisplayText(std::string_view bytes) {
    QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        // Direction embeddings, overrides and isolates would carry on past
        // the name and reorder the size shown after it.
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029 ||
            (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069))
            c = QChar(QChar::ReplacementCharacter);
    }
    return text;
}

}  // namespace sizewalk
