#include "text/glyph.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "graphics/pixel.h"

namespace lyraban {

namespace {

constexpr CoverageTableType BuildCoverageTable() {
  CoverageTableType table{};
  for (int b = 1; b < 256; ++b) table[b] = static_cast<u32>(std::popcount(static_cast<unsigned>(b))) * 32 - 1;
  return table;
}

constexpr CoverageTableType kCoverage = BuildCoverageTable();

// Glyph bitmaps beyond this side (at 8×) are not glyphs but a broken face.
constexpr int kMaxOutlineSide = 8 * 2048;

}  // namespace

const CoverageTableType& CoverageTable() { return kCoverage; }

void ReduceOutline(const u8* bits, int rowBytes, int rows, u8* out, int outStride) {
  for (int group = 0; group * 8 < rows; ++group) {
    const int first = group * 8;
    const int last = std::min(rows, first + 8);
    u8* dst = out + static_cast<std::size_t>(group) * outStride;
    for (int x = 0; x < rowBytes; ++x) {
      u32 sum = 0;
      for (int r = first; r < last; ++r) sum += kCoverage[bits[static_cast<std::size_t>(r) * rowBytes + x]];
      dst[x] = static_cast<u8>(sum >> 3);
    }
  }
}

void WidenCoverage(u8* map, int width, int height, int stride) {
  for (int y = 0; y < height; ++y) {
    u8* row = map + static_cast<std::size_t>(y) * stride;
    // Right to left, so each sum still sees its left neighbour unwidened.
    for (int x = width - 2; x >= 0; --x) row[x + 1] = static_cast<u8>(std::min(255, row[x] + row[x + 1]));
  }
}

bool CompositeCoverage(Surface& surface, int x, int y, const u8* map, int width, int height, int stride,
                       TextColour colour) {
  if (!surface.HasPixels()) return false;
  const int bpp = surface.bytesPerPixel();
  if (bpp < 1 || bpp > 4) return false;
  const int skipX = x < 0 ? -x : 0;
  const int skipY = y < 0 ? -y : 0;
  const int endX = std::min(width, surface.width() - x);
  const int endY = std::min(height, surface.height() - y);
  if (skipX >= endX || skipY >= endY) return true;
  if (!map) return false;
  const int grey = Luma(colour.blue, colour.green, colour.red);
  for (int row = skipY; row < endY; ++row) {
    const u8* src = map + static_cast<std::size_t>(row) * stride;
    u8* dst = surface.Row(y + row) + static_cast<std::size_t>(x + skipX) * bpp;
    for (int col = skipX; col < endX; ++col, dst += bpp) {
      const int c = src[col];
      switch (bpp) {
        case 1:
          dst[0] = static_cast<u8>(Lerp(dst[0], grey, c));
          break;
        case 2:
          dst[0] = static_cast<u8>(AlphaUnion(dst[0], c));
          dst[1] = static_cast<u8>(Lerp(dst[1], grey, c));
          break;
        case 3:
          dst[0] = static_cast<u8>(Lerp(dst[0], colour.blue, c));
          dst[1] = static_cast<u8>(Lerp(dst[1], colour.green, c));
          dst[2] = static_cast<u8>(Lerp(dst[2], colour.red, c));
          break;
        default:
          dst[0] = static_cast<u8>(AlphaUnion(dst[0], c));
          dst[1] = static_cast<u8>(Lerp(dst[1], colour.blue, c));
          dst[2] = static_cast<u8>(Lerp(dst[2], colour.green, c));
          dst[3] = static_cast<u8>(Lerp(dst[3], colour.red, c));
          break;
      }
    }
  }
  return true;
}

std::unique_ptr<Font> CreateFont(platform::FontService& fonts, int size, int weight, platform::FontFamily family) {
  auto outline = fonts.CreateFont({size, weight, family});
  if (!outline) return nullptr;
  return std::make_unique<Font>(std::move(outline), size, weight);
}

bool GlyphRasterizer::Fail() {
  originX_ = top_ = width_ = height_ = stride_ = advanceX_ = advanceY_ = 0;
  return false;
}

u32 GlyphRasterizer::ToUnicode(u32 code) {
  if (auto it = unicode_.find(code); it != unicode_.end()) return it->second;
  const u32 cp = codePage_.CodeToUnicode(code);
  // Bounded: the code space is 64K entries at most.
  unicode_.emplace(code, cp);
  return cp;
}

bool GlyphRasterizer::RenderGlyph(Font* font, u32 code, double scale) {
  if (code == 0 || code > 0xFFFF) return Fail();
  return Render(font, code, static_cast<u64>(codePage_.kind()), scale);
}

bool GlyphRasterizer::RenderCodePoint(Font* font, u32 codePoint, double scale) {
  if (codePoint == 0 || codePoint > 0x10FFFF) return Fail();
  return Render(font, codePoint, kUnicodeKey, scale);
}

bool GlyphRasterizer::Render(Font* font, u32 code, u64 kind, double scale) {
  if (!font || !(scale > 0.0) || scale > 64.0) return Fail();
  const std::pair<u64, u64> key{code | (kind << 32), std::bit_cast<u64>(scale)};
  if (cacheOn_) {
    if (auto it = font->cache_.find(key); it != font->cache_.end()) {
      const Font::CachedGlyph& g = it->second;
      if (coverage_.size() < g.coverage.size()) coverage_.resize(g.coverage.size() * 2);
      std::copy(g.coverage.begin(), g.coverage.end(), coverage_.begin());
      originX_ = g.originX;
      top_ = g.top;
      width_ = g.width;
      height_ = g.height;
      stride_ = g.stride;
      advanceX_ = g.advanceX;
      advanceY_ = g.advanceY;
      return true;
    }
  }

  const u32 unicode = kind == kUnicodeKey ? code : ToUnicode(code);
  if (unicode == 0) {
    trace_.DebugTrace("文字コード %04X はフォントに渡せません", code);
    return Fail();
  }
  const i32 matrix = static_cast<i32>(std::lround(8.0 * scale * 65536.0));
  platform::GlyphMetrics gm;
  if (!font->outline().GetGlyphBitmap(unicode, matrix, gm, outline_)) return Fail();
  if (gm.blackBoxX < 0 || gm.blackBoxY < 0 || gm.blackBoxX > kMaxOutlineSide || gm.blackBoxY > kMaxOutlineSide)
    return Fail();

  const int rowBytes = ((gm.blackBoxX + 31) & ~31) / 8;
  int width = (gm.blackBoxX + 7) / 8;
  const int height = (gm.blackBoxY + 7) / 8;
  int stride = rowBytes;
  if (font->bold()) {
    ++width;
    ++stride;
  }
  // The bitmap must be exactly what its metrics announce.
  if (outline_.size() != static_cast<std::size_t>(rowBytes) * gm.blackBoxY) return Fail();

  const std::size_t need = static_cast<std::size_t>(stride) * height;
  if (coverage_.size() < need) coverage_.resize(need * 2);
  std::fill_n(coverage_.begin(), need, u8{0});
  if (need > 0) ReduceOutline(outline_.data(), rowBytes, gm.blackBoxY, coverage_.data(), stride);
  if (font->bold()) WidenCoverage(coverage_.data(), width, height, stride);

  originX_ = gm.originX >> 3;
  top_ = static_cast<int>(std::lround(font->outline().Ascent() * scale)) - (gm.originY >> 3);
  width_ = width;
  height_ = height;
  stride_ = stride;
  advanceX_ = std::abs(gm.cellIncX) >> 3;
  advanceY_ = std::abs(gm.cellIncY) >> 3;

  if (cacheOn_) {
    if (font->cache_.size() >= kGlyphCacheLimit) font->cache_.clear();
    Font::CachedGlyph& g = font->cache_[key];
    g.coverage.assign(coverage_.begin(), coverage_.begin() + static_cast<std::ptrdiff_t>(need));
    g.originX = originX_;
    g.top = top_;
    g.width = width_;
    g.height = height_;
    g.stride = stride_;
    g.advanceX = advanceX_;
    g.advanceY = advanceY_;
  }
  return true;
}

bool GlyphRasterizer::CompositeGlyph(Surface& surface, int x, int y, TextColour colour) const {
  return CompositeCoverage(surface, x + originX_, y + top_, coverage_.data(), width_, height_, stride_, colour);
}

}  // namespace lyraban
