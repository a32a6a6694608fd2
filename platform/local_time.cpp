#include "platform/local_time.h"

namespace sizewalk {

bool ToLocalTime(std::int64_t seconds, std::tm& local) {
    const auto t = static_cast<std::time_t>(seconds);
    if (static_cast<std::int64_t>(t) != seconds) return false;
#ifdef _WIN32
    return localtime_s(&local, &t) == 0;
#else
    return localtime_r(&t, &local) != nullptr;
#endif
}

}  // namespace sizewalk
