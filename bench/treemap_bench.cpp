// Lays out and renders the treemap of a synthetic tree held in memory and
// prints one JSON line:
//   treemap-bench [--entries N] [--size WxH] [--repeat R] [--ppm FILE] [--dir PATH]
// The tree (default 1,000,000 entries) is the same for the same N on every
// run: directories of mixed fan-out (most hold a few entries, some
// thousands), file sizes log-normal around 6 KB with a long tail, names with
// the extensions of a typical system. The timings are the best of R runs
// (default 3) at WxH (default 1920x1080); layout_bytes_per_entry is what the
// layout keeps per entry of the tree. --ppm writes the last picture as a
// binary PPM. --dir PATH reads a real directory instead of making a tree.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

#include "model/treemap_layout.h"
#include "model/treemap_render.h"

namespace {

using sizewalk::CTreemapInput;

// splitmix64: the same numbers on every platform, unlike <random>'s
// distributions.
class CRandom {
public:
    explicit CRandom(std::uint64_t seed) : m_nState(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (m_nState += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }  // [0, 1)
    double Normal() {
        double u = 1.0 - Uniform(), v = Uniform();
        return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * std::numbers::pi * v);
    }
    double LogNormal(double median, double sigma) { return median * std::exp(sigma * Normal()); }

private:
    std::uint64_t m_nState;
};

// prefix + n ("f12"), built by appending: GCC 12 warns wrongly about
// "literal" + std::string.
std::string Named(std::string_view prefix, std::uint32_t n) {
    std::string name(prefix);
    name += std::to_string(n);
    return name;
}

struct ExtWeight {
    const char* ext;
    int weight;
};
constexpr ExtWeight kExts[] = {
    {".so.1", 6}, {".h", 10},  {".py", 8},  {".png", 9}, {".jpg", 4},  {".txt", 4}, {"", 10},
    {".gz", 5},   {".mp3", 2}, {".mp4", 1}, {".pdf", 2}, {".html", 4}, {".js", 6},  {".c", 5},
    {".json", 4}, {".xml", 3}, {".mo", 4},  {".svg", 4}, {".cpp", 3},  {".zip", 1}, {".pyc", 5},
    {".conf", 2}, {".a", 1},   {".ogg", 1}, {".deb", 1},
};

class CSyntheticTree final : public CTreemapInput {
public:
    explicit CSyntheticTree(std::uint32_t entries) : m_random(0x5eed0001u + entries) {
        for (const ExtWeight& e : kExts) m_nTotalWeight += e.weight;
        m_ends.reserve(entries);
        m_sizes.reserve(entries);
        m_bDirs.reserve(entries);
        m_nameEnds.reserve(entries);
        Push(true, "root");
        if (entries > 1) Fill(entries - 1, 1);
        m_ends[0] = Count();
        SumDirectories();
    }

    // A real directory instead, walked without following links (to look at
    // the picture of a known tree).
    explicit CSyntheticTree(const std::filesystem::path& dir) : m_random(1) {
        Push(true, dir.string());
        Walk(dir);
        m_ends[0] = Count();
        SumDirectories();
    }

    std::uint32_t Count() const override { return static_cast<std::uint32_t>(m_ends.size()); }
    std::uint32_t SubtreeEnd(std::uint32_t node) const override { return m_ends[node]; }
    bool IsDirectory(std::uint32_t node) const override { return m_bDirs[node] != 0; }
    std::uint64_t Size(std::uint32_t node) const override { return m_sizes[node]; }
    std::string_view Name(std::uint32_t node) const override {
        std::uint32_t begin = node == 0 ? 0 : m_nameEnds[node - 1];
        return std::string_view(m_names).substr(begin, m_nameEnds[node] - begin);
    }

private:
    void Walk(const std::filesystem::path& dir) {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
            bool isDir = e.is_directory(ec) && !e.is_symlink(ec);
            std::uint32_t node = Push(isDir, e.path().filename().string());
            if (isDir) {
                Walk(e.path());
                m_ends[node] = Count();
            } else if (e.is_regular_file(ec) && !e.is_symlink(ec)) {
                m_sizes[node] = e.file_size(ec);
                if (ec) m_sizes[node] = 0;
            }
        }
    }

    void SumDirectories() {
        // Deepest first.
        for (std::uint32_t i = Count(); i-- > 0;) {
            if (!m_bDirs[i]) continue;
            std::uint64_t total = 0;
            for (std::uint32_t j = i + 1; j < m_ends[i]; j = m_ends[j]) total += m_sizes[j];
            m_sizes[i] = total;
        }
    }

    std::uint32_t Push(bool dir, std::string_view name) {
        auto node = Count();
        m_ends.push_back(node + 1);
        m_sizes.push_back(0);
        m_bDirs.push_back(dir ? 1 : 0);
        m_names += name;
        m_nameEnds.push_back(static_cast<std::uint32_t>(m_names.size()));
        return node;
    }

    void PushFile() {
        int pick = static_cast<int>(m_random.Uniform() * m_nTotalWeight);
        const char* ext = kExts[0].ext;
        for (const ExtWeight& e : kExts) {
            if (pick < e.weight) {
                ext = e.ext;
                break;
            }
            pick -= e.weight;
        }
        std::uint32_t node = Push(false, Named("f", Count()).append(ext));
        double size = m_random.Uniform() < 0.02 ? 0.0 : m_random.LogNormal(6000.0, 2.3);
        m_sizes[node] = static_cast<std::uint64_t>(std::min(size, 64e9));
    }

    // `budget` entries below a directory whose children come next.
    void Fill(std::uint32_t budget, int depth) {
        auto files = static_cast<std::uint32_t>(std::lround(m_random.LogNormal(10.0, 1.3)));
        if (depth >= 16) files = budget;
        files = std::min(files, budget);
        std::uint32_t rest = budget - files;
        std::uint32_t dirs = 0;
        if (rest > 0) {
            auto d = static_cast<std::uint32_t>(std::lround(m_random.LogNormal(3.0, 1.0)));
            dirs = std::clamp<std::uint32_t>(d, 1, rest);
        }
        // What is below the subdirectories, shared by heavy-tailed weights.
        std::uint32_t below = rest - dirs;
        std::vector<double> weights(dirs);
        double sum = 0;
        for (double& w : weights) sum += (w = m_random.LogNormal(1.0, 1.5));
        std::vector<std::uint32_t> shares(dirs);
        std::uint32_t given = 0;
        for (std::uint32_t k = 0; k < dirs; ++k) {
            shares[k] = static_cast<std::uint32_t>(std::floor(weights[k] / sum * below));
            given += shares[k];
        }
        if (dirs > 0) shares[0] += below - given;
        // Directories and files mixed, as a name order would mix them.
        std::uint32_t nextDir = 0, filesLeft = files;
        while (nextDir < dirs || filesLeft > 0) {
            bool dir = filesLeft == 0 ||
                       (nextDir < dirs &&
                        m_random.Uniform() * (dirs - nextDir + filesLeft) < dirs - nextDir);
            if (dir) {
                std::uint32_t node = Push(true, Named("d", Count()));
                if (shares[nextDir] > 0) Fill(shares[nextDir], depth + 1);
                m_ends[node] = Count();
                ++nextDir;
            } else {
                PushFile();
                --filesLeft;
            }
        }
    }

    CRandom m_random;
    int m_nTotalWeight = 0;
    std::vector<std::uint32_t> m_ends;
    std::vector<std::uint64_t> m_sizes;
    std::vector<std::uint8_t> m_bDirs;
    std::vector<std::uint32_t> m_nameEnds;
    std::string m_names;
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

bool WritePpm(const char* path, const std::vector<std::uint32_t>& pixels, int w, int h) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", w, h);
    std::vector<unsigned char> row(static_cast<std::size_t>(w) * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint32_t p = pixels[static_cast<std::size_t>(y) * w + x];
            row[x * 3] = static_cast<unsigned char>(p >> 16);
            row[x * 3 + 1] = static_cast<unsigned char>(p >> 8);
            row[x * 3 + 2] = static_cast<unsigned char>(p);
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    return std::fclose(f) == 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: treemap-bench [--entries N] [--size WxH] [--repeat R] [--ppm FILE]\n"
                 "                     [--dir PATH]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    long entries = 1000000;
    int width = 1920, height = 1080, repeat = 3;
    const char* ppm = nullptr;
    const char* dir = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (i + 1 >= argc) return Usage();
        const char* value = argv[++i];
        if (arg == "--entries") {
            entries = std::strtol(value, nullptr, 10);
        } else if (arg == "--size") {
            if (std::sscanf(value, "%dx%d", &width, &height) != 2) return Usage();
        } else if (arg == "--repeat") {
            repeat = std::atoi(value);
        } else if (arg == "--dir") {
            dir = value;
        } else if (arg == "--ppm") {
            ppm = value;
        } else {
            return Usage();
        }
    }
    if (entries < 1 || entries > 0x7FFFFFFF || width < 0 || height < 0 || width > 65535 ||
        height > 65535 || repeat < 1)
        return Usage();

    auto start = std::chrono::steady_clock::now();
    auto made = dir ? std::make_unique<CSyntheticTree>(std::filesystem::path(dir))
                    : std::make_unique<CSyntheticTree>(static_cast<std::uint32_t>(entries));
    const CSyntheticTree& tree = *made;
    double buildSeconds = Seconds(start);

    sizewalk::CTreemapLayout layout;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    double bestLayout = 1e9, bestRender = 1e9;
    for (int run = 0; run < repeat; ++run) {
        start = std::chrono::steady_clock::now();
        layout.Layout(tree, 0, width, height);
        bestLayout = std::min(bestLayout, Seconds(start));
        start = std::chrono::steady_clock::now();
        sizewalk::RenderTreemap(tree, layout, pixels);
        bestRender = std::min(bestRender, Seconds(start));
    }
    std::uint32_t tiles = 0;
    for (std::uint32_t i = 0; i < tree.Count(); ++i)
        if (!layout.Rect(i).IsEmpty()) ++tiles;
    std::printf(
        "{\"entries\": %u, \"width\": %d, \"height\": %d, \"tiles\": %u, "
        "\"tree_build_seconds\": %.3f, \"treemap_layout_seconds\": %.4f, "
        "\"treemap_render_seconds\": %.4f, \"layout_bytes_per_entry\": %.2f}\n",
        tree.Count(), width, height, tiles, buildSeconds, bestLayout, bestRender,
        static_cast<double>(layout.MemoryBytes()) / tree.Count());
    if (ppm && !WritePpm(ppm, pixels, width, height)) {
        std::fprintf(stderr, "treemap-bench: cannot write %s\n", ppm);
        return 1;
    }
    return 0;
}
