#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/font.h"
#include "text/glyph.h"

namespace lyraban::testing {

inline std::string Gbk(const std::string& utf8) { return CodePage().FromUtf8(utf8); }

// A font service whose glyphs are hand-made: every character is a full box
// one cell (the font height) square, its top at the pen's y, advancing by the
// cell, unless a glyph of its own was registered. Ruby (half scale) boxes are
// half as large. The ascent is 20.
class FakeFontService : public platform::FontService {
 public:
  struct Glyph {
    platform::GlyphMetrics metrics;  // at magnification 8
    std::vector<unsigned char> bits;
    bool fail = false;
  };

  std::unique_ptr<platform::FontOutline> CreateFont(const platform::FontRequest& request) override {
    requests.push_back(request);
    return request.height > 0 ? std::make_unique<Outline>(*this, request.height) : nullptr;
  }
  bool UseFontData(std::vector<u8>) override { return false; }

  std::map<u32, Glyph> glyphs;  // by Unicode code point
  std::vector<platform::FontRequest> requests;
  int bitmapCalls = 0;

 private:
  class Outline : public platform::FontOutline {
   public:
    Outline(FakeFontService& service, int height) : service_(service), height_(height) {}
    int Ascent() const override { return 20; }
    bool GetGlyphBitmap(u32 codePoint, i32 magnify16_16, platform::GlyphMetrics& m, std::vector<u8>& bits) override {
      ++service_.bitmapCalls;
      if (auto it = service_.glyphs.find(codePoint); it != service_.glyphs.end()) {
        m = it->second.metrics;
        bits = it->second.bits;
        return !it->second.fail;
      }
      const int side = static_cast<int>(i64{height_} * magnify16_16 / 65536), rowBytes = (side + 31) / 32 * 4;
      m = {side, side, 0, side * 20 / height_, side, 0};
      bits.assign(static_cast<std::size_t>(rowBytes) * side, 0);
      for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) bits[static_cast<std::size_t>(y) * rowBytes + x / 8] |= 0x80 >> (x % 8);
      return true;
    }

   private:
    FakeFontService& service_;
    int height_;
  };
};

// What every text test draws with: fake fonts through a GBK rasterizer.
struct FontRig {
  Trace trace;
  FakeFontService fonts;
  GlyphRasterizer rasterizer{CodePage(CodePage::Kind::Gbk), trace};
};

}  // namespace lyraban::testing
