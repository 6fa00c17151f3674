// Reduces a module's sample bytes to one level per channel with a held peak.
#pragma once

#include "player/VisModule.h"

#include <array>
#include <limits>

struct ChannelLevels {
    std::array<float, 2> level;  // drawn this frame; index 0 is the left channel
    std::array<float, 2> peak;   // held peak, carried from frame to frame
};

extern ChannelLevels channelLevels;

// How the shown level follows a peak that is falling back.
enum class FallVariant {
    TakeDroppedPeak,  // drop the peak first, show the dropped value
    TakePeakThenDrop, // show the peak as it was, then drop it
};

struct MeterConstants {
    float maximum;
    FallVariant fall;
    float floor;
};

constexpr float noFloor = -std::numeric_limits<float>::infinity();

constexpr MeterConstants rectanglesMeter = {3.0f, FallVariant::TakeDroppedPeak, noFloor};
constexpr MeterConstants spheresMeter = {2.0f, FallVariant::TakePeakThenDrop, 0.04f};
constexpr MeterConstants textureMeter = {255.0f, FallVariant::TakePeakThenDrop, 0.04f};

void MeasureLevels(const VisModule& module, const MeterConstants& constants);

// A module's start, before its first frame: the fall step derived from the
// settings and both held peaks at 2.0.
void StartLevelMeter();
