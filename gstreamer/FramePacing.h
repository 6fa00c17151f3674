// Which of the base class's frames the element shows, and from which samples.
// GstAudioVisualizer renders a window of a frame's worth of samples once
// per input buffer and once more for every frame's worth the buffer holds,
// the windows overlapping: more frames than the frame rate, at uneven times.
// A video wants one frame per 1/fps, showing what the player shows: the
// block of 576 samples nearest the frame's time, as `brimwave --render`
// takes it. The first window that completes a frame's block is shown,
// stamped with the frame's time; the others are dropped undrawn. The
// windows' samples are kept, as a block may begin in an earlier window.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <vector>

struct FramePacing {
    int rate = 0;
    int fpsN = 1;
    int fpsD = 1;
    bool started = false;       // the first window after a start or flush sets the grid
    GstClockTime gridStart = 0;
    gint64 gridSample = 0;      // gridStart in samples
    guint64 frame = 0;          // the next frame's number on the grid
    std::vector<std::int16_t> left;   // by absolute sample number, modulo the size
    std::vector<std::int16_t> right;
};

// A new grid and silence before the stream, for windows of up to
// `windowSamples`; the next window starts the grid.
void StartPacing(FramePacing& pacing, int rate, int fpsN, int fpsD, int windowSamples);

// New caps: a changed frame rate goes on from where the old one's next frame
// would have been.
void ChangePacing(FramePacing& pacing, int rate, int fpsN, int fpsD, int windowSamples);

struct PacedFrame {
    bool shown;
    GstClockTime pts;
    GstClockTime duration;
};

// Takes a window of `count` interleaved frames starting at `start`; when it
// is shown, `left` and `right` get the frame's block (a mono stream's on both).
// A window of no time is always shown, with its newest samples and no time.
PacedFrame PaceWindow(FramePacing& pacing, const std::int16_t* samples, long count, int channels, GstClockTime start,
                      std::int16_t* left, std::int16_t* right);
