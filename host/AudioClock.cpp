#include "host/AudioClock.h"

#include "host/SampleBytes.h"

#include <algorithm>
#include <cmath>

long long FrameBlockStart(const HostOptions& options, int latencyMs, int rate, long frame, double elapsed)
{
    double seconds = 0.0;
    switch (options.pacing) {
    case Pacing::Unpaced:
        return static_cast<long long>(frame) * blockSamples;
    case Pacing::Offline:
        seconds = frame / options.renderFps;
        break;
    case Pacing::ModuleDelay:
    case Pacing::TargetFps:
        seconds = elapsed + latencyMs / 1000.0;
        break;
    }
    // Clamped so that no latency, however absurd, overflows the index.
    const double block = std::clamp(std::round(seconds * rate / blockSamples), 0.0, 1e15);
    return static_cast<long long>(block) * blockSamples;
}

double NextFrameDue(const HostOptions& options, int delayMs, double due, double now)
{
    switch (options.pacing) {
    case Pacing::ModuleDelay:
        return now + std::max(delayMs, 0) / 1000.0;
    case Pacing::TargetFps:
        return std::max(due + 1.0 / options.fps, now);
    case Pacing::Unpaced:
    case Pacing::Offline:
        break;
    }
    return now;
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
