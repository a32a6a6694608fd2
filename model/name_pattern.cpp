#include "model/name_pattern.h"

#include <array>
#include <cstddef>
#include <cstdint>

#ifdef SIZEWALK_HAVE_PCRE2
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#endif

namespace sizewalk {

namespace {

constexpr std::size_t kNo = std::string_view::npos;

constexpr std::array<unsigned char, 256> MakeFold() {
    std::array<unsigned char, 256> fold{};
    for (int c = 0; c < 256; ++c)
        fold[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return fold;
}
constexpr std::array<unsigned char, 256> kFold = MakeFold();
constexpr std::array<unsigned char, 256> MakeSame() {
    std::array<unsigned char, 256> same{};
    for (int c = 0; c < 256; ++c) same[c] = static_cast<unsigned char>(c);
    return same;
}
constexpr std::array<unsigned char, 256> kSame = MakeSame();

// The bytes of the character at `pos`: a whole UTF-8 sequence, or 1 for a
// byte that does not start one.
std::size_t CharLength(std::string_view s, std::size_t pos) {
    const auto b = static_cast<unsigned char>(s[pos]);
    const std::size_t n = b < 0xC2 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF5 ? 4 : 1;
    if (n == 1 || pos + n > s.size()) return 1;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[pos + k]) & 0xC0) != 0x80) return 1;
    return n;
}

bool HasCapital(std::string_view text) {
    for (char c : text)
        if (c >= 'A' && c <= 'Z') return true;
    return false;
}

// Capitals that the expression means as letters to match: escapes (`\S`,
// `\p{Lu}`) do not count.
bool RegexHasCapital(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
            if (i + 1 < text.size() && (text[i] == 'p' || text[i] == 'P') && text[i + 1] == '{') {
                const std::size_t close = text.find('}', i);
                if (close == kNo) return false;
                i = close;
            }
            continue;
        }
        if (text[i] >= 'A' && text[i] <= 'Z') return true;
    }
    return false;
}

}  // namespace

#ifdef SIZEWALK_HAVE_PCRE2
struct CNamePattern::Regex {
    pcre2_code* code = nullptr;
    pcre2_match_data* data = nullptr;
    bool jit = false;
    ~Regex() {
        pcre2_match_data_free(data);
        pcre2_code_free(code);
    }
};
bool NamePatternsHaveRegex() { return true; }
#else
struct CNamePattern::Regex {};
bool NamePatternsHaveRegex() { return false; }
#endif

CNamePattern::~CNamePattern() = default;

std::unique_ptr<CNamePattern> CNamePattern::Compile(std::string_view text, std::string& error) {
    std::unique_ptr<CNamePattern> pattern(new CNamePattern);
    if (text.size() >= 2 && text.front() == '/' && text.back() == '/') {
        const std::string_view expression = text.substr(1, text.size() - 2);
        pattern->m_bCaseSensitive = RegexHasCapital(expression);
#ifdef SIZEWALK_HAVE_PCRE2
        auto regex = std::make_unique<Regex>();
        int code = 0;
        PCRE2_SIZE offset = 0;
        // Names need not be UTF-8: bytes that are not stay unmatched by
        // characters instead of failing the match.
        std::uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;
        if (!pattern->m_bCaseSensitive) options |= PCRE2_CASELESS;
        regex->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(expression.data()),
                                    expression.size(), options, &code, &offset, nullptr);
        if (!regex->code) {
            PCRE2_UCHAR words[256];
            if (pcre2_get_error_message(code, words, sizeof words) < 0) words[0] = 0;
            error = "Regular expression error at offset " + std::to_string(offset) + ": " +
                    reinterpret_cast<const char*>(words);
            return nullptr;
        }
        // Without the JIT (a platform it does not know) the interpreter matches.
        regex->jit = pcre2_jit_compile(regex->code, PCRE2_JIT_COMPLETE) == 0;
        regex->data = pcre2_match_data_create_from_pattern(regex->code, nullptr);
        if (!regex->data) {
            error = "Out of memory for the regular expression";
            return nullptr;
        }
        pattern->m_regex = std::move(regex);
        return pattern;
#else
        error = "Regular expressions are not available in this build; use * and ? instead";
        return nullptr;
#endif
    }
    pattern->m_bCaseSensitive = HasCapital(text);
    const auto& fold = pattern->m_bCaseSensitive ? kSame : kFold;
    Piece piece;
    for (char c : text) {
        if (c == '*') {
            pattern->m_bStar = true;
            pattern->m_pieces.push_back(std::move(piece));
            piece = Piece{};
            continue;
        }
        piece.bHasAny = piece.bHasAny || c == '?';
        piece.text.push_back(static_cast<char>(fold[static_cast<unsigned char>(c)]));
    }
    pattern->m_pieces.push_back(std::move(piece));
    return pattern;
}

bool CNamePattern::Matches(std::string_view name) const {
#ifdef SIZEWALK_HAVE_PCRE2
    if (m_regex) {
        const auto subject = reinterpret_cast<PCRE2_SPTR>(name.data());
        const int rc =
            m_regex->jit
                ? pcre2_jit_match(m_regex->code, subject, name.size(), 0, 0, m_regex->data, nullptr)
                : pcre2_match(m_regex->code, subject, name.size(), 0, 0, m_regex->data, nullptr);
        return rc >= 0;
    }
#endif
    return GlobMatches(name);
}

bool CNamePattern::GlobMatches(std::string_view name) const {
    const auto& fold = m_bCaseSensitive ? kSame : kFold;
    // Where `piece` ends when it starts at `pos`; kNo when it does not match there.
    auto matchAt = [&](const Piece& piece, std::size_t pos) -> std::size_t {
        for (char c : piece.text) {
            if (pos >= name.size()) return kNo;
            if (c == '?') {
                pos += CharLength(name, pos);
            } else {
                if (fold[static_cast<unsigned char>(name[pos])] != static_cast<unsigned char>(c))
                    return kNo;
                ++pos;
            }
        }
        return pos;
    };
    std::size_t pos = matchAt(m_pieces.front(), 0);
    if (!m_bStar) return pos == name.size();
    if (pos == kNo) return false;
    // Each middle piece at its first place: a later one would leave less room.
    for (std::size_t k = 1; k + 1 < m_pieces.size(); ++k) {
        std::size_t end = kNo;
        for (; pos <= name.size(); pos += pos < name.size() ? CharLength(name, pos) : 1)
            if ((end = matchAt(m_pieces[k], pos)) != kNo) break;
        if (end == kNo) return false;
        pos = end;
    }
    const Piece& last = m_pieces.back();
    if (!last.bHasAny) {
        // A fixed length: it can only sit at the very end.
        if (name.size() - pos < last.text.size()) return false;
        return matchAt(last, name.size() - last.text.size()) == name.size();
    }
    for (; pos <= name.size(); pos += pos < name.size() ? CharLength(name, pos) : 1)
        if (matchAt(last, pos) == name.size()) return true;
    return false;
}

}  // namespace sizewalk
