#include "fake_fonts.h"

#include <cstring>

namespace lyraban::testing {

namespace {

class FakeOutline : public platform::FontOutline {
 public:
  FakeOutline(FakeFontService& service, int height) : service_(service), height_(height) {}
  int Ascent() const override { return service_.ascent; }

  bool GetGlyphBitmap(u32 codePoint, i32 magnify16_16, platform::GlyphMetrics& metrics,
                      std::vector<u8>& bits) override {
    ++service_.bitmapCalls;
    if (auto it = service_.glyphs.find(codePoint); it != service_.glyphs.end()) {
      if (it->second.fail) return false;
      metrics = it->second.metrics;
      bits = it->second.bits;
      if (it->second.lieAboutSize) bits.push_back(0);
      return true;
    }
    // A solid box one cell (the font height) square at this magnification.
    const int side = static_cast<int>(static_cast<long long>(height_) * magnify16_16 / 65536);
    metrics = {};
    metrics.blackBoxX = side;
    metrics.blackBoxY = side;
    metrics.originX = 0;
    metrics.originY = side * service_.ascent / height_;
    metrics.cellIncX = side;
    const int rowBytes = ((side + 31) & ~31) / 8;
    bits.assign(static_cast<std::size_t>(rowBytes) * side, 0);
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) bits[static_cast<std::size_t>(y) * rowBytes + x / 8] |= 0x80 >> (x % 8);
    return true;
  }

 private:
  FakeFontService& service_;
  int height_;
};

}  // namespace

std::unique_ptr<platform::FontOutline> FakeFontService::CreateFont(const platform::FontRequest& request) {
  requests.push_back(request);
  if (request.height <= 0) return nullptr;
  return std::make_unique<FakeOutline>(*this, request.height);
}

}  // namespace lyraban::testing
