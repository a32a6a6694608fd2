#include "platform/find_record.h"

namespace sizewalk {

int CountSeparators(const char* text) {
    int n = 0;
    for (; *text; ++text) n += (*text == kPathSeparator);
    return n;
}

}  // namespace sizewalk
