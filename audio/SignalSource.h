// Stereo 16-bit samples for the host to show: a built-in synthesized signal,
// silence, or a WAV file.
#pragma once

#include "audio/WavReader.h"

#include <cstdint>

constexpr int synthesizedRate = 44100;

enum class SignalKind {
    Synthesized,
    Silence,
    WavFile,
};

struct SignalSource {
    SignalKind kind = SignalKind::Synthesized;
    int rate = synthesizedRate;
    WavReader wav;
};

// The built-in signal at sample n, an eight-second loop at 120 beats a
// minute: a kick on every beat, a plucked bass on every eighth, a chord of
// three rich notes that ducks under the kick, a snare on the second and
// fourth beats and a hi-hat of fixed pseudo-noise on every eighth. The chord's
// notes, the snare and the hi-hat are panned, so the channels differ.
std::int16_t SynthesizedSample(long long n, int channel);

// 576 samples of each channel from sample `start` on; outside a file, silence.
// False when the file can no longer be read.
bool FillBlock(SignalSource& source, long long start, std::int16_t* left, std::int16_t* right);
