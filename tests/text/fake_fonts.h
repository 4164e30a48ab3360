#pragma once
#include <map>
#include <memory>
#include <vector>

#include "platform/font.h"

namespace lyraban::testing {

// A font service whose glyphs are hand-made: every character is a full box
// one cell (the font height) square, its top at the pen's y, advancing by the
// cell, unless a glyph of its own was registered. Ruby (half scale) boxes are
// half as large.
class FakeFontService : public platform::FontService {
 public:
  struct Glyph {
    platform::GlyphMetrics metrics;  // at magnification 8
    std::vector<unsigned char> bits;
    bool fail = false;
    bool lieAboutSize = false;  // one byte more than the metrics announce
  };

  std::unique_ptr<platform::FontOutline> CreateFont(const platform::FontRequest& request) override {
    requests.push_back(request);
    if (refuse || request.height <= 0) return nullptr;
    return std::make_unique<Outline>(*this, request.height);
  }
  bool UseFontData(std::vector<u8> data) override {
    usedData = std::move(data);
    return !usedData.empty();
  }

  int ascent = 20;
  bool refuse = false;
  std::map<u32, Glyph> glyphs;  // by Unicode code point
  std::vector<platform::FontRequest> requests;
  std::vector<u8> usedData;
  int bitmapCalls = 0;

 private:
  class Outline : public platform::FontOutline {
   public:
    Outline(FakeFontService& service, int height) : service_(service), height_(height) {}
    int Ascent() const override { return service_.ascent; }
    bool GetGlyphBitmap(u32 codePoint, i32 magnify16_16, platform::GlyphMetrics& m, std::vector<u8>& bits) override {
      ++service_.bitmapCalls;
      if (auto it = service_.glyphs.find(codePoint); it != service_.glyphs.end()) {
        m = it->second.metrics;
        bits = it->second.bits;
        if (it->second.lieAboutSize) bits.push_back(0);
        return !it->second.fail;
      }
      const int side = static_cast<int>(i64{height_} * magnify16_16 / 65536);
      m = {};
      m.blackBoxX = m.blackBoxY = m.cellIncX = side;
      m.originY = side * service_.ascent / height_;
      const int rowBytes = (side + 31) / 32 * 4;
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

}  // namespace lyraban::testing
