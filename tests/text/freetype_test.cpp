#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/freetype/freetype_fonts.h"
#include "text/glyph.h"

namespace lyraban {
namespace {

// These run against the CJK face installed on the machine.
class FreeTypeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fonts.HasCjkFace()) GTEST_SKIP() << "no CJK font found through fontconfig (install fonts-wqy-microhei)";
  }
  // Renders one GBK character given as UTF-8.
  bool Render(Font* font, const char* utf8, double scale = 1.0) {
    return rasterizer.RenderGlyph(font, CodePage().CodeFromUtf8(utf8), scale);
  }

  Trace trace;
  platform::FreeTypeFontService fonts{trace};
  GlyphRasterizer rasterizer{CodePage(CodePage::Kind::Gbk), trace};
};

TEST_F(FreeTypeTest, IdeographFitsItsCell) {
  auto font = CreateFont(fonts, 24, 400);
  ASSERT_TRUE(font);
  ASSERT_TRUE(Render(font.get(), "黑"));
  // A full-width character advances by about the cell and its ink stays
  // inside the cell, below the pen's top.
  EXPECT_GE(rasterizer.advanceX(), 20);
  EXPECT_LE(rasterizer.advanceX(), 26);
  EXPECT_GT(rasterizer.width(), 12);
  EXPECT_LE(rasterizer.width(), 26);
  EXPECT_GT(rasterizer.height(), 12);
  EXPECT_GE(rasterizer.top(), 0);
  EXPECT_LE(rasterizer.top() + rasterizer.height(), 28);
  EXPECT_GE(rasterizer.originX(), 0);
  int full = 0;
  for (int y = 0; y < rasterizer.height(); ++y)
    for (int x = 0; x < rasterizer.width(); ++x) full += rasterizer.coverage()[y * rasterizer.stride() + x] == 255;
  EXPECT_GT(full, 20);
}

TEST_F(FreeTypeTest, HalfScaleHalvesTheGlyph) {
  auto font = CreateFont(fonts, 24, 400);
  ASSERT_TRUE(Render(font.get(), "汉"));
  const int advance = rasterizer.advanceX();
  const int height = rasterizer.height();
  ASSERT_TRUE(Render(font.get(), "汉", 0.5));
  EXPECT_NEAR(rasterizer.advanceX(), advance / 2, 1);
  EXPECT_NEAR(rasterizer.height(), height / 2, 1);
}

TEST_F(FreeTypeTest, BoldMapIsOneWider) {
  auto plain = CreateFont(fonts, 24, 400);
  auto bold = CreateFont(fonts, 24, 700);
  ASSERT_TRUE(plain && bold);
  ASSERT_TRUE(Render(plain.get(), "字"));
  const int width = rasterizer.width();
  ASSERT_TRUE(Render(bold.get(), "字"));
  EXPECT_EQ(rasterizer.width(), width + 1);
}

TEST_F(FreeTypeTest, SpaceIsEmptyButAdvancesAndLatinIsNarrow) {
  auto font = CreateFont(fonts, 24, 400);
  ASSERT_TRUE(rasterizer.RenderGlyph(font.get(), ' ', 1.0));
  for (int y = 0; y < rasterizer.height(); ++y)
    for (int x = 0; x < rasterizer.width(); ++x) EXPECT_EQ(rasterizer.coverage()[y * rasterizer.stride() + x], 0);
  EXPECT_GT(rasterizer.advanceX(), 0);
  ASSERT_TRUE(rasterizer.RenderGlyph(font.get(), 'i', 1.0));
  const int narrow = rasterizer.advanceX();
  ASSERT_TRUE(Render(font.get(), "黑"));
  EXPECT_LT(narrow, rasterizer.advanceX());
}

TEST_F(FreeTypeTest, GameFontFromMemoryReplacesSystemFaces) {
  int index = 0;
  const std::string file = fonts.FindFontFile(platform::FontFamily::Heiti, 400, index);
  ASSERT_FALSE(file.empty());
  std::ifstream in(file, std::ios::binary);
  std::vector<u8> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(bytes.empty());

  EXPECT_FALSE(fonts.UseFontData({}));
  EXPECT_FALSE(fonts.UseFontData(std::vector<u8>(bytes.begin(), bytes.begin() + 200)));
  ASSERT_TRUE(fonts.UseFontData(std::move(bytes)));
  auto font = CreateFont(fonts, 20, 400, platform::FontFamily::Mincho);
  ASSERT_TRUE(font);
  EXPECT_TRUE(Render(font.get(), "黑"));
  EXPECT_GT(rasterizer.width(), 8);
}

TEST(FreeTypeServiceTest, RejectsImpossibleSizes) {
  Trace trace;
  platform::FreeTypeFontService fonts{trace};
  EXPECT_EQ(fonts.CreateFont({0, 400, platform::FontFamily::Heiti}), nullptr);
  EXPECT_EQ(fonts.CreateFont({-5, 400, platform::FontFamily::Heiti}), nullptr);
  EXPECT_EQ(fonts.CreateFont({100000, 400, platform::FontFamily::Heiti}), nullptr);
}

}  // namespace
}  // namespace lyraban
