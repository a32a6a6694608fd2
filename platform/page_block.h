#pragma once
// A large block of zeroed memory taken straight from the system, its pages
// made present in one call and, where the system offers them, on huge pages.
//
// Why: a page touched for the first time costs a fault, and on virtual
// machines each fault costs microseconds. A list of a million entries fills
// thousands of pages; faulting them one by one took a tenth of opening a
// saved scan. A block whose size is a multiple of kHugePage is aligned to it
// and asks for huge pages (one fault where there were 512).
//
// A block that may stay part empty can leave its pages to be faulted as they
// are first written (prefault = false): none is then resident unused.
//
// Best effort throughout: where huge pages or prefaulting are not to be had,
// the block is still valid and zeroed. Out of memory throws std::bad_alloc.

#include <cstddef>

namespace sizewalk {

class CPageBlock {
public:
    static constexpr std::size_t kHugePage = std::size_t{2} << 20;

    CPageBlock() = default;
    explicit CPageBlock(std::size_t bytes, bool prefault = true);
    ~CPageBlock();
    CPageBlock(CPageBlock&& other) noexcept : m_pData(other.m_pData), m_nSize(other.m_nSize) {
        other.m_pData = nullptr;
        other.m_nSize = 0;
    }
    CPageBlock& operator=(CPageBlock&& other) noexcept;
    CPageBlock(const CPageBlock&) = delete;
    CPageBlock& operator=(const CPageBlock&) = delete;

    unsigned char* Data() const { return m_pData; }
    // Gives the whole pages from byte `from` to the end back to the system,
    // for a block that will not be filled further. Where they are written
    // again they come back zeroed. Does nothing on Windows.
    void Release(std::size_t from);
    std::size_t Size() const { return m_nSize; }

private:
    unsigned char* m_pData = nullptr;
    std::size_t m_nSize = 0;
};

}  // namespace sizewalk
