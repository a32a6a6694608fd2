// Directories are opened as handles and listed with GetFileInformationByHandleEx,
// whose records carry each entry's allocation size: the size on disk comes
// with the listing, with no call per file. The system reports no allocation
// for a directory itself (its index is no data stream), so OwnDiskSize stays
// 0 here.
//
// Below the start every directory is opened relative to its parent's handle
// (NtCreateFile with a root directory, as openat on Linux) and with the
// reparse point itself opened rather than followed. A directory that became a
// link after it was listed therefore cannot lead the walk elsewhere, and no
// path is parsed again at every level, so depth is bounded by nothing but the
// names themselves.

#include <windows.h>
#include <winternl.h>

#include <cstring>
#include <string>
#include <utility>

#include "platform/dir_listing.h"
#include "platform/file_time_win32.h"
#include "platform/nt_open_win32.h"
#include "platform/reparse_win32.h"
#include "platform/wide_text_win32.h"

namespace sizewalk {
namespace {

// Packed records: attributes, size high, size low, disk low, disk high, last
// write low, last write high (32 bits each), then the UTF-8 name with its
// NUL. Read back with memcpy.
constexpr std::size_t kHeader = 7 * sizeof(std::uint32_t);
// One listing call fills at most this much; a record is at most 68 bytes
// plus a 255-unit name.
constexpr std::size_t kLargestBatch = 64 * 1024;
constexpr std::size_t kSmallestBatch = 1024;

constexpr NTSTATUS kStatusTooManyOpenedFiles = static_cast<NTSTATUS>(0xC000011F);
constexpr NTSTATUS kStatusInsufficientResources = static_cast<NTSTATUS>(0xC000009A);
constexpr DWORD kListAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE Handle(void* h) { return static_cast<HANDLE>(h); }

// Keeps `h` when it is a directory, closing it otherwise.
bool KeepIfDirectory(HANDLE h) {
    FILE_STANDARD_INFO info{};
    if (::GetFileInformationByHandleEx(h, FileStandardInfo, &info, sizeof info) &&
        !info.Directory) {
        ::CloseHandle(h);
        return false;
    }
    return true;  // a directory, or unknown: its listing tells
}

// Opens `name`, one component, below the open directory `root`. The reparse
// point itself is opened, never its target.
OpenStatus OpenRelative(HANDLE root, std::wstring_view name, HANDLE& out, int& error) {
    out = nullptr;
    if (name.empty() || name.size() * sizeof(wchar_t) > 0xFFFE) {
        error = ERROR_FILENAME_EXCED_RANGE;
        return OpenStatus::Failed;
    }
    const NTSTATUS status = OpenBelow(root, name, kListAccess, kShareAll, FILE_DIRECTORY_FILE, out);
    if (status < 0) {
        error = static_cast<int>(::RtlNtStatusToDosError(status));
        return status == kStatusTooManyOpenedFiles || status == kStatusInsufficientResources
                   ? OpenStatus::NoHandles
                   : OpenStatus::Failed;
    }
    return OpenStatus::Opened;
}

}  // namespace

DirHandle::~DirHandle() { Close(); }

DirHandle::DirHandle(DirHandle&& other) noexcept
    : m_nOwnDisk(other.m_nOwnDisk),
      m_nOwnTime(other.m_nOwnTime),
      m_nError(other.m_nError),
      m_nReadFault(other.m_nReadFault),
      m_hDir(std::exchange(other.m_hDir, nullptr)) {}

DirHandle& DirHandle::operator=(DirHandle&& other) noexcept {
    if (this != &other) {
        Close();
        m_nOwnDisk = other.m_nOwnDisk;
        m_nOwnTime = other.m_nOwnTime;
        m_nError = other.m_nError;
        m_nReadFault = other.m_nReadFault;
        m_hDir = std::exchange(other.m_hDir, nullptr);
    }
    return *this;
}

bool DirHandle::IsOpen() const { return m_hDir != nullptr; }

void DirHandle::Close() {
    if (m_hDir) ::CloseHandle(Handle(m_hDir));
    m_hDir = nullptr;
}

OpenStatus OpenStartDir(const char* path, DirHandle& out) {
    out.Close();
    out.m_nOwnDisk = 0;
    out.m_nOwnTime = kUnknownTime;
    out.m_nError = 0;
    out.m_nReadFault = 0;
    auto StartFailed = [](DirHandle& failed, DWORD error) {
        failed.m_nError = static_cast<int>(error);
        return error == ERROR_TOO_MANY_OPEN_FILES || error == ERROR_NO_SYSTEM_RESOURCES
                   ? OpenStatus::NoHandles
                   : OpenStatus::Failed;
    };
    if (ListingHookForTesting* hook = ListingHook()) {
        out.m_nReadFault = hook->ReadError(path);
        if (const int error = hook->OpenError(path))
            return StartFailed(out, static_cast<DWORD>(error));
    }
    std::wstring wide = WideFromUtf8(path);
    if (wide.empty() || wide.find(L'\0') != std::wstring::npos)
        return StartFailed(out, ERROR_INVALID_NAME);
    // A bare drive names its root here, as the pattern "C:\*" always did.
    if (wide.back() != L'\\' && wide.back() != L'/') wide += L'\\';
    const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return StartFailed(out, ::GetLastError());
    std::wstring full(needed, L'\0');
    const DWORD n = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (n == 0 || n >= needed) return StartFailed(out, ERROR_INVALID_NAME);
    full.resize(n);
    // The start is followed as typed, a link included.
    HANDLE h = ::CreateFileW(LongForm(std::move(full)).c_str(), kListAccess, kShareAll, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return StartFailed(out, ::GetLastError());
    if (!KeepIfDirectory(h)) return StartFailed(out, ERROR_DIRECTORY);
    out.m_hDir = h;
    FILE_BASIC_INFO basic{};
    if (::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic))
        out.m_nOwnTime = UnixSeconds(basic.LastWriteTime.QuadPart);
    return OpenStatus::Opened;
}

OpenStatus OpenSubdir(const DirHandle& parent, const char* name, std::size_t pathLength,
                      DirHandle& out) {
    (void)pathLength;  // opened relative to the parent: no path limit applies
    out.Close();
    out.m_nOwnDisk = 0;
    out.m_nOwnTime = kUnknownTime;
    out.m_nError = 0;
    out.m_nReadFault = 0;
    if (!parent.IsOpen()) return OpenStatus::Refused;
    if (ListingHookForTesting* hook = ListingHook()) {
        out.m_nReadFault = hook->ReadError(name);
        if ((out.m_nError = hook->OpenError(name)) != 0) return OpenStatus::Failed;
    }
    HANDLE h = nullptr;
    const OpenStatus status =
        OpenRelative(Handle(parent.m_hDir), WideFromUtf8(name), h, out.m_nError);
    if (status == OpenStatus::Opened) out.m_hDir = h;
    return status;
}

// One component at a time, each opened as a child is: a directory on the way
// that has become a link leads nowhere.
OpenStatus OpenBelowStart(const DirHandle& start, const char* relativePath, std::size_t pathLength,
                          DirHandle& out) {
    (void)pathLength;
    out.Close();
    out.m_nOwnDisk = 0;
    out.m_nOwnTime = kUnknownTime;
    out.m_nError = 0;
    out.m_nReadFault = 0;
    if (!start.IsOpen()) return OpenStatus::Refused;
    if (ListingHookForTesting* hook = ListingHook()) {
        out.m_nReadFault = hook->ReadError(relativePath);
        if ((out.m_nError = hook->OpenError(relativePath)) != 0) return OpenStatus::Failed;
    }
    const std::wstring rest = WideFromUtf8(relativePath);
    HANDLE at = Handle(start.m_hDir);
    std::size_t from = 0;
    while (from < rest.size()) {
        std::size_t to = rest.find(L'\\', from);
        if (to == std::wstring::npos) to = rest.size();
        if (to > from) {
            HANDLE next = nullptr;
            const OpenStatus status = OpenRelative(
                at, std::wstring_view(rest).substr(from, to - from), next, out.m_nError);
            if (at != start.m_hDir) ::CloseHandle(at);
            if (status != OpenStatus::Opened) return status;
            at = next;
        }
        from = to + 1;
    }
    if (at == start.m_hDir) return OpenStatus::Refused;  // no component named
    out.m_hDir = at;
    return OpenStatus::Opened;
}

bool DirReader::Read(const DirHandle& dir, const std::atomic<bool>* stop) {
    m_used = 0;
    m_pos = 0;
    m_nError = 0;
    if (!dir.IsOpen()) return false;
    HANDLE h = Handle(dir.m_hDir);
    ListingHookForTesting* const hook = ListingHook();
    std::size_t batch = m_nFirstRead < kSmallestBatch  ? kSmallestBatch
                        : m_nFirstRead > kLargestBatch ? kLargestBatch
                                                       : m_nFirstRead;
    bool first = true;
    for (;;) {
        if (stop && stop->load(std::memory_order_relaxed)) {
            m_used = 0;
            return false;
        }
        // The system's records land behind the packed ones, far enough that
        // packing a whole batch (names grow by at most half in UTF-8, headers
        // shrink) never reaches a record not yet packed.
        const std::size_t scratchAt = (m_used + batch + batch / 2 + 7) & ~std::size_t{7};
        if (m_buffer.size() < scratchAt + batch) m_buffer.resize(scratchAt + batch);
        char* scratch = m_buffer.data() + scratchAt;
        if (hook) hook->OnReadCall(true);
        if (!first && dir.m_nReadFault) {
            m_nError = dir.m_nReadFault;
            break;
        }
        if (!::GetFileInformationByHandleEx(
                h, first ? FileFullDirectoryRestartInfo : FileFullDirectoryInfo, scratch,
                static_cast<DWORD>(batch))) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_NO_MORE_FILES) break;
            if (error == ERROR_MORE_DATA && batch < kLargestBatch) {
                batch *= 2;
                continue;
            }
            m_nError = static_cast<int>(error);  // the listing ends with what was read
            break;
        }
        first = false;
        for (std::size_t at = 0;;) {
            const auto* record = reinterpret_cast<const FILE_FULL_DIR_INFO*>(scratch + at);
            const std::size_t units = record->FileNameLength / sizeof(wchar_t);
            const wchar_t* name = record->FileName;
            const bool dot = (units == 1 && name[0] == L'.') ||
                             (units == 2 && name[0] == L'.' && name[1] == L'.');
            if (!dot) {
                std::uint32_t attributes = record->FileAttributes;
                // EaSize holds the reparse tag of a reparse point. Only links
                // lead elsewhere; a directory with another tag (a cloud
                // placeholder) holds its own entries and is walked like any
                // other.
                const bool link = IsListedLink(attributes, record->EaSize);
                if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !link)
                    attributes &= ~static_cast<std::uint32_t>(FILE_ATTRIBUTE_REPARSE_POINT);
                // A link to a file owns no bytes, though the listing may give
                // it its target's length.
                const bool empty = link || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
                const std::uint64_t size =
                    empty ? 0 : static_cast<std::uint64_t>(record->EndOfFile.QuadPart);
                const std::uint64_t disk =
                    empty ? 0 : static_cast<std::uint64_t>(record->AllocationSize.QuadPart);
                const auto written = static_cast<std::uint64_t>(record->LastWriteTime.QuadPart);
                const std::uint32_t header[7] = {attributes,
                                                 static_cast<std::uint32_t>(size >> 32),
                                                 static_cast<std::uint32_t>(size),
                                                 static_cast<std::uint32_t>(disk),
                                                 static_cast<std::uint32_t>(disk >> 32),
                                                 static_cast<std::uint32_t>(written),
                                                 static_cast<std::uint32_t>(written >> 32)};
                char* const out = m_buffer.data() + m_used;
                std::memcpy(out, header, kHeader);
                const std::size_t bytes = EncodeUtf8(out + kHeader, name, units);
                out[kHeader + bytes] = '\0';
                m_used += kHeader + bytes + 1;
            }
            if (record->NextEntryOffset == 0) break;
            at += record->NextEntryOffset;
        }
        if (batch < kLargestBatch) batch *= 2;
    }
    if (stop && stop->load(std::memory_order_relaxed)) {
        m_used = 0;
        return false;
    }
    return true;
}

bool DirReader::Next(FindRecord& out) {
    if (m_pos >= m_used) return false;
    std::uint32_t header[7];
    std::memcpy(header, m_buffer.data() + m_pos, kHeader);
    const char* name = m_buffer.data() + m_pos + kHeader;
    out = FindRecord{};
    out.dwFileAttributes = header[0];
    out.nFileSizeHigh = header[1];
    out.nFileSizeLow = header[2];
    out.nDiskSize = (std::uint64_t{header[4]} << 32) | header[3];
    out.nModified =
        UnixSeconds(static_cast<std::int64_t>((std::uint64_t{header[6]} << 32) | header[5]));
    out.cFileName = name;
    m_pos += kHeader + out.cFileName.size() + 1;
    return true;
}

void DirReader::Rewind() { m_pos = 0; }

void DirReader::Clear() {
    m_used = 0;
    m_pos = 0;
    if (m_buffer.size() > 256 * 1024) std::vector<char>().swap(m_buffer);
}

}  // namespace sizewalk
