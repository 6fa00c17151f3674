#include "audio/Fft.h"

#include <cmath>
#include <utility>

namespace {

constexpr double pi = 3.14159265358979323846;

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

}  // namespace

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
