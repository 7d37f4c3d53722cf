// Byte strings and the rounding rule shared by the whole layer.
#pragma once
#include <cmath>
#include <cstdint>
#include <string>

namespace ts {

// An 8-bit string in code page 437; comparisons are byte for byte.
using Bytes = std::string;

// Nearest integer, halves to the even neighbour (23.5 -> 24, 24.5 -> 24).
inline long RoundHalfEven(double v) { return std::lrint(std::nearbyint(v)); }

// Upper-cases a to z only; every other byte stays.
inline Bytes UpperAZ(Bytes s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

// Lower-cases one byte, A to Z only.
inline char LowerAZ(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// A blank of a line: space or tab.
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace ts
