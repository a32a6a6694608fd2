#include "scan/scan_file_path.h"

#include <atomic>

#include "platform/error_text.h"
#include "platform/scan_file_os.h"
#include "scan/scan_file_list.h"

namespace sizewalk {

namespace {

namespace os = scanfile_os;

enum class Use { Open, Save };

[[noreturn]] void Fail(const std::string& path, const os::Result& r, Use use) {
    std::string why;
    switch (r.problem) {
        case os::Problem::Directory:
            why = use == Use::Open ? "this is a directory, not a saved scan"
                                   : "this is a directory; a scan is saved to a file";
            break;
        case os::Problem::Device:
            why = "this is a device, not a saved scan";
            break;
        case os::Problem::Socket:
            why = "this is a socket, not a saved scan";
            break;
        case os::Problem::DanglingLink:
            why = "this is a link to a file that does not exist";
            break;
        case os::Problem::NoReader:
            why = "no program is reading from this FIFO";
            break;
        case os::Problem::Changed:
            why =
                "something else was put here while the scan was being saved; it was left as it is";
            break;
        case os::Problem::ForeignLink:
            why =
                "this is a link owned by another user in a folder not theirs; "
                "it is not followed when saving";
            break;
        default:
            why = ErrorText(r.error);
            break;
    }
    throw ScanFileError(path + ": " + why, 0);
}

void Check(const std::string& path, const os::Result& r, Use use) {
    if (!r) Fail(path, r, use);
}

// A descriptor closed when left by an exception.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) os::Close(fd);
    }
    os::Result Close() {
        const int f = fd;
        fd = -1;
        return os::Close(f);
    }
};

// A FIFO's bytes as its writer sends them; a stop ends the wait at once.
class CPipeSource : public IScanFileSource {
public:
    CPipeSource(int fd, const std::atomic<bool>& stop) : m_nFd(fd), m_stop(stop) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        std::size_t n = 0;
        const os::Result r = os::ReadWaiting(m_nFd, buffer, size, m_stop, n);
        if (r.problem == os::Problem::Stopped) throw ScanFileStopped{};
        if (!r) throw ScanFileError("cannot read the file: " + ErrorText(r.error), 0);
        return n;
    }

private:
    int m_nFd;
    const std::atomic<bool>& m_stop;
};

void Write(const CScanList& list, IScanFileOutput& output, bool compress) {
    ScanFileWriterOptions options;
    options.bCompress = compress;
    CScanFileWriter writer(output, options);
    WriteScanList(list, writer);
}

}  // namespace

void CheckScanFileWritable(const std::string& path) {
    Check(path, os::CheckWritable(path), Use::Save);
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
    Descriptor file;
    bool pipe = false;
    Check(path, os::OpenToRead(path, file.fd, pipe), Use::Open);
    if (pipe) {
        static const std::atomic<bool> kNever{false};
        CPipeSource source(file.fd, progress ? progress->StopFlag() : kNever);
        ReadScanList(source, list, metadata, {}, progress);
    } else {
        CFdSource source(file.fd);
        ReadScanList(source, list, metadata, {}, progress);
    }
}

void SaveScanFile(const CScanList& list, const std::string& path, bool compress) {
    os::Target target;
    Check(path, os::ResolveTarget(path, target), Use::Save);
    Descriptor file;
    if (!target.replace) {
        // A device, FIFO or socket: written into, never replaced.
        Check(path, os::OpenInto(target, file.fd), Use::Save);
        os::CBrokenPipeGuard guard;
        CFdOutput output(file.fd);
        Write(list, output, compress);
        Check(path, file.Close(), Use::Save);
        return;
    }
    std::string tempPath;
    Check(path, os::CreateBeside(target, tempPath, file.fd), Use::Save);
    try {
        CFdOutput output(file.fd);
        Write(list, output, compress);
        Check(path, file.Close(), Use::Save);
        Check(path, os::Replace(tempPath, target), Use::Save);
    } catch (...) {
        if (file.fd >= 0) file.Close();
        os::Discard(tempPath);
        throw;
    }
}

void RemoveUnfinishedSaveOnSignal() { os::RemoveSaveOnSignal(); }

}  // namespace sizewalk
