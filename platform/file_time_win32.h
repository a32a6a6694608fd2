#pragma once
// Windows file times (100-nanosecond steps since 1601) as the engine keeps
// times: seconds since 1970, rounded down also before 1970.

#include <cstdint>

namespace sizewalk {

inline std::int64_t UnixSeconds(std::int64_t fileTime) {
    constexpr std::int64_t kTicks = 10000000, k1601To1970 = 11644473600;
    const std::int64_t seconds = fileTime / kTicks - (fileTime % kTicks < 0 ? 1 : 0);
    return seconds - k1601To1970;
}

}  // namespace sizewalk
