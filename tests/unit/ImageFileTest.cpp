// Frame files the host writes: the BMP read back field by field, the PNG
// decoded by stb_image.
#include "files/ImageFile.h"

#include <gtest/gtest.h>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::uint32_t Le32(const std::vector<unsigned char>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// Pixel (x, y) gets red x*40, green y*60, blue 200: every pixel differs.
RgbImage Gradient(int width, int height)
{
    RgbImage image;
    image.width = width;
    image.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.pixels.insert(image.pixels.end(), {static_cast<unsigned char>(x * 40 & 0xFF),
                                                     static_cast<unsigned char>(y * 60 & 0xFF), 200});
    return image;
}

TEST(HostImage, BmpIsBottomUpBgrWithPaddedRows)
{
    const auto bmp = EncodeBmp(Gradient(3, 2));
    const std::uint32_t rowBytes = 12;  // 9 bytes of pixels padded to 4
    ASSERT_EQ(bmp.size(), 54 + 2 * rowBytes);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(Le32(bmp, 2), bmp.size());
    EXPECT_EQ(Le32(bmp, 10), 54u) << "pixel data offset";
    EXPECT_EQ(Le32(bmp, 14), 40u) << "BITMAPINFOHEADER";
    EXPECT_EQ(Le32(bmp, 18), 3u);
    EXPECT_EQ(Le32(bmp, 22), 2u) << "positive height: bottom row first";
    EXPECT_EQ(bmp[26] | bmp[27] << 8, 1) << "planes";
    EXPECT_EQ(bmp[28] | bmp[29] << 8, 24) << "bits per pixel";
    EXPECT_EQ(Le32(bmp, 30), 0u) << "BI_RGB";
    const std::vector<unsigned char> pixels(bmp.begin() + 54, bmp.end());
    const std::vector<unsigned char> expected = {
        200, 60, 0, 200, 60, 40, 200, 60, 80, 0, 0, 0,  // image row 1
        200, 0, 0,  200, 0, 40,  200, 0, 80,  0, 0, 0,  // image row 0
    };
    EXPECT_EQ(pixels, expected);
}

TEST(HostImage, PngDecodesToTheSamePixelsAndIsCompressed)
{
    struct Case {
        const char* what;
        RgbImage image;
        std::size_t largest;  // bytes
    };
    const Case cases[] = {
        {"one pixel", Gradient(1, 1), 100},
        {"odd width, every pixel different", Gradient(3, 2), 100},
        // At most a tenth of the raw pixels, which are as large as the BMP.
        {"640x480", Gradient(640, 480), 3 * 640 * 480 / 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<unsigned char> png = EncodePng(c.image);
        EXPECT_LE(png.size(), c.largest);
        int width = 0;
        int height = 0;
        int channels = 0;
        unsigned char* pixels =
            stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &width, &height, &channels, 3);
        ASSERT_NE(pixels, nullptr) << stbi_failure_reason();
        EXPECT_EQ(width, c.image.width);
        EXPECT_EQ(height, c.image.height);
        EXPECT_EQ(channels, 3) << "RGB, no alpha";
        EXPECT_TRUE(std::equal(c.image.pixels.begin(), c.image.pixels.end(), pixels)) << "pixels as given";
        stbi_image_free(pixels);
    }
}

}  // namespace
