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
  // Renders one GBK character given as UTF-8; returns its advance.
  int Render(Font* font, const char* utf8, double scale = 1.0) {
    EXPECT_TRUE(rasterizer.RenderGlyph(font, CodePage().CodeFromUtf8(utf8), scale)) << utf8;
    return rasterizer.advanceX();
  }
  int Ink() const {
    int ink = 0;
    for (int y = 0; y < rasterizer.height(); ++y)
      for (int x = 0; x < rasterizer.width(); ++x) ink += rasterizer.coverage()[y * rasterizer.stride() + x] > 0;
    return ink;
  }

  Trace trace;
  platform::FreeTypeFontService fonts{trace};
  GlyphRasterizer rasterizer{CodePage(CodePage::Kind::Gbk), trace};
};

TEST_F(FreeTypeTest, GlyphsFitTheirCellsAtEveryScaleAndWeight) {
  auto font = CreateFont(fonts, 24, 400);
  auto bold = CreateFont(fonts, 24, 700);
  ASSERT_TRUE(font && bold);
  // A full-width character advances by about the cell; its ink stays inside
  // the cell, below the pen's top.
  const int advance = Render(font.get(), "黑");
  const int width = rasterizer.width(), height = rasterizer.height();
  EXPECT_TRUE(advance >= 20 && advance <= 26) << advance;
  EXPECT_TRUE(width > 12 && width <= 26 && height > 12) << width << "×" << height;
  EXPECT_TRUE(rasterizer.top() >= 0 && rasterizer.top() + height <= 28 && rasterizer.originX() >= 0);
  EXPECT_GT(Ink(), 40);

  EXPECT_NEAR(Render(font.get(), "黑", 0.5), advance / 2, 1);
  EXPECT_NEAR(rasterizer.height(), height / 2, 1);
  Render(bold.get(), "黑");
  EXPECT_EQ(rasterizer.width(), width + 1);

  EXPECT_GT(Render(font.get(), " "), 0);
  EXPECT_EQ(Ink(), 0) << "a space has no ink";
  EXPECT_LT(Render(font.get(), "i"), advance);
}

TEST_F(FreeTypeTest, GameFontFromMemoryReplacesSystemFaces) {
  int index = 0;
  const std::string file = fonts.FindFontFile(platform::FontFamily::Heiti, 400, index);
  std::ifstream in(file, std::ios::binary);
  std::vector<u8> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 200u);

  EXPECT_FALSE(fonts.UseFontData({}));
  EXPECT_FALSE(fonts.UseFontData(std::vector<u8>(bytes.begin(), bytes.begin() + 200)));
  ASSERT_TRUE(fonts.UseFontData(std::move(bytes)));
  auto font = CreateFont(fonts, 20, 400, platform::FontFamily::Mincho);
  ASSERT_TRUE(font);
  Render(font.get(), "黑");
  EXPECT_GT(rasterizer.width(), 8);
}

TEST(FreeTypeServiceTest, RejectsImpossibleSizes) {
  Trace trace;
  platform::FreeTypeFontService fonts{trace};
  for (int height : {0, -5, 100000}) EXPECT_EQ(fonts.CreateFont({height, 400, platform::FontFamily::Heiti}), nullptr);
}

}  // namespace
}  // namespace lyraban
