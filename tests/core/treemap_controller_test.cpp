// The treemap pane's behaviour without a toolkit, over a real directory:
// zoom and its reports, the outline across a new list, which pictures are
// asked for and when, and hit-testing a map drawn at another size.

#include "core/treemap_controller.h"

#include <gtest/gtest.h>

#include <vector>

#include "scan/dir_scanner.h"
#include "tests/temp_tree.h"

namespace sizewalk {
namespace {

class TreemapController : public ::testing::Test, protected CTreemapController::Client {
protected:
    TreemapController() {
        t.Dir("d");
        t.File("d/big", 60000);
        t.Dir("d/sub");
        t.File("d/sub/a", 30000);
        t.File("d/sub/b", 10000);
        scanner.ScanInto(t.Path("d"), list);
        map.RenderQueue().SetBackgroundCost(~std::uint64_t{0});  // each drawn at once
        map.SetSize(200, 100);
        map.SetList(&list);
    }
    void PictureChanged() override { ++pictures; }
    void TextsChanged() override { ++texts; }
    void ZoomChanged(std::uint32_t root) override { roots.push_back(root); }

    std::uint32_t Index(const std::string& rel) const {
        for (std::size_t i = 0; i < list.Count(); ++i)
            if (list.PathOf(i) == t.Path(rel)) return static_cast<std::uint32_t>(i);
        return kNoNode;
    }
    // The picture composed now, and the renderer's own for what is shown.
    std::vector<std::uint32_t> Composed() const {
        std::vector<std::uint32_t> pixels(std::size_t(map.PictureWidth()) * map.PictureHeight());
        map.Compose(pixels, 2);
        return pixels;
    }
    std::unique_ptr<TreemapPicture> Expected() const {
        TreemapRequest request{
            &list, map.Mode(), map.Root(), map.PictureWidth(), map.PictureHeight(), std::nullopt};
        return MakeTreemapPicture(request);
    }

    test::TempTree t;
    CDirScanner scanner;
    CScanList list;
    int pictures = 0, texts = 0;
    std::vector<std::uint32_t> roots;
    CTreemapController map{*this, [] {}};
};

TEST_F(TreemapController, ZoomsInAndOutAndReportsTheRoot) {
    EXPECT_EQ(roots, std::vector<std::uint32_t>{0}) << "a new list starts at the top";
    EXPECT_EQ(map.PathText(), t.Path("d"));
    EXPECT_FALSE(map.CanZoomOut());
    const std::uint32_t sub = Index("d/sub");
    EXPECT_TRUE(map.ZoomInto(Index("d/sub/b")));  // a file: its directory
    EXPECT_FALSE(map.ZoomInto(sub));
    EXPECT_EQ(map.Root(), sub);
    EXPECT_EQ(map.PathText(), t.Path("d/sub"));
    EXPECT_EQ(map.Description().rfind("Treemap of " + t.Path("d/sub") + ": largest a", 0), 0u);
    EXPECT_EQ(Composed(), Expected()->pixels);
    EXPECT_TRUE(map.ZoomOut());
    EXPECT_FALSE(map.ZoomOut());
    EXPECT_EQ(roots, (std::vector<std::uint32_t>{0, sub, 0}));
    EXPECT_FALSE(map.ZoomIntoSelected()) << "Enter is the dialog's with nothing outlined";
    map.SetList(nullptr);
    EXPECT_EQ(map.Description(), "Treemap");
    EXPECT_EQ(map.PathText(), "");
    EXPECT_EQ(map.PictureWidth(), 0);
}

// A tile four levels down takes four presses to reach its folder, one level
// each; a fifth finds a file directly in the root and leaves the key alone.
TEST_F(TreemapController, ZoomsOneLevelAPressBackUpAndHome) {
    t.Dir("d/sub/x");
    t.Dir("d/sub/x/y");
    t.Dir("d/sub/x/y/z");
    t.File("d/sub/x/y/z/deep", 5000);
    map.SetList(nullptr);  // the list changes
    scanner.ScanInto(t.Path("d"), list);
    map.SetList(&list);
    roots.clear();
    const std::uint32_t deep = Index("d/sub/x/y/z/deep");
    EXPECT_FALSE(map.ZoomInto(Index("d/big"))) << "a file in the root: nothing to zoom into";
    EXPECT_FALSE(map.ZoomInto(0));
    map.SetSelected(deep);
    const std::vector<std::string> steps{"d/sub", "d/sub/x", "d/sub/x/y", "d/sub/x/y/z"};
    for (const std::string& step : steps) {
        EXPECT_TRUE(map.CanZoomIntoSelected());
        EXPECT_TRUE(map.ZoomIntoSelected()) << step;
        EXPECT_EQ(map.PathText(), t.Path(step));
    }
    EXPECT_FALSE(map.CanZoomIntoSelected());
    EXPECT_FALSE(map.ZoomIntoSelected());
    EXPECT_EQ(map.Root(), Index("d/sub/x/y/z"));
    EXPECT_TRUE(map.Description().ends_with(": largest deep, 100.0%, zoom level 4"))
        << map.Description();
    EXPECT_TRUE(map.ZoomOut());
    EXPECT_EQ(map.PathText(), t.Path("d/sub/x/y"));
    // Outside the root's subtree nothing is a step away.
    EXPECT_FALSE(map.ZoomInto(Index("d/sub/a")));
    EXPECT_TRUE(map.ZoomHome());
    EXPECT_FALSE(map.ZoomHome());
    EXPECT_EQ(map.PathText(), t.Path("d"));
    EXPECT_EQ(map.Description().find("zoom level"), std::string::npos);
    EXPECT_EQ(roots.back(), 0u);
    EXPECT_EQ(roots.size(), steps.size() + 2);
    // A double-click deep down goes one level too.
    EXPECT_TRUE(map.ZoomInto(deep));
    EXPECT_EQ(map.Root(), Index("d/sub"));
}

TEST_F(TreemapController, TheOutlineLastsUntilANewList) {
    const std::uint32_t a = Index("d/sub/a");
    map.SetSelected(a);
    const auto picture = Expected();
    const TreemapRect r = picture->layout.Rect(a);
    EXPECT_EQ(Composed()[std::size_t(r.y0) * 200 + r.x0] & 0xFFFFFFu, 0xFFFFFFu);
    EXPECT_NE(Composed(), picture->pixels);
    // Zoomed out of its reach it outlines nothing; back in, the tile again.
    EXPECT_TRUE(map.ZoomInto(Index("d/big")) || map.Root() == 0);
    EXPECT_TRUE(map.ZoomIntoSelected());
    EXPECT_EQ(map.Root(), Index("d/sub"));
    EXPECT_NE(Composed(), Expected()->pixels);
    map.SetList(&list);  // the list again, as after a fill
    EXPECT_EQ(map.Selected(), kNoNode);
    EXPECT_EQ(map.Root(), 0u);
    EXPECT_EQ(Composed(), Expected()->pixels);
    map.SetSelected(static_cast<std::uint32_t>(list.Count()));  // outside the list
    EXPECT_EQ(map.Selected(), kNoNode);
}

// The folders' names come with the picture that has room for them.
TEST_F(TreemapController, LabelsComeWithAPictureOnlyWhenAsked) {
    EXPECT_TRUE(map.Labels().empty()) << "no line height, no labels";
    const int before = pictures;
    map.SetLabelHeight(14);
    EXPECT_EQ(pictures, before + 1);
    map.SetLabelHeight(14);
    EXPECT_EQ(pictures, before + 1);
    ASSERT_EQ(map.Labels().size(), 1u);
    EXPECT_EQ(map.Labels()[0].strName, "sub");
    EXPECT_EQ(map.Labels()[0].rect.Height(), 14);
    EXPECT_TRUE(Expected()
                    ->layout.Rect(Index("d/sub"))
                    .Contains(map.Labels()[0].rect.x0, map.Labels()[0].rect.y0));
    map.SetSize(40, 20);  // no room for a name
    EXPECT_TRUE(map.Labels().empty());
    map.SetSize(200, 100);
    EXPECT_TRUE(map.ZoomInto(Index("d/sub")));
    EXPECT_TRUE(map.Labels().empty()) << "files are not named";
    map.SetList(nullptr);
    EXPECT_TRUE(map.Labels().empty());
}

TEST_F(TreemapController, DrawsAgainOnlyWhenSomethingShownChanged) {
    const int before = pictures;
    map.SetSize(200, 100);
    map.SetSizeMode(SizeMode::Apparent);
    map.SetSelected(kNoNode);
    EXPECT_EQ(pictures, before);
    map.SetSize(300, 150);
    EXPECT_EQ(pictures, before + 1);
    EXPECT_EQ(map.PictureWidth(), 300);
    EXPECT_EQ(map.PictureHeight(), 150);
    map.SetSize(120, 60);
    // A map drawn at twice the picture's size hits the same tiles.
    const TreemapRect r = Expected()->layout.Rect(Index("d/big"));
    EXPECT_EQ(map.IndexAt(r.x0 + r.x1, r.y0 + r.y1, 240, 120), Index("d/big"));
    EXPECT_EQ(map.IndexAt(240, 0, 240, 120), kNoNode);
    EXPECT_EQ(map.IndexAt(-1, 5, 240, 120), kNoNode);
    map.SetSizeMode(SizeMode::OnDisk);
    EXPECT_EQ(pictures, before + 3);
    EXPECT_EQ(map.Mode(), SizeMode::OnDisk);
    EXPECT_EQ(Composed(), Expected()->pixels);
}

}  // namespace
}  // namespace sizewalk
