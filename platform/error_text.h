#pragma once
// The system's own words for an error code a scan recorded ("Permission
// denied"): errno values on Linux, system error codes on Windows. UTF-8.

#include <string>

namespace sizewalk {

std::string ErrorText(int error);

}  // namespace sizewalk
