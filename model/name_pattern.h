#pragma once
// What a search matches names against, as the user types it: a wildcard
// pattern where `*` stands for any run of characters and `?` for one
// (a whole UTF-8 sequence; a byte that is not UTF-8 counts as one), matched
// against the whole name; or, written between slashes (`/…/`), a regular
// expression in Perl's syntax that matches anywhere in the name unless
// anchored. Either is case-insensitive unless it holds a capital letter
// (ASCII letters fold; a regular expression folds others as Unicode does).
//
// A pattern that cannot be used is refused with a message for the user
// (for a regular expression, the library's words and the character offset
// within the expression); it never throws on bad input. Names are bytes and
// need not be UTF-8.
//
// Matching keeps scratch space in the pattern: one pattern is used by one
// thread at a time.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sizewalk {

class CNamePattern {
public:
    // Compiles `text`; on failure returns null and puts the reason in `error`.
    static std::unique_ptr<CNamePattern> Compile(std::string_view text, std::string& error);
    ~CNamePattern();
    CNamePattern(const CNamePattern&) = delete;
    CNamePattern& operator=(const CNamePattern&) = delete;

    bool Matches(std::string_view name) const;
    bool IsRegex() const { return m_regex != nullptr; }
    bool IsCaseSensitive() const { return m_bCaseSensitive; }

private:
    CNamePattern() = default;
    bool GlobMatches(std::string_view name) const;

    // The wildcard pattern split at its stars: the first piece sits at the
    // start of the name, the last at its end, the others in between in order.
    struct Piece {
        std::string text;      // folded when case-insensitive; '?' stands for itself
        bool bHasAny = false;  // holds a '?'
    };
    std::vector<Piece> m_pieces;
    bool m_bStar = false;  // at least one '*'
    bool m_bCaseSensitive = false;
    struct Regex;
    std::unique_ptr<Regex> m_regex;
};

// Whether this build matches regular expressions (it needs PCRE2).
bool NamePatternsHaveRegex();

}  // namespace sizewalk
