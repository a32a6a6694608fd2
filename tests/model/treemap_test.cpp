// The treemap's layout and pixels against trees built in memory: the layout's
// invariants on random trees, the corner cases of sizes and shapes, the hit
// test and the zoom chain, the raster of a small fixed tree, and file kinds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "model/file_kind.h"
#include "model/treemap_labels.h"
#include "model/treemap_layout.h"
#include "model/treemap_render.h"

namespace sizewalk {
namespace {

// A pre-order tree built by opening and closing directories; a directory's
// size is the sum of its children's unless given.
class CTestTree final : public CTreemapInput {
public:
    std::uint32_t Open(std::string name, std::int64_t size = -1) {
        std::uint32_t node = Add(std::move(name), true, size < 0 ? 0 : std::uint64_t(size));
        m_open.push_back({node, size < 0});
        return node;
    }
    std::uint32_t File(std::string name, std::uint64_t size) {
        return Add(std::move(name), false, size);
    }
    void Close() {
        auto [node, sum] = m_open.back();
        m_open.pop_back();
        m_nodes[node].nEnd = Count();
        if (sum)
            for (std::uint32_t j = node + 1; j < Count(); j = m_nodes[j].nEnd)
                m_nodes[node].nSize += m_nodes[j].nSize;
    }

    std::uint32_t Count() const override { return std::uint32_t(m_nodes.size()); }
    std::uint32_t SubtreeEnd(std::uint32_t node) const override { return m_nodes[node].nEnd; }
    bool IsDirectory(std::uint32_t node) const override { return m_nodes[node].bDir; }
    std::uint64_t Size(std::uint32_t node) const override { return m_nodes[node].nSize; }
    std::string_view Name(std::uint32_t node) const override { return m_nodes[node].strName; }

private:
    struct Node {
        std::string strName;
        bool bDir;
        std::uint64_t nSize;
        std::uint32_t nEnd;
    };
    std::uint32_t Add(std::string name, bool dir, std::uint64_t size) {
        m_nodes.push_back({std::move(name), dir, size, Count() + 1});
        return Count() - 1;
    }
    std::vector<Node> m_nodes;
    std::vector<std::pair<std::uint32_t, bool>> m_open;
};

// prefix + n, by appending (GCC 12 warns wrongly about "literal" + string).
std::string Named(std::string_view prefix, std::uint32_t n) {
    std::string name(prefix);
    name += std::to_string(n);
    return name;
}

// Sizes over many orders of magnitude, zero-size files, empty directories,
// and the odd wide directory.
void FillRandom(CTestTree& tree, std::mt19937& rng, int depth, int& budget) {
    std::uniform_int_distribution<int> fanout(0, depth == 0 ? 40 : 12);
    int n = std::uniform_int_distribution<int>(0, 9)(rng) == 0 ? 150 : fanout(rng);
    for (int k = 0; k < n && budget > 0; ++k, --budget) {
        int roll = std::uniform_int_distribution<int>(0, 99)(rng);
        if (roll < 15 && depth < 5) {
            tree.Open(Named("d", tree.Count()));
            FillRandom(tree, rng, depth + 1, budget);
            tree.Close();
        } else {
            std::uint64_t size =
                roll < 22 ? 0 : std::uint64_t(1) << std::uniform_int_distribution<int>(0, 36)(rng);
            size += std::uniform_int_distribution<std::uint64_t>(0, size)(rng);
            tree.File(Named("f", tree.Count()).append(".png"), size);
        }
    }
}

CTestTree RandomTree(unsigned seed, int entries = 1500) {
    CTestTree tree;
    std::mt19937 rng(seed);
    tree.Open("root");
    FillRandom(tree, rng, 0, entries);
    tree.Close();
    return tree;
}

std::int64_t Area(TreemapRect r) { return std::int64_t(r.Width()) * r.Height(); }

bool Inside(TreemapRect inner, TreemapRect outer) {
    return inner.x0 >= outer.x0 && inner.y0 >= outer.y0 && inner.x1 <= outer.x1 &&
           inner.y1 <= outer.y1;
}

bool Overlap(TreemapRect a, TreemapRect b) {
    return !a.IsEmpty() && !b.IsEmpty() && a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

std::vector<std::uint32_t> Children(const CTreemapInput& input, std::uint32_t dir) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t j = dir + 1; j < input.SubtreeEnd(dir); j = input.SubtreeEnd(j))
        out.push_back(j);
    return out;
}

// Checks every directory of `root`'s subtree: its children and its remainder
// lie inside it, never overlap, and cover it exactly; each tile's area is
// within a pixel a side of its share; the largest child starts at the corner.
void ExpectLayoutInvariants(const CTreemapInput& tree, const CTreemapLayout& layout,
                            std::uint32_t root) {
    for (std::uint32_t dir = root; dir < tree.SubtreeEnd(root); ++dir) {
        const TreemapRect rect = layout.Rect(dir);
        std::vector<std::uint32_t> kids = Children(tree, dir);
        if (rect.IsEmpty()) {
            for (std::uint32_t k : kids) EXPECT_TRUE(layout.Rect(k).IsEmpty()) << k;
            continue;
        }
        if (kids.empty()) continue;
        double sum = 0;
        for (std::uint32_t k : kids) sum += double(tree.Size(k));
        std::vector<TreemapRect> parts;
        std::uint32_t largest = kids[0];
        for (std::uint32_t k : kids) {
            if (tree.Size(k) > tree.Size(largest)) largest = k;
            TreemapRect r = layout.Rect(k), rest = layout.Remainder(k);
            EXPECT_TRUE(r.IsEmpty() || rest.IsEmpty());
            for (TreemapRect part : {r, rest}) {
                if (part.IsEmpty()) continue;
                EXPECT_TRUE(Inside(part, rect)) << "node " << k << " of " << dir;
                for (TreemapRect other : parts) EXPECT_FALSE(Overlap(part, other)) << k;
                parts.push_back(part);
            }
            double share = sum > 0 ? double(tree.Size(k)) / sum * double(Area(rect)) : 0.0;
            if (share < 1.0) {
                EXPECT_TRUE(r.IsEmpty()) << "under a pixel merges: " << k;
            }
            if (Area(r) >= 4) {
                EXPECT_LE(std::abs(double(Area(r)) - share), r.Width() + r.Height() + 1.0) << k;
            }
        }
        std::int64_t covered = 0;
        for (TreemapRect part : parts) covered += Area(part);
        EXPECT_EQ(covered, Area(rect)) << "directory " << dir;
        TreemapRect first = layout.Rect(largest);
        if (!first.IsEmpty()) {
            EXPECT_TRUE(first.x0 == rect.x0 && first.y0 == rect.y0) << dir;
        }
    }
}

std::vector<std::uint32_t> Render(const CTreemapInput& tree, const CTreemapLayout& layout) {
    std::vector<std::uint32_t> pixels(std::size_t(layout.Width()) * layout.Height(), 0u);
    EXPECT_TRUE(RenderTreemap(tree, layout, pixels));
    return pixels;
}

TEST(TreemapLayout, InvariantsOnRandomTrees) {
    const std::pair<int, int> sizes[] = {{640, 480}, {97, 31}, {1, 1000},
                                         {1000, 1},  {1, 1},   {3, 2}};
    for (unsigned seed = 1; seed <= 12; ++seed) {
        CTestTree tree = RandomTree(seed);
        for (auto [w, h] : sizes) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << " at " << w << "x" << h);
            CTreemapLayout layout;
            layout.Layout(tree, 0, w, h);
            EXPECT_EQ(layout.Rect(0), (TreemapRect{0, 0, std::uint16_t(w), std::uint16_t(h)}));
            ExpectLayoutInvariants(tree, layout, 0);
            EXPECT_LE(layout.MemoryBytes(), tree.Count() * 8u);

            // The same again, in the same object and in a fresh one.
            CTreemapLayout again;
            again.Layout(tree, 0, w, h);
            layout.Layout(tree, 0, w, h);
            for (std::uint32_t i = 0; i < tree.Count(); ++i) {
                ASSERT_EQ(layout.Rect(i), again.Rect(i)) << i;
                ASSERT_EQ(layout.Remainder(i), again.Remainder(i)) << i;
            }

            // Every pixel painted, and the deepest tile under each one found.
            std::vector<std::uint32_t> pixels = Render(tree, layout);
            EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(),
                                    [](std::uint32_t p) { return p >> 24 == 0xFF; }));
            for (int y = 0; y < h; y += std::max(1, h / 23)) {
                for (int x = 0; x < w; x += std::max(1, w / 29)) {
                    std::uint32_t hit = layout.HitTest(tree, x, y);
                    ASSERT_NE(hit, kNoNode);
                    EXPECT_TRUE(layout.Rect(hit).Contains(x, y));
                    for (std::uint32_t k : Children(tree, hit))
                        EXPECT_FALSE(layout.Rect(k).Contains(x, y)) << "deeper tile " << k;
                }
            }
        }
    }
}

TEST(TreemapLayout, ZeroSizesAndEmptyDirectories) {
    CTestTree tree;
    tree.Open("root");
    tree.File("zero", 0);
    tree.Open("empty");
    tree.Close();
    tree.Open("blocks only", 4096);  // a directory's own blocks, nothing in it
    tree.Close();
    tree.Open("zeros");
    tree.File("z1", 0);
    tree.File("z2", 0);
    tree.Close();
    tree.Close();
    CTreemapLayout layout;
    layout.Layout(tree, 0, 50, 40);
    ExpectLayoutInvariants(tree, layout, 0);
    EXPECT_EQ(layout.Rect(3), (TreemapRect{0, 0, 50, 40}));  // all there is
    for (std::uint32_t n : {1u, 2u, 4u, 5u, 6u}) EXPECT_TRUE(layout.Rect(n).IsEmpty()) << n;
    EXPECT_EQ(layout.HitTest(tree, 10, 10), 3u);
    std::vector<std::uint32_t> pixels = Render(tree, layout);
    EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](std::uint32_t p) {
        return (p >> 16 & 0xFF) == (p & 0xFF);  // grey: no file colour anywhere
    }));

    // Nothing but zero sizes: the root shows itself.
    CTestTree zeros;
    zeros.Open("root");
    zeros.File("a", 0);
    zeros.File("b", 0);
    zeros.Close();
    layout.Layout(zeros, 0, 8, 8);
    EXPECT_EQ(layout.Remainder(1), (TreemapRect{0, 0, 8, 8}));
    EXPECT_EQ(layout.HitTest(zeros, 7, 7), 0u);
    EXPECT_EQ(Render(zeros, layout).size(), 64u);
}

TEST(TreemapLayout, OneHugeFileAmongTinyOnes) {
    CTestTree tree;
    tree.Open("root");
    for (int i = 0; i < 5000; ++i) tree.File(Named("tiny", i), 1);
    const std::uint32_t huge = tree.File("huge.mkv", 1000000000000ull);
    tree.Close();
    CTreemapLayout layout;
    layout.Layout(tree, 0, 200, 100);
    ExpectLayoutInvariants(tree, layout, 0);
    EXPECT_EQ(layout.Rect(huge), (TreemapRect{0, 0, 200, 100}));
    EXPECT_EQ(layout.HitTest(tree, 199, 99), huge);
    for (std::uint32_t i = 1; i < huge; ++i) ASSERT_TRUE(layout.Rect(i).IsEmpty());
}

TEST(TreemapLayout, NoPixelsAndBadInput) {
    CTestTree tree = RandomTree(7, 200);
    CTreemapLayout layout;
    for (auto [w, h] : {std::pair{0, 100}, {100, 0}, {-5, 10}}) {
        layout.Layout(tree, 0, w, h);
        for (std::uint32_t i = 0; i < tree.Count(); ++i) ASSERT_TRUE(layout.Rect(i).IsEmpty());
        EXPECT_EQ(layout.HitTest(tree, 0, 0), kNoNode);
        EXPECT_TRUE(RenderTreemap(tree, layout, {}));
    }
    layout.Layout(tree, tree.Count(), 10, 10);  // a root that is not there
    EXPECT_EQ(layout.Root(), kNoNode);
    EXPECT_EQ(layout.HitTest(tree, 1, 1), kNoNode);
    EXPECT_EQ(layout.VisibleAncestor(tree, 0), kNoNode);

    layout.Layout(tree, 0, 10, 10);
    std::vector<std::uint32_t> small(99, 0u);
    EXPECT_FALSE(RenderTreemap(tree, layout, small));  // too small: nothing written
    EXPECT_TRUE(std::all_of(small.begin(), small.end(), [](std::uint32_t p) { return p == 0; }));
    EXPECT_EQ(layout.HitTest(tree, 10, 5), kNoNode);
    EXPECT_EQ(layout.HitTest(tree, -1, 5), kNoNode);
}

// Subtree ends that point past the list or back at the node itself: the map
// shows what it can and every call returns.
class CBrokenTree final : public CTreemapInput {
public:
    explicit CBrokenTree(const CTestTree& tree) : m_tree(tree) {}
    std::uint32_t Count() const override { return m_tree.Count(); }
    std::uint32_t SubtreeEnd(std::uint32_t node) const override {
        if (node % 7 == 3) return node;
        if (node % 11 == 5) return Count() + 1000;
        return m_tree.SubtreeEnd(node);
    }
    bool IsDirectory(std::uint32_t node) const override { return m_tree.IsDirectory(node); }
    std::uint64_t Size(std::uint32_t node) const override { return m_tree.Size(node); }
    std::string_view Name(std::uint32_t node) const override { return m_tree.Name(node); }

private:
    const CTestTree& m_tree;
};

TEST(TreemapLayout, InconsistentInput) {
    CTestTree tree = RandomTree(3, 400);
    CBrokenTree broken(tree);
    CTreemapLayout layout;
    layout.Layout(broken, 0, 64, 48);
    std::vector<std::uint32_t> pixels(64 * 48);
    EXPECT_TRUE(RenderTreemap(broken, layout, pixels));
    for (int y = 0; y < 48; y += 5)
        for (int x = 0; x < 64; x += 5) layout.HitTest(broken, x, y);
    for (std::uint32_t n = 0; n < broken.Count(); n += 13) {
        TreemapPath(broken, n);
        layout.VisibleAncestor(broken, n);
    }
}

TEST(TreemapLayout, ZoomRootAndPath) {
    CTestTree tree;
    tree.Open("root");                 // 0
    tree.File("a", 500);               // 1
    const auto sub = tree.Open("s");   // 2
    tree.File("b", 300);               // 3
    const auto deep = tree.Open("t");  // 4
    tree.File("c", 200);               // 5
    tree.File("dust", 0);              // 6
    tree.Close();
    tree.Close();
    tree.Close();

    EXPECT_EQ(TreemapPath(tree, 5), (std::vector<std::uint32_t>{0, sub, deep, 5}));
    EXPECT_EQ(TreemapPath(tree, 0), (std::vector<std::uint32_t>{0}));
    EXPECT_TRUE(TreemapPath(tree, 7).empty());
    EXPECT_EQ(TreemapParent(tree, 3), sub);
    EXPECT_EQ(TreemapParent(tree, 0), kNoNode);
    // One level a step: the root's child directory that holds the node.
    EXPECT_EQ(TreemapZoomStep(tree, 0, 5), sub);
    EXPECT_EQ(TreemapZoomStep(tree, sub, 5), deep);
    EXPECT_EQ(TreemapZoomStep(tree, 0, sub), sub);
    EXPECT_EQ(TreemapZoomStep(tree, deep, 5), kNoNode);  // a file in the root
    EXPECT_EQ(TreemapZoomStep(tree, 0, 1), kNoNode);
    EXPECT_EQ(TreemapZoomStep(tree, sub, 1), kNoNode);  // outside the root
    EXPECT_EQ(TreemapZoomStep(tree, deep, deep), kNoNode);
    EXPECT_EQ(TreemapZoomStep(tree, 0, 7), kNoNode);

    CTreemapLayout layout;
    layout.Layout(tree, sub, 100, 60);
    EXPECT_EQ(layout.Root(), sub);
    EXPECT_EQ(layout.Rect(sub), (TreemapRect{0, 0, 100, 60}));
    EXPECT_TRUE(layout.Rect(0).IsEmpty());
    EXPECT_TRUE(layout.Rect(1).IsEmpty());
    ExpectLayoutInvariants(tree, layout, sub);
    EXPECT_EQ(layout.HitTest(tree, 0, 0), 3u);         // the largest child takes the corner
    EXPECT_EQ(layout.VisibleAncestor(tree, 6), deep);  // "dust" has no pixel
    EXPECT_EQ(layout.VisibleAncestor(tree, 5), 5u);
    EXPECT_EQ(layout.VisibleAncestor(tree, 1), kNoNode);  // above the zoom root
}

// A small fixed tree drawn at 2x: the checksum pins the picture (looked at
// once: cushions lit from the top left, colours by kind, grey for empty,
// the folders framed).
TEST(TreemapRender, FixedTreeRaster) {
    CTestTree tree;
    tree.Open("root");
    tree.Open("docs");
    tree.File("report.pdf", 4000);
    tree.File("notes.TXT", 1500);
    tree.Close();
    tree.Open("pics");
    tree.File("x.png", 3000);
    tree.File("y.JPG", 2500);
    tree.File("z.gif", 200);
    tree.Close();
    tree.Open("src");
    tree.File("main.cpp", 800);
    tree.File("util.h", 300);
    tree.Open("empty", 150);
    tree.Close();
    tree.Close();
    const std::uint32_t movie = tree.File("movie.mkv", 6000);
    tree.File("song.mp3", 1200);
    tree.File("tool", 700);
    tree.File("libz.so.1.3", 900);
    tree.File("backup.tar.gz", 1000);
    tree.Close();
    CTreemapLayout layout;
    layout.Layout(tree, 0, 320, 200);
    ExpectLayoutInvariants(tree, layout, 0);
    std::vector<std::uint32_t> pixels = Render(tree, layout);
    std::uint64_t hash = 1469598103934665603ull;  // FNV-1a over the pixels
    for (std::uint32_t p : pixels) hash = (hash ^ p) * 1099511628211ull;
    EXPECT_EQ(hash, 2641205845935396056ull);

    // Lit from the top left: a tile's bottom-right corner is darker than its middle.
    TreemapRect r = layout.Rect(movie);
    auto red = [&](int x, int y) { return pixels[std::size_t(y) * 320 + x] >> 16 & 0xFF; };
    EXPECT_LT(red(r.x1 - 1, r.y1 - 1), red((r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2));
}

// The highlight dims exactly the tiles it leaves out: a tile of a file it
// matches keeps every pixel, any other tile (an empty folder too) changes
// every pixel; no pixel lies outside some tile.
TEST(TreemapRender, HighlightDimsTheRest) {
    CTestTree tree;
    tree.Open("root");
    tree.File("x.png", 3000);
    tree.File("Y.PNG", 2000);
    tree.File(".hidden.png", 1500);
    tree.File("z.gif", 1200);
    tree.File("film.mkv", 2500);
    tree.Open("empty", 800);
    tree.Close();
    tree.File("tool", 700);
    tree.Close();
    CTreemapLayout layout;
    layout.Layout(tree, 0, 200, 120);
    const std::vector<std::uint32_t> plain = Render(tree, layout);
    const FileTypeFilter filters[] = {
        {FileKind::Image, FileTypeClass::Kind, {}},
        {FileKind::Image, FileTypeClass::Extension, "png"},
        {FileKind::Image, FileTypeClass::Hidden, {}},
        {FileKind::Audio, FileTypeClass::Kind, {}},  // nothing: all dimmed
    };
    for (const FileTypeFilter& filter : filters) {
        std::vector<std::uint32_t> lit(plain.size());
        ASSERT_TRUE(RenderTreemap(tree, layout, lit, {}, &filter));
        std::size_t covered = 0;
        for (std::uint32_t i = 1; i < tree.Count(); ++i) {
            const TreemapRect r = layout.Rect(i);
            const bool keep = !tree.IsDirectory(i) && filter.Matches(tree.Name(i));
            for (int y = r.y0; y < r.y1; ++y)
                for (int x = r.x0; x < r.x1; ++x) {
                    const std::size_t p = std::size_t(y) * 200 + x;
                    EXPECT_EQ(lit[p] == plain[p], keep) << tree.Name(i) << " " << x << "," << y;
                }
            covered += std::size_t(r.Width()) * r.Height();
        }
        EXPECT_EQ(covered, plain.size());
    }
}

// The folders of the first two levels get a dark one-pixel frame inside their
// edges; deeper folders, files and the frame's inside keep their shading.
TEST(TreemapRender, FramesTheTopLevelsOfFolders) {
    CTestTree tree;
    tree.Open("root");
    const auto one = tree.Open("one");
    tree.File("a.txt", 3000);
    const auto two = tree.Open("two");
    tree.File("b.txt", 2000);
    const auto three = tree.Open("three");
    tree.File("c.txt", 2000);
    tree.Close();
    tree.Close();
    tree.Close();
    const auto file = tree.File("d.png", 4000);
    tree.Close();
    CTreemapLayout layout;
    layout.Layout(tree, 0, 300, 200);
    CushionOptions bare;
    bare.nFrameLevels = 0;
    std::vector<std::uint32_t> plain(300 * 200), framed(300 * 200);
    ASSERT_TRUE(RenderTreemap(tree, layout, plain, bare));
    ASSERT_TRUE(RenderTreemap(tree, layout, framed));
    auto at = [](const std::vector<std::uint32_t>& p, int x, int y) {
        return p[std::size_t(y) * 300 + x];
    };
    auto darker = [&](int x, int y) {
        const std::uint32_t a = at(plain, x, y), b = at(framed, x, y);
        for (int shift : {0, 8, 16})
            if ((b >> shift & 0xFF) * 2 > (a >> shift & 0xFF) || (a >> shift & 0xFF) == 0)
                return false;
        return true;
    };
    for (std::uint32_t dir : {one, two}) {
        const TreemapRect r = layout.Rect(dir);
        ASSERT_GE(r.Width(), 6);
        EXPECT_TRUE(darker(r.x0, r.y0) && darker(r.x1 - 1, r.y1 - 1)) << tree.Name(dir);
        EXPECT_TRUE(darker((r.x0 + r.x1) / 2, r.y1 - 1) && darker(r.x0, (r.y0 + r.y1) / 2));
    }
    const TreemapRect deep = layout.Rect(three), f = layout.Rect(file);
    ASSERT_FALSE(deep.IsEmpty());
    // The third level has no frame: its edge changes only where its
    // parent's runs.
    const TreemapRect parent = layout.Rect(two);
    int kept = 0;
    for (int y = deep.y0; y < deep.y1; ++y)
        for (int x = deep.x0; x < deep.x1; ++x) {
            const bool edge = x == deep.x0 || y == deep.y0 || x == deep.x1 - 1 || y == deep.y1 - 1;
            const bool parentEdge =
                x == parent.x0 || y == parent.y0 || x == parent.x1 - 1 || y == parent.y1 - 1;
            if (edge && !parentEdge) kept += at(framed, x, y) == at(plain, x, y) ? 1 : -1000;
        }
    EXPECT_GT(kept, 0);
    EXPECT_EQ(at(framed, f.x0, f.y0), at(plain, f.x0, f.y0));
    const TreemapRect r = layout.Rect(one);
    EXPECT_EQ(at(framed, r.x0 + 2, r.y0 + 2), at(plain, r.x0 + 2, r.y0 + 2));
}

// Names go at the top of roomy folders, a child's below its parent's, never
// overlapping, never outside the folder's tile; small folders, deeper
// levels, no line height and no pixels get none.
TEST(TreemapLabels, BoxesOfRoomyFoldersWithoutOverlap) {
    CTestTree tree;
    tree.Open("root");
    const auto big = tree.Open("big");
    const auto inner = tree.Open("inner");
    const auto innermost = tree.Open("innermost");
    tree.File("x", 50000);
    tree.Close();
    tree.File("y", 20000);
    tree.Close();
    tree.File("z", 20000);
    tree.Close();
    const auto tiny = tree.Open("tiny");
    tree.File("t", 100);
    tree.Close();
    tree.File("w", 30000);
    tree.Close();
    CTreemapLayout layout;
    layout.Layout(tree, 0, 400, 300);
    TreemapLabelOptions options;
    std::vector<TreemapLabel> labels = TreemapLabels(tree, layout, options);
    std::vector<std::uint32_t> nodes;
    for (const TreemapLabel& label : labels) {
        nodes.push_back(label.nNode);
        EXPECT_EQ(label.strName, tree.Name(label.nNode));
        EXPECT_EQ(label.rect.Height(), options.nHeight);
        const TreemapRect tile = layout.Rect(label.nNode);
        EXPECT_TRUE(label.rect.x0 > tile.x0 && label.rect.x1 < tile.x1 && label.rect.y0 > tile.y0 &&
                    label.rect.y1 < tile.y1)
            << label.strName;
    }
    EXPECT_EQ(nodes, (std::vector<std::uint32_t>{big, inner, innermost}));
    EXPECT_TRUE(layout.Rect(tiny).Width() < 60 || layout.Rect(tiny).Height() < 20);
    for (std::size_t i = 0; i < labels.size(); ++i)
        for (std::size_t j = i + 1; j < labels.size(); ++j) {
            const TreemapRect a = labels[i].rect, b = labels[j].rect;
            EXPECT_FALSE(a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1)
                << labels[i].strName << " on " << labels[j].strName;
        }
    // The largest child takes its parent's top left corner: its name moves
    // below the parent's.
    EXPECT_EQ(labels[1].rect.y0, labels[0].rect.y1);

    options.nLevels = 1;
    EXPECT_EQ(TreemapLabels(tree, layout, options).size(), 1u);
    options.nLevels = 3;
    options.nMinWidth = 1000;
    EXPECT_TRUE(TreemapLabels(tree, layout, options).empty());
    options.nMinWidth = 60;
    options.nHeight = 0;
    EXPECT_TRUE(TreemapLabels(tree, layout, options).empty());
    options.nHeight = 16;
    // Zoomed in, the levels count from the new root.
    layout.Layout(tree, big, 400, 300);
    labels = TreemapLabels(tree, layout, options);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0].nNode, inner);
    layout.Layout(tree, 0, 0, 0);
    EXPECT_TRUE(TreemapLabels(tree, layout, options).empty());
}

TEST(TreemapRender, Outline) {
    const int w = 8, h = 6;
    std::vector<std::uint32_t> pixels(w * h, 0x11223344u);
    DrawTreemapOutline(pixels, w, h, {1, 1, 7, 6});
    auto at = [&](int x, int y) { return pixels[std::size_t(y) * w + x]; };
    EXPECT_EQ(at(0, 0), 0x11223344u);  // outside
    EXPECT_EQ(at(1, 1), 0xFFFFFFFFu);  // outer ring
    EXPECT_EQ(at(6, 5), 0xFFFFFFFFu);
    EXPECT_EQ(at(2, 2), 0xFF000000u);  // inner ring
    EXPECT_EQ(at(5, 4), 0xFF000000u);
    EXPECT_EQ(at(3, 3), 0x11223344u);                    // inside
    DrawTreemapOutline(pixels, w, h, {6, 4, 200, 200});  // clipped to the buffer
    EXPECT_EQ(at(7, 5), 0xFFFFFFFFu);
    DrawTreemapOutline(pixels, w, h, {0, 0, 1, 1}, 4);  // one pixel: just the outer colour
    EXPECT_EQ(at(0, 0), 0xFFFFFFFFu);
    DrawTreemapOutline(pixels, w, h, {0, 0, 8, 6}, 2);
    DrawTreemapOutline({}, w, h, {0, 0, 8, 6});  // no buffer: nothing
}

TEST(FileKind, Groups) {
    const std::pair<const char*, FileKind> cases[] = {
        {"photo.JPG", FileKind::Image},
        {"a.b.png", FileKind::Image},
        {"film.mkv", FileKind::Video},
        {"song.Flac", FileKind::Audio},
        {"x.tar.gz", FileKind::Archive},
        {"pkg.deb", FileKind::Archive},
        {"paper.pdf", FileKind::Document},
        {"README.md", FileKind::Document},
        {"main.cpp", FileKind::Source},
        {"index.ts", FileKind::Source},
        {"prog.EXE", FileKind::Program},
        {"libz.so", FileKind::Program},
        {"libz.so.1.3.1", FileKind::Program},
        {"ls", FileKind::Other},
        {".bashrc", FileKind::Other},
        {"trailing.", FileKind::Other},
        {"file.1", FileKind::Other},
        {"x.verylongext", FileKind::Other},
        {"", FileKind::Other},
        {"so.1", FileKind::Other},
    };
    for (auto [name, kind] : cases) EXPECT_EQ(ClassifyFileName(name), kind) << name;
    EXPECT_EQ(FileKindLabel(FileKind::Program), "Programs and libraries");
    EXPECT_NE(TreemapKindColor(FileKind::Image), TreemapKindColor(FileKind::Video));
}

}  // namespace
}  // namespace sizewalk
