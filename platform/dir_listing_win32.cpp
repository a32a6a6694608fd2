#include <windows.h>

#include <cstring>
#include <string>
#include <utility>

#include "platform/dir_listing.h"

namespace sizewalk {
namespace {

// Records are packed as: attributes, size high, size low (32 bits each),
// then the name with its NUL. Read back with memcpy: no alignment is kept.
constexpr std::size_t kHeader = 3 * sizeof(std::uint32_t);

}  // namespace

DirListing::~DirListing() { Close(); }

DirListing::DirListing(DirListing&& other) noexcept
    : m_buffer(std::move(other.m_buffer)),
      m_used(std::exchange(other.m_used, 0)),
      m_pos(std::exchange(other.m_pos, 0)) {}

DirListing& DirListing::operator=(DirListing&& other) noexcept {
    if (this != &other) {
        m_buffer = std::move(other.m_buffer);
        m_used = std::exchange(other.m_used, 0);
        m_pos = std::exchange(other.m_pos, 0);
    }
    return *this;
}

// The search pattern is the path plus "\*", and it must fit MAX_PATH with
// its terminator.
bool DirListing::PathFits(std::size_t pathLength) { return pathLength + 3 <= MAX_PATH; }

bool DirListing::OpenPath(const char* path) {
    Close();
    return ReadAll(path, std::strlen(path));
}

bool DirListing::OpenChild(const DirListing&, const char*, const char* path,
                           std::size_t pathLength) {
    Close();
    return ReadAll(path, pathLength);
}

bool DirListing::ReadAll(const char* path, std::size_t pathLength) {
    if (!PathFits(pathLength)) return false;
    std::string pattern(path, pathLength);
    if (pattern.empty() || pattern.back() != '\\') pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA data;
    HANDLE h = ::FindFirstFileA(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    try {
        do {
            if (IsDotOrDotDot(data.cFileName)) continue;
            const std::size_t nameLength = std::strlen(data.cFileName) + 1;
            const std::uint32_t header[3] = {
                static_cast<std::uint32_t>(data.dwFileAttributes),
                (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0u : data.nFileSizeHigh,
                (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0u : data.nFileSizeLow};
            if (m_buffer.size() < m_used + kHeader + nameLength)
                m_buffer.resize((m_used + kHeader + nameLength) * 2);
            std::memcpy(m_buffer.data() + m_used, header, kHeader);
            std::memcpy(m_buffer.data() + m_used + kHeader, data.cFileName, nameLength);
            m_used += kHeader + nameLength;
        } while (::FindNextFileA(h, &data));  // any failure ends the listing
    } catch (...) {
        ::FindClose(h);
        throw;
    }
    ::FindClose(h);
    return true;
}

bool DirListing::Next(FindRecord& out) {
    if (m_pos >= m_used) return false;
    std::uint32_t header[3];
    std::memcpy(header, m_buffer.data() + m_pos, kHeader);
    const char* name = m_buffer.data() + m_pos + kHeader;
    out.dwFileAttributes = header[0];
    out.nFileSizeHigh = header[1];
    out.nFileSizeLow = header[2];
    out.cFileName = name;
    m_pos += kHeader + out.cFileName.size() + 1;
    return true;
}

void DirListing::ReleaseHandle() {}  // nothing is held once a listing is read

void DirListing::Close() {
    m_used = 0;
    m_pos = 0;
}

}  // namespace sizewalk
