#include "platform/page_block.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <new>
#include <utility>

namespace sizewalk {

namespace {

void* Map(std::size_t bytes) {
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    return p;
}

// A mapping aligned to a huge page: map one huge page more than asked, then
// give back the ends that fall outside the aligned span.
void* MapAligned(std::size_t bytes) {
    if (bytes > SIZE_MAX - CPageBlock::kHugePage) throw std::bad_alloc();
    auto* raw = static_cast<unsigned char*>(Map(bytes + CPageBlock::kHugePage));
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::size_t head =
        ((start + CPageBlock::kHugePage - 1) & ~(std::uintptr_t{CPageBlock::kHugePage} - 1)) -
        start;
    if (head) ::munmap(raw, head);
    const std::size_t tail = CPageBlock::kHugePage - head;
    if (tail) ::munmap(raw + head + bytes, tail);
    return raw + head;
}

}  // namespace

CPageBlock::CPageBlock(std::size_t bytes, bool prefault) : m_nSize(bytes) {
    if (bytes == 0) return;
    const bool huge = bytes % kHugePage == 0;
    void* p = huge ? MapAligned(bytes) : Map(bytes);
#ifdef MADV_HUGEPAGE
    if (huge) ::madvise(p, bytes, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
    if (prefault)
        ::madvise(p, bytes, MADV_POPULATE_WRITE);  // Linux 5.14 on; older ones fault as they fill
#endif
    m_pData = static_cast<unsigned char*>(p);
}

void CPageBlock::Release(std::size_t from) {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t first = (from + page - 1) / page * page;
    if (m_pData && first < m_nSize) ::madvise(m_pData + first, m_nSize - first, MADV_DONTNEED);
}

CPageBlock::~CPageBlock() {
    if (m_pData) ::munmap(m_pData, m_nSize);
}

CPageBlock& CPageBlock::operator=(CPageBlock&& other) noexcept {
    if (this != &other) {
        if (m_pData) ::munmap(m_pData, m_nSize);
        m_pData = std::exchange(other.m_pData, nullptr);
        m_nSize = std::exchange(other.m_nSize, 0);
    }
    return *this;
}

}  // namespace sizewalk
