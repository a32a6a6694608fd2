#pragma once
// Seconds since 1970 as the local calendar time of this machine.

#include <cstdint>
#include <ctime>

namespace sizewalk {

// False when the time cannot be told in local time (out of the system's
// range); `local` is then unspecified.
bool ToLocalTime(std::int64_t seconds, std::tm& local);

}  // namespace sizewalk
