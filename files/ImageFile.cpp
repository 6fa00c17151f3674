#include "files/ImageFile.h"

#include "files/Utf8File.h"

#include <cstdint>
#include <cstdio>

// Only the encoders to memory, private to this file.
#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace {

void PutLe16(std::vector<unsigned char>& out, unsigned value)
{
    out.push_back(value & 0xFF);
    out.push_back((value >> 8) & 0xFF);
}

void PutLe32(std::vector<unsigned char>& out, std::uint32_t value)
{
    PutLe16(out, value & 0xFFFF);
    PutLe16(out, value >> 16);
}

void AppendBytes(void* context, void* bytes, int count)
{
    auto& out = *static_cast<std::vector<unsigned char>*>(context);
    const auto* first = static_cast<const unsigned char*>(bytes);
    out.insert(out.end(), first, first + count);
}

}  // namespace

std::vector<unsigned char> EncodeBmp(const RgbImage& image)
{
    const std::uint32_t rowBytes = (3u * image.width + 3) & ~3u;
    const std::uint32_t imageBytes = rowBytes * image.height;
    constexpr std::uint32_t headerBytes = 14 + 40;
    std::vector<unsigned char> out;
    out.reserve(headerBytes + imageBytes);
    out.push_back('B');
    out.push_back('M');
    PutLe32(out, headerBytes + imageBytes);
    PutLe32(out, 0);
    PutLe32(out, headerBytes);
    PutLe32(out, 40);
    PutLe32(out, image.width);
    PutLe32(out, image.height);  // positive: bottom row first
    PutLe16(out, 1);              // planes
    PutLe16(out, 24);             // bits per pixel
    PutLe32(out, 0);              // no compression
    PutLe32(out, imageBytes);
    PutLe32(out, 2835);           // 72 dpi
    PutLe32(out, 2835);
    PutLe32(out, 0);
    PutLe32(out, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        const unsigned char* row = image.pixels.data() + 3 * static_cast<std::size_t>(image.width) * y;
        for (int x = 0; x < image.width; ++x) {
            out.push_back(row[3 * x + 2]);
            out.push_back(row[3 * x + 1]);
            out.push_back(row[3 * x]);
        }
        out.resize(out.size() + rowBytes - 3u * image.width, 0);
    }
    return out;
}

std::vector<unsigned char> EncodePng(const RgbImage& image)
{
    std::vector<unsigned char> out;
    // One row filter instead of trying all five on every row: frames of these
    // scenes come out about as small, in half the time.
    stbi_write_force_png_filter = 1;
    stbi_write_png_to_func(AppendBytes, &out, image.width, image.height, 3, image.pixels.data(), 3 * image.width);
    return out;
}

bool WriteBinaryFile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    if (bytes.empty())
        return false;
    std::FILE* file = OpenFile(path, "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}
