#include "audio/SampleBytes.h"

#include "audio/Fft.h"
#include "player/VisModule.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int binCount = fftSize / 2;
constexpr double pi = 3.14159265358979323846;

const std::array<double, fftSize>& HannWindow()
{
    static const std::array<double, fftSize> table = [] {
        std::array<double, fftSize> values;
        for (int n = 0; n < fftSize; ++n)
            values[n] = 0.5 - 0.5 * std::cos(2.0 * pi * n / fftSize);
        return values;
    }();
    return table;
}

}  // namespace

void WaveformBytes(const std::int16_t* samples, unsigned char* bytes)
{
    for (int i = 0; i < blockSamples; ++i)
        bytes[i] = static_cast<unsigned char>(static_cast<signed char>(samples[i] >> 8));
}

void SpectrumBytes(const std::int16_t* samples, unsigned char* bytes)
{
    // Samples in 8-bit units, so a -12 dBFS sine (amplitude 32) just reaches 255:
    // the Hann window's coherent gain of 1/2 gives a bin 32 * 512 / 4 = 4096, /16 = 256.
    std::array<Complex, fftSize> data;
    // The DC blocker starts from the first sample so a constant block gives nothing.
    double previousIn = samples[0] / 256.0;
    double previousOut = 0.0;
    for (int n = 0; n < fftSize; ++n) {
        const double in = samples[n] / 256.0;
        const double out = in - previousIn + 0.99 * previousOut;
        previousIn = in;
        previousOut = out;
        data[n] = {out * HannWindow()[n], 0.0};
    }
    Fft(data);

    std::array<int, binCount> value;
    for (int k = 0; k < binCount; ++k)
        value[k] = static_cast<int>(std::min(std::sqrt(data[k].re * data[k].re + data[k].im * data[k].im) / 16.0, 255.0));

    // Two bytes per bin: the odd byte is the bin, the even one sits between it
    // and the bin below.
    for (int k = 0; k < binCount; ++k) {
        const int below = k > 0 ? value[k - 1] : value[k];
        bytes[2 * k] = static_cast<unsigned char>((below + value[k]) / 2);
        bytes[2 * k + 1] = static_cast<unsigned char>(value[k]);
    }
    for (int i = 2 * binCount; i < blockSamples; ++i)
        bytes[i] = static_cast<unsigned char>(bytes[i - 1] / 2);
}

void WriteRecordBytes(const std::int16_t* left, const std::int16_t* right, VisModule& module)
{
    static_assert(blockSamples == sampleCount);
    WaveformBytes(left, module.waveformData[0]);
    WaveformBytes(right, module.waveformData[1]);
    SpectrumBytes(left, module.spectrumData[0]);
    SpectrumBytes(right, module.spectrumData[1]);
}
