#include "core/commands.h"

#include <gtest/gtest.h>

#include <set>

#include "core/dialog_layout.h"

namespace sizewalk {
namespace {

// The list is indexed by command, and what a menu shows is distinct.
TEST(CommandList, OneEntryPerCommandInOrderWithDistinctTextsAndKeys) {
    std::set<std::string_view> texts;
    std::set<std::string> keys;
    for (std::size_t i = 0; i < kCommandCount; ++i) {
        const CommandInfo& info = kCommandList[i];
        EXPECT_EQ(static_cast<std::size_t>(info.id), i);
        EXPECT_EQ(info.menu == Menu::None, info.text.empty()) << i;
        // Off the menus: a control, or a key alone.
        if (info.menu == Menu::None)
            EXPECT_TRUE(info.controlId != 0 || info.key.name != KeyName::None) << i;
        else
            EXPECT_EQ(info.controlId, 0) << i;
        if (!info.text.empty()) {
            EXPECT_TRUE(texts.insert(info.text).second) << info.text;
        }
        if (const std::string key = KeyText(info.key); !key.empty()) {
            EXPECT_TRUE(keys.insert(key).second) << key;
        }
    }
    EXPECT_EQ(KeyText(InfoOf(Command::SortByName).key), "Ctrl+1");
    EXPECT_EQ(KeyText(InfoOf(Command::DeletePermanently).key), "Shift+Del");
    EXPECT_EQ(KeyText(InfoOf(Command::Rescan).key), "F5");
    EXPECT_EQ(KeyText(InfoOf(Command::ZoomOut).key), "Backspace");
    EXPECT_EQ(KeyText(InfoOf(Command::ZoomHome).key), "Home");
    EXPECT_EQ(KeyText(InfoOf(Command::OpenTerminal).key), "");
}

// Only a window at its smallest height grows, by the map's share of the
// tree's room.
TEST(TreemapGrowth, AWindowAtItsSmallestGrowsSoTheTreeKeepsItsRoom) {
    EXPECT_EQ(TreemapGrowth(400, 400, 220), 220 * 45 / 55);
    EXPECT_EQ(TreemapGrowth(399, 400, 220), 180);  // a window held below it
    EXPECT_EQ(TreemapGrowth(401, 400, 220), 0);
    EXPECT_EQ(TreemapGrowth(400, 400, 0), 0);
}

}  // namespace
}  // namespace sizewalk
