#pragma once
// Names, NUL-terminated, packed into large blocks so that an entry costs no
// allocation of its own and its name pointer never moves. One arena is
// filled by one thread; arenas of several threads are merged afterwards.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace sizewalk {

class NameArena {
public:
    const char* Add(std::string_view name) {
        const std::size_t need = name.size() + 1;
        if (m_left < need) {
            const std::size_t size = std::max(kBlock, need);
            auto block = std::make_unique_for_overwrite<char[]>(size);
            char* start = block.get();
            m_blocks.push_back(std::move(block));  // may throw: `block` still owns it
            m_nBytes += size;
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

    // Bytes of the blocks held.
    std::size_t Bytes() const { return m_nBytes; }

private:
    static constexpr std::size_t kBlock = std::size_t{1} << 20;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    char* m_next = nullptr;
    std::size_t m_left = 0;
    std::size_t m_nBytes = 0;
};

}  // namespace sizewalk
