#pragma once
// The Find dialog: a name pattern (an editable box offering the earlier
// ones), a least size, a day range of the last change and which kinds of
// entry are found. It only shows and returns the texts; reading them is
// core/find_fields.h's. Its template is built in memory, so the program's
// resources keep the one dialog.

#include <windows.h>

#include <string>
#include <vector>

#include "core/find_fields.h"

namespace sizewalk {

// Its controls' ids, for the tests.
inline constexpr int IDC_FIND_NAME = 1101;
inline constexpr int IDC_FIND_MIN_SIZE = 1102;
inline constexpr int IDC_FIND_AFTER = 1103;
inline constexpr int IDC_FIND_BEFORE = 1104;
inline constexpr int IDC_FIND_KINDS = 1105;

// Modal over `owner`, filled with `fields` and offering `history` (newest
// first): true when Find was pressed, with `fields` as typed (UTF-8).
bool AskFindFields(HWND owner, FindFields& fields, const std::vector<std::string>& history);

}  // namespace sizewalk
