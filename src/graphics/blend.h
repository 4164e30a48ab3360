#pragma once
#include <optional>
#include <string_view>

#include "base/types.h"
#include "graphics/surface.h"

namespace lyraban {

// Paint-program blend modes. 0 and Div draw nothing: Div is accepted by the
// definition syntax but has no formula.
enum class BlendMode : u8 {
  None = 0,
  Normal = 1,
  Add = 2,
  Sub = 3,
  Multi = 4,
  Div = 5,
  Screen = 6,
  Overlay = 7,
  Dodge = 8,
  Burn = 9,
  Darken = 10,
  Lighten = 11,
  Difference = 12,
  Exclusion = 13,
  Hardlight = 14,
  Softlight = 15,
};

// Mode for a keyword such as "Screen" (letter case ignored); nullopt when the
// word names no mode.
std::optional<BlendMode> BlendModeFromKeyword(std::string_view keyword);

// Destination and source formats 1, 3 or 4 bytes per pixel; a 4-byte
// destination keeps its alpha bytes. False for mode 0, Div, modes above 15,
// unsupported formats or missing pixels.
bool Blend(Surface& dst, const Surface& src, BlendMode mode, int x, int y, int width, int height, int srcX, int srcY);
bool BlendWithOpacity(Surface& dst, const Surface& src, BlendMode mode, int x, int y, int width, int height, int srcX,
                      int srcY, int opacity);
bool BlendAll(Surface& dst, const Surface& src, BlendMode mode, int x, int y, int opacity);

// The per-channel result of a mode for destination d and source s; -1 for
// modes without a formula. The plain reference the loops are tested against.
int BlendChannel(BlendMode mode, int d, int s);

}  // namespace lyraban
