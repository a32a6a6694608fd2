#include "platform/visible_text.h"

#include <cstdint>

namespace sizewalk {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendByte(std::string& out, unsigned char byte) {
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
}

// The length of the valid UTF-8 sequence at `text[i]` and its code point;
// 0 when the bytes there are not one.
std::size_t Utf8At(std::string_view text, std::size_t i, std::uint32_t& code) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = byte(0);
    std::size_t length;
    std::uint32_t least;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(k) & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

// Characters that show as nothing, as a space like any other, or that
// reorder or break the text around them.
bool Hidden(std::uint32_t code) {
    struct Range {
        std::uint32_t first, last;
    };
    static constexpr Range kHidden[] = {
        {0x0080, 0x00A0}, {0x00AD, 0x00AD},   {0x034F, 0x034F},   {0x061C, 0x061C},
        {0x115F, 0x1160}, {0x1680, 0x1680},   {0x17B4, 0x17B5},   {0x180B, 0x180F},
        {0x2000, 0x200F}, {0x2028, 0x202F},   {0x205F, 0x206F},   {0x3000, 0x3000},
        {0x3164, 0x3164}, {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0},
        {0xFFF9, 0xFFFB}, {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
    };
    for (const Range& range : kHidden)
        if (code >= range.first && code <= range.last) return true;
    return false;
}

}  // namespace

std::string VisibleText(std::string_view text, char separator) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                case '\\':
                    out += separator == '\\' ? "\\" : "\\\\";
                    break;
                default:
                    if (c < 0x20 || c == 0x7F)
                        AppendByte(out, c);
                    else
                        out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        std::uint32_t code = 0;
        const std::size_t length = Utf8At(text, i, code);
        if (length == 0) {
            AppendByte(out, c);
            ++i;
        } else if (Hidden(code)) {
            out += "\\u{";
            for (int shift = code > 0xFFFF ? 16 : 12; shift >= 0; shift -= 4)
                out += kHex[(code >> shift) & 15];
            out += '}';
            i += length;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

}  // namespace sizewalk
