#pragma once
// A real directory tree in the Windows temporary folder for tests, removed
// when the object goes away. Relative paths are UTF-8; everything is made
// through the wide calls with the "\\?\" prefix, so names of any script and
// paths past MAX_PATH serve alike.

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/wide_text_win32.h"

namespace sizewalk::test {

class WinTempTree {
public:
    WinTempTree() {
        char temp[MAX_PATH];
        const DWORD n = ::GetTempPathA(MAX_PATH, temp);
        EXPECT_GT(n, 0u);
        // Process ids repeat under Wine; the clock keeps names apart.
        m_root = std::string(temp, n) + "sizewalk-" + std::to_string(::GetCurrentProcessId()) +
                 "-" + std::to_string(::GetTickCount64()) + "-" + std::to_string(s_counter++);
        EXPECT_TRUE(::CreateDirectoryA(m_root.c_str(), nullptr)) << m_root;
    }
    ~WinTempTree() { Remove(Wide(m_root)); }
    WinTempTree(const WinTempTree&) = delete;
    WinTempTree& operator=(const WinTempTree&) = delete;

    const std::string& Root() const { return m_root; }
    std::string Path(const std::string& rel) const { return m_root + "\\" + rel; }
    void Dir(const std::string& rel) const {
        EXPECT_TRUE(::CreateDirectoryW(Wide(Path(rel)).c_str(), nullptr)) << rel;
    }
    void File(const std::string& rel, long long size) const {
        HANDLE h = ::CreateFileW(Wide(Path(rel)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << rel;
        LARGE_INTEGER at;
        at.QuadPart = size;
        EXPECT_TRUE(::SetFilePointerEx(h, at, nullptr, FILE_BEGIN));
        EXPECT_TRUE(::SetEndOfFile(h));
        ::CloseHandle(h);
    }
    // A file whose `size` bytes are all written, so that they take blocks.
    void WrittenFile(const std::string& rel, std::size_t size) const {
        HANDLE h = ::CreateFileW(Wide(Path(rel)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << rel;
        const std::string data(size, 'x');
        DWORD written = 0;
        EXPECT_TRUE(::WriteFile(h, data.data(), static_cast<DWORD>(size), &written, nullptr));
        EXPECT_EQ(written, size);
        ::CloseHandle(h);
    }
    // A chain of directories below the root whose last one's full path is
    // exactly `length` bytes; returns that path.
    std::string DirOfLength(std::size_t length) const {
        std::string rel;
        while (Path(rel).size() + 10 < length) {
            if (!rel.empty()) rel += '\\';
            rel.append(8, 'd');
            if (!::CreateDirectoryW(Wide(Path(rel)).c_str(), nullptr)) {
                EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << rel;
            }
        }
        const std::size_t pad = length - Path(rel).size() - (rel.empty() ? 0 : 1);
        if (!rel.empty()) rel += '\\';
        rel.append(pad, 'e');
        Dir(rel);
        EXPECT_EQ(Path(rel).size(), length);
        return Path(rel);
    }

    // The "\\?\" form of a full UTF-8 path, for the wide calls.
    static std::wstring Wide(const std::string& path) { return L"\\\\?\\" + WideFromUtf8(path); }

private:
    static void Remove(const std::wstring& path) {
        WIN32_FIND_DATAW data;
        HANDLE h = ::FindFirstFileW((path + L"\\*").c_str(), &data);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = data.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring child = path + L"\\" + name;
                // A link is never entered: what it names is not the test's.
                if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                        ::RemoveDirectoryW(child.c_str());
                    continue;
                }
                ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    Remove(child);
                else
                    ::DeleteFileW(child.c_str());
            } while (::FindNextFileW(h, &data));
            ::FindClose(h);
        }
        ::RemoveDirectoryW(path.c_str());
    }

    static inline int s_counter = 0;
    std::string m_root;
};

// Data holds a.txt (10 bytes), Beta (empty), C.bin (3 bytes) and sub, which
// holds b.txt (5 bytes). Returns the path of Data.
inline std::string MakeExampleTree(const WinTempTree& t) {
    t.Dir("Data");
    t.File("Data\\a.txt", 10);
    t.Dir("Data\\Beta");
    t.File("Data\\C.bin", 3);
    t.Dir("Data\\sub");
    t.File("Data\\sub\\b.txt", 5);
    return t.Path("Data");
}

}  // namespace sizewalk::test
