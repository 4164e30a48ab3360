#pragma once
#include <string_view>

#include "canvas.h"

namespace lyraban::gamegen {

// Writes a line of UTF-8 text centred on (cx, cy) with the system's CJK face
// at a cell height of `size` pixels, through the engine's own glyph
// rasterizer. False (and nothing drawn) when the machine has no such face.
bool DrawText(Canvas& canvas, std::string_view utf8, int size, const Rgba& colour, int cx, int cy);

}  // namespace lyraban::gamegen
