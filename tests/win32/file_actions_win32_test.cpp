// The tree's removals on real trees in the Windows temporary folder: what
// goes, what stays (canaries beside and outside), and what is refused when
// the disk no longer holds what was looked at.
#include <windows.h>
#include <gtest/gtest.h>
#include <winioctl.h>

#include <cstring>
#include <string>

#include "platform/file_actions.h"
#include "win_temp_tree.h"

namespace sizewalk {
namespace {

using test::WinTempTree;

bool Exists(const std::string& path) {
    return ::GetFileAttributesW(WinTempTree::Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Looks as the presenter does before its question.
ItemLook Look(const WinTempTree& t, const std::string& rel, ItemKind kind) {
    return LookAtItem(t.Path(rel), t.Root(), kind);
}

RemoveResult Delete(const WinTempTree& t, const std::string& rel, ItemKind kind) {
    const ItemLook look = Look(t, rel, kind);
    EXPECT_EQ(look.eStatus, LookStatus::Same) << rel << ": " << look.strWhy;
    return DeletePermanently(t.Path(rel), t.Root(), look.id);
}

TEST(DeletePermanently, RemovesFilesAndTreesAndNothingBeside) {
    WinTempTree t;
    test::MakeExampleTree(t);
    t.File("canary", 4);
    t.File("Data2", 1);  // a name that starts with the directory's
    EXPECT_EQ(Delete(t, "Data\\a.txt", ItemKind::File).eStatus, RemoveStatus::Removed);
    EXPECT_FALSE(Exists(t.Path("Data\\a.txt")));
    EXPECT_TRUE(Exists(t.Path("Data\\C.bin")));
    EXPECT_FALSE(ItemExists(t.Path("Data\\a.txt"), t.Root()));
    EXPECT_GT(ItemModified(t.Path("Data"), t.Root()), 0);
    EXPECT_GT(ItemModified(t.Root(), t.Root()), 0);

    const RemoveResult tree = Delete(t, "Data", ItemKind::Directory);
    EXPECT_EQ(tree.eStatus, RemoveStatus::Removed) << tree.strFailures;
    EXPECT_TRUE(tree.strFailures.empty());
    EXPECT_FALSE(Exists(t.Path("Data")));
    EXPECT_TRUE(Exists(t.Path("canary")));
    EXPECT_TRUE(Exists(t.Path("Data2")));
    EXPECT_TRUE(ItemExists(t.Path("canary"), t.Root()));
}

TEST(DeletePermanently, RemovesReadOnlyFilesAndDirectories) {
    WinTempTree t;
    t.File("alone", 3);
    t.Dir("ro");
    t.File("ro\\inner", 2);
    for (const char* rel : {"alone", "ro\\inner", "ro"})
        ASSERT_TRUE(
            ::SetFileAttributesW(WinTempTree::Wide(t.Path(rel)).c_str(),
                                 FILE_ATTRIBUTE_READONLY |
                                     (std::strcmp(rel, "ro") == 0 ? FILE_ATTRIBUTE_DIRECTORY : 0)));
    EXPECT_EQ(Delete(t, "alone", ItemKind::File).eStatus, RemoveStatus::Removed);
    EXPECT_FALSE(Exists(t.Path("alone")));
    const RemoveResult dir = Delete(t, "ro", ItemKind::Directory);
    EXPECT_EQ(dir.eStatus, RemoveStatus::Removed) << dir.strFailures;
    EXPECT_FALSE(Exists(t.Path("ro")));
}

// Deeper than the handles a delete keeps open, with a file beside every
// directory, so that levels are left and entered again midway. (Wine's calls
// take longer the deeper the path, so the chain stays a few hundred deep.)
TEST(DeletePermanently, RemovesADeepChainWithoutRecursion) {
    WinTempTree t;
    t.File("canary", 1);
    constexpr int kDepth = 300;
    std::string rel = "top";
    t.Dir(rel);
    for (int i = 0; i < kDepth; ++i) {
        t.File(rel + "\\f", 1);
        rel += "\\d";
        if (!::CreateDirectoryW(WinTempTree::Wide(t.Path(rel)).c_str(), nullptr)) {
            // Wine's paths end somewhere; what was made is deep enough.
            ASSERT_GT(i, 100) << "no deeper than " << i;
            break;
        }
    }
    t.File(rel + "\\last", 1);
    const RemoveResult result = Delete(t, "top", ItemKind::Directory);
    EXPECT_EQ(result.eStatus, RemoveStatus::Removed) << result.strFailures;
    EXPECT_FALSE(Exists(t.Path("top")));
    EXPECT_TRUE(Exists(t.Path("canary")));
}

TEST(DeletePermanently, AFailureBelowLeavesThePartThatCouldNotGo) {
    WinTempTree t;
    t.Dir("d");
    t.File("d\\goes", 1);
    t.Dir("d\\sub");
    t.File("d\\sub\\held", 1);
    // Held open without delete sharing: it cannot be deleted meanwhile.
    const HANDLE held =
        ::CreateFileW(WinTempTree::Wide(t.Path("d\\sub\\held")).c_str(), GENERIC_READ,
                      FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const RemoveResult result = Delete(t, "d", ItemKind::Directory);
    ::CloseHandle(held);
    EXPECT_EQ(result.eStatus, RemoveStatus::Partial);
    EXPECT_NE(result.strFailures.find(t.Path("d\\sub\\held")), std::string::npos)
        << result.strFailures;
    EXPECT_FALSE(Exists(t.Path("d\\goes")));
    EXPECT_TRUE(Exists(t.Path("d\\sub\\held")));

    // Nothing could go at all.
    t.File("lone", 1);
    const HANDLE lone = ::CreateFileW(WinTempTree::Wide(t.Path("lone")).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lone, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Delete(t, "lone", ItemKind::File).eStatus, RemoveStatus::NotRemoved);
    ::CloseHandle(lone);
    EXPECT_TRUE(Exists(t.Path("lone")));
}

TEST(LookAtItem, TellsKindsMissingItemsAndPathsOutsideTheStart) {
    WinTempTree t;
    t.Dir("dir");
    t.File("dir\\file", 7);
    EXPECT_EQ(Look(t, "dir", ItemKind::Directory).eStatus, LookStatus::Same);
    const ItemLook file = Look(t, "dir\\file", ItemKind::File);
    EXPECT_EQ(file.eStatus, LookStatus::Same);
    EXPECT_EQ(file.nSize, 7u);
    EXPECT_NE(file.id, Look(t, "dir", ItemKind::Directory).id);

    const ItemLook asDir = Look(t, "dir\\file", ItemKind::Directory);
    EXPECT_EQ(asDir.eStatus, LookStatus::Changed);
    EXPECT_EQ(asDir.strWhy, "it is now a file");
    EXPECT_EQ(Look(t, "dir", ItemKind::File).eStatus, LookStatus::Changed);
    EXPECT_EQ(Look(t, "dir", ItemKind::Other).eStatus, LookStatus::Changed);
    EXPECT_EQ(Look(t, "missing", ItemKind::File).eStatus, LookStatus::Gone);
    EXPECT_EQ(Look(t, "missing\\below", ItemKind::File).eStatus, LookStatus::Gone);
    EXPECT_FALSE(ItemExists(t.Path("missing\\below"), t.Root()));
    EXPECT_EQ(ItemModified(t.Path("missing"), t.Root()), 0);
    // A file where a directory was on the way.
    const ItemLook through = Look(t, "dir\\file\\x", ItemKind::File);
    EXPECT_NE(through.eStatus, LookStatus::Same);

    EXPECT_EQ(LookAtItem(t.Root() + "x\\dir", t.Root(), ItemKind::Directory).eStatus,
              LookStatus::Failed);
    EXPECT_EQ(LookAtItem(t.Path("dir\\..\\dir"), t.Root(), ItemKind::Directory).eStatus,
              LookStatus::Failed);
}

// Replaces `rel` by a new item of the same name (made first under another
// name, so that it cannot take the old one's id).
void Replace(const WinTempTree& t, const std::string& rel, bool directory) {
    const std::string fresh = rel + ".new";
    if (directory) {
        t.Dir(fresh);
        t.File(fresh + "\\other", 1);
        ASSERT_TRUE(::MoveFileExW(WinTempTree::Wide(t.Path(rel)).c_str(),
                                  WinTempTree::Wide(t.Path(rel + ".old")).c_str(), 0));
    } else {
        t.File(fresh, 9);
    }
    ASSERT_TRUE(::MoveFileExW(WinTempTree::Wide(t.Path(fresh)).c_str(),
                              WinTempTree::Wide(t.Path(rel)).c_str(), MOVEFILE_REPLACE_EXISTING));
}

TEST(Removals, AnItemReplacedSinceTheLookIsLeftAlone) {
    WinTempTree t;
    t.File("file", 3);
    t.Dir("dir");
    t.File("dir\\inside", 1);
    const ItemLook file = Look(t, "file", ItemKind::File);
    const ItemLook dir = Look(t, "dir", ItemKind::Directory);
    Replace(t, "file", false);
    Replace(t, "dir", true);

    for (const auto& [rel, look] : {std::pair{"file", file}, std::pair{"dir", dir}}) {
        SCOPED_TRACE(rel);
        const RemoveResult deleted = DeletePermanently(t.Path(rel), t.Root(), look.id);
        EXPECT_EQ(deleted.eStatus, RemoveStatus::Changed);
        EXPECT_NE(deleted.strFailures.find(t.Path(rel)), std::string::npos) << deleted.strFailures;
        EXPECT_EQ(MoveToTrash(t.Path(rel), t.Root(), look.id).eStatus, RemoveStatus::Changed);
    }
    EXPECT_EQ(Look(t, "file", ItemKind::File).nSize, 9u);
    EXPECT_TRUE(Exists(t.Path("dir\\other")));
    EXPECT_TRUE(Exists(t.Path("dir.old\\inside")));
    // The start itself is never removed.
    const ItemLook start = LookAtItem(t.Root(), t.Root(), ItemKind::Directory);
    EXPECT_EQ(start.eStatus, LookStatus::Same);
    EXPECT_EQ(DeletePermanently(t.Root(), t.Root(), start.id).eStatus, RemoveStatus::NotRemoved);
    EXPECT_TRUE(Exists(t.Root()));
}

// A directory junction to `target`, made through the file system's own call;
// false where the system cannot make one (Wine).
bool MakeJunction(const std::string& at, const std::string& target) {
    if (!::CreateDirectoryW(WinTempTree::Wide(at).c_str(), nullptr)) return false;
    const HANDLE h =
        ::CreateFileW(WinTempTree::Wide(at).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const std::wstring name = L"\\??\\" + WideFromUtf8(target);
    const auto bytes = static_cast<WORD>(name.size() * sizeof(wchar_t));
    // Tag, length, reserved; substitute name, print name (empty), each NUL-ended.
    std::string data(16 + bytes + 4, '\0');
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    const WORD fields[6] = {static_cast<WORD>(8 + bytes + 4), 0, 0, bytes,
                            static_cast<WORD>(bytes + 2),     0};
    std::memcpy(data.data(), &tag, 4);
    std::memcpy(data.data() + 4, fields, sizeof fields);
    std::memcpy(data.data() + 16, name.data(), bytes);
    DWORD got = 0;
    const bool made = ::DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, data.data(),
                                        static_cast<DWORD>(data.size()), nullptr, 0, &got, nullptr);
    ::CloseHandle(h);
    return made && (::GetFileAttributesW(WinTempTree::Wide(at).c_str()) &
                    FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

TEST(Removals, AParentSwappedForAJunctionLeadsNowhere) {
    WinTempTree t;
    t.Dir("start");
    t.Dir("start\\a");
    t.File("start\\a\\victim", 2);
    t.Dir("outside");
    t.File("outside\\victim", 5);
    const std::string start = t.Path("start");
    const ItemLook look = LookAtItem(t.Path("start\\a\\victim"), start, ItemKind::File);
    ASSERT_EQ(look.eStatus, LookStatus::Same);
    ASSERT_TRUE(::MoveFileExW(WinTempTree::Wide(t.Path("start\\a")).c_str(),
                              WinTempTree::Wide(t.Path("a.old")).c_str(), 0));
    if (!MakeJunction(t.Path("start\\a"), t.Path("outside")))
        GTEST_SKIP() << "this system makes no junctions";
    const ItemLook again = LookAtItem(t.Path("start\\a\\victim"), start, ItemKind::File);
    EXPECT_EQ(again.eStatus, LookStatus::Changed);
    EXPECT_NE(again.strWhy.find("a link stands in its way"), std::string::npos) << again.strWhy;
    EXPECT_EQ(DeletePermanently(t.Path("start\\a\\victim"), start, look.id).eStatus,
              RemoveStatus::Changed);
    EXPECT_EQ(MoveToTrash(t.Path("start\\a\\victim"), start, look.id).eStatus,
              RemoveStatus::Changed);
    EXPECT_TRUE(Exists(t.Path("outside\\victim")));

    // Inside a deleted directory, the junction goes as itself.
    const ItemLook top = LookAtItem(start, t.Root(), ItemKind::Directory);
    EXPECT_EQ(DeletePermanently(start, t.Root(), top.id).eStatus, RemoveStatus::Removed);
    EXPECT_TRUE(Exists(t.Path("outside\\victim")));
}

TEST(MoveToTrash, MovesAFileOrSaysWhyNot) {
    WinTempTree t;
    t.Dir("d");
    t.File("d\\file", 3);
    t.File("canary", 1);
    const ItemLook look = Look(t, "d\\file", ItemKind::File);
    const RemoveResult result = MoveToTrash(t.Path("d\\file"), t.Root(), look.id);
    EXPECT_TRUE(Exists(t.Path("canary")));
    if (result.eStatus != RemoveStatus::Removed)
        GTEST_SKIP() << "no usable Recycle Bin here: " << result.strFailures;
    EXPECT_FALSE(Exists(t.Path("d\\file")));
    EXPECT_TRUE(result.strFailures.empty());
}

}  // namespace
}  // namespace sizewalk
