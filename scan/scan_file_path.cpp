#include "scan/scan_file_path.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "scan/scan_file_list.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/error_text.h"
#include "platform/wide_text_win32.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace sizewalk {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// errno values, from the C library on both systems.
[[noreturn]] void Fail(const std::string& path, int error) {
    throw ScanFileError(path + ": " + std::strerror(error), 0);
}

#ifdef _WIN32
// System error codes: the text the system gives for them.
[[noreturn]] void FailWin(const std::string& path, DWORD error) {
    throw ScanFileError(path + ": " + ErrorText(static_cast<int>(error)), 0);
}
#endif

// A new file beside `path`, open for writing, and its name.
FilePtr CreateBeside(const std::string& path, std::string& tempPath) {
#ifdef _WIN32
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        tempPath = path + ".part" + std::to_string(GetCurrentProcessId() + attempt);
        HANDLE handle = ::CreateFileW(WideFromUtf8(tempPath).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_EXISTS) continue;
            FailWin(path, error);
        }
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
        FILE* file = fd < 0 ? nullptr : _fdopen(fd, "wb");
        if (file) return FilePtr(file);
        if (fd >= 0)
            _close(fd);
        else
            ::CloseHandle(handle);
        ::DeleteFileW(WideFromUtf8(tempPath).c_str());
        Fail(path, ENOMEM);
    }
    Fail(path, EEXIST);
#else
    tempPath = path + ".XXXXXX";
    const int fd = ::mkstemp(tempPath.data());
    if (fd < 0) Fail(path, errno);
    // mkstemp makes it 0600; a saved scan gets what a new file would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        const int error = errno;
        ::close(fd);
        ::unlink(tempPath.c_str());
        Fail(path, error);
    }
    return FilePtr(file);
#endif
}

void RemoveFile(const std::string& path) {
#ifdef _WIN32
    DeleteFileW(WideFromUtf8(path).c_str());
#else
    ::unlink(path.c_str());
#endif
}

}  // namespace

void CheckScanFileWritable(const std::string& path) {
#ifdef _WIN32
    const std::wstring wide = WideFromUtf8(path);
    const bool existed = _waccess(wide.c_str(), 0) == 0;
    FILE* probe = _wfopen(wide.c_str(), L"ab");  // never truncates
#else
    const bool existed = ::access(path.c_str(), F_OK) == 0;
    FILE* probe = std::fopen(path.c_str(), "ab");  // never truncates
#endif
    if (!probe) Fail(path, errno);
    std::fclose(probe);
    if (!existed) RemoveFile(path);
}

bool ScanFilesCanCompress() {
#ifdef SIZEWALK_HAVE_ZSTD
    return true;
#else
    return false;
#endif
}

void OpenScanFile(const std::string& path, CScanList& list, ScanFileMetadata* metadata,
                  CScanProgress* progress) {
    list.Clear();
#ifdef _WIN32
    FilePtr file(_wfopen(WideFromUtf8(path).c_str(), L"rb"));
#else
    FilePtr file(std::fopen(path.c_str(), "rb"));
#endif
    if (!file) Fail(path, errno);
    CFileSource source(file.get());
    ReadScanList(source, list, metadata, {}, progress);
}

void SaveScanFile(const CScanList& list, const std::string& path, bool compress) {
    std::string tempPath;
    FilePtr file = CreateBeside(path, tempPath);
    try {
        CFileOutput output(file.get());
        ScanFileWriterOptions options;
        options.bCompress = compress;
        CScanFileWriter writer(output, options);
        WriteScanList(list, writer);
        std::FILE* done = file.release();
        if (std::fclose(done) != 0) Fail(path, errno);
#ifdef _WIN32
        if (!MoveFileExW(WideFromUtf8(tempPath).c_str(), WideFromUtf8(path).c_str(),
                         MOVEFILE_REPLACE_EXISTING))
            FailWin(path, GetLastError());
#else
        if (::rename(tempPath.c_str(), path.c_str()) != 0) Fail(path, errno);
#endif
    } catch (...) {
        file.reset();
        RemoveFile(tempPath);
        throw;
    }
}

}  // namespace sizewalk
