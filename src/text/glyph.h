#pragma once
#include <array>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/codepage.h"
#include "base/trace.h"
#include "base/types.h"
#include "graphics/surface.h"
#include "platform/font.h"

namespace lyraban {

// Text colour, given as red, green, blue.
struct TextColour {
  u8 red = 255;
  u8 green = 255;
  u8 blue = 255;
};

// Coverage of one byte of an 8× one-bit bitmap row: 32 per set bit, less
// one, so that eight full rows sum to 255 after the >> 3.
using CoverageTableType = std::array<u32, 256>;
const CoverageTableType& CoverageTable();

// Reduces a one-bit bitmap (rows of `rowBytes`, MSB leftmost) to one coverage
// pixel per source byte per eight source rows. `out` must hold
// `outStride` × ceil(rows / 8) bytes and be zeroed; a trailing group of fewer
// than eight rows counts its missing rows as empty.
void ReduceOutline(const u8* bits, int rowBytes, int rows, u8* out, int outStride);
// Thickens each row by one pixel to the right (the bold look).
void WidenCoverage(u8* map, int width, int height, int stride);
// Blends a coverage map into a surface in one colour. False for a surface
// without pixels or of an unknown format; true (drawing nothing) when the
// map lies wholly outside.
bool CompositeCoverage(Surface& surface, int x, int y, const u8* map, int width, int height, int stride,
                       TextColour colour);

// A font as the text code uses it: an outline face at a cell height and a
// weight, plus the glyphs already rendered with it.
class Font {
 public:
  Font(std::unique_ptr<platform::FontOutline> outline, int size, int weight)
      : outline_(std::move(outline)), size_(size), weight_(weight) {}

  int size() const { return size_; }
  int weight() const { return weight_; }
  bool bold() const { return weight_ > 400; }
  platform::FontOutline& outline() { return *outline_; }

 private:
  friend class GlyphRasterizer;
  struct CachedGlyph {
    std::vector<u8> coverage;
    int originX = 0, top = 0, width = 0, height = 0, stride = 0, advanceX = 0, advanceY = 0;
  };
  struct KeyHash {
    std::size_t operator()(const std::pair<u64, u64>& k) const {
      return std::hash<u64>()(k.first * 0x9E3779B97F4A7C15ull ^ k.second);
    }
  };
  std::unique_ptr<platform::FontOutline> outline_;
  int size_;
  int weight_;
  std::unordered_map<std::pair<u64, u64>, CachedGlyph, KeyHash> cache_;
};

// Null when the service has no face for the request.
std::unique_ptr<Font> CreateFont(platform::FontService& fonts, int size, int weight,
                                 platform::FontFamily family = platform::FontFamily::Heiti);

// Renders glyphs of a code page's character codes into a coverage map with
// metrics, and blends the last one into surfaces. The engine keeps one for
// short-lived pens and one for the message window.
class GlyphRasterizer {
 public:
  GlyphRasterizer(CodePage codePage, Trace& trace) : codePage_(codePage), trace_(trace) {}

  const CodePage& codePage() const { return codePage_; }

  // `scale` 1.0 for ordinary text, 0.5 for ruby. On failure the map is empty
  // and the advances are zero, so callers that go on draw and move nothing.
  bool RenderGlyph(Font* font, u32 code, double scale);
  // The same for a Unicode character, for the engine's own marks that a
  // game's code page may lack.
  bool RenderCodePoint(Font* font, u32 codePoint, double scale);
  // Blends the last glyph with its pen position at (x, y).
  bool CompositeGlyph(Surface& surface, int x, int y, TextColour colour) const;

  int originX() const { return originX_; }
  int top() const { return top_; }
  int width() const { return width_; }
  int height() const { return height_; }
  int stride() const { return stride_; }
  int advanceX() const { return advanceX_; }
  int advanceY() const { return advanceY_; }
  const u8* coverage() const { return coverage_.data(); }

  // Rendered glyphs are kept per font (on by default); off renders every
  // glyph afresh.
  void SetGlyphCache(bool on) { cacheOn_ = on; }
  // Entries a font keeps before its cache is emptied.
  static constexpr std::size_t kGlyphCacheLimit = 4096;

 private:
  // Cache keys tell the code's kind apart: a code page, or Unicode.
  static constexpr u64 kUnicodeKey = 0xFF;
  bool Render(Font* font, u32 code, u64 kind, double scale);
  bool Fail();
  u32 ToUnicode(u32 code);

  CodePage codePage_;
  Trace& trace_;
  std::vector<u8> outline_;
  std::vector<u8> coverage_;
  std::unordered_map<u32, u32> unicode_;
  bool cacheOn_ = true;
  int originX_ = 0, top_ = 0, width_ = 0, height_ = 0, stride_ = 0, advanceX_ = 0, advanceY_ = 0;
};

}  // namespace lyraban
