#pragma once
#include <memory>
#include <vector>

#include "base/types.h"

namespace lyraban::platform {

// The typefaces the engine asks for. Heiti is the CJK sans-serif that all
// text uses by default; the other two are the reader's serif/sans choices.
enum class FontFamily : u8 { Heiti, Mincho, Gothic };

struct FontRequest {
  int height = 0;  // cell height in pixels (ascent + descent), > 0
  int weight = 400;
  FontFamily family = FontFamily::Heiti;
};

// Placement of one glyph bitmap, in the bitmap's own (magnified) pixels. The
// y axis points up, as in the font's design space.
struct GlyphMetrics {
  int blackBoxX = 0;  // bitmap width
  int blackBoxY = 0;  // bitmap height
  int originX = 0;    // left edge of the bitmap relative to the pen
  int originY = 0;    // top edge of the bitmap above the baseline
  int cellIncX = 0;   // pen movement after the glyph
  int cellIncY = 0;
};

// One font: a face at a cell height and weight.
class FontOutline {
 public:
  virtual ~FontOutline() = default;

  // Ascent in pixels at the requested height (unmagnified).
  virtual int Ascent() const = 0;

  // One-bit bitmap of a Unicode character magnified by `magnify16_16`
  // (16.16 fixed point). Rows top first, each padded to a multiple of four
  // bytes, most significant bit leftmost; a glyph without ink gives an empty
  // bitmap. False when the glyph cannot be produced.
  virtual bool GetGlyphBitmap(u32 codePoint, i32 magnify16_16, GlyphMetrics& metrics, std::vector<u8>& bits) = 0;
};

// Finds faces and makes fonts from them.
class FontService {
 public:
  virtual ~FontService() = default;

  // Null when no face can be found or opened.
  virtual std::unique_ptr<FontOutline> CreateFont(const FontRequest& request) = 0;

  // A font file shipped with the game (TrueType, OpenType or a collection);
  // from then on it serves every family. False when it cannot be opened.
  virtual bool UseFontData(std::vector<u8> data) = 0;
};

}  // namespace lyraban::platform
