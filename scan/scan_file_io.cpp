// Byte sources and outputs of saved scans.

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "scan/scan_file.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace sizewalk {

ScanFileError::ScanFileError(const std::string& message, std::uint64_t offset)
    : std::runtime_error(message), m_nOffset(offset) {}

namespace {

[[noreturn]] void ThrowErrno(const char* what, int error) {
    throw ScanFileError(std::string(what) + ": " + std::strerror(error), 0);
}

}  // namespace

std::size_t CFileSource::Read(void* buffer, std::size_t size) {
    const std::size_t n = std::fread(buffer, 1, size, m_pFile);
    if (n == 0 && std::ferror(m_pFile)) ThrowErrno("cannot read the file", errno);
    return n;
}

std::size_t CFdSource::Read(void* buffer, std::size_t size) {
    for (;;) {
#ifdef _WIN32
        const int n =
            _read(m_nFd, buffer, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
#else
        const ssize_t n = ::read(m_nFd, buffer, size);
#endif
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) ThrowErrno("cannot read the file", errno);
    }
}

std::size_t CMemorySource::Read(void* buffer, std::size_t size) {
    const std::size_t n = std::min(size, m_bytes.size());
    std::memcpy(buffer, m_bytes.data(), n);
    m_bytes.remove_prefix(n);
    return n;
}

void CFileOutput::Write(const void* data, std::size_t size) {
    if (size && std::fwrite(data, 1, size, m_pFile) != size)
        ThrowErrno("cannot write the file", errno);
}

void CFileOutput::Flush() {
    if (std::fflush(m_pFile) != 0) ThrowErrno("cannot write the file", errno);
}

void CFdOutput::Write(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size) {
#ifdef _WIN32
        const int n =
            _write(m_nFd, p, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
#else
        const ssize_t n = ::write(m_nFd, p, size);
#endif
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowErrno("cannot write the file", errno);
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

}  // namespace sizewalk
