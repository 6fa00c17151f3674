// Stereo 16-bit samples for the host to show: a built-in synthesized signal,
// silence, or a PCM WAV file.
#pragma once

#include "host/HostOptions.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int synthesizedRate = 44100;

// A decoded WAV file, mono already copied to both channels.
struct WavData {
    int rate = 0;
    int channels = 0;
    std::vector<std::int16_t> left;
    std::vector<std::int16_t> right;
};

struct SignalSource {
    SignalKind kind = SignalKind::Synthesized;
    int rate = synthesizedRate;
    WavData wav;
};

// The built-in signal at sample n, an eight-second loop at 120 beats a
// minute: a kick on every beat, a plucked bass on every eighth, a chord of
// three rich notes that ducks under the kick, a snare on the second and
// fourth beats and a hi-hat of fixed pseudo-noise on every eighth. The chord's
// notes, the snare and the hi-hat are panned, so the channels differ.
std::int16_t SynthesizedSample(long long n, int channel);

// Reads a RIFF/WAVE file of 16-bit PCM, mono or stereo. False with a message
// saying what is wrong when it is not one.
bool ParseWav(const std::vector<unsigned char>& file, WavData& wav, std::string& error);
bool LoadWavFile(const std::string& path, WavData& wav, std::string& error);

// 576 samples of each channel from sample `start` on; past a file's end, silence.
void FillBlock(const SignalSource& source, long long start, std::int16_t* left, std::int16_t* right);
