#pragma once
#include <memory>
#include <string_view>

#include "graphics/surface.h"
#include "platform/font.h"
#include "text/glyph.h"

namespace lyraban {

// A small writer for the game screens: one font, one colour, a pen that
// moves along lines between a left and a right limit. Never draws shadows.
class TextPen {
 public:
  // The limits default to the whole screen.
  TextPen(GlyphRasterizer& rasterizer, platform::FontService& fonts, int screenWidth, int screenHeight);

  // Replaces the font; size is the cell height, gap the extra space between
  // lines. False (font unchanged) for negative values or when no font can
  // be made.
  bool SetFont(int size, int gap);
  void Reset() {
    penX = left;
    penY = top;
  }
  void NewLine() {
    penX = left;
    penY += linePitch_;
  }
  // Draws each character of code-page text; `wrap` starts a new line before
  // a character that would pass the right limit.
  void DrawString(Surface& surface, std::string_view text, bool wrap);
  void DrawChar(Surface& surface, u32 code, bool wrap);

  int size() const { return size_; }
  int linePitch() const { return linePitch_; }
  Font* font() { return font_.get(); }

  int penX = 0, penY = 0;
  int left = 0, top = 0, right = 0, bottom = 0;
  TextColour colour;

 private:
  GlyphRasterizer& rasterizer_;
  platform::FontService& fonts_;
  std::unique_ptr<Font> font_;
  u32 fullWidthSpace_;
  int size_ = 0;
  int linePitch_ = 0;
};

// Splits code-page text into character codes: a lead byte and its trail give
// lead × 256 + trail; a lead byte at the end gives lead × 256. Stops at a
// zero byte. Calls `each(code)` for every character.
template <class Each>
void ForEachCode(const CodePage& codePage, std::string_view text, Each&& each) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<u8>(text[i]);
    if (byte == 0) return;
    if (codePage.IsLeadByte(byte)) {
      if (i + 1 >= text.size() || text[i + 1] == 0) {
        each(static_cast<u32>(byte) << 8);
        return;
      }
      each((static_cast<u32>(byte) << 8) | static_cast<u8>(text[++i]));
    } else {
      each(static_cast<u32>(byte));
    }
  }
}

}  // namespace lyraban
