#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/freetype/freetype_fonts.h"
#include "text/glyph.h"

namespace lyraban {
namespace {

// Real glyphs are compared pixel for pixel in the glyph reference test; here
// the service's refusals and a game font from memory, on the machine's face.
TEST(FreeTypeTest, RefusesImpossibleSizesAndBrokenFontDataThenUsesTheGameFont) {
  Trace trace;
  platform::FreeTypeFontService fonts{trace};
  for (int height : {0, -5, 100000}) EXPECT_EQ(fonts.CreateFont({height, 400, platform::FontFamily::Heiti}), nullptr);
  if (!fonts.HasCjkFace()) GTEST_SKIP() << "no CJK font found through fontconfig (install fonts-wqy-microhei)";
  int index = 0;
  std::ifstream in(fonts.FindFontFile(platform::FontFamily::Heiti, 400, index), std::ios::binary);
  std::vector<u8> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 200u);
  EXPECT_FALSE(fonts.UseFontData({}) || fonts.UseFontData(std::vector<u8>(bytes.begin(), bytes.begin() + 200)));
  ASSERT_TRUE(fonts.UseFontData(std::move(bytes)));
  auto game = CreateFont(fonts, 20, 400, platform::FontFamily::Mincho);
  GlyphRasterizer r{CodePage(CodePage::Kind::Gbk), trace};
  ASSERT_TRUE(game && r.RenderGlyph(game.get(), CodePage().CodeFromUtf8("黑"), 1.0));
  EXPECT_TRUE(r.width() > 8 && r.advanceX() >= 16 && r.advanceX() <= 22) << r.width() << " " << r.advanceX();
}

}  // namespace
}  // namespace lyraban
