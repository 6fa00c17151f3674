#include "scenes/LevelMeter.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <array>

#include <cmath>
#include <cstring>

namespace {

constexpr int lastByte = sampleCount - 1;

class LevelMeter : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::memset(&module, 0, sizeof(module));
        settings = initialSettings;
        channelLevels = {};
    }

    // Waveform source, both channels filled with the same bytes.
    void UseWaveform(int divisor)
    {
        settings.vistype = 0;
        settings.scalew = divisor;
    }

    void SetPeaks(float value) { channelLevels.peak = {value, value}; }

    // Both peaks at `peak`, one frame measured: the levels it shows.
    const std::array<float, 2>& MeasureFrom(float peak, const MeterConstants& meter)
    {
        SetPeaks(peak);
        MeasureLevels(module, meter);
        return channelLevels.level;
    }

    VisModule module;
};

// Byte 0 = 0 and the odd positions alternating 100, 0, 100: every step adds 100.
void FillAlternating(unsigned char (&bytes)[sampleCount])
{
    std::memset(bytes, 0, sizeof(bytes));
    for (int i = 1; i < sampleCount; i += 2)
        bytes[i] = ((i / 2) % 2 == 0) ? 100 : 0;
}

TEST_F(LevelMeter, ReadsByteZeroAndOddPositionsOnly)
{
    UseWaveform(1);
    // Even positions other than 0 are never read.
    for (int i = 2; i < sampleCount; i += 2)
        module.waveformData[0][i] = 200;
    MeasureLevels(module, textureMeter);
    EXPECT_EQ(channelLevels.level[0], 0.04f) << "floor of an all-zero sum";
    EXPECT_EQ(channelLevels.peak[0], 0.0f);

    struct Case {
        int position;
        float sum;
    };
    const Case cases[] = {{0, 9}, {1, 18}, {3, 18}, {301, 18}, {573, 18}, {lastByte, 9}};
    for (const Case& c : cases) {
        std::memset(module.waveformData, 0, sizeof(module.waveformData));
        module.waveformData[0][c.position] = 9;
        SetPeaks(0.0f);
        MeasureLevels(module, textureMeter);
        EXPECT_EQ(channelLevels.level[0], c.sum) << "byte " << c.position;
        EXPECT_EQ(channelLevels.level[1], 0.04f) << "channel 1 untouched by byte " << c.position;
    }
}

TEST_F(LevelMeter, ChannelsComeFromTheirOwnRowsOfTheChosenSource)
{
    settings.scales = 1;
    settings.scalew = 1;
    module.spectrumData[0][1] = 10;
    module.spectrumData[1][1] = 20;
    module.waveformData[0][1] = 30;
    module.waveformData[1][1] = 40;

    settings.vistype = 1;
    MeasureLevels(module, textureMeter);
    EXPECT_EQ(channelLevels.level[0], 20.0f);
    EXPECT_EQ(channelLevels.level[1], 40.0f);

    settings.vistype = 2;  // any non-zero value means spectrum
    EXPECT_EQ(MeasureFrom(0.0f, textureMeter)[0], 20.0f);

    settings.vistype = 0;
    EXPECT_EQ(MeasureFrom(0.0f, textureMeter)[0], 60.0f);
    EXPECT_EQ(channelLevels.level[1], 80.0f);
}

TEST_F(LevelMeter, BytesAreUnsigned)
{
    UseWaveform(10);
    module.waveformData[0][1] = 0xFF;  // read as -1 the sum would be 2, not 510
    EXPECT_EQ(MeasureFrom(0.0f, textureMeter)[0], 51.0f);
}

TEST_F(LevelMeter, ScalesAndClampsPerModule)
{
    UseWaveform(10000);
    FillAlternating(module.waveformData[0]);
    FillAlternating(module.waveformData[1]);

    EXPECT_EQ(MeasureFrom(0.0f, rectanglesMeter)[0], 2.88f);
    EXPECT_EQ(channelLevels.peak[0], 2.88f);

    EXPECT_EQ(MeasureFrom(0.0f, textureMeter)[1], 2.88f);

    EXPECT_EQ(MeasureFrom(0.0f, spheresMeter)[0], 2.0f);
    EXPECT_EQ(channelLevels.peak[0], 2.0f);

    // Largest possible sum, 288 * 255, over the spectrum default 500.
    settings.vistype = 1;
    settings.scales = 500;
    for (int i = 1; i < sampleCount; i += 2)
        module.spectrumData[0][i] = ((i / 2) % 2 == 0) ? 255 : 0;
    EXPECT_EQ(MeasureFrom(0.0f, textureMeter)[0], 73440.0f / 500.0f);
    EXPECT_EQ(MeasureFrom(0.0f, rectanglesMeter)[0], 3.0f);
    EXPECT_EQ(MeasureFrom(0.0f, spheresMeter)[0], 2.0f);
}

TEST_F(LevelMeter, LevelEqualToMaximumOrPeakIsKept)
{
    UseWaveform(1);
    module.waveformData[0][lastByte] = 3;  // sum 3, exactly the Rectangles maximum
    EXPECT_EQ(MeasureFrom(3.0f, rectanglesMeter)[0], 3.0f);
    EXPECT_EQ(channelLevels.peak[0], 3.0f) << "equal to the peak: nothing falls";
}

TEST_F(LevelMeter, FallVariantsOnAFallingSignal)
{
    UseWaveform(10);
    module.waveformData[0][lastByte] = 5;  // measured 0.5
    module.waveformData[1][lastByte] = 5;
    settings.fallStep = 0.077f;
    const float dropped = 1.0f - 0.077f;

    EXPECT_EQ(MeasureFrom(1.0f, rectanglesMeter)[0], dropped);
    EXPECT_EQ(channelLevels.peak[0], dropped);

    for (const MeterConstants* meter : {&spheresMeter, &textureMeter}) {
        SetPeaks(1.0f);
        MeasureLevels(module, *meter);
        EXPECT_EQ(channelLevels.level[1], 1.0f);
        EXPECT_EQ(channelLevels.peak[1], dropped);
    }
}

TEST_F(LevelMeter, FirstFramesAfterStartSweepDownFromTwo)
{
    UseWaveform(10000);
    settings.fallStep = 77 * 0.001f;
    EXPECT_EQ(MeasureFrom(2.0f, rectanglesMeter)[0], 2.0f - settings.fallStep);
    EXPECT_EQ(MeasureFrom(2.0f, spheresMeter)[0], 2.0f);
}

TEST_F(LevelMeter, SilenceSettlesAtZeroOrTheFloor)
{
    UseWaveform(10000);
    settings.fallStep = 0.077f;

    SetPeaks(0.05f);
    MeasureLevels(module, rectanglesMeter);
    EXPECT_LT(channelLevels.level[0], 0.0f) << "one frame below zero";
    EXPECT_EQ(channelLevels.level[0], channelLevels.peak[0]);
    EXPECT_NEAR(channelLevels.level[0], -0.027f, 1e-6f);
    MeasureLevels(module, rectanglesMeter);
    EXPECT_EQ(channelLevels.level[0], 0.0f);
    EXPECT_EQ(channelLevels.peak[0], 0.0f);

    for (const MeterConstants* meter : {&spheresMeter, &textureMeter}) {
        SetPeaks(1.0f);
        for (int frame = 0; frame < 40; ++frame)
            MeasureLevels(module, *meter);
        EXPECT_EQ(channelLevels.level[0], 0.04f);
        EXPECT_EQ(channelLevels.peak[0], 0.0f) << "the floor never lifts the peak";
    }
}

TEST_F(LevelMeter, FloorAppliesOnBothBranches)
{
    UseWaveform(100);
    module.waveformData[0][lastByte] = 1;  // 0.01, below the floor
    SetPeaks(0.0f);
    MeasureLevels(module, spheresMeter);
    EXPECT_EQ(channelLevels.level[0], 0.04f) << "rising branch";
    EXPECT_EQ(channelLevels.peak[0], 0.01f);

    SetPeaks(0.02f);
    MeasureLevels(module, spheresMeter);
    EXPECT_EQ(channelLevels.level[0], 0.04f) << "falling branch";
}

TEST_F(LevelMeter, DivisorZero)
{
    UseWaveform(0);
    settings.fallStep = 0.077f;
    // Non-zero sum: +infinity, clamped to each module's maximum.
    module.waveformData[0][1] = 1;
    EXPECT_EQ(MeasureFrom(0.0f, rectanglesMeter)[0], 3.0f);
    EXPECT_EQ(MeasureFrom(0.0f, textureMeter)[0], 255.0f);

    // Zero sum: NaN, which takes the falling branch and never reaches the scene.
    EXPECT_EQ(MeasureFrom(1.0f, rectanglesMeter)[1], 1.0f - 0.077f);
    EXPECT_EQ(channelLevels.peak[1], 1.0f - 0.077f);
    EXPECT_EQ(MeasureFrom(0.0f, spheresMeter)[1], 0.04f);
    EXPECT_EQ(channelLevels.peak[1], -0.077f);
    EXPECT_FALSE(std::isnan(channelLevels.peak[1]));
}

TEST_F(LevelMeter, DivisorChangesShowInTheNextCall)
{
    UseWaveform(10000);
    FillAlternating(module.waveformData[0]);
    EXPECT_EQ(MeasureFrom(0.0f, textureMeter)[0], 2.88f);
    settings.scalew = 10100;
    EXPECT_EQ(MeasureFrom(0.0f, textureMeter)[0], 28800.0f / 10100.0f);
}

}  // namespace
