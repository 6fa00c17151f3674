// Frame files the host writes, read back field by field and, for PNG, by a
// small stored-block inflater of the test's own.
#include "host/ImageFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::uint32_t Le32(const std::vector<unsigned char>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint32_t Be32(const std::vector<unsigned char>& b, std::size_t at)
{
    return static_cast<std::uint32_t>(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
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

TEST(HostImage, ChecksumsMatchTheirPublishedCheckValues)
{
    const auto* digits = reinterpret_cast<const unsigned char*>("123456789");
    EXPECT_EQ(Crc32(digits, 9), 0xCBF43926u);
    const auto* word = reinterpret_cast<const unsigned char*>("Wikipedia");
    EXPECT_EQ(Adler32(word, 9), 0x11E60398u);
    EXPECT_EQ(Adler32(nullptr, 0), 1u);
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

struct PngChunk {
    std::string type;
    std::vector<unsigned char> data;
    bool crcGood;
};

std::vector<PngChunk> ReadChunks(const std::vector<unsigned char>& png)
{
    std::vector<PngChunk> chunks;
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const std::uint32_t length = Be32(png, at);
        if (at + 12 + length > png.size())
            break;
        PngChunk chunk;
        chunk.type.assign(png.begin() + at + 4, png.begin() + at + 8);
        chunk.data.assign(png.begin() + at + 8, png.begin() + at + 8 + length);
        chunk.crcGood = Be32(png, at + 8 + length) == Crc32(png.data() + at + 4, 4 + length);
        chunks.push_back(chunk);
        at += 12 + length;
    }
    return chunks;
}

// Inflates a zlib stream made only of stored blocks; false on anything else.
bool InflateStored(const std::vector<unsigned char>& zlib, std::vector<unsigned char>& out, int& blocks)
{
    if (zlib.size() < 6 || (zlib[0] & 0x0F) != 8 || ((zlib[0] << 8) | zlib[1]) % 31 != 0)
        return false;
    std::size_t at = 2;
    blocks = 0;
    for (bool last = false; !last;) {
        if (at + 5 > zlib.size() || (zlib[at] & 0x06) != 0)
            return false;
        last = zlib[at] & 1;
        const unsigned length = zlib[at + 1] | zlib[at + 2] << 8;
        const unsigned complement = zlib[at + 3] | zlib[at + 4] << 8;
        if ((length ^ 0xFFFF) != complement || at + 5 + length > zlib.size())
            return false;
        out.insert(out.end(), zlib.begin() + at + 5, zlib.begin() + at + 5 + length);
        at += 5 + length;
        ++blocks;
    }
    return at + 4 == zlib.size() && Be32(zlib, at) == Adler32(out.data(), out.size());
}

TEST(HostImage, PngHoldsTheRowsInStoredBlocks)
{
    struct Case {
        int width, height, blocks;
    };
    // 3*200+1 = 601 bytes a row: 150 rows need two stored blocks, 1 row one.
    const Case cases[] = {{3, 2, 1}, {200, 150, 2}, {1, 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const RgbImage image = Gradient(c.width, c.height);
        const auto png = EncodePng(image);
        const std::vector<unsigned char> signature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
        ASSERT_GT(png.size(), 8u);
        EXPECT_EQ(std::vector<unsigned char>(png.begin(), png.begin() + 8), signature);

        const auto chunks = ReadChunks(png);
        ASSERT_EQ(chunks.size(), 3u);
        EXPECT_EQ(chunks[0].type, "IHDR");
        EXPECT_EQ(chunks[1].type, "IDAT");
        EXPECT_EQ(chunks[2].type, "IEND");
        for (const PngChunk& chunk : chunks)
            EXPECT_TRUE(chunk.crcGood) << chunk.type;
        const std::vector<unsigned char> iend = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
        EXPECT_EQ(std::vector<unsigned char>(png.end() - 12, png.end()), iend);

        const auto& header = chunks[0].data;
        ASSERT_EQ(header.size(), 13u);
        EXPECT_EQ(Be32(header, 0), static_cast<std::uint32_t>(c.width));
        EXPECT_EQ(Be32(header, 4), static_cast<std::uint32_t>(c.height));
        const std::vector<unsigned char> rest = {8, 2, 0, 0, 0};  // 8-bit RGB, deflate, filters, no interlace
        EXPECT_EQ(std::vector<unsigned char>(header.begin() + 8, header.end()), rest);

        std::vector<unsigned char> raw;
        int blocks = 0;
        ASSERT_TRUE(InflateStored(chunks[1].data, raw, blocks));
        EXPECT_EQ(blocks, c.blocks);
        ASSERT_EQ(raw.size(), static_cast<std::size_t>(c.height) * (3 * c.width + 1));
        for (int y = 0; y < c.height; ++y) {
            const auto row = raw.begin() + y * (3 * c.width + 1);
            EXPECT_EQ(row[0], 0) << "filter of row " << y;
            EXPECT_TRUE(std::equal(row + 1, row + 1 + 3 * c.width, image.pixels.begin() + 3 * c.width * y))
                << "row " << y;
        }
    }
}

}  // namespace
