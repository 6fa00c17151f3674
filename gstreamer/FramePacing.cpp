#include "gstreamer/FramePacing.h"

#include "audio/SampleBytes.h"

#include <algorithm>
#include <cstring>

namespace {

GstClockTime FrameTime(const FramePacing& pacing, guint64 frame)
{
    return pacing.gridStart + gst_util_uint64_scale(frame, GST_SECOND * pacing.fpsD, pacing.fpsN);
}

}  // namespace

void StartPacing(FramePacing& pacing, int rate, int fpsN, int fpsD)
{
    std::memset(&pacing, 0, sizeof(pacing));
    pacing.rate = rate;
    pacing.fpsN = fpsN;
    pacing.fpsD = fpsD;
}

void ChangePacing(FramePacing& pacing, int rate, int fpsN, int fpsD)
{
    if (pacing.started && (fpsN != pacing.fpsN || fpsD != pacing.fpsD)) {
        pacing.gridStart = FrameTime(pacing, pacing.frame);
        pacing.frame = 0;
    }
    pacing.rate = rate;
    pacing.fpsN = fpsN;
    pacing.fpsD = fpsD;
}

PacedFrame PaceWindow(FramePacing& pacing, const std::int16_t* samples, long count, int channels, GstClockTime start,
                      std::int16_t* left, std::int16_t* right)
{
    const gint64 first = static_cast<gint64>(gst_util_uint64_scale_round(start, pacing.rate, GST_SECOND));
    const gint64 end = first + count;
    for (long i = std::max(0L, count - ringSamples); i < count; ++i) {
        const int slot = static_cast<int>((first + i) & (ringSamples - 1));
        pacing.ring[0][slot] = samples[i * channels];
        pacing.ring[1][slot] = samples[i * channels + channels - 1];
    }
    if (!pacing.started) {
        pacing.started = true;
        pacing.gridStart = start;
        pacing.frame = 0;
    }
    const GstClockTime halfFrame = gst_util_uint64_scale(GST_SECOND, pacing.fpsD, 2 * static_cast<guint64>(pacing.fpsN));
    const GstClockTime frameLength = gst_util_uint64_scale(GST_SECOND, pacing.fpsD, pacing.fpsN);
    // Signed: a block that ends within the first 576 samples starts before the stream.
    const gint64 blockFirst = end - blockSamples;
    const gint64 blockTime = blockFirst >= 0
                                 ? static_cast<gint64>(gst_util_uint64_scale(blockFirst, GST_SECOND, pacing.rate))
                                 : -static_cast<gint64>(gst_util_uint64_scale(-blockFirst, GST_SECOND, pacing.rate));
    GstClockTime due = FrameTime(pacing, pacing.frame);
    if (blockTime + static_cast<gint64>(halfFrame) < static_cast<gint64>(due))
        return {false, GST_CLOCK_TIME_NONE, GST_CLOCK_TIME_NONE};
    // After a gap in the audio the grid catches up rather than stamping
    // frames behind the sound.
    if (blockTime > static_cast<gint64>(due + frameLength) && blockTime > static_cast<gint64>(pacing.gridStart)) {
        pacing.frame = gst_util_uint64_scale_round(blockTime - pacing.gridStart, pacing.fpsN,
                                                   GST_SECOND * static_cast<guint64>(pacing.fpsD));
        due = FrameTime(pacing, pacing.frame);
    }
    for (int i = 0; i < blockSamples; ++i) {
        const gint64 sample = blockFirst + i;
        const bool before = sample < 0;
        const int slot = static_cast<int>(sample & (ringSamples - 1));
        left[i] = before ? 0 : pacing.ring[0][slot];
        right[i] = before ? 0 : pacing.ring[1][slot];
    }
    ++pacing.frame;
    return {true, due, FrameTime(pacing, pacing.frame) - due};
}
