// Which of the base class's frames the element shows, and from which samples.
// GstAudioVisualizer renders a window of a frame's worth of samples once
// per input buffer and once more for every frame's worth the buffer holds,
// the windows overlapping: more frames than the frame rate, at uneven times.
// A video wants one frame per 1/fps: the first window whose newest block of
// 576 samples starts no earlier than half a frame before the frame's time
// is shown, stamped with that time; the others are dropped undrawn.
#pragma once

#include <gst/gst.h>

#include <cstdint>

// A power of two above 576: at high frame rates a window holds fewer
// samples than a block, the rest comes from the windows before.
constexpr int ringSamples = 1024;

struct FramePacing {
    int rate;
    int fpsN;
    int fpsD;
    bool started;             // the first window after a start or flush sets the grid
    GstClockTime gridStart;
    guint64 frame;            // the next frame's number on the grid
    std::int16_t ring[2][ringSamples];  // by absolute sample number, modulo the size
};

// A new grid and silence before the stream; the next window starts it.
void StartPacing(FramePacing& pacing, int rate, int fpsN, int fpsD);

// New caps: a changed frame rate goes on from where the old one's next frame
// would have been.
void ChangePacing(FramePacing& pacing, int rate, int fpsN, int fpsD);

struct PacedFrame {
    bool shown;
    GstClockTime pts;
    GstClockTime duration;
};

// Takes a window of `count` interleaved frames starting at `start`; when it
// is shown, `left` and `right` get the 576 samples that end it (a mono
// stream's on both).
PacedFrame PaceWindow(FramePacing& pacing, const std::int16_t* samples, long count, int channels, GstClockTime start,
                      std::int16_t* left, std::int16_t* right);
