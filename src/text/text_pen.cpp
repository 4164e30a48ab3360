#include "text/text_pen.h"

namespace lyraban {

TextPen::TextPen(GlyphRasterizer& rasterizer, platform::FontService& fonts, int screenWidth, int screenHeight)
    : right(screenWidth),
      bottom(screenHeight),
      rasterizer_(rasterizer),
      fonts_(fonts),
      fullWidthSpace_(rasterizer.codePage().CodeFromUtf8("\u3000")) {}

bool TextPen::SetFont(int size, int gap) {
  if (size < 0 || gap < 0) return false;
  auto font = CreateFont(fonts_, size, 400);
  if (!font) return false;
  font_ = std::move(font);
  size_ = size;
  linePitch_ = size + gap;
  return true;
}

void TextPen::DrawString(Surface& surface, std::string_view text, bool wrap) {
  ForEachCode(rasterizer_.codePage(), text, [&](u32 code) { DrawChar(surface, code, wrap); });
}

void TextPen::DrawChar(Surface& surface, u32 code, bool wrap) {
  if (code == 10) {
    NewLine();
    return;
  }
  if (code == 32) {
    penX += size_ / 2;
    return;
  }
  if (code == fullWidthSpace_ && code != 0) {
    penX += size_;
    return;
  }
  if (wrap && penX + size_ > right) NewLine();
  // A glyph that cannot be rendered leaves an empty map and no advance.
  rasterizer_.RenderGlyph(font_.get(), code, 1.0);
  rasterizer_.CompositeGlyph(surface, penX, penY, colour);
  penX += rasterizer_.advanceX();
  penY += rasterizer_.advanceY();
}

}  // namespace lyraban
