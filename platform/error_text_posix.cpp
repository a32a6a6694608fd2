#include <cstring>

#include "platform/error_text.h"

namespace sizewalk {

std::string ErrorText(int error) {
    char buffer[256];
    // The GNU strerror_r may return a static text instead of filling the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    return ::strerror_r(error, buffer, sizeof buffer);
#else
    return ::strerror_r(error, buffer, sizeof buffer) == 0 ? buffer
                                                           : "Error " + std::to_string(error);
#endif
}

}  // namespace sizewalk
