#include "host/SignalSource.h"

#include "host/SampleBytes.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int beatSamples = synthesizedRate / 2;  // 120 beats a minute

// Every frequency is a whole number of hertz, so one second of a sine serves
// them all and the signal needs no transcendental call per sample.
struct Voice {
    int beatOffset;  // samples after the left channel's beat
    int kickHz;
    int toneHz;
    int highHz;
};

constexpr Voice voices[2] = {
    {0, 70, 440, 1760},
    {beatSamples / 2, 55, 660, 2640},
};

const std::vector<double>& SineTable()
{
    static const std::vector<double> table = [] {
        std::vector<double> values(synthesizedRate);
        for (int i = 0; i < synthesizedRate; ++i)
            values[i] = std::sin(2.0 * pi * i / synthesizedRate);
        return values;
    }();
    return table;
}

// The beat's decay, exp(-8 t), over one beat.
const std::vector<double>& KickTable()
{
    static const std::vector<double> table = [] {
        std::vector<double> values(beatSamples);
        for (int i = 0; i < beatSamples; ++i)
            values[i] = std::exp(-8.0 * i / synthesizedRate);
        return values;
    }();
    return table;
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
    const Voice& voice = voices[channel];
    const std::vector<double>& sine = SineTable();
    // The whole signal repeats every four seconds.
    const int cycle = Wrap(n, 4 * synthesizedRate);
    const int second = cycle % synthesizedRate;
    const double kick = KickTable()[(second - voice.beatOffset + beatSamples) % beatSamples];
    // A 0.25 Hz swell on the middle tone, a quarter turn apart in the two
    // channels, so the levels drift between beats too.
    const double swell = 0.5 + 0.5 * sine[(cycle / 4 + channel * synthesizedRate / 4) % synthesizedRate];
    const double value = 0.45 * kick * sine[voice.kickHz * second % synthesizedRate] +
                         0.20 * swell * sine[voice.toneHz * second % synthesizedRate] +
                         0.12 * kick * sine[voice.highHz * second % synthesizedRate];
    // Rounded half away from zero; |value| < 1 keeps it in range.
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
