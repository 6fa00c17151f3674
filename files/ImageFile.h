// Captured frames as BMP or PNG files.
#pragma once

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

// 8-bit RGB PNG, deflated with per-row filters; empty when it cannot be made.
std::vector<unsigned char> EncodePng(const RgbImage& image);

// False when the file cannot be written or there is nothing to write.
bool WriteBinaryFile(const std::string& path, const std::vector<unsigned char>& bytes);
