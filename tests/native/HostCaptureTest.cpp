// What brimhost --listen shows: any device format as the same 16-bit block,
// the newest whole block, and silence once the packets stop.
#include "host/CaptureBuffer.h"
#include "host/SampleBytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

WavFormat Format(WavEncoding encoding, int bytesPerSample, int channels)
{
    WavFormat format;
    format.encoding = encoding;
    format.bytesPerSample = bytesPerSample;
    format.channels = channels;
    format.rate = 48000;
    return format;
}

// `count` frames, each holding `frame` (the bytes of one frame).
std::vector<unsigned char> Packet(const std::vector<unsigned char>& frame, int count)
{
    std::vector<unsigned char> bytes;
    for (int i = 0; i < count; ++i)
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    return bytes;
}

template <class T>
std::vector<unsigned char> Bytes(std::initializer_list<T> values)
{
    std::vector<unsigned char> bytes(values.size() * sizeof(T));
    std::memcpy(bytes.data(), values.begin(), bytes.size());
    return bytes;
}

struct Block {
    std::int16_t left[blockSamples];
    std::int16_t right[blockSamples];
};

Block Shown(const CaptureBuffer& buffer)
{
    Block block;
    CaptureBlock(buffer, 25, block.left, block.right);
    return block;
}

TEST(HostCapture, EveryMixFormatGivesTheFirstTwoChannelsAt16Bits)
{
    struct Case {
        WavFormat format;
        std::vector<unsigned char> frame;
        std::int16_t left;
        std::int16_t right;
    };
    const Case cases[] = {
        {Format(WavEncoding::Float, 4, 2), Bytes<float>({0.5f, -0.25f}), 16384, -8192},
        {Format(WavEncoding::Float, 8, 8), Bytes<double>({-1.0, 0.125, 0.9, 0.9, 0.9, 0.9, 0.9, 0.9}), -32768, 4096},
        {Format(WavEncoding::Integer, 2, 1), Bytes<std::int16_t>({1000}), 1000, 1000},
        {Format(WavEncoding::Integer, 3, 6), {0x56, 0x34, 0x12, 0x00, 0x00, 0x80, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3},
         0x1234, -32768},
        {Format(WavEncoding::Integer, 4, 4), Bytes<std::int32_t>({-65536, 0x7FFFFFFF, 5, 5}), -1, 32767},
    };
    for (const Case& c : cases) {
        CaptureBuffer buffer;
        StartCaptureBuffer(buffer, c.format, 0.0);
        const std::vector<unsigned char> packet = Packet(c.frame, 1200);
        AppendPacket(buffer, packet.data(), 1200, 0.01);
        const Block block = Shown(buffer);
        for (int i = 0; i < blockSamples; ++i) {
            ASSERT_EQ(block.left[i], c.left) << c.format.channels << " channels, sample " << i;
            ASSERT_EQ(block.right[i], c.right) << c.format.channels << " channels, sample " << i;
        }
    }
}

TEST(HostCapture, TheNewestWholeBlockIsShownAndAPauseInThePacketsIsSilence)
{
    CaptureBuffer buffer;
    StartCaptureBuffer(buffer, Format(WavEncoding::Integer, 2, 1), 0.0);
    EXPECT_EQ(Shown(buffer).left[0], 0) << "nothing yet";

    // Each sample is its own index, so the block shows where it starts.
    std::vector<std::int16_t> ramp(2000);
    for (int i = 0; i < 2000; ++i)
        ramp[i] = static_cast<std::int16_t>(i);
    AppendPacket(buffer, reinterpret_cast<const unsigned char*>(ramp.data()), 2000, 1.0);
    EXPECT_EQ(Shown(buffer).left[0], 2 * blockSamples) << "the last block that 2000 samples fill";
    EXPECT_EQ(Shown(buffer).left[blockSamples - 1], 3 * blockSamples - 1);

    KeepCaptureClock(buffer, 1.0 + captureGapSeconds / 2);
    EXPECT_EQ(Shown(buffer).left[0], 2 * blockSamples) << "a packet late by less than the gap changes nothing";
    KeepCaptureClock(buffer, 1.5);
    EXPECT_EQ(buffer.written, 2000 + static_cast<long long>((0.5 - captureGapSeconds) * 48000));
    const Block paused = Shown(buffer);
    for (int i = 0; i < blockSamples; ++i)
        ASSERT_EQ(paused.left[i], 0) << "silence after the packets stopped, sample " << i;

    const std::vector<unsigned char> tone = Bytes<std::int16_t>({7});
    AppendPacket(buffer, Packet(tone, 1200).data(), 1200, 1.6);
    EXPECT_EQ(Shown(buffer).left[0], 7) << "packets after the pause follow the silence";
    AppendPacket(buffer, nullptr, 1200, 1.7);
    EXPECT_EQ(Shown(buffer).left[0], 0) << "a packet the device marks silent";

    KeepCaptureClock(buffer, 1e7);
    EXPECT_EQ(Shown(buffer).right[blockSamples - 1], 0) << "any pause, however long";
}

}  // namespace
