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
  const u8* Pixel(int x, int y) { return surface.Row(y) + x * 4; }

  Trace trace;
  FakeFontService fonts;
  GlyphRasterizer rasterizer{CodePage(CodePage::Kind::Gbk), trace};
  TextPen pen{rasterizer, fonts, 200, 120};
  Surface surface;
};

TEST_F(TextPenTest, SpacesAdvanceWithoutDrawing) {
  ASSERT_TRUE(pen.SetFont(26, 6));
  pen.DrawChar(surface, ' ', true);
  EXPECT_EQ(pen.penX, 13);
  ASSERT_TRUE(pen.SetFont(25, 0));
  pen.DrawChar(surface, ' ', true);
  EXPECT_EQ(pen.penX, 25);
  pen.DrawString(surface, CodePage().FromUtf8("　"), true);
  EXPECT_EQ(pen.penX, 50);
  for (std::size_t i = 0; i < surface.ByteSize(); ++i) ASSERT_EQ(surface.pixels()[i], 0);
}

TEST_F(TextPenTest, FontRulesAndLinePitch) {
  pen.DrawString(surface, "ab", false);
  EXPECT_EQ(pen.penX, 0);
  EXPECT_FALSE(pen.SetFont(-1, 0));
  EXPECT_FALSE(pen.SetFont(10, -1));
  EXPECT_TRUE(fonts.requests.empty());
  ASSERT_TRUE(pen.SetFont(18, 2));
  EXPECT_EQ(fonts.requests.back().height, 18);
  EXPECT_EQ(fonts.requests.back().weight, 400);
  EXPECT_FALSE(pen.SetFont(-3, 2));
  EXPECT_EQ(pen.size(), 18);
  pen.left = 7;
  pen.top = 5;
  pen.Reset();
  pen.DrawString(surface, "ab\nc", false);
  EXPECT_EQ(pen.penX, 7 + 18);
  EXPECT_EQ(pen.penY, 5 + 20);
}

TEST_F(TextPenTest, WrapStartsANewLineBeforeCrossingTheRightLimit) {
  ASSERT_TRUE(pen.SetFont(20, 4));
  pen.right = 100;
  pen.penX = 81;
  pen.DrawChar(surface, 'A', true);
  EXPECT_EQ(pen.penX, 20);
  EXPECT_EQ(pen.penY, 24);
  EXPECT_EQ(Pixel(0, 24)[0], 255);

  pen.penX = 81;
  pen.penY = 0;
  pen.DrawChar(surface, 'A', false);
  EXPECT_EQ(pen.penX, 101);
  EXPECT_EQ(pen.penY, 0);
  EXPECT_EQ(Pixel(100, 0)[0], 255);  // drawn past the limit

  // Exactly reaching the limit is no crossing.
  pen.penX = 80;
  pen.penY = 50;
  pen.DrawChar(surface, 'A', true);
  EXPECT_EQ(pen.penY, 50);
}

TEST_F(TextPenTest, DrawsInThePenColourAndSkipsBrokenCharacters) {
  ASSERT_TRUE(pen.SetFont(10, 0));
  pen.colour = TextColour{255, 0, 0};
  // The trailing lead byte has no trail: it cannot be drawn and does not
  // move the pen.
  pen.DrawString(surface, "AB\xB0", true);
  EXPECT_EQ(pen.penX, 20);
  const u8* p = Pixel(15, 5);
  EXPECT_EQ(p[0], 255);
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(p[3], 255);
  EXPECT_EQ(Pixel(20, 5)[0], 0);
  // Text stops at a zero byte.
  pen.DrawString(surface, std::string_view("C\0D", 3), true);
  EXPECT_EQ(pen.penX, 30);
}

TEST(GameFontTest, ShippedFontFileGoesToTheService) {
  testing::TempDir dir;
  Trace trace;
  std::vector<std::string> messages;
  trace.SetSink([&](std::string_view m) { messages.emplace_back(m); });
  FakeFontService fonts;
  {
    Resources resources(trace);
    resources.OpenDataFolder(dir.str());
    messages.clear();
    EXPECT_FALSE(LoadGameFont(resources, fonts));
    EXPECT_TRUE(fonts.usedData.empty());
    EXPECT_TRUE(messages.empty());
  }
  dir.Write("data/font/font.otf", "OTTO-bytes");
  Resources resources(trace);
  resources.OpenDataFolder(dir.str());
  ASSERT_TRUE(LoadGameFont(resources, fonts));
  EXPECT_EQ(std::string(fonts.usedData.begin(), fonts.usedData.end()), "OTTO-bytes");
}

}  // namespace
}  // namespace lyraban
