#include "platform/page_block.h"

#include <windows.h>

#include <new>
#include <utility>

namespace sizewalk {

// Large pages need a privilege users rarely hold; committed pages come zeroed.
CPageBlock::CPageBlock(std::size_t bytes, bool) : m_nSize(bytes) {
    if (bytes == 0) return;
    void* p = ::VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!p) throw std::bad_alloc();
    m_pData = static_cast<unsigned char*>(p);
}

// Decommitted pages could not be written again, and MEM_RESET leaves them
// undefined rather than zeroed: a block keeps its pages until it goes.
void CPageBlock::Release(std::size_t) {}

CPageBlock::~CPageBlock() {
    if (m_pData) ::VirtualFree(m_pData, 0, MEM_RELEASE);
}

CPageBlock& CPageBlock::operator=(CPageBlock&& other) noexcept {
    if (this != &other) {
        if (m_pData) ::VirtualFree(m_pData, 0, MEM_RELEASE);
        m_pData = std::exchange(other.m_pData, nullptr);
        m_nSize = std::exchange(other.m_nSize, 0);
    }
    return *this;
}

}  // namespace sizewalk
