#include "text/glyph.h"

#include <gtest/gtest.h>

#include <vector>

#include "fake_fonts.h"
#include "graphics/pixel.h"

namespace lyraban {
namespace {

using testing::FakeFontService;

TEST(CoverageTest, ReduceBoxFiltersEightRowsAndWidenAddsTheLeftNeighbour) {
  // Two source bytes per row over ten rows: a full group of eight rows and a
  // short trailing group of two.
  const int rowBytes = 2, rows = 10, stride = 3;
  std::vector<u8> bits(rowBytes * rows, 0);
  bits[0] = 0xFF;                                             // one full row in block (0,0)
  for (int r = 0; r < 8; ++r) bits[r * rowBytes + 1] = 0x0F;  // half of every row in block (1,0)
  bits[8 * rowBytes] = bits[9 * rowBytes] = 0xFF;             // the two rows of block (0,1)
  bits[9 * rowBytes + 1] = 0x01;                              // one pixel of block (1,1)
  std::vector<u8> out(stride * 2, 0);
  out[2] = 0x55;  // padding: not the reducer's to touch
  ReduceOutline(bits.data(), rowBytes, rows, out.data(), stride);
  // Missing rows of the last group count as empty: 2 × 255 / 8, not / 2.
  EXPECT_EQ(out, (std::vector<u8>{31, 127, 0x55, 63, 3, 0}));

  std::vector<u8> map = {10, 200, 100, 0, 9, 0, 0, 255, 255, 9};  // stride 5, width 4
  WidenCoverage(map.data(), 4, 2, 5);
  EXPECT_EQ(map, (std::vector<u8>{10, 210, 255, 100, 9, 0, 0, 255, 255, 9}));
}

TEST(CoverageTest, CompositeMixesEachPixelFormat) {
  const u8 map[] = {128, 64};
  const auto blend = [&](int bpp, int width, std::vector<u8> start, TextColour c = {200, 100, 50}) {
    Surface s;
    EXPECT_TRUE(s.Create(bpp, width, 1));
    std::copy(start.begin(), start.end(), s.pixels());
    EXPECT_TRUE(CompositeCoverage(s, 0, 0, map, width, 1, 2, c));
    return std::vector<u8>(s.pixels(), s.pixels() + s.ByteSize());
  };
  // Blue, green, red; towards darker values the rounding goes through
  // arithmetic shifts.
  EXPECT_EQ(blend(3, 2, {10, 20, 30, 200, 200, 200}), (std::vector<u8>{30, 60, 115, 162, 175, 200}));
  EXPECT_EQ(blend(4, 1, {100, 10, 20, 30}), (std::vector<u8>{178, 30, 60, 115}));
  // Grey formats blend towards the colour's luma (123 here, 254 for white).
  EXPECT_EQ(blend(2, 1, {0, 0}), (std::vector<u8>{128, 62}));
  EXPECT_EQ(blend(1, 1, {0}, {255, 255, 255}), (std::vector<u8>{127}));
}

TEST(CoverageTest, CompositeClipsAtEveryEdge) {
  Surface s;
  ASSERT_TRUE(s.Create(1, 4, 3));
  // Columns carry their own coverage so that clipping shows which survive.
  const u8 map[] = {10, 20, 30, 40, 50, 60, 11, 21, 31, 41, 51, 61};
  const auto at = [&](int x, int y) {
    std::fill_n(s.pixels(), s.ByteSize(), u8{0});
    EXPECT_TRUE(CompositeCoverage(s, x, y, map, 6, 2, 6, TextColour{255, 255, 255}));
    return std::vector<u8>(s.pixels(), s.pixels() + s.ByteSize());
  };
  const auto w = [](int c) { return static_cast<u8>(Lerp(0, 254, c)); };
  EXPECT_EQ(at(-3, 0), (std::vector<u8>{w(40), w(50), w(60), 0, w(41), w(51), w(61), 0, 0, 0, 0, 0}));
  EXPECT_EQ(at(2, 2), (std::vector<u8>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, w(10), w(20)}));
  for (auto [x, y] : {std::pair{4, 0}, {-6, 0}, {0, -2}, {0, 3}}) EXPECT_EQ(at(x, y), std::vector<u8>(12, 0));
  Surface empty;
  EXPECT_FALSE(CompositeCoverage(empty, 0, 0, map, 6, 2, 6, TextColour{}));
}

class RasterizerTest : public ::testing::Test {
 protected:
  std::vector<u8> Map() const {
    return {rasterizer.coverage(), rasterizer.coverage() + rasterizer.stride() * rasterizer.height()};
  }

  Trace trace;
  FakeFontService fonts;
  GlyphRasterizer rasterizer{CodePage(CodePage::Kind::Gbk), trace};
  std::unique_ptr<Font> plain = CreateFont(fonts, 24, 400), bold = CreateFont(fonts, 24, 700);
};

TEST_F(RasterizerTest, MetricsFollowTheMagnifiedOutline) {
  // 10×9 magnified pixels: two output columns and two output rows, the
  // second from one lone source row.
  FakeFontService::Glyph& q = fonts.glyphs['Q'];
  q.metrics = {10, 9, -9, 17, -100, 0};
  q.bits.assign(4 * 9, 0);
  for (int r = 0; r < 8; ++r) q.bits[r * 4] = 0xFF, q.bits[r * 4 + 1] = 0xC0;
  q.bits[8 * 4] = 0x80;
  ASSERT_TRUE(rasterizer.RenderGlyph(plain.get(), 'Q', 1.0));
  // originX: -9 >> 3 rounds down; top: ascent 20 less 17 >> 3; |cellIncX| >> 3.
  EXPECT_EQ(std::vector<int>({rasterizer.width(), rasterizer.height(), rasterizer.stride(), rasterizer.originX(),
                              rasterizer.top(), rasterizer.advanceX()}),
            std::vector<int>({2, 2, 4, -2, 18, 12}));
  EXPECT_EQ(Map(), (std::vector<u8>{255, 63, 0, 0, 3, 0, 0, 0}));
  // The ascent scales with the glyph; the outline's own offsets do not.
  ASSERT_TRUE(rasterizer.RenderGlyph(plain.get(), 'Q', 0.5));
  EXPECT_EQ(rasterizer.top(), 10 - 2);
}

TEST_F(RasterizerTest, EmptyGlyphsAdvanceAndFailuresLeaveNothing) {
  fonts.glyphs[' '].metrics.cellIncX = 96;
  ASSERT_TRUE(rasterizer.RenderGlyph(plain.get(), ' ', 1.0));
  EXPECT_EQ(std::tuple(rasterizer.width(), rasterizer.height(), rasterizer.advanceX()), std::tuple(0, 0, 12));
  Surface s;
  ASSERT_TRUE(s.Create(3, 4, 4));
  EXPECT_TRUE(rasterizer.CompositeGlyph(s, 0, 0, TextColour{}));

  fonts.glyphs['F'].fail = true;
  fonts.glyphs['L'] = {{1, 1, 0, 1, 8, 0}, {0x80, 0, 0, 0}, false, true};
  // Nothing, no character, a lone GBK lead byte, a code past 16 bits, no scale.
  const std::pair<Font*, u32> bad[] = {{plain.get(), 'F'}, {plain.get(), 'L'},  {nullptr, 'A'},
                                       {plain.get(), 0},   {plain.get(), 0xB0}, {plain.get(), 0x10041}};
  for (auto [font, code] : bad) {
    ASSERT_TRUE(rasterizer.RenderGlyph(plain.get(), 'A', 1.0));
    EXPECT_FALSE(rasterizer.RenderGlyph(font, code, 1.0)) << code;
    EXPECT_EQ(std::pair(rasterizer.advanceX(), rasterizer.width()), std::pair(0, 0)) << code;
  }
  EXPECT_FALSE(rasterizer.RenderGlyph(plain.get(), 'A', 0.0));
}

TEST_F(RasterizerTest, BoldIsWiderAndTheCacheServesRepeatsPerFontCodeAndScale) {
  const u32 hei = 0xBADA;  // 黑 in GBK
  ASSERT_TRUE(rasterizer.RenderGlyph(bold.get(), hei, 1.0));
  const std::vector<u8> first = Map();
  EXPECT_EQ(std::tuple(rasterizer.width(), rasterizer.stride(), first[24], fonts.requests.back().weight),
            std::tuple(25, 25, u8{255}, 700))
      << "bold is one widened column wider";
  ASSERT_TRUE(rasterizer.RenderGlyph(bold.get(), 'x', 1.0));
  const int calls = fonts.bitmapCalls;
  ASSERT_TRUE(rasterizer.RenderGlyph(bold.get(), hei, 1.0));
  EXPECT_EQ(std::tuple(fonts.bitmapCalls, Map(), rasterizer.advanceX()), std::tuple(calls, first, 24));

  ASSERT_TRUE(rasterizer.RenderGlyph(bold.get(), hei, 0.5));
  EXPECT_EQ(std::pair(fonts.bitmapCalls, rasterizer.advanceX()), std::pair(calls + 1, 12));
  ASSERT_TRUE(rasterizer.RenderGlyph(plain.get(), hei, 1.0));
  EXPECT_EQ(std::tuple(fonts.bitmapCalls, rasterizer.width(), rasterizer.stride()), std::tuple(calls + 2, 24, 24));
  rasterizer.SetGlyphCache(false);
  ASSERT_TRUE(rasterizer.RenderGlyph(bold.get(), hei, 1.0));
  EXPECT_EQ(std::pair(fonts.bitmapCalls, Map()), std::pair(calls + 3, first));
}

// Character codes to and from Unicode, as the fonts and the kana tables need
// them.
TEST(CodeConversionTest, GbkAndShiftJisCodes) {
  const CodePage gbk(CodePage::Kind::Gbk), sjis(CodePage::Kind::ShiftJis);
  const std::tuple<const CodePage&, u32, u32> toUnicode[] = {
      {gbk, 'A', 0x41},       {gbk, 0xBADA, 0x9ED1}, {gbk, 0xA1A1, 0x3000}, {sjis, 0x82A0, 0x3042},
      {sjis, 0x8145, 0x30FB}, {sjis, 0xB1, 0xFF71},  {sjis, 0, 0},          {sjis, 0x10001, 0},
      {sjis, 0x82, 0},        {sjis, 0x4141, 0},     {sjis, 0x827F, 0}};
  for (const auto& [page, code, unicode] : toUnicode) EXPECT_EQ(page.CodeToUnicode(code), unicode) << std::hex << code;
  const std::tuple<const CodePage&, const char*, u32> fromUtf8[] = {
      {gbk, "黑体", 0xBADA}, {gbk, "?", '?'}, {gbk, "・", 0}, {gbk, "", 0}, {gbk, "\xE9\xBB", 0}, {sjis, "」", 0x8176}};
  for (const auto& [page, utf8, code] : fromUtf8) EXPECT_EQ(page.CodeFromUtf8(utf8), code) << utf8;
}

}  // namespace
}  // namespace lyraban
