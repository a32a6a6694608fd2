#pragma once
// What the tree's actions do on disk: look at an item again, move it to the
// trash, delete it for good, open a terminal in a directory. Paths are UTF-8
// bytes as the scan recorded them; `path` always lies below `startPath`, the
// scan's start directory, and is the start path, a separator and more.
//
// What is acted on is what the scan saw at that path, or nothing:
// - the item is reached from the start directory one component at a time
//   by descriptors (handles), following no link (junction, mount point or
//   other reparse point on Windows) and crossing no mount, bind mounts
//   included; a path that now leads elsewhere is Changed and nothing is
//   done;
// - the item must still be the one the user was asked about (its ItemId
//   from LookAtItem), else Changed;
// - a permanent delete works from directory descriptors, never by path,
//   without recursion on the call stack and with a bounded number of open
//   descriptors; a mount below stays where it is, and the failure names it;
// - the trash refuses an item with a mount anywhere below it, naming it;
// - a link goes as a link, never what it names.
// Where a volume has no usable trash, nothing at all is done.

#include <cstdint>
#include <string>

namespace sizewalk {

// What the scan recorded an item to be.
enum class ItemKind {
    File,       // a regular file
    Directory,  // a directory
    Other,      // a link, FIFO, socket or device
};

// Which object an item is, as long as it exists (Linux: device and inode;
// Windows: volume serial and file index). A number freed by a removal may
// be given at once to a new object: nStamp tells such two apart where the
// system can (Linux: the kind and the birth time; otherwise 0).
struct ItemId {
    std::uint64_t nVolume = 0;
    std::uint64_t nFile = 0;
    std::uint64_t nStamp = 0;
    friend bool operator==(const ItemId&, const ItemId&) = default;
};

enum class LookStatus {
    Same,     // reached as the scan saw it: id and own sizes are filled
    Changed,  // the path leads elsewhere now, or to another kind of thing
    Gone,     // nothing is there any more
    Failed,   // it could not be looked at (strWhy says why)
};

struct ItemLook {
    LookStatus eStatus = LookStatus::Failed;
    // For Changed and Failed: what was found, for the message
    // ("a link stands in its way at …", "it is now a directory", an error);
    // any name in it is already shown with VisibleText.
    std::string strWhy;
    ItemId id;
    // The item's own sizes now: a file's length and blocks (a directory's
    // own blocks only; what lies below is for a scan to total).
    std::uint64_t nSize = 0;
    std::uint64_t nDiskSize = 0;
};

// Reaches `path` from `startPath` under the rules above and checks that it
// is still of `kind`.
ItemLook LookAtItem(const std::string& path, const std::string& startPath, ItemKind kind);

// The start directory as it is now, reached by its path as the scan
// reached it (a link on the way is followed): Same with its id, Gone or
// Failed. The id kept from the scan tells whether a later removal would
// start from the same directory.
ItemLook LookAtStart(const std::string& startPath);

enum class RemoveStatus {
    Removed,     // the item is gone
    Partial,     // some of it is gone: the rest must be read again
    NotRemoved,  // nothing was done
    NoTrash,     // nothing was done: the item's volume has no usable trash
    Changed,     // nothing was done: the path leads elsewhere now, or to
                 // another item than the one looked at
};

struct RemoveResult {
    RemoveStatus eStatus = RemoveStatus::NotRemoved;
    // What failed, one line an item (at most a few, then how many more),
    // names shown with VisibleText; empty when the item is gone.
    std::string strFailures;
};

// Moves `path` to the trash of its volume (Linux: the freedesktop.org
// trash; Windows: the Recycle Bin), if it is still the item `id`.
RemoveResult MoveToTrash(const std::string& path, const std::string& startPath, const ItemId& id);

// Deletes `path`, if it is still the item `id`: a file or link, or a
// directory and everything below it on the same mount.
RemoveResult DeletePermanently(const std::string& path, const std::string& startPath,
                               const ItemId& id);

// Whether `path` itself is there, reached as above (a link counts, whatever
// it names); true also when that cannot be told.
bool ItemExists(const std::string& path, const std::string& startPath);
// When `path` (reached as above; the start path itself too) was last
// modified, in seconds since 1970; 0 when that cannot be told.
std::int64_t ItemModified(const std::string& path, const std::string& startPath);

// Starts a terminal in the directory `dir`, not waiting for it (Linux:
// x-terminal-emulator; Windows: Windows Terminal where it is installed,
// else cmd). False when none could be started.
bool OpenTerminal(const std::string& dir);

}  // namespace sizewalk
