#pragma once
// A real directory tree under /tmp for tests, removed (permissions restored
// first) when the object goes away.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace sizewalk::test {

// `prefix` followed by `n` in decimal. (GCC 12 at -O3 warns falsely about
// "literal" + std::to_string(n).)
inline std::string Numbered(std::string prefix, long long n) {
    prefix += std::to_string(n);
    return prefix;
}

class TempTree {
public:
    TempTree() {
        char pattern[] = "/tmp/sizewalk-test-XXXXXX";
        if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
        m_root = pattern;
        ::chmod(m_root.c_str(), 0755);  // readable by an unprivileged child too
    }
    ~TempTree() {
        const std::string cmd =
            "chmod -R u+rwx '" + m_root + "' 2>/dev/null; rm -rf '" + m_root + "'";
        if (std::system(cmd.c_str()) != 0) {
        }
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& Root() const { return m_root; }
    std::string Path(const std::string& rel) const {
        return rel.empty() ? m_root : m_root + "/" + rel;
    }

    void Dir(const std::string& rel) const {
        if (::mkdir(Path(rel).c_str(), 0755) != 0) throw std::runtime_error("mkdir " + rel);
    }
    // A file of `size` apparent bytes; sparse, so huge sizes cost no disk.
    void File(const std::string& rel, std::uint64_t size) const {
        int fd = ::open(Path(rel).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0) throw std::runtime_error("create " + rel);
        const bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
        ::close(fd);
        if (!ok) throw std::runtime_error("truncate " + rel);
    }
    void Link(const std::string& target, const std::string& rel) const {
        if (::symlink(target.c_str(), Path(rel).c_str()) != 0) throw std::runtime_error("symlink");
    }

private:
    std::string m_root;
};

}  // namespace sizewalk::test
