#include "text/text_pen.h"

#include <gtest/gtest.h>

#include "fake_fonts.h"
#include "resources/resources.h"
#include "support/temp_dir.h"
#include "text/game_font.h"

namespace lyraban {
namespace {

using testing::FakeFontService;

// Fake glyphs are solid boxes one font size square whose top is the pen's y.
class TextPenTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(surface.Create(4, 200, 120)); }

  Trace trace;
  FakeFontService fonts;
  GlyphRasterizer rasterizer{CodePage(CodePage::Kind::Gbk), trace};
  TextPen pen{rasterizer, fonts, 200, 120};
  Surface surface;
};

TEST_F(TextPenTest, FontRulesSpacesLinesAndBrokenCharacters) {
  pen.DrawString(surface, "ab", false);
  EXPECT_EQ(pen.penX, 0) << "no font, no advance";
  EXPECT_TRUE(!pen.SetFont(-1, 0) && !pen.SetFont(10, -1) && fonts.requests.empty());
  ASSERT_TRUE(pen.SetFont(25, 2));
  EXPECT_EQ(std::pair(fonts.requests.back().height, fonts.requests.back().weight), std::pair(25, 400));
  pen.left = 7, pen.top = 5;
  pen.Reset();
  // Half-width space: half the size, rounded down; full-width: the size.
  std::fill_n(surface.pixels(), surface.ByteSize(), u8{0});
  pen.DrawString(surface, " " + CodePage().FromUtf8("　"), true);
  EXPECT_EQ(pen.penX, 7 + 12 + 25);
  EXPECT_EQ(std::count(surface.pixels(), surface.pixels() + surface.ByteSize(), 0), surface.ByteSize());
  pen.DrawString(surface, "a\nc", false);
  EXPECT_EQ(std::pair(pen.penX, pen.penY), std::pair(7 + 25, 5 + 27));
  // A trailing lead byte has no trail: not drawn, the pen stays; a zero byte ends the text.
  pen.DrawString(surface, std::string_view("A\xB0\0D", 4), true);
  EXPECT_EQ(pen.penX, 7 + 50);
}

TEST_F(TextPenTest, WrapStartsANewLineBeforeCrossingTheRightLimitInThePenColour) {
  ASSERT_TRUE(pen.SetFont(20, 4));
  pen.right = 100;
  pen.colour = TextColour{255, 0, 0};
  // From x, wrap, then the pen after and where the ink starts.
  for (auto [x, wrap, afterX, afterY, inkX, inkY] :
       {std::tuple{81, true, 20, 24, 0, 24}, {81, false, 101, 0, 100, 0}, {80, true, 100, 0, 99, 0}}) {
    std::fill_n(surface.pixels(), surface.ByteSize(), u8{0});
    pen.penX = x, pen.penY = 0;
    pen.DrawChar(surface, 'A', wrap);
    EXPECT_EQ(std::pair(pen.penX, pen.penY), std::pair(afterX, afterY)) << x;
    const u8* p = surface.Row(inkY) + inkX * 4;
    EXPECT_EQ(std::vector<int>(p, p + 4), (std::vector<int>{255, 0, 0, 255})) << x;
  }
}

TEST(GameFontTest, ShippedFontFileGoesToTheServiceAndNoneIsNoFault) {
  testing::TempDir dir;
  Trace trace;
  FakeFontService fonts;
  Resources resources(trace);
  resources.OpenDataFolder(dir.str());
  int messages = 0;
  trace.SetSink([&](std::string_view) { ++messages; });
  EXPECT_FALSE(LoadGameFont(resources, fonts));
  EXPECT_EQ(messages, 0) << "a game without a font leaves no diagnostics";
  dir.Write("data/font/font.otf", "OTTO-bytes");
  ASSERT_TRUE(LoadGameFont(resources, fonts));
  EXPECT_EQ(std::string(fonts.usedData.begin(), fonts.usedData.end()), "OTTO-bytes");
}

}  // namespace
}  // namespace lyraban
