#include "screens/choice_label.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace lyraban {
namespace {

// Every character is a solid box one cell square, its top at the cell top.
class BoxFonts : public platform::FontService {
 public:
  class Outline : public platform::FontOutline {
   public:
    explicit Outline(int height) : height_(height) {}
    int Ascent() const override { return height_; }
    bool GetGlyphBitmap(u32, i32 magnify16_16, platform::GlyphMetrics& m, std::vector<u8>& bits) override {
      const int side = static_cast<int>(static_cast<i64>(height_) * magnify16_16 / 65536);
      m = {};
      m.blackBoxX = m.blackBoxY = side;
      m.originY = side;
      m.cellIncX = side;
      const int rowBytes = ((side + 31) & ~31) / 8;
      bits.assign(static_cast<std::size_t>(rowBytes) * side, 0);
      for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) bits[static_cast<std::size_t>(y) * rowBytes + x / 8] |= 0x80 >> (x % 8);
      return true;
    }

   private:
    int height_;
  };
  std::unique_ptr<platform::FontOutline> CreateFont(const platform::FontRequest& r) override {
    requests.push_back(r);
    if (fail) return nullptr;
    return std::make_unique<Outline>(r.height);
  }
  bool UseFontData(std::vector<u8>) override { return false; }

  std::vector<platform::FontRequest> requests;
  bool fail = false;
};

class ChoiceLabelTest : public ::testing::Test {
 protected:
  ChoiceLabelTest() : rasterizer_(CodePage(), trace_) {
    overlay_.Create(4, 600, 420);
    std::memset(overlay_.pixels(), 0, overlay_.ByteSize());
  }
  int Alpha(int x, int y) { return overlay_.Row(y)[x * 4]; }

  Trace trace_;
  GlyphRasterizer rasterizer_;
  BoxFonts fonts_;
  Surface overlay_;
};

TEST_F(ChoiceLabelTest, WhiteCellsOfTwentySixPixelsFromThePen) {
  ASSERT_TRUE(DrawChoiceLabel(rasterizer_, fonts_, 800, 600, overlay_, 235, 20, "AB"));
  ASSERT_EQ(fonts_.requests.size(), 1u);
  EXPECT_EQ(fonts_.requests[0].height, 26);
  EXPECT_EQ(fonts_.requests[0].weight, 400);
  EXPECT_EQ(Alpha(235, 20), 255);
  EXPECT_EQ(Alpha(286, 45), 255) << "second cell ends 52 pixels on";
  EXPECT_EQ(Alpha(234, 20), 0);
  EXPECT_EQ(Alpha(287, 20), 0);
  EXPECT_EQ(Alpha(235, 46), 0);
  const u8* p = overlay_.Row(30) + 240 * 4;
  EXPECT_EQ(p[1], 255);
  EXPECT_EQ(p[2], 255);
  EXPECT_EQ(p[3], 255);
}

TEST_F(ChoiceLabelTest, NoWrapPastTheRightEdge) {
  ASSERT_TRUE(DrawChoiceLabel(rasterizer_, fonts_, 800, 600, overlay_, 580, 20, "ABCDEFGHIJ"));
  EXPECT_EQ(Alpha(599, 20), 255);
  for (int y = 46; y < 420; y += 4)
    for (int x = 0; x < 600; x += 4) ASSERT_EQ(Alpha(x, y), 0) << x << "," << y;
}

TEST_F(ChoiceLabelTest, NoFontDrawsNothing) {
  fonts_.fail = true;
  EXPECT_FALSE(DrawChoiceLabel(rasterizer_, fonts_, 800, 600, overlay_, 0, 0, "A"));
  EXPECT_EQ(Alpha(5, 5), 0);
}

}  // namespace
}  // namespace lyraban
