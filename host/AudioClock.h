// Which samples each frame shows, and when a paced run renders the next frame.
#pragma once

#include "host/HostOptions.h"

// First sample of the block that frame `frame` (0-based) shows. The player
// keeps what it plays as consecutive blocks of 576 samples and hands over the
// block whose time is nearest the moment wanted:
//  - paced runs: the playback position, `elapsed` seconds of wall clock since
//    the run started, plus the module's latency; slow frames skip blocks;
//  - offline renders: frame / renderFps, the moment the frame is shown in a
//    video (a video has no display delay to make up for);
//  - unpaced runs: one block per frame, so measurements see fresh samples.
long long FrameBlockStart(const HostOptions& options, int latencyMs, int rate, long frame, double elapsed);

// Seconds after the run's start when the frame after the one that just ended
// is due; `now` is the time it ended and `due` the time it was due. A frame
// that runs late moves the schedule on instead of bringing a burst of frames.
double NextFrameDue(const HostOptions& options, int delayMs, double due, double now);

// Frames an offline render makes of `frameCount` samples at `rate`: every
// frame whose time lies inside the audio.
long OfflineFrameCount(double renderFps, long long frameCount, int rate);

// Frames per audio second of an offline render: the rate asked for when
// above 0, otherwise the pace the player gives a module of this delay.
double OfflineRenderFps(double asked, int delayMs);
