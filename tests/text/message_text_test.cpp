#include "text/message_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "fake_fonts.h"

namespace lyraban {
namespace {

std::string Gbk(const std::string& utf8) { return CodePage().FromUtf8(utf8); }

// Fake glyphs: every character is a solid box advancing by the font size
// (24 for text, 12 for ruby), its top at the pen's y.
class MessageTextTest : public ::testing::Test {
 protected:
  MessageTextTest() {
    surface.Create(4, 800, 300);
    text.SetPlacementObserver([this](const PlacedGlyph& g) { placed.push_back(g); });
  }
  // Types a whole message as the window layout starts it; returns the x, y
  // of the glyphs placed in `role`.
  using Points = std::vector<std::pair<int, int>>;
  Points Type(const std::string& utf8, GlyphRole role = GlyphRole::Text) {
    text.penX = kWindowTextArea.left;
    text.penY = kWindowTextArea.top;
    text.ParseMessageText(Gbk(utf8));
    text.BeginMessage();
    placed.clear();
    EXPECT_FALSE(text.TypeMessage(surface, -1));
    Points out;
    for (const auto& g : placed)
      if (g.role == role) out.emplace_back(g.x, g.y);
    return out;
  }

  Trace trace;
  testing::FakeFontService fonts;
  UserSettings settings{};
  GlyphRasterizer rasterizer{CodePage(CodePage::Kind::Gbk), trace};
  MessageText text{rasterizer, fonts, settings, trace};
  Surface surface;
  std::vector<PlacedGlyph> placed;
};

TEST_F(MessageTextTest, ParsesMarkupEscapesAndDoubleByteCharacters) {
  // The third holds trail bytes that look like markup.
  // clang-format off
  const std::pair<std::string, std::vector<TextCode>> cases[] = {
      {"a@/><|()[]{}", {'a', kCodePause, kCodeLineBreak, kCodeFaster, kCodeSlower, kCodeRubyBase, kCodeRubyOpen,
                        kCodeRubyClose, kCodeEmphasisOn, kCodeEmphasisOff, kCodeUnpacedOn, kCodeUnpacedOff}},
      {"\\@\\/\\\\", {'@', '/', '\\'}}, {"\x81\x40\x81\x7C\x81\x5C", {0x8140, 0x817C, 0x815C}},
      {"x\\", {'x', 0}}, {"x\xB0", {'x', 0xB0}}, {std::string("a\0b", 3), {'a'}}};
  // clang-format on
  for (const auto& [input, codes] : cases) {
    text.ParseMessageText(input);
    EXPECT_EQ(text.codes(), codes) << input;
  }
  // Plain text drops markup and readings; any control code ends a reading.
  for (auto [input, plain] :
       {std::pair{"A/B|X(yz)@", "A\nBX"}, {"(ab@cd\\/e", "cd/e"}, {"汉字(かんじ)です", "汉字です"}}) {
    text.ParseMessageText(Gbk(input));
    EXPECT_EQ(text.PlainMessageText(), Gbk(plain)) << input;
  }
}

TEST_F(MessageTextTest, PausesAndSpeedsSetTheCost) {
  text.penX = 300, text.penY = 200;
  text.ParseMessageText("ab@cd");
  text.BeginMessage();
  EXPECT_EQ(std::vector<int>({text.rubyX, text.rubyY, text.speedLevel(), text.timeUsed()}),
            std::vector<int>({300, 188, 2, 0}));
  EXPECT_TRUE(text.TypeMessage(surface, 50));
  EXPECT_EQ(std::pair(placed.size(), text.timeUsed()), std::pair(std::size_t{3}, 52)) << "d waits";
  EXPECT_TRUE(text.TypeMessage(surface, 52) && placed.size() == 3u) << "still waiting at 52";
  EXPECT_FALSE(text.TypeMessage(surface, 1000));
  EXPECT_EQ(std::pair(text.timeUsed(), text.codes().empty()), std::pair(56, true));
  // Unpaced text is free; speeds stay within 0..4 and each message starts at 2.
  for (auto [input, cost] : {std::pair{"{abc}d", 4}, {">>>>>>a", 1}, {"<<<<a>b", 16 + 8}, {"a)]}b", 8}}) {
    Type(input);
    EXPECT_EQ(text.timeUsed(), cost) << input;
  }
}

TEST_F(MessageTextTest, RubySpreadsOverItsBase) {
  // Base span 48 over three readings of 12: slot 16, 2 pixels either side.
  EXPECT_EQ(Type("|AB(xyz)C", GlyphRole::Ruby), (Points{{82, 58}, {98, 58}, {114, 58}}));
  EXPECT_EQ(std::tuple(placed[2].code, placed[2].scale, placed[2].font, placed.back().x),
            std::tuple(TextCode{'x'}, 0.5, FontRole::B, 128));
  EXPECT_TRUE(Type("|AB(xyz)", GlyphRole::Ruby).empty()) << "at the very end the reading is never drawn";
  EXPECT_EQ(Type("|A(wxyz)B", GlyphRole::Ruby), (Points{{80, 58}, {92, 58}, {104, 58}, {116, 58}}))
      << "readings wider than their base run on";
  // Without a bar the base starts where the character class changed; a bar
  // keeps its anchor across a change.
  EXPECT_EQ(Type("かな汉字(かんじ)。", GlyphRole::Ruby), (Points{{130, 58}, {146, 58}, {162, 58}}));
  EXPECT_EQ(Type("|かな汉字(かんじ)。", GlyphRole::Ruby).front().first, 80 + 10);
  EXPECT_EQ(Type("a(bcd").size(), 1u) << "an unclosed reading is dropped";
}

TEST_F(MessageTextTest, LineBreaksHangingCharactersAndEmphasis) {
  // 23 cells fill 80..632; the 24th would end at 656, past 640, unless it
  // may not start a line.
  EXPECT_EQ(Type(std::string(23, 'a') + "。b").back(), std::pair(80, 110));
  EXPECT_EQ(placed[23].x, 632);
  EXPECT_EQ(Type(std::string(23, 'a') + "c").back(), std::pair(80, 110));
  EXPECT_EQ(Type("a/b"), (Points{{80, 70}, {80, 110}}));
  EXPECT_EQ(Type("a\\/b").back(), std::pair(128, 70));
  EXPECT_EQ(Type("[ab]c", GlyphRole::Emphasis), (Points{{80, 52}, {104, 52}}));
  EXPECT_EQ(text.DrawNameText(surface, Gbk("名前x"), 100, 18), 100 + 72);
  EXPECT_EQ(placed.back().font, FontRole::Name);
  EXPECT_EQ(std::pair(placed[1].code, placed[1].font), std::pair(text.emphasisMarkCode(), FontRole::Name));
}

TEST_F(MessageTextTest, FontKindPicksTheFont) {
  EXPECT_EQ(std::pair(fonts.requests.at(0).weight, fonts.requests.at(1).weight), std::pair(700, 400));
  // clang-format off
  for (auto [kind, kana, other] : {std::tuple{0, FontRole::A, FontRole::B}, {1, FontRole::A, FontRole::A},
                                   {2, FontRole::B, FontRole::B}, {9, FontRole::A, FontRole::B}}) {
    // clang-format on
    settings.FontKind = static_cast<u8>(kind);
    Type("あ汉");
    EXPECT_EQ(std::pair(placed[0].font, placed[1].font), std::pair(kana, other)) << kind;
  }
}

TEST_F(MessageTextTest, RandomMarkupAlwaysEnds) {
  std::mt19937 rng(12345);
  const char alphabet[] = "@/><|()[]{}\\ab\xB0\xA1\x81\x40";
  for (int round = 0; round < 200; ++round) {
    std::string s;
    const int length = static_cast<int>(rng() % 300);
    for (int i = 0; i < length; ++i) s.push_back(alphabet[rng() % (sizeof alphabet - 1)]);
    text.ParseMessageText(s);
    text.BeginMessage();
    EXPECT_LE(text.PlainMessageText().size(), s.size());
    int budget = 0, calls = 0;
    while (text.TypeMessage(surface, budget)) {
      budget += 7;
      ASSERT_LT(++calls, 40 * length / 7 + 3);
    }
  }
}

// The GBK classes and line-start rules show in the ruby and line-break
// tests; Shift-JIS has its own ranges and marks.
TEST(MessageTextCodesTest, FixedCharactersFollowTheCodePage) {
  Trace trace;
  testing::FakeFontService fonts;
  UserSettings settings{};
  GlyphRasterizer gbkRasterizer(CodePage(), trace), sjisRasterizer(CodePage(CodePage::Kind::ShiftJis), trace);
  MessageText g(gbkRasterizer, fonts, settings, trace), s(sjisRasterizer, fonts, settings, trace);
  // clang-format off
  for (auto [code, kind] : {std::pair{0x82A0u, CharClass::Kana}, {0x8396u, CharClass::Kana},
                            {0x8397u, CharClass::Other}, {0x889Fu, CharClass::Other}})
    // clang-format on
    EXPECT_EQ(s.ClassOf(code), kind) << std::hex << code;
  EXPECT_TRUE(s.IsLineStartForbidden(0x8142) && s.IsLineStartForbidden(0x8158) && !s.IsLineStartForbidden(0x8175));
  EXPECT_EQ(std::vector<u32>({g.openBracketCode(), g.closeBracketCode(), g.emphasisMarkCode(), s.openBracketCode(),
                              s.closeBracketCode(), s.emphasisMarkCode()}),
            std::vector<u32>({0xA1B8, 0xA1B9, 0xA1A4, 0x8175, 0x8176, 0x8145}));
}

}  // namespace
}  // namespace lyraban
