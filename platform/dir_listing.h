#pragma once
// Reads the whole listing of one directory: one FindRecord per entry, "." and
// ".." left out, in the order the file system returns them. Sizes are the
// apparent sizes of non-directories (links are not followed; special files are
// never opened); directories record 0. An entry that vanishes before its size
// is read is left out.
//
// A listing is opened relative to its parent's handle when the parent still
// holds one (cheap), otherwise by its full path. A directory on another
// device than its parent, a link, or one that cannot be opened or read fails
// to open, so the caller shows it without children.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/find_record.h"

namespace sizewalk {

class DirListing {
public:
    DirListing() = default;
    ~DirListing();
    DirListing(const DirListing&) = delete;
    DirListing& operator=(const DirListing&) = delete;
    DirListing(DirListing&& other) noexcept;
    DirListing& operator=(DirListing&& other) noexcept;

    // The start directory, by path; a link named by the user is followed.
    bool OpenPath(const char* path);
    // A subdirectory `name` of `parent`, whose full path is `path`. Fails for
    // paths the platform cannot enumerate (too long), links, and other devices.
    bool OpenChild(const DirListing& parent, const char* name, const char* path,
                   std::size_t pathLength);

    // The next record, false at the end. The record's name stays valid until
    // the listing is opened again or destroyed.
    bool Next(FindRecord& out);

    // Drops the operating-system handle but keeps the records: deep trees must
    // not hold one handle per level. Children are then opened by full path.
    void ReleaseHandle();
    void Close();

    // Whether a directory path of this length can still be enumerated.
    static bool PathFits(std::size_t pathLength);

private:
#ifdef _WIN32
    bool ReadAll(const char* path, std::size_t pathLength);
#else
    bool ReadAll(int fd, std::uint64_t device);

    int m_fd = -1;
    std::uint64_t m_device = 0;
#endif
    std::vector<char> m_buffer;  // the records, in the platform's own packing
    std::size_t m_used = 0;
    std::size_t m_pos = 0;
};

}  // namespace sizewalk
