// Which samples each frame shows, and when the next frame is due.
#pragma once

// First sample of the block that a frame shows. The player keeps what it
// plays as consecutive blocks of 576 samples and hands over the block whose
// time is nearest the moment wanted:
//  - paced runs: the playback position, `elapsed` seconds since the run
//    started, plus the module's latency; slow frames skip blocks;
//  - offline renders: frame / renderFps, the moment the frame is shown in a
//    video (a video has no display delay to make up for);
//  - unpaced runs: one block per frame, so measurements see fresh samples.
long long PacedBlockStart(double elapsed, int latencyMs, int rate);
long long OfflineBlockStart(long frame, double renderFps, int rate);
long long UnpacedBlockStart(long frame);

// When the frame after the one that ended at `now` is due, `period` seconds
// after the one that was due at `due`: a frame that runs late moves the
// schedule on instead of bringing a burst of frames.
double NextFrameDue(double due, double now, double period);

// Frames an offline render makes of `frameCount` samples at `rate`: every
// frame whose time lies inside the audio.
long OfflineFrameCount(double renderFps, long long frameCount, int rate);

// Frames per audio second of an offline render: the rate asked for when
// above 0, otherwise the pace the player gives a module of this delay.
double OfflineRenderFps(double asked, int delayMs);
