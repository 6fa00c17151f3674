#include "host/SignalSource.h"

#include "host/SampleBytes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

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

std::uint32_t ReadU32(const unsigned char* bytes)
{
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::uint16_t ReadU16(const unsigned char* bytes)
{
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
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

bool ParseWav(const std::vector<unsigned char>& file, WavData& wav, std::string& error)
{
    const std::size_t size = file.size();
    if (size < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        error = "not a RIFF/WAVE file";
        return false;
    }
    const unsigned char* format = nullptr;
    std::uint32_t formatSize = 0;
    const unsigned char* data = nullptr;
    std::uint32_t dataSize = 0;
    std::size_t at = 12;
    while (at + 8 <= size) {
        const unsigned char* chunk = file.data() + at;
        std::uint32_t chunkSize = ReadU32(chunk + 4);
        const std::size_t room = size - at - 8;
        if (std::memcmp(chunk, "data", 4) == 0) {
            // A writer that never came back to fill in the size leaves it too large.
            data = chunk + 8;
            dataSize = chunkSize > room ? static_cast<std::uint32_t>(room) : chunkSize;
        } else if (chunkSize > room) {
            error = "chunk '" + std::string(reinterpret_cast<const char*>(chunk), 4) + "' runs past the end of the file";
            return false;
        } else if (std::memcmp(chunk, "fmt ", 4) == 0) {
            format = chunk + 8;
            formatSize = chunkSize;
        }
        if (data != nullptr && format != nullptr)
            break;
        at += 8 + static_cast<std::size_t>(chunkSize) + (chunkSize & 1);  // chunks are word-aligned
    }
    if (format == nullptr) {
        error = "no 'fmt ' chunk";
        return false;
    }
    if (formatSize < 16) {
        error = "'fmt ' chunk too short";
        return false;
    }
    const int tag = ReadU16(format);
    const int channels = ReadU16(format + 2);
    const std::uint32_t rate = ReadU32(format + 4);
    const int bits = ReadU16(format + 14);
    if (tag != 1) {
        error = "format " + std::to_string(tag) + " is not PCM (1)";
        return false;
    }
    if (bits != 16) {
        error = std::to_string(bits) + "-bit samples; only 16-bit PCM is read";
        return false;
    }
    if (channels != 1 && channels != 2) {
        error = std::to_string(channels) + " channels; only mono and stereo are read";
        return false;
    }
    if (rate < 1000 || rate > 384000) {
        error = "sample rate " + std::to_string(rate) + " out of range";
        return false;
    }
    if (data == nullptr) {
        error = "no 'data' chunk";
        return false;
    }
    const std::size_t frames = dataSize / (2u * channels);
    if (frames == 0) {
        error = "no samples in the 'data' chunk";
        return false;
    }
    wav.rate = static_cast<int>(rate);
    wav.channels = channels;
    wav.left.resize(frames);
    wav.right.resize(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const unsigned char* frame = data + i * 2 * channels;
        wav.left[i] = static_cast<std::int16_t>(ReadU16(frame));
        wav.right[i] = static_cast<std::int16_t>(ReadU16(frame + 2 * (channels - 1)));
    }
    return true;
}

bool LoadWavFile(const std::string& path, WavData& wav, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open the file";
        return false;
    }
    const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ParseWav(file, wav, error);
}

void FillBlock(const SignalSource& source, long long start, std::int16_t* left, std::int16_t* right)
{
    for (int i = 0; i < blockSamples; ++i) {
        const long long n = start + i;
        switch (source.kind) {
        case SignalKind::Synthesized:
            left[i] = SynthesizedSample(n, 0);
            right[i] = SynthesizedSample(n, 1);
            break;
        case SignalKind::Silence:
            left[i] = right[i] = 0;
            break;
        case SignalKind::WavFile: {
            const bool inside = n >= 0 && n < static_cast<long long>(source.wav.left.size());
            left[i] = inside ? source.wav.left[n] : 0;
            right[i] = inside ? source.wav.right[n] : 0;
            break;
        }
        }
    }
}
