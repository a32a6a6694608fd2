#pragma once
// How label bytes are shown in the Windows tree: decoded from UTF-8 to the
// control's UTF-16 and kept on one line. Control characters (C0, DEL, C1),
// the Unicode line and paragraph separators, the direction embeddings,
// overrides and isolates (which would reorder the size after a name), bytes
// that are no UTF-8 and unpaired surrogates are all shown as U+FFFD, as the
// Linux tree shows them. Nothing is dropped.

#include <string>
#include <string_view>

namespace sizewalk {

void AppendLabelText(std::wstring& out, std::string_view utf8);

}  // namespace sizewalk
