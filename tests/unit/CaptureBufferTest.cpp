// What brimhost --listen shows: any device format as the same 16-bit block,
// the newest whole block, and silence once the packets stop.
#include "audio/CaptureBuffer.h"
#include "audio/SampleBytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A buffer of 48 kHz frames of `channels` samples that already holds
// `count` copies of `frame`.
template <class T>
CaptureBuffer Filled(WavEncoding encoding, int bytesPerSample, std::vector<T> frame, int count)
{
    CaptureBuffer buffer;
    WavFormat format;
    format.encoding = encoding;
    format.bytesPerSample = bytesPerSample;
    format.channels = static_cast<int>(frame.size() * sizeof(T)) / bytesPerSample;
    format.rate = 48000;
    StartCaptureBuffer(buffer, format, 0.0);
    std::vector<unsigned char> bytes;
    for (int i = 0; i < count; ++i)
        bytes.insert(bytes.end(), reinterpret_cast<unsigned char*>(frame.data()),
                     reinterpret_cast<unsigned char*>(frame.data() + frame.size()));
    AppendPacket(buffer, bytes.data(), count, 1.0);
    return buffer;
}

std::vector<std::int16_t> Shown(const CaptureBuffer& buffer, int channel)
{
    std::vector<std::int16_t> left(blockSamples), right(blockSamples);
    CaptureBlock(buffer, 25, left.data(), right.data());
    return channel == 0 ? left : right;
}

TEST(HostCapture, EveryMixFormatGivesTheFirstTwoChannelsAt16Bits)
{
    const std::vector<std::int16_t> half(blockSamples, 16384), quarterDown(blockSamples, -8192);
    EXPECT_EQ(Shown(Filled(WavEncoding::Float, 4, std::vector<float>{0.5f, -0.25f}, 1200), 0), half);
    EXPECT_EQ(Shown(Filled(WavEncoding::Float, 4, std::vector<float>{0.5f, -0.25f}, 1200), 1), quarterDown);
    // Mono on both sides; of six 24-bit channels the first two.
    EXPECT_EQ(Shown(Filled(WavEncoding::Integer, 2, std::vector<std::int16_t>{16384}, 600), 1), half);
    const std::vector<unsigned char> sixChannels = {0, 0, 0x40, 0, 0, 0xE0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3};
    EXPECT_EQ(Shown(Filled(WavEncoding::Integer, 3, sixChannels, 600), 0), half);
    EXPECT_EQ(Shown(Filled(WavEncoding::Integer, 3, sixChannels, 600), 1), quarterDown);
}

TEST(HostCapture, TheNewestWholeBlockIsShownAndAPauseInThePacketsIsSilence)
{
    EXPECT_EQ(Shown(Filled(WavEncoding::Integer, 2, std::vector<std::int16_t>{9}, 500), 0)[0], 0)
        << "less than a block: silence";
    // Each sample is its own index, so the block shows where it starts.
    std::vector<std::int16_t> ramp(2000);
    for (int i = 0; i < 2000; ++i)
        ramp[i] = static_cast<std::int16_t>(i);
    CaptureBuffer buffer = Filled(WavEncoding::Integer, 2, std::vector<std::int16_t>{0}, 0);
    AppendPacket(buffer, reinterpret_cast<const unsigned char*>(ramp.data()), 2000, 1.0);
    EXPECT_EQ(Shown(buffer, 0)[0], 2 * blockSamples) << "the last block that 2000 samples fill";

    KeepCaptureClock(buffer, 1.0 + captureGapSeconds / 2);
    EXPECT_EQ(Shown(buffer, 0)[0], 2 * blockSamples) << "a packet late by less than the gap changes nothing";
    KeepCaptureClock(buffer, 1.5);
    EXPECT_EQ(buffer.written, 2000 + static_cast<long long>((0.5 - captureGapSeconds) * 48000));
    EXPECT_EQ(Shown(buffer, 0), std::vector<std::int16_t>(blockSamples, 0)) << "silence once the packets stopped";

    const std::vector<std::int16_t> seven(1200, 7);
    AppendPacket(buffer, reinterpret_cast<const unsigned char*>(seven.data()), 1200, 1.6);
    EXPECT_EQ(Shown(buffer, 0), std::vector<std::int16_t>(blockSamples, 7)) << "packets after the pause follow it";
    AppendPacket(buffer, nullptr, 1200, 1.7);
    EXPECT_EQ(Shown(buffer, 0)[0], 0) << "a packet the device marks silent";
    KeepCaptureClock(buffer, 1e7);
    EXPECT_EQ(Shown(buffer, 1)[blockSamples - 1], 0) << "any pause, however long";
}

}  // namespace
