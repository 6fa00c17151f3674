#include "audio/CaptureBuffer.h"

#include "audio/AudioClock.h"
#include "audio/SampleBytes.h"

#include <algorithm>
#include <cmath>

namespace {

void Put(CaptureBuffer& buffer, std::int16_t left, std::int16_t right)
{
    const int at = static_cast<int>(buffer.written % captureRingFrames);
    buffer.left[at] = left;
    buffer.right[at] = right;
    ++buffer.written;
}

void AppendSilence(CaptureBuffer& buffer, long long count)
{
    // Beyond a whole ring, only the count matters.
    const long long skipped = std::max(0LL, count - captureRingFrames);
    buffer.written += skipped;
    for (long long i = skipped; i < count; ++i)
        Put(buffer, 0, 0);
}

}  // namespace

void StartCaptureBuffer(CaptureBuffer& buffer, const WavFormat& format, double now)
{
    buffer.format = format;
    buffer.left.assign(captureRingFrames, 0);
    buffer.right.assign(captureRingFrames, 0);
    buffer.written = 0;
    buffer.lastPacket = now;
    buffer.packetEnd = 0;
}

void AppendPacket(CaptureBuffer& buffer, const unsigned char* frames, long count, double now)
{
    const WavFormat& format = buffer.format;
    if (frames == nullptr) {
        AppendSilence(buffer, count);
    } else {
        const int frameBytes = format.channels * format.bytesPerSample;
        const int second = format.channels > 1 ? format.bytesPerSample : 0;
        for (long i = 0; i < count; ++i) {
            const unsigned char* frame = frames + static_cast<long long>(i) * frameBytes;
            Put(buffer, Sample16(frame, format), Sample16(frame + second, format));
        }
    }
    buffer.lastPacket = now;
    buffer.packetEnd = buffer.written;
}

void KeepCaptureClock(CaptureBuffer& buffer, double now)
{
    const double silent = now - buffer.lastPacket - captureGapSeconds;
    if (silent <= 0.0)
        return;
    // Clamped so that no pause, however long, overflows the count.
    const long long due = buffer.packetEnd + static_cast<long long>(std::min(silent * buffer.format.rate, 1e15));
    if (due > buffer.written)
        AppendSilence(buffer, due - buffer.written);
}

void CaptureBlock(const CaptureBuffer& buffer, int latencyMs, std::int16_t* left, std::int16_t* right)
{
    const int rate = std::max(buffer.format.rate, 1);
    const long long newest = (buffer.written / blockSamples - 1) * blockSamples;
    const long long start = std::min(PacedBlockStart(static_cast<double>(buffer.written) / rate, latencyMs, rate), newest);
    for (int i = 0; i < blockSamples; ++i) {
        const long long n = start + i;
        const bool kept = n >= 0 && n < buffer.written && n >= buffer.written - captureRingFrames;
        left[i] = kept ? buffer.left[n % captureRingFrames] : 0;
        right[i] = kept ? buffer.right[n % captureRingFrames] : 0;
    }
}
