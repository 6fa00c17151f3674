// Captured frames as BMP or PNG files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Top row first, three bytes per pixel: red, green, blue.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;
};

// 24-bit uncompressed BMP.
std::vector<unsigned char> EncodeBmp(const RgbImage& image);

// 8-bit RGB PNG whose zlib stream holds stored (uncompressed) deflate blocks,
// so no compressor is needed.
std::vector<unsigned char> EncodePng(const RgbImage& image);

std::uint32_t Crc32(const unsigned char* bytes, std::size_t count);
std::uint32_t Adler32(const unsigned char* bytes, std::size_t count);

bool WriteBinaryFile(const std::string& path, const std::vector<unsigned char>& bytes);
