#include "platform/wide_text_win32.h"

namespace sizewalk {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

}  // namespace

std::size_t EncodeUtf8(char* out, const wchar_t* text, std::size_t count) {
    char* const begin = out;
    for (std::size_t i = 0; i < count; ++i) {
        char32_t c = static_cast<char16_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count) {
            const char32_t low = static_cast<char16_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c < 0x80) {
            *out++ = static_cast<char>(c);
        } else if (c < 0x800) {
            *out++ = static_cast<char>(0xC0 | (c >> 6));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {  // an unpaired surrogate too
            *out++ = static_cast<char>(0xE0 | (c >> 12));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {  // two units became four bytes
            *out++ = static_cast<char>(0xF0 | (c >> 18));
            *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return static_cast<std::size_t>(out - begin);
}

void AppendUtf8(std::string& out, const wchar_t* text, std::size_t count) {
    const std::size_t at = out.size();
    out.resize(at + 3 * count);
    out.resize(at + EncodeUtf8(out.data() + at, text, count));
}

std::string Utf8FromWide(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    AppendUtf8(out, text.data(), text.size());
    return out;
}

namespace detail {

char32_t DecodeUtf8(std::string_view utf8, std::size_t& at) {
    const auto b0 = static_cast<unsigned char>(utf8[at]);
    if (b0 < 0x80) {
        ++at;
        return b0;
    }
    std::size_t length = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        c = b0 & 0x1F;
        least = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        c = b0 & 0x0F;
        least = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        c = b0 & 0x07;
        least = 0x10000;
    } else {
        ++at;
        return kReplacement;
    }
    if (utf8.size() - at < length) {
        ++at;
        return kReplacement;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(utf8[at + i]);
        if (!IsContinuation(b)) {
            ++at;
            return kReplacement;
        }
        c = (c << 6) | (b & 0x3F);
    }
    // Overlong forms and values past U+10FFFF name nothing.
    if (c < least || c > 0x10FFFF) {
        ++at;
        return kReplacement;
    }
    at += length;
    return c;  // surrogates included: they come from unpaired units
}

}  // namespace detail

void AppendWide(std::wstring& out, std::string_view utf8) {
    ForEachWideUnit(utf8, [&out](wchar_t unit) { out += unit; });
}

std::wstring WideFromUtf8(std::string_view utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    AppendWide(out, utf8);
    return out;
}

}  // namespace sizewalk
