#include "platform/page_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>

namespace sizewalk {
namespace {

bool AllZero(const CPageBlock& block) {
    return std::all_of(block.Data(), block.Data() + block.Size(),
                       [](unsigned char c) { return c == 0; });
}

TEST(PageBlock, BlocksOfEverySizeComeZeroedAndWritableToTheirEnd) {
    for (const std::size_t size : {std::size_t{1}, std::size_t{4096} + 3, std::size_t{256} << 10,
                                   CPageBlock::kHugePage, 3 * CPageBlock::kHugePage}) {
        SCOPED_TRACE(size);
        CPageBlock block(size);
        ASSERT_NE(block.Data(), nullptr);
        EXPECT_EQ(block.Size(), size);
        EXPECT_TRUE(AllZero(block));
        block.Data()[0] = 1;
        block.Data()[size - 1] = 2;
        EXPECT_EQ(block.Data()[size - 1], 2);
        if (size % CPageBlock::kHugePage == 0) {  // so that it can lie on huge pages
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.Data()) % CPageBlock::kHugePage, 0u);
        }
    }
    CPageBlock lazy(CPageBlock::kHugePage, false);
    EXPECT_TRUE(AllZero(lazy));
    EXPECT_EQ(CPageBlock(0).Data(), nullptr);
}

TEST(PageBlock, ReleasingATailKeepsWhatLiesBeforeItAndTheTailStaysWritable) {
    CPageBlock block(CPageBlock::kHugePage);
    std::fill(block.Data(), block.Data() + block.Size(), 0xAB);
    block.Release(5000);  // mid-page: that page is kept whole
    EXPECT_TRUE(
        std::all_of(block.Data(), block.Data() + 5000, [](unsigned char c) { return c == 0xAB; }));
    block.Data()[block.Size() - 1] = 1;
    EXPECT_EQ(block.Data()[block.Size() - 1], 1);
    block.Release(block.Size());  // nothing past the end
    block.Release(block.Size() + 4096);
    EXPECT_EQ(block.Data()[0], 0xAB);
}

TEST(PageBlock, MovingHandsTheMemoryOverAndAnImpossibleSizeThrows) {
    CPageBlock a(4096);
    a.Data()[7] = 7;
    CPageBlock b(std::move(a));
    EXPECT_EQ(a.Data(), nullptr);
    EXPECT_EQ(a.Size(), 0u);
    EXPECT_EQ(b.Data()[7], 7);
    CPageBlock c(8192);
    c = std::move(b);  // c's own block is given back
    EXPECT_EQ(c.Size(), 4096u);
    EXPECT_EQ(c.Data()[7], 7);
    EXPECT_THROW(CPageBlock(std::size_t{1} << 62), std::bad_alloc);
    EXPECT_THROW(CPageBlock(SIZE_MAX - 1), std::bad_alloc);
}

}  // namespace
}  // namespace sizewalk
