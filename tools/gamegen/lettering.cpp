#include "lettering.h"

#include <vector>

#include "base/codepage.h"
#include "base/trace.h"
#include "platform/freetype/freetype_fonts.h"
#include "text/glyph.h"

namespace lyraban::gamegen {

namespace {

std::vector<u32> CodePoints(std::string_view utf8) {
  std::vector<u32> out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<u8>(utf8[i]);
    const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    u32 code = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < utf8.size(); ++k) code = (code << 6) | (static_cast<u8>(utf8[i + k]) & 0x3F);
    out.push_back(code);
    i += 1 + extra;
  }
  return out;
}

}  // namespace

bool DrawText(Canvas& canvas, std::string_view utf8, int size, const Rgba& colour, int cx, int cy) {
  Trace trace;
  platform::FreeTypeFontService fonts(trace);
  if (!fonts.HasCjkFace()) return false;
  auto font = CreateFont(fonts, size, 700);
  GlyphRasterizer rasterizer(CodePage(CodePage::Kind::Gbk), trace);
  if (!font) return false;
  const std::vector<u32> codes = CodePoints(utf8);
  int width = 0;
  for (u32 code : codes)
    if (rasterizer.RenderCodePoint(font.get(), code, 1.0)) width += rasterizer.advanceX();
  int penX = cx - width / 2;
  const int penY = cy - size / 2;
  for (u32 code : codes) {
    if (!rasterizer.RenderCodePoint(font.get(), code, 1.0)) continue;
    for (int y = 0; y < rasterizer.height(); ++y)
      for (int x = 0; x < rasterizer.width(); ++x) {
        const int px = penX + rasterizer.originX() + x, py = penY + rasterizer.top() + y;
        const u8 coverage = rasterizer.coverage()[y * rasterizer.stride() + x];
        if (coverage && px >= 0 && py >= 0 && px < canvas.width() && py < canvas.height())
          canvas.Blend(px, py, colour, coverage / 255.0f);
      }
    penX += rasterizer.advanceX();
  }
  return true;
}

}  // namespace lyraban::gamegen
