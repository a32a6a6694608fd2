#pragma once
// Opens one name below an open directory by the directory's handle, never
// by a path from the root: what lies above cannot be swapped on the way. A
// reparse point (link, junction, mount point) is opened as itself, never
// its target. Both the walks and the removals reach items this way, from a
// start opened by its full path in the long form.

#include <windows.h>
#include <winternl.h>

#include <string>
#include <string_view>

namespace sizewalk {

// `name` is one component (empty opens `root` itself again); `options` are
// NtCreateFile's create options to add (FILE_DIRECTORY_FILE, …). `out` is
// the new handle when the status is a success. A name too long for the
// system gives STATUS_OBJECT_NAME_INVALID.
inline NTSTATUS OpenBelow(HANDLE root, std::wstring_view name, ACCESS_MASK access, ULONG share,
                          ULONG options, HANDLE& out) {
    out = nullptr;
    if (name.size() * sizeof(wchar_t) > 0xFFFE) return static_cast<NTSTATUS>(0xC0000033L);
    UNICODE_STRING text;
    text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    text.Buffer = const_cast<wchar_t*>(name.data());
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, 0, root, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE h = nullptr;
    const NTSTATUS status =
        ::NtCreateFile(&h, access | SYNCHRONIZE, &attributes, &io, nullptr, 0, share, FILE_OPEN,
                       options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT |
                           FILE_OPEN_REPARSE_POINT,
                       nullptr, 0);
    if (status >= 0) out = h;
    return status;
}

// The "\\?\" form of a full path, which the system takes at any length and
// without rewriting it.
inline std::wstring LongForm(std::wstring full) {
    if (full.rfind(L"\\\\?\\", 0) == 0) return full;
    if (full.rfind(L"\\\\.\\", 0) == 0) {
        full[2] = L'?';
        return full;
    }
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

}  // namespace sizewalk
