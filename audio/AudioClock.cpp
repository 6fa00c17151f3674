#include "audio/AudioClock.h"

#include "audio/SampleBytes.h"

#include <algorithm>
#include <cmath>

namespace {

long long BlockNearest(double seconds, int rate)
{
    // Clamped so that no time, however absurd, overflows the index.
    const double block = std::clamp(std::round(seconds * rate / blockSamples), 0.0, 1e15);
    return static_cast<long long>(block) * blockSamples;
}

}  // namespace

long long PacedBlockStart(double elapsed, int latencyMs, int rate)
{
    return BlockNearest(elapsed + latencyMs / 1000.0, rate);
}

long long OfflineBlockStart(long frame, double renderFps, int rate)
{
    return BlockNearest(frame / renderFps, rate);
}

long long UnpacedBlockStart(long frame)
{
    return static_cast<long long>(frame) * blockSamples;
}

double NextFrameDue(double due, double now, double period)
{
    return std::max(due + std::max(period, 0.0), now);
}

long OfflineFrameCount(double renderFps, long long frameCount, int rate)
{
    const double frames = std::ceil(static_cast<double>(frameCount) * renderFps / rate - 1e-9);
    return static_cast<long>(std::min(frames, 2147483647.0));
}

double OfflineRenderFps(double asked, int delayMs)
{
    if (asked > 0)
        return asked;
    return delayMs > 0 ? std::clamp(1000.0 / delayMs, 0.01, 1000.0) : 1000.0;
}
