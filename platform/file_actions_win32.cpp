// Items are reached from the scan's start one component at a time, each
// opened relative to its parent's handle with the reparse point itself opened
// rather than followed, and each checked twice: by its handle and by its
// parent's listing of that name. Windows tells a link by either; Wine follows
// a host's symbolic link even when asked not to, so there only the listing
// (which marks it as a reparse point) tells, and the listed id must match the
// handle's so that a swap between the open and the listing is seen.
//
// A permanent delete then works from handles only: each entry is opened
// relative to its directory and deleted through its own handle. The Recycle
// Bin is the shell's, which takes a path: during its move every directory on
// that path is held open without delete sharing, so that none can be renamed
// or replaced; only the item's own name in its parent stays open to a swap,
// and whatever stands there is an entry of that parent, below the start.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h.
#include <shellapi.h>
#include <shobjidl.h>
#include <winioctl.h>
#include <winternl.h>

#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/error_text.h"
#include "platform/file_actions.h"
#include "platform/file_time_win32.h"
#include "platform/nt_open_win32.h"
#include "platform/reparse_win32.h"
#include "platform/visible_text.h"
#include "platform/wide_text_win32.h"

extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID,
                                               PIO_STATUS_BLOCK, PVOID, ULONG,
                                               FILE_INFORMATION_CLASS, BOOLEAN, PUNICODE_STRING,
                                               BOOLEAN);

namespace sizewalk {

namespace {

constexpr char kSeparator = '\\';
constexpr int kShownFailures = 5;
// Directory handles a delete keeps open at most; deeper ancestors are opened
// again, by name and checked by id, when the walk climbs back to them.
constexpr std::size_t kOpenFrames = 128;

constexpr NTSTATUS kNoSuchFile = static_cast<NTSTATUS>(0xC000000F);
constexpr NTSTATUS kNameNotFound = static_cast<NTSTATUS>(0xC0000034);
constexpr NTSTATUS kPathNotFound = static_cast<NTSTATUS>(0xC000003A);
constexpr NTSTATUS kDeletePending = static_cast<NTSTATUS>(0xC0000056);
constexpr NTSTATUS kAccessDenied = static_cast<NTSTATUS>(0xC0000022);
constexpr NTSTATUS kNotADirectory = static_cast<NTSTATUS>(0xC0000103);
constexpr NTSTATUS kIsADirectory = static_cast<NTSTATUS>(0xC00000BA);
constexpr auto kIdBothDirectoryInformation = static_cast<FILE_INFORMATION_CLASS>(37);
constexpr auto kInternalInformation = static_cast<FILE_INFORMATION_CLASS>(6);

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Held so that nobody can rename or delete the directory meanwhile.
constexpr DWORD kShareNoDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ACCESS_MASK kLook = FILE_READ_ATTRIBUTES;
constexpr ACCESS_MASK kList = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;
constexpr ACCESS_MASK kRemove = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

bool IsMissing(NTSTATUS status) {
    return status == kNoSuchFile || status == kNameNotFound || status == kPathNotFound ||
           status == kDeletePending;
}

std::string StatusText(NTSTATUS status) {
    return ErrorText(static_cast<int>(::RtlNtStatusToDosError(status)));
}

std::string Line(const std::string& path, const std::string& why) {
    return VisibleText(path, kSeparator) + ": " + why + "\n";
}

// Failures as the message shows them: the first few, then a count.
class Failures {
public:
    void Add(const std::string& path, const std::string& why) {
        if (m_nCount++ < kShownFailures) m_strText += Line(path, why);
    }
    bool Any() const { return m_nCount > 0; }
    std::string Text() const {
        std::string text = m_strText;
        if (m_nCount > kShownFailures)
            text += "and " + std::to_string(m_nCount - kShownFailures) + " more\n";
        return text;
    }

private:
    int m_nCount = 0;
    std::string m_strText;
};

class Owned {
public:
    Owned() = default;
    explicit Owned(HANDLE h) : m_h(h) {}
    ~Owned() { Reset(); }
    Owned(Owned&& other) noexcept : m_h(std::exchange(other.m_h, nullptr)) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            Reset();
            m_h = std::exchange(other.m_h, nullptr);
        }
        return *this;
    }
    HANDLE Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    void Reset() {
        if (m_h) ::CloseHandle(m_h);
        m_h = nullptr;
    }

private:
    HANDLE m_h = nullptr;
};

// Opens `name` (one component, or empty for `root` itself again) below the
// open directory `root`; a reparse point is opened as itself.
NTSTATUS OpenRelative(HANDLE root, std::wstring_view name, ACCESS_MASK access, ULONG options,
                      DWORD share, Owned& out) {
    out.Reset();
    if (name.size() * sizeof(wchar_t) > 0xFFFE) return kNameNotFound;
    HANDLE h = nullptr;
    const NTSTATUS status = OpenBelow(root, name, access, share, options, h);
    if (status >= 0) out = Owned(h);
    return status;
}

// What a listing or a handle tells of one object.
struct Facts {
    DWORD attributes = 0;
    DWORD tag = 0;
    std::uint64_t id = 0;
    bool Link() const { return IsListedLink(attributes, tag); }
    bool Directory() const { return !Link() && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

// An id a listing gives that can be compared with a handle's (FAT lists
// none; ReFS may list one that does not fit).
bool Comparable(std::uint64_t listed) { return listed != 0 && listed != ~std::uint64_t{0}; }

Facts FromListing(const FILE_ID_BOTH_DIR_INFO& record) {
    Facts facts;
    facts.attributes = record.FileAttributes;
    facts.tag = (record.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? record.EaSize : 0;
    facts.id = static_cast<std::uint64_t>(record.FileId.QuadPart);
    return facts;
}

// The entry `name` of the open directory `dir` as its listing has it, read
// through a handle of its own (a listing handle keeps its first pattern).
// Windows names hold no wildcard, so the name matches itself only.
NTSTATUS ListedEntry(HANDLE dir, std::wstring_view name, Facts& out, bool& found) {
    found = false;
    Owned own;
    NTSTATUS status = OpenRelative(dir, {}, kList, FILE_DIRECTORY_FILE, kShareAll, own);
    if (status < 0) return status;
    alignas(8) char buffer[sizeof(FILE_ID_BOTH_DIR_INFO) + 600];
    UNICODE_STRING pattern;
    pattern.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    pattern.MaximumLength = pattern.Length;
    pattern.Buffer = const_cast<wchar_t*>(name.data());
    IO_STATUS_BLOCK io{};
    status =
        ::NtQueryDirectoryFile(own.Get(), nullptr, nullptr, nullptr, &io, buffer, sizeof buffer,
                               kIdBothDirectoryInformation, TRUE, &pattern, TRUE);
    if (status == kNoSuchFile) return 0;
    if (status < 0) return status;
    const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer);
    // Names differ in case only where the directory is case-sensitive, and
    // there the pattern matched exactly.
    found = ::CompareStringOrdinal(record->FileName,
                                   static_cast<int>(record->FileNameLength / sizeof(wchar_t)),
                                   name.data(), static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
    out = FromListing(*record);
    return 0;
}

struct Opened {
    Owned h;
    Facts facts;  // the listing's and the handle's together
    std::uint64_t volume = 0;
    // Listed as a link, but the handle holds what it names: the system
    // followed it (Wine does with its host's links).
    bool followed = false;
    ItemId Id() const { return {volume, facts.id}; }
};

// The attributes, reparse tag and file index of the object open as `h`;
// read without its name, which Wine finds anew at every call.
bool HandleFacts(HANDLE h, Facts& out, std::string& why) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag)) {
        why = ErrorText(static_cast<int>(::GetLastError()));
        return false;
    }
    struct {
        LARGE_INTEGER IndexNumber;
    } internal{};
    IO_STATUS_BLOCK io{};
    const NTSTATUS status =
        ::NtQueryInformationFile(h, &io, &internal, sizeof internal, kInternalInformation);
    if (status < 0) {
        why = StatusText(status);
        return false;
    }
    out.attributes = tag.FileAttributes;
    out.tag = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? tag.ReparseTag : 0;
    out.id = static_cast<std::uint64_t>(internal.IndexNumber.QuadPart);
    return true;
}

// The serial number of the volume that holds the object open as `h`.
bool VolumeOf(HANDLE h, std::uint64_t& serial, std::string& why) {
    FILE_ID_INFO id{};
    if (::GetFileInformationByHandleEx(h, FileIdInfo, &id, sizeof id)) {
        serial = id.VolumeSerialNumber;
        return true;
    }
    // Systems before Windows 8 give the short serial only.
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) {
        why = ErrorText(static_cast<int>(::GetLastError()));
        return false;
    }
    serial = info.dwVolumeSerialNumber;
    return true;
}

// The path of the object open as `h` on its volume ("\\dir\\name"): where the
// system found it. A link it followed shows its target's path there.
bool NameOf(HANDLE h, std::wstring& out, std::string& why) {
    thread_local std::vector<char> buffer(sizeof(FILE_NAME_INFO) + 65536);
    if (!::GetFileInformationByHandleEx(h, FileNameInfo, buffer.data(),
                                        static_cast<DWORD>(buffer.size()))) {
        why = ErrorText(static_cast<int>(::GetLastError()));
        return false;
    }
    const auto* info = reinterpret_cast<const FILE_NAME_INFO*>(buffer.data());
    out.assign(info->FileName, info->FileNameLength / sizeof(wchar_t));
    return true;
}

enum class Reach { Ok, Gone, Failed, Changed };

// Opens the entry `name` of `dir` and checks that the handle holds what the
// directory lists under that name: `known` when the listing was read before
// (or the entry was seen before), else the listing read after the open. The
// volume is read when `wantVolume`. `dirName` is NameOf(dir), when known.
// `why` says what went wrong otherwise.
Reach OpenEntry(HANDLE dir, std::wstring_view name, ACCESS_MASK access, ULONG options, DWORD share,
                const Facts* known, bool wantVolume, Opened& out, std::string& why,
                const std::wstring* dirName = nullptr) {
    NTSTATUS status = OpenRelative(dir, name, access, options, share, out.h);
    if (status == kAccessDenied && (access & FILE_WRITE_ATTRIBUTES)) {
        // Deleting needs no attribute change unless the item is read-only.
        status = OpenRelative(dir, name, access & ~FILE_WRITE_ATTRIBUTES, options, share, out.h);
    }
    if (status < 0) {
        if (IsMissing(status)) return Reach::Gone;
        if (status == kNotADirectory || status == kIsADirectory) {
            why = "it is another kind of item now";
            return Reach::Changed;
        }
        why = StatusText(status);
        return Reach::Failed;
    }
    Facts held;
    if (!HandleFacts(out.h.Get(), held, why)) return Reach::Failed;
    Facts listed;
    if (known) {
        listed = *known;
    } else {
        bool found = false;
        status = ListedEntry(dir, name, listed, found);
        if (status < 0) {
            why = StatusText(status);
            return Reach::Failed;
        }
        if (!found) {
            why = "it changed while being reached";
            return Reach::Changed;
        }
    }
    if (Comparable(listed.id) && listed.id != held.id) {
        why = "it changed while being reached";
        return Reach::Changed;
    }
    if (wantVolume && !VolumeOf(out.h.Get(), out.volume, why)) return Reach::Failed;
    out.facts = held;
    out.followed = listed.Link() && !held.Link();
    if (out.followed) out.facts = listed;
    // Wine lists a host's link to a file as that file and opens its target:
    // only the opened object's path tells.
    std::wstring parent, found;
    if (!dirName && !NameOf(dir, parent, why)) return Reach::Failed;
    if (!NameOf(out.h.Get(), found, why)) return Reach::Failed;
    std::wstring expected = dirName ? *dirName : parent;
    if (expected.empty() || expected.back() != L'\\') expected += L'\\';
    expected += name;
    if (::CompareStringOrdinal(found.data(), static_cast<int>(found.size()), expected.data(),
                               static_cast<int>(expected.size()), TRUE) != CSTR_EQUAL) {
        out.followed = true;
        out.facts.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        out.facts.tag = 0;
    }
    return Reach::Ok;
}

ItemKind KindOf(const Facts& facts) {
    if (facts.Link()) return ItemKind::Other;
    return facts.Directory() ? ItemKind::Directory : ItemKind::File;
}

// Whether the reparse point open as `h` (tagged `tag`) mounts a volume. A
// junction names a directory; a mount point names a volume. When that
// cannot be read, it is taken for a volume.
bool MountsVolume(HANDLE h, DWORD tag) {
    if (tag != IO_REPARSE_TAG_MOUNT_POINT) return false;
    std::vector<char> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD got = 0;
    if (!::DeviceIoControl(h, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                           static_cast<DWORD>(buffer.size()), &got, nullptr) ||
        got < 16)
        return true;
    // Tag, length, reserved, then the substitute name's offset and length,
    // counted from the path buffer at byte 16.
    WORD offset = 0, length = 0;
    std::memcpy(&offset, buffer.data() + 8, sizeof offset);
    std::memcpy(&length, buffer.data() + 10, sizeof length);
    if (16u + offset + length > got) return true;
    std::wstring target(length / sizeof(wchar_t), L'\0');
    std::memcpy(target.data(), buffer.data() + 16 + offset, length);
    constexpr std::wstring_view kVolume = L"\\??\\Volume{";
    if (target.size() < kVolume.size()) return false;
    return ::CompareStringOrdinal(target.data(), static_cast<int>(kVolume.size()), kVolume.data(),
                                  static_cast<int>(kVolume.size()), TRUE) == CSTR_EQUAL;
}

// Opens a directory by its full path, followed as typed (the scan's start).
bool OpenByPath(const std::wstring& path, DWORD share, Owned& out, DWORD& error) {
    std::wstring wide = path;
    if (wide.empty() || wide.find(L'\0') != std::wstring::npos) {
        error = ERROR_INVALID_NAME;
        return false;
    }
    if (wide.back() != L'\\' && wide.back() != L'/') wide += L'\\';
    const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(needed, L'\0');
    const DWORD n = needed ? ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr) : 0;
    if (n == 0 || n >= needed) {
        error = needed ? ERROR_INVALID_NAME : ::GetLastError();
        return false;
    }
    full.resize(n);
    const HANDLE h = ::CreateFileW(LongForm(std::move(full)).c_str(), kList, share, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = ::GetLastError();
        return false;
    }
    out = Owned(h);
    return true;
}

// An item reached from the start: its parent's handle, its name there and
// its own handle (read access only).
struct Reached {
    LookStatus status = LookStatus::Failed;
    std::string why;
    Owned start;
    Owned parent;              // empty when the item is the start itself
    std::wstring leaf;         // the item's name in `parent`
    Opened item;               // the start itself when `parent` is empty
    std::uint64_t volume = 0;  // the start's
};

Reached ReachItem(const std::string& path, const std::string& startPath, DWORD share) {
    Reached r;
    DWORD error = 0;
    if (!OpenByPath(WideFromUtf8(startPath), share, r.start, error)) {
        r.status = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                       ? LookStatus::Gone
                       : LookStatus::Failed;
        r.why = ErrorText(static_cast<int>(error));
        return r;
    }
    Facts startFacts;
    if (!HandleFacts(r.start.Get(), startFacts, r.why) || !VolumeOf(r.start.Get(), r.volume, r.why))
        return r;
    const bool below =
        !startPath.empty() && path.compare(0, startPath.size(), startPath) == 0 &&
        (path.size() == startPath.size() || startPath.back() == '\\' || startPath.back() == '/' ||
         path[startPath.size()] == '\\' || path[startPath.size()] == '/');
    if (!below) {
        r.why = "it does not lie below the scan's start";
        return r;
    }
    // The components below the start, checked before anything is opened.
    std::vector<std::string> names;
    for (std::size_t at = startPath.size(); at < path.size();) {
        std::size_t end = path.find_first_of("\\/", at);
        if (end == std::string::npos) end = path.size();
        if (end > at) names.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    for (const std::string& name : names) {
        if (name == "." || name == "..") {
            r.why = "its path is not valid";
            return r;
        }
    }
    if (names.empty()) {
        r.item.h = std::move(r.start);
        r.item.facts = startFacts;
        r.item.volume = r.volume;
        r.status = LookStatus::Same;
        return r;
    }
    Owned at;  // empty: the start
    std::string reached = startPath;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0 || (reached.back() != '\\' && reached.back() != '/')) reached += kSeparator;
        reached += names[i];
        const std::wstring name = WideFromUtf8(names[i]);
        const HANDLE dir = at ? at.Get() : r.start.Get();
        const bool last = i + 1 == names.size();
        Opened next;
        std::string why;
        switch (OpenEntry(dir, name, last ? kLook : kList, 0, share, nullptr, true, next, why)) {
            case Reach::Ok:
                break;
            case Reach::Gone:
                r.status = LookStatus::Gone;
                r.why = "not found";
                return r;
            case Reach::Failed:
                r.why = VisibleText(reached, kSeparator) + ": " + why;
                return r;
            case Reach::Changed:
                r.status = LookStatus::Changed;
                r.why = VisibleText(reached, kSeparator) + ": " + why;
                return r;
        }
        if (next.volume != r.volume) {
            r.status = LookStatus::Changed;
            r.why = VisibleText(reached, kSeparator) + " lies on another volume";
            return r;
        }
        if (last) {
            r.parent = at ? std::move(at) : Owned();
            if (!r.parent) {
                // The start holds the item: its handle serves as the parent.
                r.parent = std::move(r.start);
            }
            r.leaf = name;
            r.item = std::move(next);
            r.status = LookStatus::Same;
            return r;
        }
        if (next.facts.Link()) {
            r.status = LookStatus::Changed;
            r.why = "a link stands in its way at " + VisibleText(reached, kSeparator);
            return r;
        }
        if (!next.facts.Directory()) {
            r.status = LookStatus::Changed;
            r.why = VisibleText(reached, kSeparator) + " is no longer a directory";
            return r;
        }
        at = std::move(next.h);
    }
    return r;  // not reached: the last name returns
}

// Deletes the object open as `h` (with DELETE access) when its last handle
// closes; a read-only attribute is cleared first, as the shell does, and put
// back when the delete is refused. 0 or the error.
DWORD DeleteHandle(HANDLE h, DWORD attributes) {
    FILE_BASIC_INFO basic{};
    const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly) {
        // Zero times are left as they are.
        basic.FileAttributes = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        if (!::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic))
            return ::GetLastError();
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (::SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition))
        return 0;
    const DWORD error = ::GetLastError();
    if (readOnly) {
        basic.FileAttributes = attributes;
        ::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic);
    }
    return error;
}

// Every entry of the open directory `dir` but "." and "..".
struct Entry {
    std::wstring name;
    Facts facts;
};

DWORD ListAll(HANDLE dir, std::vector<Entry>& out) {
    std::vector<char> buffer(64 * 1024);
    for (bool first = true;; first = false) {
        if (!::GetFileInformationByHandleEx(
                dir, first ? FileIdBothDirectoryRestartInfo : FileIdBothDirectoryInfo,
                buffer.data(), static_cast<DWORD>(buffer.size()))) {
            const DWORD error = ::GetLastError();
            return error == ERROR_NO_MORE_FILES ? 0 : error;
        }
        for (std::size_t at = 0;;) {
            const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + at);
            const std::wstring_view name(record->FileName,
                                         record->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..")
                out.push_back({std::wstring(name), FromListing(*record)});
            if (record->NextEntryOffset == 0) break;
            at += record->NextEntryOffset;
        }
    }
}

// A depth-first walk below one directory, without recursion: a stack of
// directories, of which only the deepest few stay open. Each entry is
// reached as ReachItem reaches one; links are never entered, nor directories
// on another volume. Deleting, it removes everything it can, children
// before their directory; looking for mounts, it stops at the first.
class TreeWalk {
public:
    enum class Mode { Delete, FindMount };

    TreeWalk(Mode mode, std::string rootPath, std::uint64_t volume, Failures& failures)
        : m_eMode(mode), m_strRoot(std::move(rootPath)), m_nVolume(volume), m_failures(failures) {}

    // Walks the directory open as `root` (with DELETE access when deleting).
    void Run(Opened root) {
        Push(std::move(root), {});
        while (!m_frames.empty() && !m_bStop) {
            if (!m_frames.back().h && !Reopen()) continue;
            Frame& top = m_frames.back();
            if (top.next < top.pending.size()) {
                Entry entry = std::move(top.pending[top.next++]);
                Visit(entry);
                continue;
            }
            bool failed = top.failed;
            if (m_eMode == Mode::Delete && !failed) {
                if (const DWORD error = DeleteHandle(top.h.Get(), top.attributes)) {
                    m_failures.Add(PathOf(m_frames.size() - 1, nullptr),
                                   ErrorText(static_cast<int>(error)));
                    failed = true;
                } else {
                    m_bRemovedAny = true;
                }
            }
            m_frames.pop_back();  // closing the handle completes the delete
            if (failed && !m_frames.empty()) m_frames.back().failed = true;
        }
    }

    bool RemovedAny() const { return m_bRemovedAny; }
    // For FindMount: where the first mount lies, or empty.
    const std::string& Mount() const { return m_strMount; }

private:
    struct Frame {
        std::wstring name;  // in the directory of the frame below
        std::uint64_t id = 0;
        DWORD attributes = 0;
        Owned h;
        std::vector<Entry> pending;
        std::size_t next = 0;
        bool failed = false;
        std::wstring path;  // NameOf(h), once asked for
    };

    ACCESS_MASK DirAccess() const { return m_eMode == Mode::Delete ? kRemove | kList : kList; }

    // The UTF-8 path of the frame at `depth`, and of its entry `child`.
    std::string PathOf(std::size_t depth, const std::wstring* child) const {
        std::string path = m_strRoot;
        for (std::size_t i = 1; i <= depth; ++i) {
            path += kSeparator;
            AppendUtf8(path, m_frames[i].name.data(), m_frames[i].name.size());
        }
        if (child) {
            path += kSeparator;
            AppendUtf8(path, child->data(), child->size());
        }
        return path;
    }

    void Fail(const std::wstring* child, const std::string& why) {
        m_failures.Add(PathOf(m_frames.size() - 1, child), why);
        m_frames.back().failed = true;
        if (m_eMode == Mode::FindMount) m_bStop = true;  // what is unseen may hold one
    }

    void Push(Opened dir, std::wstring name) {
        Frame frame;
        frame.name = std::move(name);
        frame.id = dir.facts.id;
        frame.attributes = dir.facts.attributes;
        frame.h = std::move(dir.h);
        const DWORD error = ListAll(frame.h.Get(), frame.pending);
        m_frames.push_back(std::move(frame));
        if (error != 0) {
            Fail(nullptr, ErrorText(static_cast<int>(error)));
            m_frames.back().pending.clear();
        }
        // Only the deepest directories stay open, and the walk's root.
        if (m_frames.size() > kOpenFrames + 1)
            m_frames[m_frames.size() - 1 - kOpenFrames].h.Reset();
    }

    // Opens the directories between the root and the deepest frame again,
    // each checked to be the one left. False when one is not: what lies
    // below it is left alone.
    bool Reopen() {
        const std::size_t deepest = m_frames.size() - 1;
        std::size_t k = 1;
        while (m_frames[k].h) ++k;  // frame 0 is always open; closed ones follow it
        for (; k <= deepest; ++k) {
            Opened again;
            std::string why;
            // Seen before: the same object, so on the same volume.
            const Facts seen{FILE_ATTRIBUTE_DIRECTORY, 0, m_frames[k].id};
            const Reach reach = OpenEntry(m_frames[k - 1].h.Get(), m_frames[k].name, DirAccess(),
                                          FILE_DIRECTORY_FILE, kShareAll, &seen, false, again, why);
            const bool same =
                reach == Reach::Ok && again.facts.Directory() && again.facts.id == m_frames[k].id;
            if (!same) {
                m_failures.Add(PathOf(k, nullptr),
                               reach == Reach::Failed ? why : "it changed while being deleted");
                m_frames.resize(k);
                m_frames.back().failed = true;
                if (m_eMode == Mode::FindMount) m_bStop = true;
                return false;
            }
            m_frames[k].h = std::move(again.h);
            if (k > kOpenFrames) m_frames[k - kOpenFrames].h.Reset();
        }
        return true;
    }

    void Visit(const Entry& entry) {
        Frame& top = m_frames.back();
        const HANDLE dir = top.h.Get();
        std::string error;
        if (top.path.empty() && !NameOf(dir, top.path, error)) {
            top.next = top.pending.size();
            Fail(nullptr, error);
            return;
        }
        const bool listedDirectory = entry.facts.Directory();
        const ACCESS_MASK access = listedDirectory           ? DirAccess()
                                   : m_eMode == Mode::Delete ? kRemove
                                                             : kLook;
        const ULONG options = entry.facts.Link() ? 0
                              : listedDirectory  ? FILE_DIRECTORY_FILE
                                                 : FILE_NON_DIRECTORY_FILE;
        // Looking for mounts, only links and directories need opening.
        if (m_eMode == Mode::FindMount && !listedDirectory &&
            !(entry.facts.Link() && entry.facts.tag == IO_REPARSE_TAG_MOUNT_POINT))
            return;
        Opened child;
        std::string why;
        switch (OpenEntry(dir, entry.name, access, options, kShareAll, &entry.facts,
                          listedDirectory, child, why, &top.path)) {
            case Reach::Ok:
                break;
            case Reach::Gone:
                return;  // gone meanwhile: fine
            case Reach::Failed:
                Fail(&entry.name, why);
                return;
            case Reach::Changed:
                Fail(&entry.name, "it changed while being deleted");
                return;
        }
        if (child.followed) {
            if (m_eMode == Mode::Delete)
                Fail(&entry.name,
                     "a link this system cannot remove as itself; it is left in place");
            return;
        }
        if (child.facts.Link() != entry.facts.Link() ||
            child.facts.Directory() != listedDirectory) {
            Fail(&entry.name, "it changed while being deleted");
            return;
        }
        if (child.facts.Link()) {
            if (!child.followed && MountsVolume(child.h.Get(), child.facts.tag)) {
                if (m_eMode == Mode::FindMount) {
                    m_strMount = PathOf(m_frames.size() - 1, &entry.name);
                    m_bStop = true;
                    return;
                }
                Fail(&entry.name, "a volume is mounted here; it is left in place");
                return;
            }
            if (m_eMode == Mode::FindMount) return;
            if (child.followed) {
                Fail(&entry.name,
                     "a link this system cannot remove as itself; it is left in place");
                return;
            }
            Delete(child, entry.name);
            return;
        }
        if (child.facts.Directory()) {
            if (child.volume != m_nVolume) {
                Fail(&entry.name, "on another volume; it is left in place");
                return;
            }
            Push(std::move(child), entry.name);
            return;
        }
        Delete(child, entry.name);
    }

    void Delete(const Opened& child, const std::wstring& name) {
        if (const DWORD error = DeleteHandle(child.h.Get(), child.facts.attributes))
            Fail(&name, ErrorText(static_cast<int>(error)));
        else
            m_bRemovedAny = true;
    }

    Mode m_eMode;
    std::string m_strRoot;
    std::uint64_t m_nVolume;
    Failures& m_failures;
    std::vector<Frame> m_frames;
    bool m_bRemovedAny = false;
    bool m_bStop = false;
    std::string m_strMount;
};

RemoveResult ChangedResult(const std::string& path, const std::string& why) {
    return {RemoveStatus::Changed, Line(path, why)};
}

// Reaches the item for removal: still the item `id`, and its handle opened
// with `access`. Sets `result` and returns false when it is not to be touched.
bool ReachForRemoval(const std::string& path, const std::string& startPath, const ItemId& id,
                     DWORD share, Reached& r, Opened& item, RemoveResult& result) {
    r = ReachItem(path, startPath, share);
    switch (r.status) {
        case LookStatus::Same:
            break;
        case LookStatus::Changed:
            result = ChangedResult(path, r.why);
            return false;
        case LookStatus::Gone:
            result = {RemoveStatus::NotRemoved, Line(path, "it is no longer there")};
            return false;
        case LookStatus::Failed:
            result = {RemoveStatus::NotRemoved, Line(path, r.why)};
            return false;
    }
    if (r.leaf.empty()) {
        result = {RemoveStatus::NotRemoved, Line(path, "the scan's start is not removed")};
        return false;
    }
    if (r.item.Id() != id) {
        result = ChangedResult(path, "it is another item than the one looked at");
        return false;
    }
    const Facts& facts = r.item.facts;
    const ACCESS_MASK access = facts.Directory() ? kRemove | kList : kRemove;
    const ULONG options = facts.Link()        ? 0
                          : facts.Directory() ? FILE_DIRECTORY_FILE
                                              : FILE_NON_DIRECTORY_FILE;
    std::string why;
    switch (
        OpenEntry(r.parent.Get(), r.leaf, access, options, kShareAll, &facts, true, item, why)) {
        case Reach::Ok:
            break;
        case Reach::Gone:
            result = {RemoveStatus::NotRemoved, Line(path, "it is no longer there")};
            return false;
        case Reach::Failed:
            result = {RemoveStatus::NotRemoved, Line(path, why)};
            return false;
        case Reach::Changed:
            result = ChangedResult(path, why);
            return false;
    }
    if (item.Id() != id || item.facts.Link() != facts.Link() ||
        item.facts.Directory() != facts.Directory()) {
        result = ChangedResult(path, "it is another item than the one looked at");
        return false;
    }
    if (item.facts.Link() && !item.followed && MountsVolume(item.h.Get(), item.facts.tag)) {
        result = {RemoveStatus::NotRemoved, Line(path, "a volume is mounted here")};
        return false;
    }
    if (item.followed) {
        result = {RemoveStatus::NotRemoved,
                  Line(path, "a link this system cannot remove as itself")};
        return false;
    }
    return true;
}

// COM for this thread, for as long as the object lives.
class ComScope {
public:
    ComScope()
        : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
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
constexpr DWORD kTrashFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR |
                              FOF_ALLOWUNDO | FOFX_RECYCLEONDELETE | FOF_WANTNUKEWARNING;

// The shell's move of one item to the Recycle Bin; E_ABORT when the user or
// the shell cancelled.
HRESULT ShellRecycle(const std::wstring& path) {
    HRESULT hr = E_NOTIMPL;
    {
        ComScope com;
        IFileOperation* op = nullptr;
        if (com.Usable() && SUCCEEDED(::CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL,
                                                         IID_PPV_ARGS(&op)))) {
            IShellItem* item = nullptr;
            hr = op->SetOperationFlags(kTrashFlags);
            if (SUCCEEDED(hr))
                hr = ::SHCreateItemFromParsingName(path.c_str(), nullptr, IID_PPV_ARGS(&item));
            if (SUCCEEDED(hr)) hr = op->DeleteItem(item, nullptr);
            if (SUCCEEDED(hr)) hr = op->PerformOperations();
            BOOL aborted = FALSE;
            if (SUCCEEDED(hr) && SUCCEEDED(op->GetAnyOperationsAborted(&aborted)) && aborted)
                hr = E_ABORT;
            if (item) item->Release();
            op->Release();
        }
    }
    if (hr != E_NOTIMPL) return hr;
    // Systems whose shell lacks the newer interface (Wine, for one) still
    // have the older call, which takes the same flags.
    std::wstring from = path;
    from.push_back(L'\0');  // a list of names, ended by an empty one
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = static_cast<FILEOP_FLAGS>(kTrashFlags & 0xFFFF);
    const int error = ::SHFileOperationW(&op);
    return error == 0 ? (op.fAnyOperationsAborted ? E_ABORT : S_OK) : HRESULT_FROM_WIN32(error);
}

// Holds every directory of the full path of `dir` (from its volume's root)
// open without delete sharing, so that none can be renamed or replaced while
// the shell works by that path; the last one is `dir` itself. Returns that
// path in the form the shell takes, or empty with `why` set.
std::wstring HoldPath(HANDLE dir, std::uint64_t dirId, std::vector<Owned>& held, std::string& why) {
    const DWORD needed = ::GetFinalPathNameByHandleW(dir, nullptr, 0, VOLUME_NAME_DOS);
    std::wstring full(needed, L'\0');
    const DWORD n =
        needed ? ::GetFinalPathNameByHandleW(dir, full.data(), needed, VOLUME_NAME_DOS) : 0;
    if (n == 0 || n >= needed) {
        why = ErrorText(static_cast<int>(::GetLastError()));
        return {};
    }
    full.resize(n);
    // "\\?\C:\a\b" or "\\?\UNC\server\share\a\b": the root, then names.
    std::size_t rootEnd = full.rfind(L"\\\\?\\UNC\\", 0) == 0
                              ? full.find(L'\\', full.find(L'\\', 8) + 1)
                              : full.find(L'\\', 4);
    if (rootEnd == std::wstring::npos) rootEnd = full.size();
    const std::wstring root = full.substr(0, rootEnd) + L"\\";
    const HANDLE h = ::CreateFileW(root.c_str(), kList, kShareAll, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        why = ErrorText(static_cast<int>(::GetLastError()));
        return {};
    }
    held.emplace_back(h);
    for (std::size_t at = rootEnd + 1; at < full.size();) {
        std::size_t end = full.find(L'\\', at);
        if (end == std::wstring::npos) end = full.size();
        Opened next;
        const std::wstring_view name = std::wstring_view(full).substr(at, end - at);
        if (OpenEntry(held.back().Get(), name, kList, FILE_DIRECTORY_FILE, kShareNoDelete, nullptr,
                      false, next, why) != Reach::Ok ||
            !next.facts.Directory()) {
            if (why.empty()) why = "a directory on its way changed";
            why = "its directory could not be held: " + why;
            return {};
        }
        held.push_back(std::move(next.h));
        at = end + 1;
    }
    Facts last;
    if (!HandleFacts(held.back().Get(), last, why) || last.id != dirId) {
        if (why.empty()) why = "its directory changed";
        return {};
    }
    // The shell takes plain paths, not the "\\?\" form.
    if (full.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + full.substr(8);
    return full.substr(4);
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

ItemLook LookAtStart(const std::string& startPath) {
    ItemLook look;
    Owned start;
    DWORD error = 0;
    if (!OpenByPath(WideFromUtf8(startPath), kShareAll, start, error)) {
        look.eStatus = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                           ? LookStatus::Gone
                           : LookStatus::Failed;
        look.strWhy = ErrorText(static_cast<int>(error));
        return look;
    }
    Facts facts;
    std::uint64_t volume = 0;
    if (!HandleFacts(start.Get(), facts, look.strWhy) ||
        !VolumeOf(start.Get(), volume, look.strWhy))
        return look;
    look.eStatus = LookStatus::Same;
    look.id = {volume, facts.id, 0};
    return look;
}

ItemLook LookAtItem(const std::string& path, const std::string& startPath, ItemKind kind) {
    ItemLook look;
    Reached r = ReachItem(path, startPath, kShareAll);
    look.eStatus = r.status;
    look.strWhy = r.why;
    if (r.status != LookStatus::Same) return look;
    const ItemKind now = KindOf(r.item.facts);
    if (now != kind) {
        look.eStatus = LookStatus::Changed;
        look.strWhy = now == ItemKind::Directory ? "it is now a directory"
                      : now == ItemKind::File    ? "it is now a file"
                                                 : "it is now a link";
        return look;
    }
    look.id = r.item.Id();
    FILE_STANDARD_INFO standard{};
    if (now == ItemKind::File && ::GetFileInformationByHandleEx(r.item.h.Get(), FileStandardInfo,
                                                                &standard, sizeof standard)) {
        look.nSize = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
        look.nDiskSize = static_cast<std::uint64_t>(standard.AllocationSize.QuadPart);
    }
    return look;
}

RemoveResult MoveToTrash(const std::string& path, const std::string& startPath, const ItemId& id) {
    Reached r;
    Opened item;
    RemoveResult result;
    if (!ReachForRemoval(path, startPath, id, kShareAll, r, item, result)) return result;
    if (item.facts.Directory()) {
        // A mount below would go to the Recycle Bin with the directory, and
        // emptying the bin could reach into it.
        Failures failures;
        TreeWalk walk(TreeWalk::Mode::FindMount, path, r.volume, failures);
        walk.Run(std::move(item));
        if (!walk.Mount().empty())
            return {RemoveStatus::NotRemoved, Line(walk.Mount(), "a volume is mounted here")};
        if (failures.Any())
            return {
                RemoveStatus::NotRemoved,
                "Not all of it could be looked into to make sure no volume is mounted below:\n" +
                    failures.Text()};
    }
    item.h.Reset();  // the shell opens it itself
    std::vector<Owned> held;
    std::string why;
    Facts parent;
    if (!HandleFacts(r.parent.Get(), parent, why))
        return {RemoveStatus::NotRemoved, Line(path, why)};
    const std::wstring dir = HoldPath(r.parent.Get(), parent.id, held, why);
    if (dir.empty()) return {RemoveStatus::NotRemoved, Line(path, why)};
    // Still the item looked at, now that nothing above it can move.
    Opened again;
    if (OpenEntry(held.back().Get(), r.leaf, kLook, 0, kShareAll, nullptr, true, again, why) !=
            Reach::Ok ||
        again.Id() != id)
        return ChangedResult(path, "it is another item than the one looked at");
    again.h.Reset();
    const std::wstring target = (dir.back() == L'\\' ? dir : dir + L"\\") + r.leaf;
    const HRESULT hr = ShellRecycle(target);
    const Reach after =
        OpenEntry(held.back().Get(), r.leaf, kLook, 0, kShareAll, nullptr, true, again, why);
    // What the disk shows decides, with the shell's answer: the name gone is
    // gone; another item at the name is ours moved only if the shell says so.
    if (after == Reach::Gone) return {RemoveStatus::Removed, {}};
    if (after == Reach::Ok && again.Id() != id)
        return SUCCEEDED(hr) ? RemoveResult{RemoveStatus::Removed, {}}
                             : ChangedResult(path, "another item stands there now");
    why = hr == E_ABORT ? "the operation was cancelled"
          : FAILED(hr)  ? ErrorText(static_cast<int>(hr))
                        : "not moved";
    return {RemoveStatus::NotRemoved, Line(path, why)};
}

RemoveResult DeletePermanently(const std::string& path, const std::string& startPath,
                               const ItemId& id) {
    Reached r;
    Opened item;
    RemoveResult result;
    if (!ReachForRemoval(path, startPath, id, kShareAll, r, item, result)) return result;
    if (!item.facts.Directory()) {
        if (const DWORD error = DeleteHandle(item.h.Get(), item.facts.attributes))
            return {RemoveStatus::NotRemoved, Line(path, ErrorText(static_cast<int>(error)))};
        return {RemoveStatus::Removed, {}};
    }
    Failures failures;
    TreeWalk walk(TreeWalk::Mode::Delete, path, r.volume, failures);
    walk.Run(std::move(item));
    if (!failures.Any()) return {RemoveStatus::Removed, {}};
    return {walk.RemovedAny() ? RemoveStatus::Partial : RemoveStatus::NotRemoved, failures.Text()};
}

bool ItemExists(const std::string& path, const std::string& startPath) {
    return ReachItem(path, startPath, kShareAll).status != LookStatus::Gone;
}

std::int64_t ItemModified(const std::string& path, const std::string& startPath) {
    const Reached r = ReachItem(path, startPath, kShareAll);
    FILE_BASIC_INFO basic{};
    if (r.status != LookStatus::Same ||
        !::GetFileInformationByHandleEx(r.item.h.Get(), FileBasicInfo, &basic, sizeof basic))
        return 0;
    return UnixSeconds(basic.LastWriteTime.QuadPart);
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
