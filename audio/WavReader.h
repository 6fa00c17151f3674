// Streams the samples of a RIFF/WAVE file of any length: the file stays on
// disk and each block is read when it is shown.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class WavEncoding {
    Integer,  // 8-bit unsigned, 16/24/32-bit signed little-endian
    Float,    // 32- or 64-bit IEEE
};

struct WavFormat {
    WavEncoding encoding = WavEncoding::Integer;
    int rate = 0;
    int channels = 0;
    int bytesPerSample = 0;
    std::uint64_t dataOffset = 0;  // where the first frame starts in the file
    std::uint64_t frameCount = 0;  // frames the file really holds
};

// Closes its file when it goes, so no way out of a run leaves it open.
struct WavReader {
    WavReader() = default;
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;
    ~WavReader();

    std::FILE* file = nullptr;
    WavFormat format;
    std::vector<unsigned char> buffer;
};

// One sample of `format` at the 16-bit scale: the top sixteen bits of an
// integer sample, a float scaled by 32768 and clipped (NaN is silence).
std::int16_t Sample16(const unsigned char* bytes, const WavFormat& format);

// Opens the file (a UTF-8 path) and reads its header: PCM, IEEE float or
// WAVE_FORMAT_EXTENSIBLE of either, any channel count, 1 kHz to 384 kHz,
// chunks of any size in any order, a block align of whole frames. False with
// a message naming what is wrong.
bool OpenWav(const std::string& path, WavReader& reader, std::string& error);
void CloseWav(WavReader& reader);

// `count` frames from frame `start` on as 16-bit samples at the same full
// scale for every encoding: the first channel on the left and the second on
// the right, a mono file on both. Frames outside the file are silence. False
// when the file cannot be read any more.
bool ReadWavFrames(WavReader& reader, long long start, int count, std::int16_t* left, std::int16_t* right);
