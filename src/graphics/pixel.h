#pragma once
#include "base/types.h"

namespace lyraban {

// Byte arithmetic shared by every drawing and blend loop. Inputs are 0..255;
// intermediates are signed 32-bit with arithmetic shifts, so results match
// bit for bit across all loops (scalar and vectorised).

// x·y/255, rounded.
inline constexpr int Mul255(int x, int y) {
  const int t = x * y + 128;
  return (t + (t >> 8)) >> 8;
}

// Moves d towards s by a/255.
inline constexpr int Lerp(int d, int s, int a) {
  const int t = (s - d) * a + 128;
  return d + ((t + (t >> 8)) >> 8);
}

// Coverage of two alphas laid over each other.
inline constexpr int AlphaUnion(int a, int b) { return a + b - Mul255(a, b); }

inline constexpr int Luma(int blue, int green, int red) { return (76 * red + 150 * green + 29 * blue) >> 8; }

}  // namespace lyraban
