#pragma once
// How label bytes are shown: decoded as UTF-8, every invalid byte sequence as
// U+FFFD, and kept on one line: C0 control characters and DEL become their
// visible Control Pictures (newline shows as U+240A), C1 controls and the
// Unicode line and paragraph separators become U+FFFD. Nothing is dropped.

#include <QString>

#include <string_view>

namespace sizewalk {

QString DisplayText(std::string_view bytes);

}  // namespace sizewalk
