#pragma once
// Names, NUL-terminated, packed into large blocks so that an entry costs no
// allocation of its own and its name pointer never moves. One arena is
// filled by one thread; arenas of several threads are merged afterwards.
// Blocks double from 64 KiB up to the arena's largest, so a scan of a few
// names keeps little. A list's own arena grows to blocks of a huge page, made
// present at once; each walk thread's stops at 1 MiB, whose pages come as
// names fill them, since every thread leaves its last block part empty.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/page_block.h"

namespace sizewalk {

class NameArena {
public:
    explicit NameArena(std::size_t largestBlock = kBlock) : m_nLargest(largestBlock) {}

    const char* Add(std::string_view name) {
        const std::size_t need = name.size() + 1;
        if (m_left < need) {
            const std::size_t size = std::max(m_nNextBlock, need);
            CPageBlock block(size, size % CPageBlock::kHugePage == 0);
            char* start = reinterpret_cast<char*>(block.Data());
            m_blocks.push_back(std::move(block));  // may throw: `block` still owns it
            m_nCurrent = m_blocks.size() - 1;
            m_nBytes += size;
            m_nNextBlock = std::min(m_nNextBlock * 2, m_nLargest);
            m_next = start;
            m_left = size;
        }
        char* p = m_next;
        std::memcpy(p, name.data(), name.size());
        p[name.size()] = '\0';
        m_next += need;
        m_left -= need;
        return p;
    }

    // Takes over the blocks of `other`; names in both stay where they are.
    void Adopt(NameArena& other) {
        m_blocks.reserve(m_blocks.size() + other.m_blocks.size());
        for (auto& block : other.m_blocks) m_blocks.push_back(std::move(block));
        m_nBytes += other.m_nBytes;
        other.m_nBytes = 0;
        other.m_blocks.clear();
        other.m_next = nullptr;
        other.m_left = 0;
    }

    // Gives back the unused pages of the block being filled, once no more
    // names are to come (later names still go in, on fresh pages).
    void Trim() {
        if (m_left == 0) return;
        CPageBlock& block = m_blocks[m_nCurrent];
        block.Release(
            static_cast<std::size_t>(reinterpret_cast<unsigned char*>(m_next) - block.Data()));
    }

    // Bytes of the blocks held.
    std::size_t Bytes() const { return m_nBytes; }

private:
    static constexpr std::size_t kBlock = std::size_t{1} << 20;
    static constexpr std::size_t kFirstBlock = std::size_t{64} << 10;
    std::size_t m_nLargest;
    std::size_t m_nNextBlock = std::min(kFirstBlock, m_nLargest);
    std::vector<CPageBlock> m_blocks;
    std::size_t m_nCurrent = 0;  // the block m_next points into
    char* m_next = nullptr;
    std::size_t m_left = 0;
    std::size_t m_nBytes = 0;
};

}  // namespace sizewalk
