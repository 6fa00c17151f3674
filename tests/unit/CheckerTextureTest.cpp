#include "scenes/CheckerTexture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

int Grey(int row, int column)
{
    return checkerImage[512 * row + 4 * column];
}

TEST(CheckerTexture, IsABoardOfTwoByTwoSquaresBlackAtTheOrigin)
{
    checkerImage.fill(0x5A);
    BuildCheckerTexture();
    const unsigned char start[16] = {0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255, 255};
    EXPECT_TRUE(std::equal(start, start + 16, checkerImage.begin()));

    const struct {
        int row, column, grey;
    } texels[] = {{0, 0, 0}, {0, 2, 255}, {2, 0, 255}, {0, 127, 255}, {127, 0, 255}, {2, 2, 0}, {127, 127, 0}};
    for (const auto& t : texels)
        EXPECT_EQ(Grey(t.row, t.column), t.grey) << "texel " << t.row << ", " << t.column;

    // Every texel: grey, opaque, white where the 2 x 2 square's indices add up odd.
    for (int row = 0; row < checkerSize; ++row) {
        for (int column = 0; column < checkerSize; ++column) {
            const unsigned char* texel = &checkerImage[512 * row + 4 * column];
            const int expected = ((row / 2 + column / 2) % 2) ? 255 : 0;
            ASSERT_EQ(texel[0], expected) << "texel " << row << ", " << column;
            ASSERT_EQ(texel[1], expected) << "texel " << row << ", " << column;
            ASSERT_EQ(texel[2], expected) << "texel " << row << ", " << column;
            ASSERT_EQ(texel[3], 255) << "texel " << row << ", " << column;
        }
    }
}

TEST(CheckerTexture, SecondBuildWritesTheSameBytes)
{
    BuildCheckerTexture();
    const auto first = checkerImage;
    checkerImage.fill(0xA5);
    BuildCheckerTexture();
    EXPECT_TRUE(first == checkerImage);
    EXPECT_EQ(std::count(checkerImage.begin(), checkerImage.end(), 0) +
                  std::count(checkerImage.begin(), checkerImage.end(), 255),
              65536);
}

}  // namespace
