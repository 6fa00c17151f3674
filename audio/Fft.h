// The 512-point complex FFT the spectrum bytes are made with.
#pragma once

#include <array>

constexpr int fftSize = 512;

// Plain arithmetic: std::complex's operators carry NaN checks and hypot calls
// that cost more than the transform itself.
struct Complex {
    double re;
    double im;
};

// In place, iterative radix-2, forward (e^-i).
void Fft(std::array<Complex, fftSize>& data);
