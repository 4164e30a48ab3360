#pragma once
#include <map>
#include <memory>
#include <vector>

#include "platform/font.h"

namespace lyraban::testing {

// A font service whose glyphs are hand-made: every character is a full
// box of `cell`×`cell` magnified pixels advancing by `cell`, unless a glyph
// of its own was registered. Ruby (half scale) boxes are half as large.
class FakeFontService : public platform::FontService {
 public:
  struct Glyph {
    platform::GlyphMetrics metrics;  // at magnification 8
    std::vector<unsigned char> bits;
    bool fail = false;
    bool lieAboutSize = false;
  };

  std::unique_ptr<platform::FontOutline> CreateFont(const platform::FontRequest& request) override;
  bool UseFontData(std::vector<u8> data) override {
    usedData = std::move(data);
    return !usedData.empty();
  }

  int ascent = 20;
  std::map<u32, Glyph> glyphs;  // by Unicode code point
  std::vector<platform::FontRequest> requests;
  std::vector<u8> usedData;
  int bitmapCalls = 0;
};

}  // namespace lyraban::testing
