#pragma once
// Names as questions and messages show them: every byte that would not show
// as itself is written out, so that no name can forge a line of the text
// around it and no two names look alike.
//
// Control characters become \n, \r, \t or \xHH; a byte that is not part of
// valid UTF-8 becomes \xHH; characters that show as nothing or as a plain
// space, or that reorder or break lines (C1 controls, format characters,
// Unicode spaces, the bidirectional overrides and isolates, variation
// selectors) become \u{HHHH}. A backslash that is not the separator becomes
// \\, so that an escape can never be typed into a name.

#include <string>
#include <string_view>

namespace sizewalk {

std::string VisibleText(std::string_view text, char separator);

}  // namespace sizewalk
