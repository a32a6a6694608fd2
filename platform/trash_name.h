#pragma once
// What the user knows the place deleted items go to as, for messages such as
// "Move this item to the trash?".

#include <string_view>

namespace sizewalk {

#ifdef _WIN32
inline constexpr std::string_view kTrashName = "the Recycle Bin";
#else
inline constexpr std::string_view kTrashName = "the trash";
#endif

}  // namespace sizewalk
