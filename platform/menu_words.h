#pragma once
// The words of the menu items that name a part of the system: its file
// manager and the place deleted items go to.

#include <string_view>

namespace sizewalk {

#ifdef _WIN32
inline constexpr std::string_view kOpenFolderMenuText = "&Open in Explorer";
inline constexpr std::string_view kMoveToTrashMenuText = "Move to Recycle &Bin";
#else
inline constexpr std::string_view kOpenFolderMenuText = "&Open in File Manager";
inline constexpr std::string_view kMoveToTrashMenuText = "Move to Tr&ash";
#endif

}  // namespace sizewalk
