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

// The search pattern is the path plus "\*", and it must fit MAX_PATH with
// its terminator.
bool PathFits(std::size_t pathLength) { return pathLength + 3 <= MAX_PATH; }

}  // namespace

DirHandle::~DirHandle() { Close(); }

DirHandle::DirHandle(DirHandle&& other) noexcept
    : m_nOwnDisk(other.m_nOwnDisk),
      m_path(std::move(other.m_path)),
      m_bOpen(std::exchange(other.m_bOpen, false)) {}

DirHandle& DirHandle::operator=(DirHandle&& other) noexcept {
    if (this != &other) {
        m_nOwnDisk = other.m_nOwnDisk;
        m_path = std::move(other.m_path);
        m_bOpen = std::exchange(other.m_bOpen, false);
    }
    return *this;
}

bool DirHandle::IsOpen() const { return m_bOpen; }

// Nothing is held between reads: the handle is the path.
void DirHandle::Close() { m_bOpen = false; }

OpenStatus OpenStartDir(const char* path, DirHandle& out) {
    out.m_nOwnDisk = 0;
    out.m_path = path;
    out.m_bOpen = PathFits(out.m_path.size());
    return out.m_bOpen ? OpenStatus::Opened : OpenStatus::Refused;
}

OpenStatus OpenSubdir(const DirHandle& parent, const char* name, std::size_t pathLength,
                      DirHandle& out) {
    out.m_nOwnDisk = 0;
    out.m_bOpen = false;
    if (!PathFits(pathLength)) return OpenStatus::Refused;
    out.m_path = parent.m_path;
    if (out.m_path.empty() || out.m_path.back() != '\\') out.m_path += '\\';
    out.m_path += name;
    out.m_bOpen = true;
    return OpenStatus::Opened;
}

OpenStatus OpenBelowStart(const DirHandle& start, const char* relativePath, std::size_t pathLength,
                          DirHandle& out) {
    return OpenSubdir(start, relativePath, pathLength, out);
}

bool DirReader::Read(const DirHandle& dir, const std::atomic<bool>* stop) {
    m_used = 0;
    m_pos = 0;
    if (!dir.m_bOpen) return false;
    std::string pattern = dir.m_path;
    if (pattern.empty() || pattern.back() != '\\') pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA data;
    HANDLE h = ::FindFirstFileA(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    try {
        do {
            if (stop && stop->load(std::memory_order_relaxed)) break;
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
    if (stop && stop->load(std::memory_order_relaxed)) {
        m_used = 0;
        return false;
    }
    return true;
}

bool DirReader::Next(FindRecord& out) {
    if (m_pos >= m_used) return false;
    std::uint32_t header[3];
    std::memcpy(header, m_buffer.data() + m_pos, kHeader);
    const char* name = m_buffer.data() + m_pos + kHeader;
    out = FindRecord{};
    out.dwFileAttributes = header[0];
    out.nFileSizeHigh = header[1];
    out.nFileSizeLow = header[2];
    out.cFileName = name;
    m_pos += kHeader + out.cFileName.size() + 1;
    return true;
}

void DirReader::Rewind() { m_pos = 0; }

void DirReader::Clear() {
    m_used = 0;
    m_pos = 0;
    if (m_buffer.size() > 64 * 1024) std::vector<char>().swap(m_buffer);
}

}  // namespace sizewalk
