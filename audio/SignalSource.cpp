#include "audio/SignalSource.h"

#include "audio/SampleBytes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int beatSamples = synthesizedRate / 2;  // 120 beats a minute
constexpr int eighthSamples = beatSamples / 2;
constexpr int barSamples = 4 * beatSamples;
constexpr int loopSamples = 4 * barSamples;  // four bars, eight seconds

// Every pitch is a whole number of hertz and the loop a whole number of
// seconds, so a one-second table of a note's waveform serves every pitch
// (index pitch * n mod rate) and nothing jumps where the loop starts again.
struct Bar {
    int bassHz;
    std::array<int, 3> chordHz;
};

// A minor, F, C, G.
constexpr std::array<Bar, 4> bars = {{
    {55, {220, 262, 330}},
    {44, {175, 220, 262}},
    {65, {196, 262, 330}},
    {49, {196, 247, 294}},
}};

// Peak gains of the parts, per channel (left, right). The tables peak at 1,
// so the gains' sum bounds the mix below full scale.
constexpr double kickGain = 0.24;
constexpr double bassGain = 0.13;
constexpr std::array<std::array<double, 2>, 3> chordGain = {{{0.12, 0.05}, {0.09, 0.09}, {0.05, 0.12}}};
constexpr std::array<double, 2> snareGain = {0.12, 0.06};
constexpr std::array<double, 2> hatGain = {0.11, 0.16};

constexpr double PeakSum(int channel)
{
    return kickGain + bassGain + chordGain[0][channel] + chordGain[1][channel] + chordGain[2][channel] +
           snareGain[channel] + hatGain[channel];
}
static_assert(PeakSum(0) < 0.98 && PeakSum(1) < 0.98, "the mix must stay within 16 bits");

struct Tables {
    std::vector<float> chordWave;  // one second, harmonics 1..12
    std::vector<float> bassWave;   // one second, harmonics 1..6
    std::vector<float> kick;       // one beat: falling pitch, fast decay
    std::vector<float> bassPluck;  // one eighth's envelope
    std::vector<float> pump;       // one beat: the chord ducks under the kick
    std::vector<float> snare;      // one beat of band-passed noise
    std::vector<float> hat;        // one eighth of high-passed noise
};

void Normalise(std::vector<float>& values)
{
    float peak = 0.0f;
    for (float v : values)
        peak = std::max(peak, std::abs(v));
    for (float& v : values)
        v /= peak;
}

// Harmonic k at amplitude 1/k: a sawtooth-like timbre with spectral lines all
// the way up, as an instrument gives. Harmonic k of a one-second table is the
// sine table read k times faster.
std::vector<float> HarmonicWave(const std::vector<float>& sine, int harmonics)
{
    std::vector<float> values(synthesizedRate);
    for (int i = 0; i < synthesizedRate; ++i) {
        float sum = 0.0f;
        for (int k = 1; k <= harmonics; ++k)
            sum += sine[static_cast<long long>(k) * i % synthesizedRate] / k;
        values[i] = sum;
    }
    Normalise(values);
    return values;
}

// exp(-rate t) after a 2 ms rise, so no hit starts with a click.
std::vector<float> Decay(int length, double rate)
{
    constexpr int rise = synthesizedRate / 500;
    std::vector<float> values(length);
    for (int i = 0; i < length; ++i)
        values[i] = static_cast<float>(std::min(1.0, i / static_cast<double>(rise)) *
                                       std::exp(-rate * i / synthesizedRate));
    return values;
}

// Random signs from a fixed xorshift seed: the same noise on every run, and
// with the lowest ratio of peak to power, so it can be loud without clipping.
std::vector<float> Noise(int length)
{
    std::vector<float> values(length);
    std::uint32_t state = 0x2545F491u;
    for (float& v : values) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        v = state & 1 ? 1.0f : -1.0f;
    }
    return values;
}

Tables MakeTables()
{
    Tables tables;
    std::vector<float> sine(synthesizedRate);
    for (int i = 0; i < synthesizedRate; ++i)
        sine[i] = static_cast<float>(std::sin(2.0 * pi * i / synthesizedRate));
    tables.chordWave = HarmonicWave(sine, 12);
    tables.bassWave = HarmonicWave(sine, 6);

    // 150 Hz falling to 50 Hz.
    tables.kick = Decay(beatSamples, 9.0);
    double phase = 0.0;
    for (int i = 0; i < beatSamples; ++i) {
        tables.kick[i] *= static_cast<float>(std::sin(phase));
        phase += 2.0 * pi * (50.0 + 100.0 * std::exp(-30.0 * i / synthesizedRate)) / synthesizedRate;
    }

    tables.bassPluck = Decay(eighthSamples, 5.0);
    const std::vector<float> duck = Decay(beatSamples, 7.0);
    tables.pump.resize(beatSamples);
    for (int i = 0; i < beatSamples; ++i)
        tables.pump[i] = 1.0f - 0.7f * duck[i];

    // Snare: a one-pole low-pass then a difference leaves the middle band.
    const std::vector<float> noise = Noise(beatSamples);
    tables.snare = Decay(beatSamples, 14.0);
    float low = 0.0f;
    float previousLow = 0.0f;
    for (int i = 0; i < beatSamples; ++i) {
        low += 0.5f * (noise[i] - low);
        tables.snare[i] *= low - previousLow;
        previousLow = low;
    }
    Normalise(tables.snare);

    // Hi-hat: a second difference keeps the top octaves.
    tables.hat = Decay(eighthSamples, 8.0);
    for (int i = 0; i < eighthSamples; ++i)
        tables.hat[i] *= noise[i + 2] - 2.0f * noise[i + 1] + noise[i];
    Normalise(tables.hat);
    return tables;
}

const Tables& SynthTables()
{
    static const Tables tables = MakeTables();
    return tables;
}

// 0..period-1 for any n, negative ones too.
int Wrap(long long n, int period)
{
    return static_cast<int>(((n % period) + period) % period);
}

}  // namespace

std::int16_t SynthesizedSample(long long n, int channel)
{
    const Tables& tables = SynthTables();
    const int at = Wrap(n, loopSamples);
    const Bar& bar = bars[at / barSamples];
    const int inBar = at % barSamples;
    const int beat = inBar / beatSamples;
    const int inBeat = inBar % beatSamples;
    const int eighth = inBar / eighthSamples;
    const int inEighth = inBar % eighthSamples;
    auto wave = [at](const std::vector<float>& table, int hz) {
        return table[static_cast<long long>(hz) * at % synthesizedRate];
    };

    double value = kickGain * tables.kick[inBeat];
    // The bass an octave up on the off-beats.
    value += bassGain * tables.bassPluck[inEighth] * wave(tables.bassWave, bar.bassHz << (eighth & 1));
    double chord = 0.0;
    for (int note = 0; note < 3; ++note)
        chord += chordGain[note][channel] * wave(tables.chordWave, bar.chordHz[note]);
    value += tables.pump[inBeat] * chord;
    // Snare on the second and fourth beats; the hi-hat on every eighth, loudest off the beat.
    if (beat & 1)
        value += snareGain[channel] * tables.snare[inBeat];
    value += (eighth & 1 ? 1.0 : 0.6) * hatGain[channel] * tables.hat[inEighth];
    // Rounded half away from zero; the gains keep |value| < 1.
    const double scaled = value * 32767.0;
    return static_cast<std::int16_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
}

bool FillBlock(SignalSource& source, long long start, std::int16_t* left, std::int16_t* right)
{
    switch (source.kind) {
    case SignalKind::Synthesized:
        for (int i = 0; i < blockSamples; ++i) {
            left[i] = SynthesizedSample(start + i, 0);
            right[i] = SynthesizedSample(start + i, 1);
        }
        return true;
    case SignalKind::Silence:
        std::fill(left, left + blockSamples, 0);
        std::fill(right, right + blockSamples, 0);
        return true;
    case SignalKind::WavFile:
        return ReadWavFrames(source.wav, start, blockSamples, left, right);
    }
    return false;
}
