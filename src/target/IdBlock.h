#pragma once

#include <QtGlobal>

#include <array>

// The eight identification bytes of a unit, in the order the module reports
// and takes them: Init, Sys, Sub, SerL, SerH, #1, #2, #3. Each holds a byte
// value 0..255.
using IdBlock = std::array<qint16, 8>;

namespace IdBlockField {
enum : size_t { Init, Sys, Sub, SerL, SerH, Id1, Id2, Id3 };
// The names the windows and the serial log give the positions.
inline constexpr std::array<const char*, 8> kNames{"Init", "Sys", "Sub", "SerL", "SerH", "#1", "#2", "#3"};
inline constexpr int kLowest = 0;
inline constexpr int kHighest = 255;
// An Init byte of 90 (0x5A) marks a unit whose ID block has been written.
inline constexpr qint16 kInitWritten = 0x5A;
} // namespace IdBlockField
