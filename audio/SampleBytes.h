// The bytes the player writes into a module record for one channel of one
// frame, made from 576 consecutive 16-bit samples.
#pragma once

#include <cstdint>

struct VisModule;

constexpr int blockSamples = 576;

// Top byte of each sample as a signed char: silence is 0, full scale ±127.
void WaveformBytes(const std::int16_t* samples, unsigned char* bytes);

// Magnitudes of a 512-point FFT of the first 512 samples, linear in frequency
// (byte i is about i * rate / 1024 Hz) and in amplitude, 0..255.
void SpectrumBytes(const std::int16_t* samples, unsigned char* bytes);

// Both channels' waveform and spectrum rows of a module record; channel 0 is
// the left one.
void WriteRecordBytes(const std::int16_t* left, const std::int16_t* right, VisModule& module);
