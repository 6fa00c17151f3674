// The host's sample bytes and signals: what a module reads from the record
// must look like the player's bytes for the same sound.
#include "audio/SampleBytes.h"
#include "audio/SignalSource.h"
#include "player/VisModule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double rate = 44100.0;

// Amplitude of a sine at the given level below full scale, in 16-bit units.
double Amplitude(double dbfs)
{
    return 32768.0 * std::pow(10.0, dbfs / 20.0);
}

std::vector<std::int16_t> Sine(double hz, double dbfs, double phase = 0.3)
{
    std::vector<std::int16_t> samples(blockSamples);
    for (int n = 0; n < blockSamples; ++n)
        samples[n] = static_cast<std::int16_t>(std::lround(Amplitude(dbfs) * std::sin(2 * pi * hz * n / rate + phase)));
    return samples;
}

std::vector<unsigned char> Spectrum(const std::vector<std::int16_t>& samples)
{
    std::vector<unsigned char> bytes(blockSamples, 0xEE);
    SpectrumBytes(samples.data(), bytes.data());
    return bytes;
}

int PeakIndex(const std::vector<unsigned char>& bytes)
{
    return static_cast<int>(std::max_element(bytes.begin(), bytes.begin() + 512) - bytes.begin());
}

TEST(HostSpectrum, PeakSitsAtTheBytePlayersUseForTheFrequency)
{
    // Byte i stands for about i * rate / 1024 Hz; the tone's bin shows in its
    // odd byte, up to two bytes from there when the tone falls between bins.
    for (double hz : {440.0, 1000.0, 3445.3125, 5000.0, 11025.0, 15000.0}) {
        const auto bytes = Spectrum(Sine(hz, -24));
        EXPECT_NEAR(PeakIndex(bytes), hz * 1024 / rate, 2.0) << hz << " Hz";
        EXPECT_EQ(PeakIndex(bytes) % 2, 1) << hz << " Hz";
    }
}

TEST(HostSpectrum, MagnitudeIsLinearAndSaturatesAtMinus12Dbfs)
{
    // 3445.3125 Hz is exactly bin 40, so no scalloping: a Hann-windowed sine of
    // amplitude a (8-bit units) gives a * 512 / 4 in its bin, /16 in the byte.
    const double hz = 40 * rate / 512;
    auto expected = [](double dbfs) { return Amplitude(dbfs) / 256 * 512 / 4 / 16; };
    for (double dbfs : {-36.0, -30.0, -24.0, -18.0}) {
        const auto bytes = Spectrum(Sine(hz, dbfs));
        EXPECT_EQ(PeakIndex(bytes), 81) << "the odd byte of bin 40";
        EXPECT_NEAR(bytes[81], expected(dbfs), 0.03 * expected(dbfs) + 1) << dbfs << " dBFS";
    }
    EXPECT_EQ(Spectrum(Sine(hz, -12))[81], 255);
    EXPECT_EQ(Spectrum(Sine(hz, 0))[81], 255) << "clamped, not wrapped";
    // Far from the tone the bytes stay near zero.
    const auto bytes = Spectrum(Sine(hz, -12));
    for (int i = 200; i < 576; ++i)
        EXPECT_LE(bytes[i], 2) << "byte " << i;
}

TEST(HostSpectrum, SilenceAndConstantOffsetGiveZeros)
{
    EXPECT_EQ(Spectrum(std::vector<std::int16_t>(blockSamples, 0)), std::vector<unsigned char>(blockSamples, 0));
    EXPECT_EQ(Spectrum(std::vector<std::int16_t>(blockSamples, 9000)), std::vector<unsigned char>(blockSamples, 0))
        << "the DC blocker removes a constant offset";
}

TEST(HostSpectrum, EvenBytesSitBetweenBinsAndTheTailHalvesToZero)
{
    std::vector<std::int16_t> mix(blockSamples);
    for (int n = 0; n < blockSamples; ++n)
        mix[n] = static_cast<std::int16_t>(3000 * std::sin(n * 0.3) + 2500 * std::sin(n * 1.7) + 2000 * std::sin(n * 3.1));
    const auto bytes = Spectrum(mix);
    for (int k = 1; k < 256; ++k)
        EXPECT_EQ(bytes[2 * k], (bytes[2 * k - 1] + bytes[2 * k + 1]) / 2) << "byte " << 2 * k;

    // The top bin just below the Nyquist rate feeds the tail.
    const auto high = Spectrum(Sine(255 * rate / 512, -12));
    ASSERT_GT(high[511], 100);
    for (int i = 512; i < 576; ++i)
        EXPECT_EQ(high[i], high[i - 1] / 2) << "byte " << i;
    EXPECT_EQ(high[575], 0);
}

TEST(HostWaveform, TopByteAsSignedChar)
{
    struct Case {
        std::int16_t sample;
        unsigned char byte;
    };
    const Case cases[] = {
        {0, 0x00},      {255, 0x00},    {256, 0x01},  {-1, 0xFF},     {-256, 0xFF},
        {-257, 0xFE},   {32767, 0x7F},  {-32768, 0x80}, {0x1234, 0x12}, {-0x1234, 0xED},
    };
    std::vector<std::int16_t> samples(blockSamples, 0);
    for (std::size_t i = 0; i < std::size(cases); ++i)
        samples[100 + i] = cases[i].sample;
    std::vector<unsigned char> bytes(blockSamples, 0xEE);
    WaveformBytes(samples.data(), bytes.data());
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(bytes[100 + i], cases[i].byte) << "sample " << cases[i].sample;
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[575], 0) << "all 576 written";
}

TEST(HostWaveform, RecordRowsFollowTheChannels)
{
    VisModule module;
    std::memset(&module, 0xEE, sizeof(module));
    const std::vector<std::int16_t> silence(blockSamples, 0);
    const auto tone = Sine(40 * rate / 512, -12);
    WriteRecordBytes(silence.data(), tone.data(), module);
    const std::vector<unsigned char> zeros(blockSamples, 0);
    EXPECT_EQ(std::vector<unsigned char>(module.waveformData[0], module.waveformData[0] + blockSamples), zeros);
    EXPECT_EQ(std::vector<unsigned char>(module.spectrumData[0], module.spectrumData[0] + blockSamples), zeros);
    EXPECT_EQ(module.spectrumData[1][81], 255);
    EXPECT_EQ(module.waveformData[1][0], static_cast<unsigned char>(tone[0] >> 8));
    // Nothing around the rows is touched.
    const auto* before = reinterpret_cast<const unsigned char*>(&module.waveformChannels);
    const auto* after = reinterpret_cast<const unsigned char*>(&module.Config);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(before[i], 0xEE);
        EXPECT_EQ(after[i], 0xEE);
    }
}

TEST(HostSignal, SynthesizedStereoMovesAndStaysInRange)
{
    // Mean absolute value of each frame-sized block over the whole
    // eight-second loop, so every bar is checked for clipping.
    std::vector<double> levels[2];
    int differing = 0;
    int total = 0;
    for (long long start = 0; start < 8 * 44100; start += 1103) {
        SignalSource source;
        std::int16_t left[blockSamples];
        std::int16_t right[blockSamples];
        FillBlock(source, start, left, right);
        double sum[2] = {0, 0};
        for (int i = 0; i < blockSamples; ++i) {
            sum[0] += std::abs(left[i]);
            sum[1] += std::abs(right[i]);
            differing += left[i] != right[i];
            ++total;
            ASSERT_LT(std::abs(left[i]), 32000) << "no clipping";
            ASSERT_LT(std::abs(right[i]), 32000) << "no clipping";
        }
        levels[0].push_back(sum[0] / blockSamples);
        levels[1].push_back(sum[1] / blockSamples);
    }
    for (int channel = 0; channel < 2; ++channel) {
        const auto [low, high] = std::minmax_element(levels[channel].begin(), levels[channel].end());
        EXPECT_GT(*low, 100) << "never silent, channel " << channel;
        EXPECT_GT(*high, 2.5 * *low) << "the beat moves the level, channel " << channel;
    }
    EXPECT_GT(differing, total * 9 / 10) << "left and right differ";
    EXPECT_EQ(SynthesizedSample(123456, 0), SynthesizedSample(123456, 0)) << "a function of the position only";
}

// What the boxes and spheres show with the default settings: the spectrum
// bytes of each channel reduced to |b0-b1| + |b1-b3| + ... + |b573-b575|,
// over 500 (scales).
double DefaultSpectrumLevel(const std::int16_t* samples)
{
    std::vector<unsigned char> bytes(blockSamples);
    SpectrumBytes(samples, bytes.data());
    int sum = std::abs(bytes[0] - bytes[1]);
    for (int i = 3; i < blockSamples; i += 2)
        sum += std::abs(bytes[i] - bytes[i - 2]);
    return sum / 500.0;
}

TEST(HostSignal, SynthesizedLevelsSuitTheDefaultMeterAndPulseWithTheEighths)
{
    // 50 frames a second over the eight-second loop; at 120 beats a minute an
    // eighth note is 11025 samples, and every eighth has a hit.
    constexpr int frameSamples = 882;
    constexpr int eighth = 11025;
    std::vector<double> levels[2];
    std::vector<long long> starts;
    int peakByte = 0;
    SignalSource synthesized;
    for (long long start = 0; start < 8 * 44100; start += frameSamples) {
        std::int16_t samples[2][blockSamples];
        FillBlock(synthesized, start, samples[0], samples[1]);
        for (int channel = 0; channel < 2; ++channel) {
            levels[channel].push_back(DefaultSpectrumLevel(samples[channel]));
            unsigned char wave[blockSamples];
            WaveformBytes(samples[channel], wave);
            for (unsigned char byte : wave)
                peakByte = std::max(peakByte, std::abs(static_cast<int>(static_cast<signed char>(byte))));
        }
        starts.push_back(start);
    }
    const std::size_t frames = starts.size();
    EXPECT_GE(peakByte, 40) << "the waveform uses a good part of its range";

    for (int channel = 0; channel < 2; ++channel) {
        const std::vector<double>& level = levels[channel];
        const auto inRange = std::count_if(level.begin(), level.end(), [](double v) { return v >= 0.5 && v <= 2.5; });
        EXPECT_GE(inRange, static_cast<std::ptrdiff_t>(frames * 9 / 10))
            << "frames between 0.5 and 2.5, channel " << channel;
        std::vector<double> sorted = level;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_GT(sorted.front(), 0.3) << "never nearly idle, channel " << channel;
        EXPECT_GT(sorted[frames / 2], 0.75) << "median, channel " << channel;
        EXPECT_LT(sorted[frames / 2], 1.75) << "median, channel " << channel;

        // Each eighth: the frames in its first quarter against those in its last.
        std::vector<double> early(8 * 44100 / eighth, 0.0);
        std::vector<double> late(early.size(), 0.0);
        std::vector<int> earlyCount(early.size(), 0);
        std::vector<int> lateCount(early.size(), 0);
        for (std::size_t f = 0; f < frames; ++f) {
            const std::size_t which = starts[f] / eighth;
            const long long into = starts[f] % eighth;
            if (into < eighth / 4) {
                early[which] += level[f];
                ++earlyCount[which];
            } else if (into >= eighth * 3 / 4) {
                late[which] += level[f];
                ++lateCount[which];
            }
        }
        for (std::size_t e = 0; e < early.size(); ++e) {
            ASSERT_GT(earlyCount[e], 0);
            ASSERT_GT(lateCount[e], 0);
            const double rise = early[e] / earlyCount[e] - late[e] / lateCount[e];
            EXPECT_GT(rise, 0.25) << "eighth " << e << ", channel " << channel;
        }
    }

    double difference = 0.0;
    int apart = 0;
    for (std::size_t f = 0; f < frames; ++f) {
        const double d = std::abs(levels[0][f] - levels[1][f]);
        difference += d;
        apart += d > 0.1;
    }
    EXPECT_GT(difference / frames, 0.15) << "mean difference between left and right";
    EXPECT_GT(apart, static_cast<int>(frames / 2)) << "frames where left and right differ by more than 0.1";
}

}  // namespace
