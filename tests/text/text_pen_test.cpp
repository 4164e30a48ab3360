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
  void SetUp() override {
    ASSERT_TRUE(surface.Create(4, 200, 120));
    std::fill_n(surface.pixels(), surface.ByteSize(), u8{0});
  }
  int Alpha(int x, int y) { return surface.Row(y)[x * 4]; }

  Trace trace;
  FakeFontService fonts;
  GlyphRasterizer rasterizer{CodePage(CodePage::Kind::Gbk), trace};
  TextPen pen{rasterizer, fonts, 200, 120};
  Surface surface;
};

TEST_F(TextPenTest, FontRulesSpacesAndLines) {
  pen.DrawString(surface, "ab", false);
  EXPECT_EQ(pen.penX, 0) << "no font, no advance";
  EXPECT_FALSE(pen.SetFont(-1, 0));
  EXPECT_FALSE(pen.SetFont(10, -1));
  EXPECT_TRUE(fonts.requests.empty());
  ASSERT_TRUE(pen.SetFont(25, 2));
  EXPECT_EQ(std::pair(fonts.requests.back().height, fonts.requests.back().weight), std::pair(25, 400));
  EXPECT_FALSE(pen.SetFont(-3, 2));
  pen.left = 7;
  pen.top = 5;
  pen.Reset();
  // Half-width space: half the size, rounded down; full-width: the size.
  pen.DrawString(surface, " " + CodePage().FromUtf8("　"), true);
  EXPECT_EQ(pen.penX, 7 + 12 + 25);
  for (std::size_t i = 0; i < surface.ByteSize(); ++i) ASSERT_EQ(surface.pixels()[i], 0);
  pen.DrawString(surface, "a\nc", false);
  EXPECT_EQ(std::pair(pen.penX, pen.penY), std::pair(7 + 25, 5 + 27));
}

TEST_F(TextPenTest, WrapStartsANewLineBeforeCrossingTheRightLimit) {
  ASSERT_TRUE(pen.SetFont(20, 4));
  pen.right = 100;
  const struct {
    int x;
    bool wrap;
    int afterX, afterY, inkX, inkY;
  } cases[] = {{81, true, 20, 24, 0, 24}, {81, false, 101, 0, 100, 0}, {80, true, 100, 0, 99, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.x);
    std::fill_n(surface.pixels(), surface.ByteSize(), u8{0});
    pen.penX = c.x;
    pen.penY = 0;
    pen.DrawChar(surface, 'A', c.wrap);
    EXPECT_EQ(std::pair(pen.penX, pen.penY), std::pair(c.afterX, c.afterY));
    EXPECT_EQ(Alpha(c.inkX, c.inkY), 255);
  }
}

TEST_F(TextPenTest, DrawsInThePenColourAndSkipsBrokenCharacters) {
  ASSERT_TRUE(pen.SetFont(10, 0));
  pen.colour = TextColour{255, 0, 0};
  // A trailing lead byte has no trail: it is not drawn and does not move the pen.
  pen.DrawString(surface, "AB\xB0", true);
  EXPECT_EQ(pen.penX, 20);
  const u8* p = surface.Row(5) + 15 * 4;
  EXPECT_EQ(std::vector<int>(p, p + 4), (std::vector<int>{255, 0, 0, 255}));
  EXPECT_EQ(Alpha(20, 5), 0);
  pen.DrawString(surface, std::string_view("C\0D", 3), true);
  EXPECT_EQ(pen.penX, 30) << "text stops at a zero byte";
}

TEST(GameFontTest, ShippedFontFileGoesToTheService) {
  testing::TempDir dir;
  Trace trace;
  std::vector<std::string> messages;
  trace.SetSink([&](std::string_view m) { messages.emplace_back(m); });
  FakeFontService fonts;
  Resources bare(trace);
  bare.OpenDataFolder(dir.str());
  messages.clear();
  EXPECT_FALSE(LoadGameFont(bare, fonts));
  EXPECT_TRUE(messages.empty()) << "a game without a font leaves no diagnostics";

  dir.Write("data/font/font.otf", "OTTO-bytes");
  Resources resources(trace);
  resources.OpenDataFolder(dir.str());
  ASSERT_TRUE(LoadGameFont(resources, fonts));
  EXPECT_EQ(std::string(fonts.usedData.begin(), fonts.usedData.end()), "OTTO-bytes");
}

}  // namespace
}  // namespace lyraban
