#include "scenes/LevelMeter.h"

#include "settings/Settings.h"

#include <cstdlib>

ChannelLevels channelLevels = {};

namespace {

// Only byte 0 and the odd positions are read: |b0-b1| + |b1-b3| + ... + |b573-b575|.
float SumDifferences(const unsigned char (&bytes)[sampleCount])
{
    float sum = 0.0f;
    int previous = bytes[0];
    for (int i = 1; i < sampleCount; i += 2) {
        sum += static_cast<float>(std::abs(previous - bytes[i]));
        previous = bytes[i];
    }
    return sum;
}

void FollowPeak(int channel, const MeterConstants& constants)
{
    float& level = channelLevels.level[channel];
    float& peak = channelLevels.peak[channel];
    // A NaN level (0/0) fails this test and so takes the falling branch.
    if (level >= peak) {
        peak = level;
    } else if (constants.fall == FallVariant::TakeDroppedPeak) {
        peak -= settings.fallStep;
        level = peak;
    } else {
        level = peak;
        peak -= settings.fallStep;
    }
    if (level < constants.floor)
        level = constants.floor;
}

}  // namespace

void MeasureLevels(const VisModule& module, const MeterConstants& constants)
{
    const bool spectrum = settings.vistype != 0;
    for (int channel = 0; channel < 2; ++channel) {
        const auto& bytes = spectrum ? module.spectrumData[channel] : module.waveformData[channel];
        const int divisor = spectrum ? settings.scales : settings.scalew;
        float level = SumDifferences(bytes) / static_cast<float>(divisor);
        if (level > constants.maximum)
            level = constants.maximum;
        channelLevels.level[channel] = level;
        FollowPeak(channel, constants);
    }
}

void StartLevelMeter()
{
    settings.fallStep = settings.fallspeed * 0.001f;
    channelLevels.peak = {2.0f, 2.0f};
}
