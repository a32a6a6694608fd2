#pragma once
// One file or directory found by a scan. Entries live in the scanner's
// contiguous storage, 32 bytes each; the name lives in the scanner's name
// arena and the containing directory's path in its directory table, both
// stored once. The scanner owns entries; the tree fill only reads them and
// writes m_hTreeItem.

#include <cstdint>
#include <string_view>

#include "platform/find_record.h"

namespace sizewalk {

// Opaque handle of the tree item that shows an entry; 0 means none (the
// top level when used as a parent).
using TreeItem = std::uintptr_t;
inline constexpr TreeItem kNoTreeItem = 0;

class CScanEntry {
public:
    // `name` must stay valid and NUL-terminated for the entry's life (the
    // scanner's arena); `dir` is the containing directory's table index.
    CScanEntry(const FindRecord& record, const char* name, std::uint32_t dir)
        : m_pszName(name), m_nDir(dir), m_bDirectory(record.IsDirectory() ? 1u : 0u) {
        if (m_bDirectory)
            m_dTotal = 0.0;
        else
            m_nOwnSize = record.Size();
    }

    // kFileAttributeDirectory or 0.
    int IsDirectory() const { return m_bDirectory ? static_cast<int>(kFileAttributeDirectory) : 0; }
    // The name bytes; the view's data() is NUL-terminated. For the start entry
    // of a scan this is the whole start path.
    std::string_view GetName() const { return m_pszName; }
    const char* GetNameCStr() const { return m_pszName; }
    // Own size in bytes; directories have none of their own.
    double GetFileSize() const { return m_bDirectory ? 0.0 : static_cast<double>(m_nOwnSize); }
    std::uint32_t GetDirIndex() const { return m_nDir; }

    // Declared in this order to pack into 32 bytes.
    TreeItem m_hTreeItem = kNoTreeItem;  // written by the tree fill
    union {
        double m_dTotal;           // directories: sum of own sizes below
        std::uint64_t m_nOwnSize;  // files: own size
    };

private:
    const char* m_pszName;

public:
    std::int32_t m_nDepth = 0;  // depth key; only comparisons matter

private:
    std::uint32_t m_nDir : 31;
    std::uint32_t m_bDirectory : 1;
};

static_assert(sizeof(CScanEntry) <= 32, "entries must stay compact");

}  // namespace sizewalk
