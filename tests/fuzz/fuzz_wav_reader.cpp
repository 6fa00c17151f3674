// Any bytes as a WAV file: the reader refuses them with a message or reads
// every block the host may ask for, inside, across and past the data.
#include "audio/WavReader.h"
#include "tests/fuzz/FuzzCheck.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

constexpr int blockFrames = 576;  // what the host reads for one frame

// The input goes into a file that lives in memory; its /proc path opens it
// as any file on disk, and nothing is left behind.
int InputFile()
{
    static const int file = memfd_create("fuzz.wav", 0);
    Require(file >= 0, "memfd_create works");
    return file;
}

using Block = std::array<std::int16_t, blockFrames>;

// Samples [from, to) of both sides are zero.
bool Silent(const Block& left, const Block& right, long long from, long long to)
{
    from = std::clamp<long long>(from, 0, blockFrames);
    to = std::clamp<long long>(to, from, blockFrames);
    const auto zero = [](std::int16_t s) { return s == 0; };
    return std::all_of(left.begin() + from, left.begin() + to, zero) &&
           std::all_of(right.begin() + from, right.begin() + to, zero);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const int file = InputFile();
    Require(ftruncate(file, 0) == 0 && pwrite(file, data, size, 0) == static_cast<ssize_t>(size), "input written");

    WavReader reader;
    std::string error;
    if (!OpenWav("/proc/self/fd/" + std::to_string(file), reader, error)) {
        Require(!error.empty() && std::all_of(error.begin(), error.end(),
                                              [](char c) { return c >= 0x20 && c < 0x7F; }),
                "a refused file gets a readable message");
        Require(reader.file == nullptr, "a refused file is closed");
        return 0;
    }
    const WavFormat& format = reader.format;
    Require(format.channels > 0 && format.rate >= 1000 && format.rate <= 384000, "channels and rate in range");
    const std::uint64_t frameBytes = static_cast<std::uint64_t>(format.channels) * format.bytesPerSample;
    Require(format.frameCount > 0 && format.dataOffset + format.frameCount * frameBytes <= size,
            "the frames lie inside the file");

    const long long frames = static_cast<long long>(format.frameCount);
    Block left;
    Block right;
    for (long long start = -blockFrames / 2; start < frames + blockFrames; start += blockFrames) {
        Require(ReadWavFrames(reader, start, blockFrames, left.data(), right.data()), "every block reads");
        if (format.channels == 1)
            Require(left == right, "a mono file plays on both sides");
        Require(Silent(left, right, 0, -start) && Silent(left, right, frames - start, blockFrames),
                "frames outside the file are silence");
    }
    CloseWav(reader);
    Require(reader.file == nullptr, "closed");
    return 0;
}
