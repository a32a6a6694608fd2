#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h.
#include <shellapi.h>
#include <shobjidl.h>

#include <string>

#include "platform/error_text.h"
#include "platform/file_actions.h"
#include "platform/file_time_win32.h"
#include "platform/wide_text_win32.h"

namespace sizewalk {

namespace {

RemoveResult Refused(const std::string& path, const std::string& why) {
    return {RemoveStatus::NotRemoved, path + ": " + why + "\n"};
}

// The volume serial number of `path` itself (a link or junction is not
// followed); false when it cannot be opened.
bool VolumeOf(const std::wstring& path, DWORD& serial, DWORD& error) {
    const HANDLE h = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = ::GetLastError();
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
    error = ok ? 0 : ::GetLastError();
    ::CloseHandle(h);
    serial = info.dwVolumeSerialNumber;
    return ok;
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// COM for this thread, for as long as the object lives.
class ComScope {
public:
    ComScope() : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComScope() {
        if (SUCCEEDED(m_hr)) ::CoUninitialize();
    }
    // Usable also when the thread had COM in another mode already.
    bool Usable() const { return SUCCEEDED(m_hr) || m_hr == RPC_E_CHANGED_MODE; }

private:
    HRESULT m_hr;
};

// No dialogs of the shell's own, except its warning before an item that
// cannot be recycled would be destroyed instead: the user decides.
DWORD Flags(bool toTrash) {
    DWORD flags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR;
    if (toTrash) flags |= FOF_ALLOWUNDO | FOFX_RECYCLEONDELETE | FOF_WANTNUKEWARNING;
    return flags;
}

// The shell's file operation on one item; E_NOTIMPL where the shell has
// none, E_ABORT when the user or the shell cancelled.
HRESULT ShellDelete(const std::wstring& path, bool toTrash) {
    ComScope com;
    if (!com.Usable()) return E_NOTIMPL;
    IFileOperation* op = nullptr;
    HRESULT hr = ::CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&op));
    if (FAILED(hr)) return E_NOTIMPL;
    IShellItem* item = nullptr;
    hr = op->SetOperationFlags(Flags(toTrash));
    if (SUCCEEDED(hr)) hr = ::SHCreateItemFromParsingName(path.c_str(), nullptr, IID_PPV_ARGS(&item));
    if (SUCCEEDED(hr)) hr = op->DeleteItem(item, nullptr);
    if (SUCCEEDED(hr)) hr = op->PerformOperations();
    BOOL aborted = FALSE;
    if (SUCCEEDED(hr) && SUCCEEDED(op->GetAnyOperationsAborted(&aborted)) && aborted) hr = E_ABORT;
    if (item) item->Release();
    op->Release();
    return hr;
}

RemoveResult Remove(const std::string& path, const std::string& startPath, bool toTrash) {
    const std::wstring wide = WideFromUtf8(path);
    DWORD start = 0, item = 0, error = 0;
    if (!VolumeOf(WideFromUtf8(startPath), start, error)) return Refused(startPath, ErrorText(static_cast<int>(error)));
    if (!VolumeOf(wide, item, error)) return Refused(path, ErrorText(static_cast<int>(error)));
    if (item != start) return Refused(path, "on another file system");
    const bool directory = (::GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0;

    HRESULT hr = ShellDelete(wide, toTrash);
    if (hr == E_NOTIMPL) {
        // Systems whose shell lacks the newer interface (Wine, for one)
        // still have the older call, which takes the same flags.
        std::wstring from = wide;
        from.push_back(L'\0');  // a list of names, ended by an empty one
        SHFILEOPSTRUCTW op{};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = static_cast<FILEOP_FLAGS>(Flags(toTrash) & 0xFFFF);
        const int error = ::SHFileOperationW(&op);
        hr = error == 0 ? (op.fAnyOperationsAborted ? E_ABORT : S_OK) : HRESULT_FROM_WIN32(error);
    }
    const bool aborted = hr == E_ABORT;
    if (!Exists(wide)) return {RemoveStatus::Removed, {}};
    std::string why = FAILED(hr) ? ErrorText(static_cast<int>(hr)) : "not removed";
    if (aborted) why = "the operation was cancelled";
    // A directory may have lost part of what it held.
    return {directory && !toTrash ? RemoveStatus::Partial : RemoveStatus::NotRemoved,
            path + ": " + why + "\n"};
}

bool Start(std::wstring commandLine, const std::wstring& dir, DWORD flags) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                          dir.c_str(), &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

}  // namespace

ItemLook LookAtItem(const std::string& path, const std::string&, ItemKind kind) {
    ItemLook look;
    const std::wstring wide = WideFromUtf8(path);
    const HANDLE h = ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        look.eStatus = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                           ? LookStatus::Gone
                           : LookStatus::Failed;
        look.strWhy = ErrorText(static_cast<int>(error));
        return look;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
    ::CloseHandle(h);
    if (!ok) return look;
    const ItemKind now = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? ItemKind::Other
                         : (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? ItemKind::Directory
                                                                               : ItemKind::File;
    look.eStatus = now == kind ? LookStatus::Same : LookStatus::Changed;
    look.id = {info.dwVolumeSerialNumber,
               (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
    look.nSize = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    look.nDiskSize = look.nSize;
    return look;
}

RemoveResult MoveToTrash(const std::string& path, const std::string& startPath, const ItemId&) {
    return Remove(path, startPath, true);
}

RemoveResult DeletePermanently(const std::string& path, const std::string& startPath,
                               const ItemId&) {
    return Remove(path, startPath, false);
}

bool ItemExists(const std::string& path, const std::string&) {
    if (Exists(WideFromUtf8(path))) return true;
    const DWORD error = ::GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

std::int64_t ItemModified(const std::string& path, const std::string&) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(WideFromUtf8(path).c_str(), GetFileExInfoStandard, &data)) return 0;
    return UnixSeconds(static_cast<std::int64_t>(
        (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
        data.ftLastWriteTime.dwLowDateTime));
}

bool OpenTerminal(const std::string& dir) {
    std::wstring wide = WideFromUtf8(dir);
    // A trailing backslash would escape the closing quote.
    std::wstring quoted = wide;
    if (!quoted.empty() && quoted.back() == L'\\') quoted += L'.';
    wchar_t found[MAX_PATH];
    if (::SearchPathW(nullptr, L"wt.exe", nullptr, MAX_PATH, found, nullptr) != 0 &&
        Start(L"\"" + std::wstring(found) + L"\" -d \"" + quoted + L"\"", wide, 0))
        return true;
    wchar_t system[MAX_PATH];
    const UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    return Start(L"\"" + std::wstring(system) + L"\\cmd.exe\"", wide, CREATE_NEW_CONSOLE);
}

}  // namespace sizewalk
