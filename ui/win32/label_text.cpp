#include "ui/win32/label_text.h"

#include "platform/wide_text_win32.h"

namespace sizewalk {

namespace {

bool ShownAsReplacement(char16_t u) {
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029 ||
           (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

}  // namespace

void AppendLabelText(std::wstring& out, std::string_view utf8) {
    const std::size_t start = out.size();
    AppendWide(out, utf8);
    // Pairs are whole characters; a surrogate on its own shows as a mark.
    for (std::size_t i = start; i < out.size(); ++i) {
        const auto u = static_cast<char16_t>(out[i]);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < out.size() &&
            static_cast<char16_t>(out[i + 1]) >= 0xDC00 &&
            static_cast<char16_t>(out[i + 1]) <= 0xDFFF) {
            ++i;
            continue;
        }
        if (ShownAsReplacement(u) || (u >= 0xD800 && u <= 0xDFFF)) out[i] = L'\xFFFD';
    }
}

}  // namespace sizewalk
