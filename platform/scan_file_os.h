#pragma once
// The system's side of saved scans, by path: opening one to read without
// hanging on a FIFO, and the steps of writing one that never replace what is
// not a regular file. Paths are UTF-8. Descriptors are the C library's (on
// Windows its descriptors over handles). Errors are system error codes that
// ErrorText words, or one of the refusals below.

#include <atomic>
#include <cstddef>
#include <string>

namespace sizewalk::scanfile_os {

// What a path names, or why it cannot be used.
enum class Problem {
    None,
    System,        // `error` holds the code
    Directory,     // a directory
    Device,        // a character or block device
    Socket,        // a socket (reading one)
    DanglingLink,  // a link that names nothing
    NoReader,      // a FIFO that no program has open to read
    Changed,       // something else stands at the target since it was resolved
    ForeignLink,   // a link owned by neither this user nor its folder's owner
    Stopped,       // a stop asked while waiting
};

struct Result {
    Problem problem = Problem::None;
    int error = 0;
    explicit operator bool() const { return problem == Problem::None; }
};

// ---- reading ------------------------------------------------------------

// Opens `path` to read without waiting for anything. A directory, a device
// or a socket is refused. `pipe` is set for a FIFO, which must be read with
// ReadWaiting; anything else reads with read().
Result OpenToRead(const std::string& path, int& fd, bool& pipe);

// Reads up to `size` bytes from a FIFO, waiting in slices short enough that
// `stop` becoming true ends the wait at once (Problem::Stopped). Before any
// program has opened it to write, it waits for one. `n` is 0 at the end.
Result ReadWaiting(int fd, void* buffer, std::size_t size, const std::atomic<bool>& stop,
                   std::size_t& n);

// ---- writing ------------------------------------------------------------

// Where a save of a path goes: links are followed to the file they name,
// except a link owned by neither this user nor the owner of its folder
// (ForeignLink: someone else may have planted it).
// A missing or regular file is written beside and renamed over (`replace`);
// a device, FIFO or socket is written into, never replaced.
struct Target {
    enum class Kind { File, Device, Fifo, Socket };
    std::string path;  // the final file's path
    bool replace = true;
    Kind kind = Kind::File;
    // For `replace`: whether a file stood there, and which one (device and
    // file number), so that Replace never puts the new one over another.
    bool existed = false;
    unsigned long long device = 0, file = 0;
};
Result ResolveTarget(const std::string& path, Target& target);

// A new file beside a `replace` target, open to write, with the mode (and,
// where allowed, the owner) of the file it will replace, or what a new file
// gets. While it exists, RemoveSaveOnSignal's handler removes it.
Result CreateBeside(const Target& target, std::string& tempPath, int& fd);
// Renames the temporary over the target, provided the target is still the
// file ResolveTarget saw (or still nothing), else Changed; or removes it
// (always succeeds).
Result Replace(const std::string& tempPath, const Target& target);
void Discard(const std::string& tempPath);

// Opens a device, FIFO or socket to write into, never creating anything; a
// FIFO with no reader is refused (NoReader) rather than waited for.
Result OpenInto(const Target& target, int& fd);

// Closes a descriptor; for written files, the error a late write reports.
Result Close(int fd);

// Whether a save of `path` could write there, creating nothing that stays
// and never waiting (a FIFO is not opened).
Result CheckWritable(const std::string& path);

// While it lives, a write to a pipe or socket whose reader has gone fails
// (EPIPE) on this thread rather than ending the program.
class CBrokenPipeGuard {
public:
    CBrokenPipeGuard();
    ~CBrokenPipeGuard();
    CBrokenPipeGuard(const CBrokenPipeGuard&) = delete;
    CBrokenPipeGuard& operator=(const CBrokenPipeGuard&) = delete;

private:
    bool m_bBlocked = false;     // this guard blocked the signal
    bool m_bWasPending = false;  // one was pending before
};

// For a program that ends on SIGINT, SIGTERM or SIGHUP (Ctrl+C or a closed
// console on Windows): removes the temporary file of a save under way, then
// ends as the signal would. Signals that were ignored stay ignored.
void RemoveSaveOnSignal();

}  // namespace sizewalk::scanfile_os
