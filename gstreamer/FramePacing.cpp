#include "gstreamer/FramePacing.h"

#include "audio/AudioClock.h"
#include "audio/SampleBytes.h"

#include <algorithm>

namespace {

GstClockTime FrameTime(const FramePacing& pacing, guint64 frame)
{
    return pacing.gridStart + gst_util_uint64_scale(frame, GST_SECOND * pacing.fpsD, pacing.fpsN);
}

double Fps(const FramePacing& pacing)
{
    return static_cast<double>(pacing.fpsN) / pacing.fpsD;
}

// The same block as --render's frame of this number, counted from the grid's start.
gint64 BlockStart(const FramePacing& pacing, guint64 frame)
{
    return pacing.gridSample + OfflineBlockStart(static_cast<long>(frame), Fps(pacing), pacing.rate);
}

// Room for a whole window and a block before it.
void SizeRing(FramePacing& pacing, int windowSamples)
{
    std::size_t size = 1024;
    while (size < static_cast<std::size_t>(windowSamples) + 2 * blockSamples)
        size *= 2;
    if (pacing.left.size() != size) {
        pacing.left.assign(size, 0);
        pacing.right.assign(size, 0);
    }
}

}  // namespace

void StartPacing(FramePacing& pacing, int rate, int fpsN, int fpsD, int windowSamples)
{
    pacing.rate = rate;
    pacing.fpsN = fpsN;
    pacing.fpsD = fpsD;
    pacing.started = false;
    pacing.frame = 0;
    SizeRing(pacing, windowSamples);
    std::fill(pacing.left.begin(), pacing.left.end(), 0);
    std::fill(pacing.right.begin(), pacing.right.end(), 0);
}

void ChangePacing(FramePacing& pacing, int rate, int fpsN, int fpsD, int windowSamples)
{
    if (rate != pacing.rate) {
        StartPacing(pacing, rate, fpsN, fpsD, windowSamples);
        return;
    }
    if (pacing.started && (fpsN != pacing.fpsN || fpsD != pacing.fpsD)) {
        pacing.gridStart = FrameTime(pacing, pacing.frame);
        pacing.gridSample = static_cast<gint64>(gst_util_uint64_scale_round(pacing.gridStart, rate, GST_SECOND));
        pacing.frame = 0;
    }
    pacing.fpsN = fpsN;
    pacing.fpsD = fpsD;
    // A larger ring starts silent: at worst one frame shows less of its block.
    SizeRing(pacing, windowSamples);
}

PacedFrame PaceWindow(FramePacing& pacing, const std::int16_t* samples, long count, int channels, GstClockTime start,
                      std::int16_t* left, std::int16_t* right)
{
    // Audio without times has no grid: every window shows its newest samples.
    if (!GST_CLOCK_TIME_IS_VALID(start)) {
        for (int i = 0; i < blockSamples; ++i) {
            const long sample = count - blockSamples + i;
            left[i] = sample < 0 ? 0 : samples[sample * channels];
            right[i] = sample < 0 ? 0 : samples[sample * channels + channels - 1];
        }
        return {true, GST_CLOCK_TIME_NONE, GST_CLOCK_TIME_NONE};
    }
    const gint64 first = static_cast<gint64>(gst_util_uint64_scale_round(start, pacing.rate, GST_SECOND));
    const gint64 end = first + count;
    const gint64 mask = static_cast<gint64>(pacing.left.size()) - 1;
    for (long i = std::max(0L, count - static_cast<long>(mask + 1)); i < count; ++i) {
        pacing.left[(first + i) & mask] = samples[i * channels];
        pacing.right[(first + i) & mask] = samples[i * channels + channels - 1];
    }
    if (!pacing.started) {
        pacing.started = true;
        pacing.gridStart = start;
        pacing.gridSample = first;
        pacing.frame = 0;
    }
    gint64 block = BlockStart(pacing, pacing.frame);
    if (block + blockSamples > end)
        return {false, GST_CLOCK_TIME_NONE, GST_CLOCK_TIME_NONE};
    // After a gap in the audio the grid catches up to the newest complete
    // block rather than stamping frames behind the sound.
    if (block < end - mask - 1 + blockSamples) {
        const double seconds = static_cast<double>(end - blockSamples - pacing.gridSample) / pacing.rate;
        pacing.frame = std::max<guint64>(pacing.frame, static_cast<guint64>(seconds * Fps(pacing)));
        while (pacing.frame > 0 && BlockStart(pacing, pacing.frame) + blockSamples > end)
            --pacing.frame;
        block = BlockStart(pacing, pacing.frame);
    }
    for (int i = 0; i < blockSamples; ++i) {
        left[i] = pacing.left[(block + i) & mask];
        right[i] = pacing.right[(block + i) & mask];
    }
    const GstClockTime pts = FrameTime(pacing, pacing.frame);
    ++pacing.frame;
    return {true, pts, FrameTime(pacing, pacing.frame) - pts};
}
