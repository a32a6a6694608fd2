#include "platform/mount_table_posix.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace sizewalk::posix {

namespace {

// The kernel writes space, tab, newline and backslash as \ooo.
std::string Unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
            field[i + 3] >= '0' && field[i + 3] <= '7') {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// The next space-separated field of `line` from `pos`.
std::string_view NextField(std::string_view line, std::size_t& pos) {
    while (pos < line.size() && line[pos] == ' ') ++pos;
    const std::size_t begin = pos;
    while (pos < line.size() && line[pos] != ' ' && line[pos] != '\n') ++pos;
    return line.substr(begin, pos - begin);
}

}  // namespace

bool ParseMountLine(std::string_view line, MountRecord& out) {
    std::size_t pos = 0;
    const std::string_view id = NextField(line, pos);
    NextField(line, pos);  // parent id
    NextField(line, pos);  // major:minor
    NextField(line, pos);  // root within the file system
    const std::string_view mountPoint = NextField(line, pos);
    if (id.empty() || mountPoint.empty() || mountPoint[0] != '/') return false;
    // Options and optional fields, up to the lone "-".
    for (std::string_view field = NextField(line, pos); field != "-"; field = NextField(line, pos))
        if (field.empty()) return false;
    const std::string_view type = NextField(line, pos);
    if (type.empty()) return false;
    char* end = nullptr;
    const std::string idText(id);
    out.nId = std::strtoull(idText.c_str(), &end, 10);
    if (*end != 0) return false;
    out.mountPoint = Unescape(mountPoint);
    out.fsType = Unescape(type);
    return true;
}

int ReadMountTable(std::vector<MountRecord>& out) {
    out.clear();
    FILE* file = std::fopen("/proc/self/mountinfo", "re");
    if (!file) return errno;
    char* line = nullptr;
    std::size_t capacity = 0;
    MountRecord record;
    while (::getline(&line, &capacity, file) >= 0)
        if (ParseMountLine(line, record)) out.push_back(record);
    const int error = std::ferror(file) ? EIO : 0;
    std::free(line);
    std::fclose(file);
    return out.empty() && error == 0 ? ENOENT : error;
}

}  // namespace sizewalk::posix
