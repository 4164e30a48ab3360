#include "screens/choice_label.h"

#include "text/text_pen.h"

namespace lyraban {

bool DrawChoiceLabel(GlyphRasterizer& rasterizer, platform::FontService& fonts, int screenWidth, int screenHeight,
                     Surface& overlay, i32 x, i32 y, std::string_view text) {
  TextPen pen(rasterizer, fonts, screenWidth, screenHeight);
  if (!pen.SetFont(26, 6)) return false;
  pen.penX = x;
  pen.penY = y;
  pen.DrawString(overlay, text, false);
  return true;
}

}  // namespace lyraban
