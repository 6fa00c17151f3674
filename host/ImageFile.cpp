#include "host/ImageFile.h"

#include <algorithm>
#include <array>
#include <fstream>

namespace {

constexpr std::size_t maxStoredBlock = 65535;

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

void PutBe32(std::vector<unsigned char>& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back((value >> shift) & 0xFF);
}

std::array<std::uint32_t, 256> MakeCrcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

// Length, type, data, and the CRC of type and data.
void PutChunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& data)
{
    PutBe32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBe32(out, Crc32(out.data() + typeAt, out.size() - typeAt));
}

}  // namespace

std::uint32_t Crc32(const unsigned char* bytes, std::size_t count)
{
    static const std::array<std::uint32_t, 256> table = MakeCrcTable();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < count; ++i)
        crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::uint32_t Adler32(const unsigned char* bytes, std::size_t count)
{
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (std::size_t i = 0; i < count; ++i) {
        a = (a + bytes[i]) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

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
    // Each row behind a filter byte of 0 (none).
    const std::size_t rowBytes = 3 * static_cast<std::size_t>(image.width);
    std::vector<unsigned char> raw;
    raw.reserve((rowBytes + 1) * image.height);
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        const auto row = image.pixels.begin() + rowBytes * y;
        raw.insert(raw.end(), row, row + rowBytes);
    }

    std::vector<unsigned char> zlib = {0x78, 0x01};  // deflate, 32K window, no dictionary
    std::size_t at = 0;
    do {
        const std::size_t count = std::min(maxStoredBlock, raw.size() - at);
        const bool last = at + count == raw.size();
        zlib.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00: stored
        PutLe16(zlib, static_cast<unsigned>(count));
        PutLe16(zlib, static_cast<unsigned>(~count & 0xFFFF));
        zlib.insert(zlib.end(), raw.begin() + at, raw.begin() + at + count);
        at += count;
    } while (at < raw.size());
    PutBe32(zlib, Adler32(raw.data(), raw.size()));

    std::vector<unsigned char> header;
    PutBe32(header, image.width);
    PutBe32(header, image.height);
    header.push_back(8);  // bits per channel
    header.push_back(2);  // truecolour
    header.push_back(0);  // deflate
    header.push_back(0);  // adaptive filtering
    header.push_back(0);  // not interlaced

    std::vector<unsigned char> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", zlib);
    PutChunk(out, "IEND", {});
    return out;
}

bool WriteBinaryFile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}
