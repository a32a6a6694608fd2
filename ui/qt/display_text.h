#pragma once
// How label bytes are shown: decoded as UTF-8 with every invalid byte
// sequence as U+FFFD, and kept on one line: control characters (C0, DEL, C1),
// the Unicode line and paragraph separators, and the direction embeddings,
// overrides and isolates (which would reorder the size after a name) are
// shown as U+FFFD too, a mark every common font draws. Nothing is dropped.

#include <QString>

#include <string_view>

namespace sizewalk {

QString DisplayText(std::string_view bytes);

}  // namespace sizewalk
