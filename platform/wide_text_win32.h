#pragma once
// Text between the engine, which holds names and paths as UTF-8 bytes, and
// the wide Windows calls, which take UTF-16.
//
// Windows names are sequences of 16-bit units and need not be valid UTF-16:
// an unpaired surrogate is kept as its own three-byte sequence (the
// generalized form of UTF-8), so that every name the system lists converts
// back to the very same units and can be opened again.

#include <cstddef>
#include <string>
#include <string_view>

namespace sizewalk {

// Writes the UTF-8 form of `count` UTF-16 units to `out`, which has room for
// 3 * `count` bytes; returns the bytes written (no NUL is added).
std::size_t EncodeUtf8(char* out, const wchar_t* text, std::size_t count);
// Appends the UTF-8 form of `count` UTF-16 units.
void AppendUtf8(std::string& out, const wchar_t* text, std::size_t count);
std::string Utf8FromWide(std::wstring_view text);

// Appends the UTF-16 form of UTF-8 bytes. The three-byte form of a surrogate
// gives that surrogate back; any other byte that starts no valid sequence
// becomes U+FFFD.
void AppendWide(std::wstring& out, std::string_view utf8);
std::wstring WideFromUtf8(std::string_view utf8);

// Calls `unit(c)` for every UTF-16 unit of `utf8`, decoded as AppendWide
// does, without building a string.
template <typename Unit>
void ForEachWideUnit(std::string_view utf8, Unit&& unit);

namespace detail {
// Decodes one code point at `at` (advancing it); U+FFFD for a bad sequence.
char32_t DecodeUtf8(std::string_view utf8, std::size_t& at);
}  // namespace detail

template <typename Unit>
void ForEachWideUnit(std::string_view utf8, Unit&& unit) {
    for (std::size_t at = 0; at < utf8.size();) {
        const char32_t c = detail::DecodeUtf8(utf8, at);
        if (c >= 0x10000) {
            unit(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
            unit(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            unit(static_cast<wchar_t>(c));
        }
    }
}

}  // namespace sizewalk
