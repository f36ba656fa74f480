// The waveform table: 100 single-cycle waveforms of 256 signed 8-bit samples.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace assets {

inline constexpr int kWaveformCount = 100;
inline constexpr int kWaveformLength = 256;

// The whole table, waveform after waveform (25 600 bytes).
std::vector<int8_t> MakeWaveTable();
// One line about waveform `n`'s character.
const char* WaveformDescription(int n);

// Sign changes around the cycle: the number of positions i (0..255) where sample i and
// sample (i + 1) mod 256 fall on different sides, "negative" (< 0) and "not negative" (>= 0).
int CountSignChanges(const int8_t* wave);

}  // namespace assets
