#include "linux-program/Yuv420.h"

#include <cstdint>

namespace {

// BT.601 limited range in 8.8 fixed point. Every sum fits 16 bits, so the
// compiler works on eight or sixteen pixels at once.
inline std::uint8_t Luma(std::uint16_t b, std::uint16_t g, std::uint16_t r)
{
    return static_cast<std::uint8_t>((static_cast<std::uint16_t>(66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
}

inline std::uint8_t BlueDifference(std::int16_t b, std::int16_t g, std::int16_t r)
{
    return static_cast<std::uint8_t>((static_cast<std::int16_t>(-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
}

inline std::uint8_t RedDifference(std::int16_t b, std::int16_t g, std::int16_t r)
{
    return static_cast<std::uint8_t>((static_cast<std::int16_t>(112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
}

// Where blue and red lie in a pixel; green is always byte 1.
template <int blue, int red>
void LumaRow(const std::uint8_t* row, int width, std::uint8_t* out)
{
    for (int x = 0; x < width; ++x)
        out[x] = Luma(row[4 * x + blue], row[4 * x + 1], row[4 * x + red]);
}

// The mean of one colour over a 2x2 block whose left pixels start at left.
inline std::int16_t Mean(const std::uint8_t* upper, const std::uint8_t* lower, int left, int right)
{
    return static_cast<std::int16_t>((upper[left] + upper[right] + lower[left] + lower[right] + 2) >> 2);
}

// One row of chroma from two rows of pixels; a missing last column or row
// counts its neighbour twice.
template <int blue, int red>
void ChromaRow(const std::uint8_t* upper, const std::uint8_t* lower, int width, std::uint8_t* cb, std::uint8_t* cr)
{
    const int pairs = width / 2;
    for (int x = 0; x < pairs; ++x) {
        const std::int16_t b = Mean(upper, lower, 8 * x + blue, 8 * x + blue + 4);
        const std::int16_t g = Mean(upper, lower, 8 * x + 1, 8 * x + 5);
        const std::int16_t r = Mean(upper, lower, 8 * x + red, 8 * x + red + 4);
        cb[x] = BlueDifference(b, g, r);
        cr[x] = RedDifference(b, g, r);
    }
    if (width % 2) {
        const int last = 8 * pairs;
        const std::int16_t b = Mean(upper, lower, last + blue, last + blue);
        const std::int16_t g = Mean(upper, lower, last + 1, last + 1);
        const std::int16_t r = Mean(upper, lower, last + red, last + red);
        cb[pairs] = BlueDifference(b, g, r);
        cr[pairs] = RedDifference(b, g, r);
    }
}

template <int blue, int red>
void Convert(const unsigned char* pixels, int width, int height, unsigned char* yuv)
{
    const std::size_t stride = 4 * static_cast<std::size_t>(width);
    const int chromaWidth = (width + 1) / 2;
    std::uint8_t* cb = yuv + static_cast<std::size_t>(width) * height;
    std::uint8_t* cr = cb + static_cast<std::size_t>(chromaWidth) * ((height + 1) / 2);
    for (int y = 0; y < height; ++y)
        LumaRow<blue, red>(pixels + y * stride, width, yuv + static_cast<std::size_t>(y) * width);
    for (int y = 0; y < height; y += 2) {
        const std::uint8_t* upper = pixels + y * stride;
        const std::uint8_t* lower = y + 1 < height ? upper + stride : upper;
        const std::size_t at = static_cast<std::size_t>(y / 2) * chromaWidth;
        ChromaRow<blue, red>(upper, lower, width, cb + at, cr + at);
    }
}

}  // namespace

std::size_t Yuv420FrameBytes(int width, int height)
{
    const std::size_t chroma = static_cast<std::size_t>((width + 1) / 2) * ((height + 1) / 2);
    return static_cast<std::size_t>(width) * height + 2 * chroma;
}

void ConvertToYuv420(const unsigned char* pixels, PixelOrder order, int width, int height, unsigned char* yuv)
{
    if (order == PixelOrder::rgb0)
        Convert<2, 0>(pixels, width, height, yuv);
    else
        Convert<0, 2>(pixels, width, height, yuv);
}
