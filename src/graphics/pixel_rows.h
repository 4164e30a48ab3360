#pragma once
// Row kernels of the drawing loops that run over whole screens, each with a
// plain per-pixel path and a vector path that gives the same bytes. Both
// stay reachable so tests and benchmarks can hold them side by side.
#include <cstddef>

#include "base/types.h"

namespace lyraban {

// Scalar: the per-pixel formulas. Vector: the widest this processor has
// (16-byte lanes; the shuffles of the alpha draw need SSSE3).
enum class PixelPath { Scalar, Vector };

// Draws `pixels` alpha, blue, green, red pixels over blue, green, red ones:
// each colour byte moves towards the source by the pixel's alpha, scaled by
// `opacity` when it is below 255. False when the processor lacks the path.
bool BlitAlphaRowWith(PixelPath path, u8* dst, const u8* src, int pixels, int opacity);
void BlitAlphaRow(u8* dst, const u8* src, int pixels, int opacity);

// Fades `pixels` pixels of `bytesPerPixel` bytes towards `value` (the
// pixel's bytes in memory order) by `opacity`; bytes before `firstColour`
// in each pixel are alpha and take the union with the opacity instead.
bool FillRowWith(PixelPath path, u8* row, int pixels, int bytesPerPixel, const u8* value, int firstColour, int opacity);
void FillRow(u8* row, int pixels, int bytesPerPixel, const u8* value, int firstColour, int opacity);

}  // namespace lyraban
