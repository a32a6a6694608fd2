#pragma once
// Turns a start path into one pre-order list of entries: the start entry
// first, then each directory's children in enumeration order, each child
// directory immediately followed by its subtree. Every entry has a depth key
// (the number of separators in its directory's path plus one, the start entry
// two less) and every directory its total: the sum of the own sizes of all
// entries below it. Consumers rebuild the structure from order and keys: an
// entry's parent is the nearest earlier directory whose key is smaller.
//
// The list is served through a cursor. Entry pointers stay valid until the
// next Scan() or the scanner's destruction.
//
// If a scan throws (std::bad_alloc), the scanner is left empty and the
// exception propagates: it never serves entries without keys or totals.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scan/scan_entry.h"

namespace sizewalk {

class CDirScanner {
public:
    CDirScanner();
    ~CDirScanner();
    CDirScanner(const CDirScanner&) = delete;
    CDirScanner& operator=(const CDirScanner&) = delete;

    // Replaces the list with a fresh scan of `startPath` (no trailing
    // separator expected, except for the root "/"). Cursor at 0 afterwards.
    void Scan(std::string_view startPath);

    void Rewind(int index) { m_nCursor = index; }
    // The entry at the cursor, advancing it; null at or past the end.
    CScanEntry* GetNext();

    std::size_t GetCount() const { return m_nCount; }
    CScanEntry& GetAt(std::size_t index);
    const CScanEntry& GetAt(std::size_t index) const;
    // The path of the directory in which `entry` was found; for the start
    // entry, the start path itself. Built on demand from the directory table.
    std::string GetDir(const CScanEntry& entry) const;

private:
    struct DirRecord {
        std::uint32_t nParent;  // table index of the containing directory
        std::uint32_t nEntry;   // list index of the directory's own entry
    };
    class NameArena;

    void Clear();
    void ScanTree(std::string_view startPath);
    void RollUp();
    CScanEntry& Append(const FindRecord& record, std::uint32_t dir);

    static constexpr unsigned kChunkBits = 15;  // 32768 entries (1 MiB) per chunk
    std::vector<std::unique_ptr<unsigned char[]>> m_chunks;  // raw storage, see Append
    std::size_t m_nCount = 0;
    std::vector<DirRecord> m_dirs;
    std::unique_ptr<NameArena> m_names;
    int m_nCursor = 0;
};

}  // namespace sizewalk
