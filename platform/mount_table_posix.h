#pragma once
// The mounts this process sees (Linux: /proc/self/mountinfo), with the
// mount points' octal escapes (\040 for a space...) undone.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sizewalk::posix {

struct MountRecord {
    std::uint64_t nId = 0;   // the mount id statx and fdinfo give
    std::string mountPoint;  // absolute, as this process sees it
    std::string fsType;      // "ext4", "tmpfs"...
};

// 0, or the errno of reading the table.
int ReadMountTable(std::vector<MountRecord>& out);

// One line of the table; false when it is not one.
bool ParseMountLine(std::string_view line, MountRecord& out);

}  // namespace sizewalk::posix
