#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstring>

#include "platform/scan_file_os.h"
#include "platform/wide_text_win32.h"

namespace sizewalk::scanfile_os {

namespace {

// How long one wait for a pipe lasts before the stop is looked at again.
constexpr DWORD kWaitSliceMs = 20;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

Result Err(DWORD error) { return {Problem::System, static_cast<int>(error)}; }
Result Refused(Problem problem) { return {problem, 0}; }

bool Missing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

unsigned long long FileIndex(const BY_HANDLE_FILE_INFORMATION& info) {
    return (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

// A handle as a C library descriptor; the handle is closed if that fails.
int ToFd(HANDLE handle, int flags) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    if (fd < 0) ::CloseHandle(handle);
    return fd;
}

// The temporary file of the save under way, for the console's handler (a
// thread of its own): a fixed buffer and a flag that says it holds a name.
wchar_t g_tempPath[32768 + 64];
std::atomic<bool> g_bHaveTemp{false};

void Register(const std::wstring& path) {
    if (path.size() >= sizeof g_tempPath / sizeof g_tempPath[0]) return;
    // The flag drops before the name changes: no handler reads half a name.
    g_bHaveTemp.store(false, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    std::memcpy(g_tempPath, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    g_bHaveTemp.store(true, std::memory_order_release);
}

void Unregister() { g_bHaveTemp.store(false, std::memory_order_release); }

BOOL WINAPI OnConsoleEvent(DWORD) {
    // The file is open with FILE_SHARE_DELETE: it goes when the process ends.
    if (g_bHaveTemp.load(std::memory_order_acquire)) ::DeleteFileW(g_tempPath);
    return FALSE;  // and the system's own handler ends the program
}

}  // namespace

Result OpenToRead(const std::string& path, int& fd, bool& pipe) {
    const std::wstring wide = WideFromUtf8(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Refused(Problem::Directory);
    HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Err(::GetLastError());
    const DWORD type = ::GetFileType(handle);
    if (type == FILE_TYPE_CHAR) {
        ::CloseHandle(handle);
        return Refused(Problem::Device);
    }
    pipe = type == FILE_TYPE_PIPE;
    fd = ToFd(handle, _O_RDONLY);
    if (fd < 0) return Err(ERROR_NOT_ENOUGH_MEMORY);
    return {};
}

Result ReadWaiting(int fd, void* buffer, std::size_t size, const std::atomic<bool>& stop,
                   std::size_t& n) {
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    for (;;) {
        if (stop.load(std::memory_order_relaxed)) return Refused(Problem::Stopped);
        DWORD available = 0;
        if (!::PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr)) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_BROKEN_PIPE) return Err(error);
            n = 0;  // the writer is gone: the end
            return {};
        }
        if (available == 0) {
            ::Sleep(kWaitSliceMs);
            continue;
        }
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, available));
        if (!::ReadFile(handle, buffer, want, &got, nullptr)) return Err(::GetLastError());
        n = got;
        return {};
    }
}

Result ResolveTarget(const std::string& path, Target& target) {
    target = Target{path, true, Target::Kind::File};
    const std::wstring wide = WideFromUtf8(path);
    // Opened without access, following links, to see what it is.
    HANDLE handle = ::CreateFileW(wide.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (!Missing(error)) return Err(error);
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());  // the link itself
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return Refused(Problem::DanglingLink);
        return {};  // a new file
    }
    Result result;
    const DWORD type = ::GetFileType(handle);
    BY_HANDLE_FILE_INFORMATION info{};
    if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) {
        target.replace = false;
        target.kind = type == FILE_TYPE_CHAR ? Target::Kind::Device : Target::Kind::Fifo;
    } else if (!::GetFileInformationByHandle(handle, &info)) {
        result = Err(::GetLastError());
    } else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        result = Refused(Problem::Directory);
    } else {
        target.existed = true;
        target.device = info.dwVolumeSerialNumber;
        target.file = FileIndex(info);
        // The file a link names: the new file goes beside it, the link stays.
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            std::wstring final(32768, L'\0');
            const DWORD n =
                ::GetFinalPathNameByHandleW(handle, final.data(), static_cast<DWORD>(final.size()),
                                            FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
            if (n == 0 || n >= final.size())
                result = Err(::GetLastError());
            else
                target.path = Utf8FromWide(std::wstring_view(final.data(), n));
        }
    }
    ::CloseHandle(handle);
    return result;
}

Result CreateBeside(const Target& target, std::string& tempPath, int& fd) {
    for (DWORD attempt = 0; attempt < 100; ++attempt) {
        tempPath = target.path + ".part" + std::to_string(::GetCurrentProcessId() + attempt);
        const std::wstring wide = WideFromUtf8(tempPath);
        // Deletable while open: the console's handler may remove it.
        HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_EXISTS) continue;
            return Err(error);
        }
        Register(wide);
        fd = ToFd(handle, _O_WRONLY);
        if (fd < 0) {
            Discard(tempPath);
            return Err(ERROR_NOT_ENOUGH_MEMORY);
        }
        return {};
    }
    return Err(ERROR_FILE_EXISTS);
}

Result Replace(const std::string& tempPath, const Target& target) {
    const std::wstring from = WideFromUtf8(tempPath), to = WideFromUtf8(target.path);
    // Looked at again just before, the name itself (no link followed): only
    // the disk file seen when the save began is replaced.
    HANDLE handle =
        ::CreateFileW(to.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    const bool existed = handle != INVALID_HANDLE_VALUE;
    if (!existed && !Missing(::GetLastError())) return Err(::GetLastError());
    if (existed) {
        BY_HANDLE_FILE_INFORMATION info{};
        const bool same =
            ::GetFileType(handle) == FILE_TYPE_DISK &&
            ::GetFileInformationByHandle(handle, &info) &&
            !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
            target.existed && info.dwVolumeSerialNumber == target.device &&
            FileIndex(info) == target.file;
        ::CloseHandle(handle);
        if (!same) return Refused(Problem::Changed);
    }
    // ReplaceFile keeps the replaced file's attributes and security; a new
    // file is only moved in, never over something made meanwhile.
    if (existed) {
        if (!::ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                            nullptr, nullptr) &&
            !::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
            return Err(::GetLastError());
    } else if (!::MoveFileExW(from.c_str(), to.c_str(), 0)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
            return Refused(Problem::Changed);
        return Err(error);
    }
    Unregister();
    return {};
}

void Discard(const std::string& tempPath) {
    ::DeleteFileW(WideFromUtf8(tempPath).c_str());
    Unregister();
}

Result OpenInto(const Target& target, int& fd) {
    HANDLE handle =
        ::CreateFileW(WideFromUtf8(target.path).c_str(), GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (target.kind == Target::Kind::Fifo && (error == ERROR_PIPE_BUSY || Missing(error)))
            return Refused(Problem::NoReader);
        return Err(error);
    }
    if (::GetFileType(handle) == FILE_TYPE_DISK) {
        // Replaced by a file meanwhile: writing into it would not truncate it.
        ::CloseHandle(handle);
        return Err(ERROR_SHARING_VIOLATION);
    }
    fd = ToFd(handle, _O_WRONLY);
    if (fd < 0) return Err(ERROR_NOT_ENOUGH_MEMORY);
    return {};
}

Result Close(int fd) {
    if (_close(fd) != 0) return Err(ERROR_WRITE_FAULT);
    return {};
}

Result CheckWritable(const std::string& path) {
    Target target;
    if (Result r = ResolveTarget(path, target); !r) return r;
    if (!target.replace) return {};  // opening a pipe or device could act on it
    std::string tempPath;
    int fd = -1;
    if (Result r = CreateBeside(target, tempPath, fd); !r) return r;
    _close(fd);
    Discard(tempPath);
    return {};
}

// Windows has no SIGPIPE: a broken pipe is an error of the write.
CBrokenPipeGuard::CBrokenPipeGuard() = default;
CBrokenPipeGuard::~CBrokenPipeGuard() = default;

void RemoveSaveOnSignal() { ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

}  // namespace sizewalk::scanfile_os
