#pragma once
#include <string_view>

#include "base/types.h"
#include "graphics/surface.h"
#include "platform/font.h"
#include "text/glyph.h"

namespace lyraban {

// The choice menu's pen: 26-pixel cells, 6 pixels between lines, white, no
// wrapping; (x, y) is the top left of the first cell. Meant for the engine's
// ScreenHost::DrawChoiceText. False when no font could be made (nothing is
// drawn).
bool DrawChoiceLabel(GlyphRasterizer& rasterizer, platform::FontService& fonts, int screenWidth, int screenHeight,
                     Surface& overlay, i32 x, i32 y, std::string_view text);

}  // namespace lyraban
