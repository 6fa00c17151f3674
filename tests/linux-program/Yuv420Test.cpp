// Read-back frames, in either byte order, into yuv420p as an H.264 encoder
// reads them: BT.601's studio range values of the primaries, and the planes'
// layout at odd sides.
#include "linux-program/Yuv420.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

struct Colour {
    const char* name;
    unsigned char b, g, r;
    int y, cb, cr;  // BT.601's published values
};

std::vector<unsigned char> Fill(int width, int height, const Colour& colour, PixelOrder order)
{
    const bool bgr0 = order == PixelOrder::bgr0;
    std::vector<unsigned char> frame;
    for (int i = 0; i < width * height; ++i)
        frame.insert(frame.end(), {bgr0 ? colour.b : colour.r, colour.g, bgr0 ? colour.r : colour.b, 0});
    return frame;
}

TEST(Yuv420, PrimariesInStudioRangeAtEverySide)
{
    const Colour colours[] = {
        {"black", 0, 0, 0, 16, 128, 128},     {"white", 255, 255, 255, 235, 128, 128},
        {"red", 0, 0, 255, 81, 90, 240},      {"green", 0, 255, 0, 145, 54, 34},
        {"blue", 255, 0, 0, 41, 240, 110},    {"grey", 128, 128, 128, 126, 128, 128},
    };
    // Odd sides have a last chroma column and row of their own.
    for (int side : {2, 3}) {
        const std::size_t chroma = static_cast<std::size_t>((side + 1) / 2) * ((side + 1) / 2);
        ASSERT_EQ(Yuv420FrameBytes(side, side), std::size_t(side * side) + 2 * chroma);
        for (const Colour& colour : colours) {
            for (PixelOrder order : {PixelOrder::bgr0, PixelOrder::rgb0}) {
                SCOPED_TRACE(std::string(colour.name) + " at side " + std::to_string(side) +
                             (order == PixelOrder::bgr0 ? " from BGR0" : " from RGB0"));
                std::vector<unsigned char> yuv(Yuv420FrameBytes(side, side), 0);
                ConvertToYuv420(Fill(side, side, colour, order).data(), order, side, side, yuv.data());
                for (std::size_t i = 0; i < yuv.size(); ++i) {
                    const int want =
                        i < std::size_t(side * side) ? colour.y : i < side * side + chroma ? colour.cb : colour.cr;
                    EXPECT_LE(std::abs(yuv[i] - want), 1) << "byte " << i;
                }
            }
        }
    }
}

TEST(Yuv420, ChromaIsTheMeanOfTheBlockItCovers)
{
    // 3x2: a red and a blue column, then a red column alone at the odd edge.
    const unsigned char red[4] = {0, 0, 255, 0}, blue[4] = {255, 0, 0, 0};
    std::vector<unsigned char> frame;
    for (int row = 0; row < 2; ++row)
        for (const unsigned char* pixel : {red, blue, red})
            frame.insert(frame.end(), pixel, pixel + 4);
    std::vector<unsigned char> yuv(Yuv420FrameBytes(3, 2));
    ASSERT_EQ(yuv.size(), 6u + 2 * 2);
    ConvertToYuv420(frame.data(), PixelOrder::bgr0, 3, 2, yuv.data());
    const unsigned char luma[] = {81, 41, 81, 81, 41, 81};
    for (int i = 0; i < 6; ++i)
        EXPECT_NEAR(yuv[i], luma[i], 1) << "luma " << i;
    // Red and blue in equal parts: magenta's half-way chroma.
    EXPECT_NEAR(yuv[6], (90 + 240) / 2, 1);
    EXPECT_NEAR(yuv[8], (240 + 110) / 2, 1);
    // The edge column is red alone.
    EXPECT_NEAR(yuv[7], 90, 1);
    EXPECT_NEAR(yuv[9], 240, 1);
}

}  // namespace
