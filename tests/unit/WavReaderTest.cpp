// The host's WAV reader on files made here: one tone in every layout gives
// the player's bytes, chunks come in any order and size, and each kind of
// broken file is refused with its reason.
#include "audio/SampleBytes.h"
#include "audio/WavReader.h"
#include "player/VisModule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int pcm = 1;
constexpr int ieeeFloat = 3;
constexpr int extensible = 0xFFFE;

std::string Le(std::uint64_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string Chunk(const std::string& id, const std::string& body)
{
    return id + Le(body.size(), 4) + body + (body.size() % 2 ? std::string(1, '\0') : "");
}

// A "fmt " body; `subTag` >= 0 makes it WAVE_FORMAT_EXTENSIBLE around that tag.
std::string Format(int tag, int channels, int rate, int bits, int subTag = -1)
{
    const int blockAlign = channels * bits / 8;
    std::string body = Le(subTag >= 0 ? extensible : tag, 2) + Le(channels, 2) + Le(rate, 4) +
                       Le(static_cast<std::uint64_t>(rate) * blockAlign, 4) + Le(blockAlign, 2) + Le(bits, 2);
    if (subTag >= 0)
        body += Le(22, 2) + Le(bits, 2) + Le(3, 4) + Le(subTag, 2) +
                std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    return body;
}

std::string WithBlockAlign(std::string format, int blockAlign)
{
    return format.replace(12, 2, Le(blockAlign, 2));
}

std::string Riff(const std::string& chunks)
{
    return "RIFF" + Le(4 + chunks.size(), 4) + "WAVE" + chunks;
}

std::string Path(const std::string& name)
{
    return testing::TempDir() + "brimhost_" + name + ".wav";
}

// Every file the tests write, removed once they have all run.
std::vector<std::string> writtenFiles;

class RemoveWrittenFiles : public testing::Environment {
    void TearDown() override
    {
        for (const std::string& path : writtenFiles)
            std::remove(path.c_str());
    }
};
testing::Environment* const removeWrittenFiles = testing::AddGlobalTestEnvironment(new RemoveWrittenFiles);

std::string WriteFile(const std::string& name, const std::string& bytes)
{
    const std::string path = Path(name);
    writtenFiles.push_back(path);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr) << path;
    if (file != nullptr) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return path;
}

// One sample of value x (-1 <= x < 1) in the layout, rounded and clipped as a writer would.
std::string Encode(double x, int tag, int bits)
{
    if (tag == ieeeFloat) {
        std::string out(bits / 8, '\0');
        if (bits == 32) {
            const float single = static_cast<float>(x);
            std::memcpy(&out[0], &single, 4);
        } else {
            std::memcpy(&out[0], &x, 8);
        }
        return out;
    }
    const double full = std::ldexp(1.0, bits - 1);
    const double value = std::min(std::max(std::round(x * full), -full), full - 1);
    if (bits == 8)
        return Le(static_cast<std::uint64_t>(value + 128), 1);
    return Le(static_cast<std::uint64_t>(static_cast<std::int64_t>(value)), bits / 8);
}

// Channel 0 a 440 Hz tone at -6 dBFS, channel 1 a 1 kHz tone at -14 dBFS; any
// further channel loud noise that must not show.
double Tone(int channel, long n, int rate)
{
    if (channel == 0)
        return 0.5 * std::sin(2 * pi * 440.0 * n / rate + 0.2);
    if (channel == 1)
        return 0.2 * std::sin(2 * pi * 1000.0 * n / rate);
    return (std::rand() % 2000 - 1000) / 1001.0;
}

std::string ToneWav(const std::string& format, int channels, int rate, int tag, int bits, long frames)
{
    std::string data;
    for (long n = 0; n < frames; ++n)
        for (int c = 0; c < channels; ++c)
            data += Encode(Tone(c, n, rate), tag, bits);
    return Riff(Chunk("fmt ", format) + Chunk("data", data));
}

struct RecordBytes {
    std::vector<unsigned char> bytes;  // both channels' waveform, then spectrum rows
};

RecordBytes BytesAt(WavReader& reader, long long start)
{
    std::int16_t left[blockSamples];
    std::int16_t right[blockSamples];
    EXPECT_TRUE(ReadWavFrames(reader, start, blockSamples, left, right));
    VisModule module = {};
    WriteRecordBytes(left, right, module);
    RecordBytes record;
    for (const auto* rows : {module.waveformData, module.spectrumData})
        for (int channel = 0; channel < 2; ++channel)
            record.bytes.insert(record.bytes.end(), rows[channel], rows[channel] + sampleCount);
    return record;
}

TEST(HostWav, OneToneGivesThePlayersBytesInEveryLayout)
{
    struct Layout {
        const char* name;
        int tag;
        int bits;
        int channels;
        int rate;
        int subTag;
    };
    const Layout layouts[] = {
        {"pcm8", pcm, 8, 2, 44100, -1},
        {"pcm24", pcm, 24, 2, 44100, -1},
        {"pcm32", pcm, 32, 2, 44100, -1},
        {"float32", ieeeFloat, 32, 2, 44100, -1},
        {"float64", ieeeFloat, 64, 2, 44100, -1},
        // 5
        {"extensible24", pcm, 24, 2, 44100, pcm},
        {"extensiblefloat", ieeeFloat, 32, 2, 44100, ieeeFloat},
        {"six channels", pcm, 16, 6, 44100, pcm},
        {"mono", pcm, 16, 1, 44100, -1},
        {"8 kHz", pcm, 16, 2, 8000, -1},
        // 10
        {"384 kHz float", ieeeFloat, 32, 2, 384000, -1},
    };
    constexpr long frames = 3000;
    constexpr long long start = 1500;
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        // The reference: the same tone as 16-bit stereo at the same rate.
        WavReader reference;
        std::string error;
        ASSERT_TRUE(OpenWav(WriteFile("reference", ToneWav(Format(pcm, 2, layout.rate, 16), 2, layout.rate, pcm, 16, frames)),
                            reference, error))
            << error;
        const RecordBytes expected = BytesAt(reference, start);
        CloseWav(reference);

        WavReader reader;
        const std::string format = Format(layout.tag, layout.channels, layout.rate, layout.bits, layout.subTag);
        ASSERT_TRUE(OpenWav(WriteFile(layout.name, ToneWav(format, layout.channels, layout.rate, layout.tag,
                                                           layout.bits, frames)),
                            reader, error))
            << error;
        EXPECT_EQ(reader.format.rate, layout.rate);
        EXPECT_EQ(reader.format.frameCount, static_cast<std::uint64_t>(frames));
        const RecordBytes got = BytesAt(reader, start);
        CloseWav(reader);
        int worst = 0;
        for (std::size_t i = 0; i < got.bytes.size(); ++i) {
            // Mono: channel 0's tone on both sides.
            const std::size_t row = i / sampleCount;
            const std::size_t from = layout.channels == 1 && row % 2 == 1 ? i - sampleCount : i;
            const int wave = row < 2;
            const int a = wave ? static_cast<signed char>(got.bytes[i]) : got.bytes[i];
            const int b = wave ? static_cast<signed char>(expected.bytes[from]) : expected.bytes[from];
            worst = std::max(worst, std::abs(a - b));
        }
        EXPECT_LE(worst, 1) << "largest difference from the 16-bit bytes";
    }
}

TEST(HostWav, ChunksInAnyOrderAndSizeAndDataCutShort)
{
    const std::string format = Chunk("fmt ", Format(pcm, 1, 8000, 16));
    const std::string samples = Le(1000, 2) + Le(2000, 2) + Le(3000, 2);
    struct Case {
        const char* name;
        std::string file;
        std::uint64_t frames;
    };
    const Case cases[] = {
        {"odd LIST first", Riff(Chunk("LIST", "abc") + format + Chunk("data", samples)), 3},
        {"data before fmt", Riff(Chunk("data", samples) + format), 3},
        {"chunks after data", Riff(format + Chunk("data", samples) + Chunk("id3 ", "tag") + Chunk("junk", "")), 3},
        {"odd data then more", Riff(format + Chunk("data", samples + "x") + Chunk("LIST", "abcd")), 3},
        {"data claims 4 GB", Riff(format + "data" + Le(0xFFFFFFF8u, 4) + samples), 3},
        {"data claims more, half a frame left", Riff(format + "data" + Le(100, 4) + samples + "z"), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WavReader reader;
        std::string error;
        ASSERT_TRUE(OpenWav(WriteFile("order", c.file), reader, error)) << error;
        EXPECT_EQ(reader.format.frameCount, c.frames);
        std::int16_t left[5];
        std::int16_t right[5];
        ASSERT_TRUE(ReadWavFrames(reader, -1, 5, left, right));
        const std::vector<std::int16_t> expected = {0, 1000, 2000, 3000, 0};
        EXPECT_EQ(std::vector<std::int16_t>(left, left + 5), expected) << "silence outside the file";
        EXPECT_EQ(std::vector<std::int16_t>(right, right + 5), expected) << "mono on both channels";
        CloseWav(reader);
    }
}

TEST(HostWav, BrokenFilesAreRefusedWithTheReason)
{
    const std::string stereo = Format(pcm, 2, 44100, 16);
    const std::string data = Chunk("data", std::string(8, '\x01'));
    std::string shortExtensible = Format(pcm, 2, 44100, 16, pcm);
    shortExtensible.resize(30);
    struct Case {
        const char* name;
        std::string file;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", "", "not a RIFF/WAVE file"},
        {"text", std::string(100, 'a'), "not a RIFF/WAVE file"},
        {"RIFF but AVI", "RIFF" + Le(4, 4) + "AVI " + Chunk("fmt ", stereo), "not a RIFF/WAVE file"},
        {"no fmt", Riff(Chunk("LIST", "abcd") + data), "no 'fmt ' chunk"},
        {"no data", Riff(Chunk("fmt ", stereo) + Chunk("LIST", "ab")), "no 'data' chunk"},
        // 5
        {"4 GB data before fmt", Riff("data" + Le(0xFFFFFFF8u, 4) + "abcd" + Chunk("fmt ", stereo)), "no 'fmt ' chunk"},
        {"chunk past the end", Riff(Chunk("fmt ", stereo) + "LIST" + Le(1000, 4) + "ab"), "truncated"},
        {"fmt past the end", Riff("fmt " + Le(16, 4) + stereo.substr(0, 10)), "truncated"},
        {"data but no whole frame", Riff(Chunk("fmt ", stereo) + "data" + Le(8, 4) + "xy"), "truncated"},
        {"empty data", Riff(Chunk("fmt ", stereo) + Chunk("data", "")), "no samples"},
        // 10
        {"fmt short", Riff(Chunk("fmt ", stereo.substr(0, 14)) + data), "'fmt ' chunk too short"},
        {"extensible short", Riff(Chunk("fmt ", shortExtensible) + data), "too short for WAVE_FORMAT_EXTENSIBLE"},
        {"mp3", Riff(Chunk("fmt ", Format(0x55, 2, 44100, 0)) + data), "unsupported encoding: format tag 0x0055"},
        {"12-bit", Riff(Chunk("fmt ", Format(pcm, 2, 44100, 12)) + data), "12-bit PCM"},
        {"16-bit float", Riff(Chunk("fmt ", Format(ieeeFloat, 2, 44100, 16)) + data), "16-bit float"},
        // 15
        {"extensible a-law", Riff(Chunk("fmt ", Format(pcm, 2, 44100, 8, 6)) + data), "unsupported encoding"},
        {"no channels", Riff(Chunk("fmt ", Format(pcm, 0, 44100, 16)) + data), "no channels"},
        {"500 Hz", Riff(Chunk("fmt ", Format(pcm, 2, 500, 16)) + data), "sample rate 500 Hz out of range (1000 to 384000)"},
        {"400 kHz", Riff(Chunk("fmt ", Format(pcm, 2, 400000, 16)) + data), "out of range"},
        // 20
        {"block align of 3 frames", Riff(Chunk("fmt ", WithBlockAlign(stereo, 12)) + data),
         "block align of 12 bytes does not match 2 channels of 16-bit samples (4 bytes)"},
        {"block align 0", Riff(Chunk("fmt ", WithBlockAlign(stereo, 0)) + data), "block align of 0 bytes"},
        {"extensible, block align of mono",
         Riff(Chunk("fmt ", WithBlockAlign(Format(pcm, 2, 44100, 24, pcm), 3)) + data), "block align of 3 bytes"},
        {"damaged chunk id", Riff(Chunk("fmt ", stereo) + std::string("L\0\xFF'", 4) + Le(1000, 4) + "ab"),
         "chunk 'L\\x00\\xFF\\x27' runs past the end"},
    };
    for (const Case& c : cases) {
        WavReader reader;
        std::string error;
        EXPECT_FALSE(OpenWav(WriteFile("broken", c.file), reader, error)) << c.name;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": got '" << error << "'";
        EXPECT_EQ(reader.file, nullptr) << c.name << ": closed again";
    }
    WavReader reader;
    std::string error;
    EXPECT_FALSE(OpenWav("/nonexistent/brimhost.wav", reader, error));
    EXPECT_NE(error.find("cannot open the file"), std::string::npos) << error;
}

std::size_t OpenDescriptors()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST(HostWav, AReaderClosesItsFileWhenItGoes)
{
    const std::string path = WriteFile("closes", ToneWav(Format(pcm, 2, 8000, 16), 2, 8000, pcm, 16, 100));
    const std::size_t before = OpenDescriptors();
    {
        WavReader reader;
        std::string error;
        ASSERT_TRUE(OpenWav(path, reader, error)) << error;
        ASSERT_EQ(OpenDescriptors(), before + 1);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST(HostWav, SamplesPastFourGigabytesAreReadInPlace)
{
    // A sparse file: a 4 GB data chunk whose last frames lie past 2^32 bytes,
    // read without loading the file.
    const std::string header = Riff(Chunk("fmt ", Format(pcm, 2, 44100, 16))) + "data" + Le(0xFFFFFFF0u, 4);
    const std::string path = WriteFile("huge", header);
    const std::uint64_t lastFrame = 0xFFFFFFF0u / 4 - 1;
    const std::uint64_t at = header.size() + 4 * lastFrame;
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    const std::string frame = Le(1234, 2) + Le(static_cast<std::uint16_t>(-4321), 2);
    const bool written = fseeko(file, static_cast<off_t>(at), SEEK_SET) == 0 &&
                         std::fwrite(frame.data(), 1, 4, file) == 4;
    std::fclose(file);
    if (!written) {
        std::remove(path.c_str());
        GTEST_SKIP() << "no sparse file of 4 GB here";
    }
    WavReader reader;
    std::string error;
    ASSERT_TRUE(OpenWav(path, reader, error)) << error;
    EXPECT_EQ(reader.format.frameCount, lastFrame + 1);
    std::int16_t left[2];
    std::int16_t right[2];
    ASSERT_TRUE(ReadWavFrames(reader, static_cast<long long>(lastFrame), 2, left, right));
    EXPECT_EQ(left[0], 1234);
    EXPECT_EQ(right[0], -4321);
    EXPECT_EQ(left[1], 0) << "past the end";
    CloseWav(reader);
    std::remove(path.c_str());
}

}  // namespace
