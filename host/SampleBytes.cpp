#include "host/SampleBytes.h"

#include "player/VisModule.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int binCount = fftSize / 2;
constexpr double pi = 3.14159265358979323846;
// Plain arithmetic: std::complex's operators carry NaN checks and hypot calls
// that cost more than the transform itself.
struct Complex {
    double re;
    double im;
};

const std::array<Complex, fftSize / 2>& Twiddles()
{
    static const std::array<Complex, fftSize / 2> table = [] {
        std::array<Complex, fftSize / 2> values;
        for (int k = 0; k < fftSize / 2; ++k)
            values[k] = {std::cos(2.0 * pi * k / fftSize), -std::sin(2.0 * pi * k / fftSize)};
        return values;
    }();
    return table;
}

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

// In-place iterative radix-2 transform.
void Fft(std::array<Complex, fftSize>& data)
{
    for (int i = 1, j = 0; i < fftSize; ++i) {
        int bit = fftSize >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(data[i], data[j]);
    }
    const auto& twiddles = Twiddles();
    for (int length = 2; length <= fftSize; length <<= 1) {
        const int stride = fftSize / length;
        for (int start = 0; start < fftSize; start += length) {
            for (int k = 0; k < length / 2; ++k) {
                const Complex even = data[start + k];
                const Complex in = data[start + k + length / 2];
                const Complex w = twiddles[k * stride];
                const Complex odd = {in.re * w.re - in.im * w.im, in.re * w.im + in.im * w.re};
                data[start + k] = {even.re + odd.re, even.im + odd.im};
                data[start + k + length / 2] = {even.re - odd.re, even.im - odd.im};
            }
        }
    }
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
