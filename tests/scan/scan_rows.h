#pragma once
// A scan's list as plain rows, for comparing lists and looking entries up.

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "scan/dir_scanner.h"

namespace sizewalk::test {

struct Row {
    std::string name, dir;
    int depth;
    bool directory;
    std::uint64_t value;  // total for directories, own size for files
    std::uint64_t disk;   // on-disk bytes (a directory's total)
    bool operator==(const Row&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << r.dir << " | " << r.name << " depth " << r.depth << (r.directory ? " D " : " F ")
              << r.value << " disk " << r.disk;
}

inline std::vector<Row> Rows(CDirScanner& s) {
    std::vector<Row> rows;
    s.Rewind(0);
    while (CScanEntry* e = s.GetNext()) {
        const bool dir = e->IsDirectory() != 0;
        rows.push_back({std::string(e->GetName()), s.GetDir(*e), e->m_nDepth, dir, e->m_nSize,
                        e->GetDiskSize()});
    }
    return rows;
}

inline std::map<std::string, Row> ByName(const std::vector<Row>& rows) {
    std::map<std::string, Row> m;
    for (const Row& r : rows) m[r.name] = r;
    return m;
}

}  // namespace sizewalk::test
