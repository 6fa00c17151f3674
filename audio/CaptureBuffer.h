// The newest samples of a live source as stereo 16-bit, on the audio clock:
// packets go in as the device delivers them, and a gap in the packets is
// silence, so a frame always has a block to show.
#pragma once

#include "audio/WavReader.h"

#include <cstdint>
#include <vector>

// About 2.7 s at 48 kHz: far more than a block and any lookback.
constexpr int captureRingFrames = 1 << 17;
// No packet for this long counts as silence (real loopback sends nothing
// while nothing plays); shorter gaps are the device's own rhythm.
constexpr double captureGapSeconds = 0.1;

struct CaptureBuffer {
    WavFormat format;  // of the packets: rate, channels, encoding, bytes per sample
    std::vector<std::int16_t> left;
    std::vector<std::int16_t> right;
    long long written = 0;      // frames since the stream opened, silence included
    double lastPacket = 0.0;    // seconds, when the last packet came
    long long packetEnd = 0;    // `written` then
};

// Empties the buffer for a stream of `format` that opens at `now`.
void StartCaptureBuffer(CaptureBuffer& buffer, const WavFormat& format, double now);

// `count` interleaved frames of the buffer's format; null for a packet the
// device marks silent.
void AppendPacket(CaptureBuffer& buffer, const unsigned char* frames, long count, double now);

// Adds silence up to `now` once the packets have stopped for longer than
// captureGapSeconds.
void KeepCaptureClock(CaptureBuffer& buffer, double now);

// The block the module wants: `latencyMs` after the newest sample, as the
// player looks ahead of what it plays. Nothing live lies ahead, so that is
// the newest whole block; before the first block, silence.
void CaptureBlock(const CaptureBuffer& buffer, int latencyMs, std::int16_t* left, std::int16_t* right);
