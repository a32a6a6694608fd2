#pragma once
// The directories of one scan that could not be read, wholly or in part, and
// why: each by its list index, with the system's error code (errno, or a
// Windows error code). Such a directory's totals, and those of every
// directory above it, miss what it holds: they are lower bounds.
//
// Few directories fail in a scan, so they are kept apart from the entries,
// in ascending list order.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sizewalk {

class CUnreadableDirs {
public:
    struct Dir {
        std::uint32_t nEntry;  // list index of the directory's own entry
        std::int32_t nError;   // never 0
    };

    // Records that the directory at `entry` could not be read; a second
    // error for the same directory keeps the first.
    void Add(std::size_t entry, int error) {
        const auto index = static_cast<std::uint32_t>(entry);
        if (m_dirs.empty() || m_dirs.back().nEntry < index) {  // walks add in list order
            m_dirs.push_back({index, error});
            return;
        }
        const auto at = Find(index);
        if (at == m_dirs.end() || at->nEntry != index) m_dirs.insert(at, {index, error});
    }
    // The error that kept the directory at `entry` from being read; 0 when
    // it was read whole (or is no directory).
    int ErrorAt(std::size_t entry) const {
        const auto at = Find(static_cast<std::uint32_t>(entry));
        return at != m_dirs.end() && at->nEntry == entry ? at->nError : 0;
    }
    std::size_t Count() const { return m_dirs.size(); }
    const std::vector<Dir>& All() const { return m_dirs; }
    void Clear() { std::vector<Dir>().swap(m_dirs); }

private:
    std::vector<Dir>::const_iterator Find(std::uint32_t entry) const {
        return std::lower_bound(m_dirs.begin(), m_dirs.end(), entry,
                                [](const Dir& d, std::uint32_t e) { return d.nEntry < e; });
    }

    std::vector<Dir> m_dirs;
};

}  // namespace sizewalk
