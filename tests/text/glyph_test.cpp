#include "text/glyph.h"

#include <gtest/gtest.h>

#include <vector>

#include "fake_fonts.h"
#include "graphics/pixel.h"

namespace lyraban {
namespace {

using testing::FakeFontService;

// Builds a one-bit bitmap from rows of '#' and '.', padded as the outline
// service pads rows (multiples of four bytes).
FakeFontService::Glyph MakeGlyph(const std::vector<const char*>& rows, int originX, int originY, int cellIncX) {
  FakeFontService::Glyph g;
  const int width = rows.empty() ? 0 : static_cast<int>(std::string(rows[0]).size());
  const int rowBytes = ((width + 31) & ~31) / 8;
  g.bits.assign(static_cast<std::size_t>(rowBytes) * rows.size(), 0);
  for (std::size_t y = 0; y < rows.size(); ++y)
    for (int x = 0; x < width; ++x)
      if (rows[y][x] == '#') g.bits[y * rowBytes + x / 8] |= 0x80 >> (x % 8);
  g.metrics.blackBoxX = width;
  g.metrics.blackBoxY = static_cast<int>(rows.size());
  g.metrics.originX = originX;
  g.metrics.originY = originY;
  g.metrics.cellIncX = cellIncX;
  return g;
}

TEST(CoverageTableTest, CountsSetBitsAndTopsOutAtFull) {
  const auto& table = CoverageTable();
  EXPECT_EQ(table[0x00], 0u);
  EXPECT_EQ(table[0x01], 31u);
  EXPECT_EQ(table[0x80], 31u);
  EXPECT_EQ(table[0x81], 63u);
  EXPECT_EQ(table[0xAA], 127u);
  EXPECT_EQ(table[0x7F], 223u);
  EXPECT_EQ(table[0xFF], 255u);
  // Eight full rows reduce to exactly full coverage, never past it.
  EXPECT_EQ((8 * table[0xFF]) >> 3, 255u);
}

TEST(ReduceOutlineTest, BoxFiltersEightByEightBlocks) {
  // Two source bytes per row over ten rows: a full group of eight rows and
  // a short trailing group of two.
  const int rowBytes = 2, rows = 10, stride = 3;
  std::vector<u8> bits(rowBytes * rows, 0);
  bits[0 * rowBytes + 0] = 0xFF;                              // one full row in block (0,0)
  for (int r = 0; r < 8; ++r) bits[r * rowBytes + 1] = 0x0F;  // half of every row in block (1,0)
  bits[8 * rowBytes + 0] = bits[9 * rowBytes + 0] = 0xFF;     // the two rows of block (0,1)
  bits[9 * rowBytes + 1] = 0x01;                              // one pixel of block (1,1)
  std::vector<u8> out(stride * 2, 0);
  out[2] = 0x55;  // the padding column is not the reducer's to touch
  ReduceOutline(bits.data(), rowBytes, rows, out.data(), stride);
  EXPECT_EQ(out[0], 31);
  EXPECT_EQ(out[1], 127);
  EXPECT_EQ(out[2], 0x55);
  // Missing rows of the last group count as empty: 2 × 255 / 8, not / 2.
  EXPECT_EQ(out[3], 63);
  EXPECT_EQ(out[4], 3);
}

TEST(WidenCoverageTest, AddsLeftNeighbourFromBeforeTheStep) {
  std::vector<u8> map = {10, 200, 100, 0,   9,  // stride 5, width 4: the fifth byte is padding
                         0,  0,   255, 255, 9};
  WidenCoverage(map.data(), 4, 2, 5);
  EXPECT_EQ(std::vector<u8>(map.begin(), map.begin() + 5), (std::vector<u8>{10, 210, 255, 100, 9}));
  EXPECT_EQ(std::vector<u8>(map.begin() + 5, map.end()), (std::vector<u8>{0, 0, 255, 255, 9}));
}

class CompositeTest : public ::testing::Test {
 protected:
  // White text on black grey pixels: the luma of white is 254.
  static int Lerp0(int c) { return Lerp(0, 254, c); }
  static u8 Px(const Surface& s, int x, int y, int channel) { return s.Row(y)[x * s.bytesPerPixel() + channel]; }
};

TEST_F(CompositeTest, FullCoverageRedOnClearFourBytePixel) {
  Surface s;
  ASSERT_TRUE(s.Create(4, 2, 1));
  std::fill_n(s.pixels(), s.ByteSize(), u8{0});
  const u8 map[] = {255};
  ASSERT_TRUE(CompositeCoverage(s, 1, 0, map, 1, 1, 1, TextColour{255, 0, 0}));
  EXPECT_EQ(Px(s, 1, 0, 0), 255);  // alpha
  EXPECT_EQ(Px(s, 1, 0, 1), 0);    // blue
  EXPECT_EQ(Px(s, 1, 0, 2), 0);    // green
  EXPECT_EQ(Px(s, 1, 0, 3), 255);  // red
  EXPECT_EQ(Px(s, 0, 0, 0), 0);
}

TEST_F(CompositeTest, PartialCoverageMixesEachFormat) {
  const u8 map[] = {128, 64};
  const TextColour colour{200, 100, 50};

  Surface bgr;
  ASSERT_TRUE(bgr.Create(3, 2, 1));
  const u8 start3[] = {10, 20, 30, 200, 200, 200};
  std::copy(std::begin(start3), std::end(start3), bgr.pixels());
  ASSERT_TRUE(CompositeCoverage(bgr, 0, 0, map, 2, 1, 2, colour));
  EXPECT_EQ(Px(bgr, 0, 0, 0), 30);
  EXPECT_EQ(Px(bgr, 0, 0, 1), 60);
  EXPECT_EQ(Px(bgr, 0, 0, 2), 115);
  // Towards darker values the rounding goes through arithmetic shifts.
  EXPECT_EQ(Px(bgr, 1, 0, 0), 162);
  EXPECT_EQ(Px(bgr, 1, 0, 1), 175);
  EXPECT_EQ(Px(bgr, 1, 0, 2), 200);

  Surface abgr;
  ASSERT_TRUE(abgr.Create(4, 1, 1));
  const u8 start4[] = {100, 10, 20, 30};
  std::copy(std::begin(start4), std::end(start4), abgr.pixels());
  ASSERT_TRUE(CompositeCoverage(abgr, 0, 0, map, 1, 1, 1, colour));
  EXPECT_EQ(Px(abgr, 0, 0, 0), 178);
  EXPECT_EQ(Px(abgr, 0, 0, 1), 30);
  EXPECT_EQ(Px(abgr, 0, 0, 2), 60);
  EXPECT_EQ(Px(abgr, 0, 0, 3), 115);

  // Grey formats blend towards the colour's luma; white's luma is 254.
  Surface grey, greyAlpha;
  ASSERT_TRUE(grey.Create(1, 1, 1));
  ASSERT_TRUE(greyAlpha.Create(2, 1, 1));
  grey.pixels()[0] = 0;
  greyAlpha.pixels()[0] = 0;
  greyAlpha.pixels()[1] = 0;
  const u8 full[] = {255};
  ASSERT_TRUE(CompositeCoverage(grey, 0, 0, full, 1, 1, 1, TextColour{255, 255, 255}));
  ASSERT_TRUE(CompositeCoverage(greyAlpha, 0, 0, map, 1, 1, 1, colour));
  EXPECT_EQ(grey.pixels()[0], 254);
  EXPECT_EQ(greyAlpha.pixels()[0], 128);
  EXPECT_EQ(greyAlpha.pixels()[1], 62);  // luma 123 at half coverage
}

TEST_F(CompositeTest, ClipsAtEveryEdge) {
  Surface s;
  ASSERT_TRUE(s.Create(1, 4, 3));
  std::fill_n(s.pixels(), s.ByteSize(), u8{0});
  // Columns carry their own coverage so that clipping shows which survive.
  const u8 map[] = {10, 20, 30, 40, 50, 60, 11, 21, 31, 41, 51, 61};
  ASSERT_TRUE(CompositeCoverage(s, -3, 0, map, 6, 2, 6, TextColour{255, 255, 255}));
  EXPECT_EQ(s.Row(0)[0], Lerp0(40));
  EXPECT_EQ(s.Row(0)[2], Lerp0(60));
  EXPECT_EQ(s.Row(0)[3], 0);
  EXPECT_EQ(s.Row(1)[0], Lerp0(41));
  EXPECT_EQ(s.Row(2)[0], 0);

  std::fill_n(s.pixels(), s.ByteSize(), u8{0});
  ASSERT_TRUE(CompositeCoverage(s, 2, 2, map, 6, 2, 6, TextColour{255, 255, 255}));
  EXPECT_EQ(s.Row(2)[2], Lerp0(10));
  EXPECT_EQ(s.Row(2)[3], Lerp0(20));
  EXPECT_EQ(s.Row(1)[2], 0);

  // Wholly outside: success, nothing drawn.
  std::fill_n(s.pixels(), s.ByteSize(), u8{0});
  EXPECT_TRUE(CompositeCoverage(s, 4, 0, map, 6, 2, 6, TextColour{}));
  EXPECT_TRUE(CompositeCoverage(s, -6, 0, map, 6, 2, 6, TextColour{}));
  EXPECT_TRUE(CompositeCoverage(s, 0, -2, map, 6, 2, 6, TextColour{}));
  for (std::size_t i = 0; i < s.ByteSize(); ++i) EXPECT_EQ(s.pixels()[i], 0);

  Surface empty;
  EXPECT_FALSE(CompositeCoverage(empty, 0, 0, map, 6, 2, 6, TextColour{}));
}

class RasterizerTest : public ::testing::Test {
 protected:
  Trace trace;
  FakeFontService fonts;
  GlyphRasterizer rasterizer{CodePage(CodePage::Kind::Gbk), trace};
};

TEST_F(RasterizerTest, MetricsFollowTheMagnifiedOutline) {
  // 10×9 magnified pixels: two output columns, two output rows (the second
  // from one lone source row).
  fonts.glyphs['Q'] = MakeGlyph({"##########", "##########", "##########", "##########", "##########", "##########",
                                 "##########", "##########", "#........."},
                                -9, 17, -100);
  auto font = CreateFont(fonts, 24, 400);
  ASSERT_TRUE(font);
  ASSERT_TRUE(rasterizer.RenderGlyph(font.get(), 'Q', 1.0));
  EXPECT_EQ(rasterizer.width(), 2);
  EXPECT_EQ(rasterizer.height(), 2);
  EXPECT_EQ(rasterizer.stride(), 4);
  EXPECT_EQ(rasterizer.originX(), -2);  // -9 >> 3 rounds down
  EXPECT_EQ(rasterizer.top(), 20 - 2);
  EXPECT_EQ(rasterizer.advanceX(), 12);
  const u8* map = rasterizer.coverage();
  EXPECT_EQ(map[0], 255);
  EXPECT_EQ(map[1], 63);  // two set bits in each of eight rows
  EXPECT_EQ(map[4], 3);   // one pixel in the short last group
  EXPECT_EQ(map[5], 0);

  // The ascent scales with the glyph; the outline's own offsets do not.
  ASSERT_TRUE(rasterizer.RenderGlyph(font.get(), 'Q', 0.5));
  EXPECT_EQ(rasterizer.top(), 10 - 2);
}

TEST_F(RasterizerTest, BoldIsOnePixelWiderAndThicker) {
  fonts.glyphs['I'] = MakeGlyph({"########........", "########........", "########........", "########........",
                                 "########........", "########........", "########........", "########........"},
                                0, 8, 128);
  auto plain = CreateFont(fonts, 24, 400);
  auto bold = CreateFont(fonts, 24, 700);
  ASSERT_TRUE(rasterizer.RenderGlyph(plain.get(), 'I', 1.0));
  const int plainWidth = rasterizer.width();
  const int plainStride = rasterizer.stride();
  std::vector<u8> plainMap(rasterizer.coverage(), rasterizer.coverage() + plainWidth);
  ASSERT_TRUE(rasterizer.RenderGlyph(bold.get(), 'I', 1.0));
  EXPECT_EQ(rasterizer.width(), plainWidth + 1);
  EXPECT_EQ(rasterizer.stride(), plainStride + 1);
  EXPECT_EQ(plainMap, (std::vector<u8>{255, 0}));
  const u8* map = rasterizer.coverage();
  EXPECT_EQ(map[0], 255);
  EXPECT_EQ(map[1], 255);
  EXPECT_EQ(map[2], 0);
  EXPECT_EQ(fonts.requests.back().weight, 700);
}

TEST_F(RasterizerTest, EmptyGlyphStillAdvances) {
  fonts.glyphs[' '] = MakeGlyph({}, 0, 0, 96);
  auto font = CreateFont(fonts, 24, 400);
  ASSERT_TRUE(rasterizer.RenderGlyph(font.get(), ' ', 1.0));
  EXPECT_EQ(rasterizer.width(), 0);
  EXPECT_EQ(rasterizer.height(), 0);
  EXPECT_EQ(rasterizer.advanceX(), 12);
  Surface s;
  ASSERT_TRUE(s.Create(3, 4, 4));
  EXPECT_TRUE(rasterizer.CompositeGlyph(s, 0, 0, TextColour{}));
}

TEST_F(RasterizerTest, FailuresLeaveNothingToDrawOrAdvance) {
  auto font = CreateFont(fonts, 24, 400);
  ASSERT_TRUE(rasterizer.RenderGlyph(font.get(), 'A', 1.0));
  EXPECT_GT(rasterizer.advanceX(), 0);

  fonts.glyphs['F'].fail = true;
  EXPECT_FALSE(rasterizer.RenderGlyph(font.get(), 'F', 1.0));
  EXPECT_EQ(rasterizer.advanceX(), 0);
  EXPECT_EQ(rasterizer.width(), 0);

  fonts.glyphs['L'] = MakeGlyph({"#"}, 0, 1, 8);
  fonts.glyphs['L'].lieAboutSize = true;
  EXPECT_FALSE(rasterizer.RenderGlyph(font.get(), 'L', 1.0));
  EXPECT_EQ(rasterizer.advanceX(), 0);

  EXPECT_FALSE(rasterizer.RenderGlyph(nullptr, 'A', 1.0));
  EXPECT_FALSE(rasterizer.RenderGlyph(font.get(), 0, 1.0));
  // A lone lead byte is no character of the code page.
  EXPECT_FALSE(rasterizer.RenderGlyph(font.get(), 0xB0, 1.0));
  EXPECT_FALSE(rasterizer.RenderGlyph(font.get(), 'A', 0.0));
}

TEST_F(RasterizerTest, CacheServesRepeatsPerFontCodeAndScale) {
  auto font = CreateFont(fonts, 24, 700);
  auto other = CreateFont(fonts, 24, 400);
  const u32 hei = 0xBADA;  // 黑 in GBK
  ASSERT_TRUE(rasterizer.RenderGlyph(font.get(), hei, 1.0));
  const std::vector<u8> first(rasterizer.coverage(), rasterizer.coverage() + rasterizer.stride() * rasterizer.height());
  const int advance = rasterizer.advanceX();
  ASSERT_TRUE(rasterizer.RenderGlyph(font.get(), 'x', 1.0));
  const int calls = fonts.bitmapCalls;
  ASSERT_TRUE(rasterizer.RenderGlyph(font.get(), hei, 1.0));
  EXPECT_EQ(fonts.bitmapCalls, calls);
  EXPECT_EQ(std::vector<u8>(rasterizer.coverage(), rasterizer.coverage() + first.size()), first);
  EXPECT_EQ(rasterizer.advanceX(), advance);

  ASSERT_TRUE(rasterizer.RenderGlyph(font.get(), hei, 0.5));
  EXPECT_EQ(fonts.bitmapCalls, calls + 1);
  EXPECT_EQ(rasterizer.advanceX(), advance / 2);
  const int boldWidth = 24 + 1;
  ASSERT_TRUE(rasterizer.RenderGlyph(other.get(), hei, 1.0));
  EXPECT_EQ(fonts.bitmapCalls, calls + 2);
  EXPECT_EQ(rasterizer.width(), boldWidth - 1);

  rasterizer.SetGlyphCache(false);
  ASSERT_TRUE(rasterizer.RenderGlyph(font.get(), hei, 1.0));
  EXPECT_EQ(fonts.bitmapCalls, calls + 3);
  EXPECT_EQ(std::vector<u8>(rasterizer.coverage(), rasterizer.coverage() + first.size()), first);
}

}  // namespace
}  // namespace lyraban
