#include "text/message_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "fake_fonts.h"

namespace lyraban {
namespace {

using testing::FakeFontService;

// Fake glyphs: every character is a solid box advancing by the font size
// (24 for text, 12 for ruby), with its top at the pen's y.
class MessageTextTest : public ::testing::Test {
 protected:
  MessageTextTest() { std::memset(&settings, 0, sizeof settings); }

  void SetUp() override {
    ASSERT_TRUE(surface.Create(4, 800, 300));
    std::fill_n(surface.pixels(), surface.ByteSize(), u8{0});
    text = std::make_unique<MessageText>(rasterizer, fonts, settings, trace);
    text->SetPlacementObserver([this](const PlacedGlyph& g) { placed.push_back(g); });
  }

  // Starts a message as the window layout does: pen at the text area's
  // top-left corner.
  void Begin(const std::string& utf8) {
    text->SelectTextArea(kWindowTextArea);
    text->penX = kWindowTextArea.left;
    text->penY = kWindowTextArea.top;
    text->ParseMessageText(Gbk(utf8));
    text->BeginMessage();
    placed.clear();
  }
  static std::string Gbk(const std::string& utf8) { return CodePage().FromUtf8(utf8); }
  static u32 Code(const char* utf8) { return CodePage().CodeFromUtf8(utf8); }

  std::vector<PlacedGlyph> Placed(GlyphRole role) const {
    std::vector<PlacedGlyph> out;
    for (const auto& g : placed)
      if (g.role == role) out.push_back(g);
    return out;
  }

  Trace trace;
  FakeFontService fonts;
  UserSettings settings;
  GlyphRasterizer rasterizer{CodePage(CodePage::Kind::Gbk), trace};
  std::unique_ptr<MessageText> text;
  Surface surface;
  std::vector<PlacedGlyph> placed;
};

TEST_F(MessageTextTest, ParsesMarkupEscapesAndDoubleByteCharacters) {
  text->ParseMessageText("a@/><|()[]{}");
  EXPECT_EQ(text->codes(), (std::vector<TextCode>{'a', kCodePause, kCodeLineBreak, kCodeFaster, kCodeSlower,
                                                  kCodeRubyBase, kCodeRubyOpen, kCodeRubyClose, kCodeEmphasisOn,
                                                  kCodeEmphasisOff, kCodeUnpacedOn, kCodeUnpacedOff}));
  text->ParseMessageText("\\@\\/\\\\");
  EXPECT_EQ(text->codes(), (std::vector<TextCode>{'@', '/', '\\'}));
  // Trail bytes that look like markup belong to their character.
  text->ParseMessageText("\x81\x40\x81\x7C\x81\x5C");
  EXPECT_EQ(text->codes(), (std::vector<TextCode>{0x8140, 0x817C, 0x815C}));
  text->ParseMessageText("x\\");
  EXPECT_EQ(text->codes(), (std::vector<TextCode>{'x', 0}));
  text->ParseMessageText("x\xB0");
  EXPECT_EQ(text->codes(), (std::vector<TextCode>{'x', 0xB0}));
  text->ParseMessageText(std::string_view("a\0b", 3));
  EXPECT_EQ(text->codes(), (std::vector<TextCode>{'a'}));
}

TEST_F(MessageTextTest, PlainTextDropsMarkupAndReadings) {
  text->ParseMessageText("A/B|X(yz)@");
  EXPECT_EQ(text->PlainMessageText(), "A\nBX");
  // Any control code ends a reading; escaped markup is text.
  text->ParseMessageText("(ab@cd\\/e");
  EXPECT_EQ(text->PlainMessageText(), "cd/e");
  const std::string gbk = Gbk("汉字(かんじ)です");
  text->ParseMessageText(gbk);
  EXPECT_EQ(text->PlainMessageText(), Gbk("汉字です"));
}

TEST_F(MessageTextTest, PausesAndSpeedsSetTheCost) {
  Begin("ab@cd");
  EXPECT_TRUE(text->TypeMessage(surface, 50));
  EXPECT_EQ(placed.size(), 3u);  // d waits
  EXPECT_EQ(text->timeUsed(), 52);
  EXPECT_TRUE(text->TypeMessage(surface, 52));
  EXPECT_EQ(placed.size(), 3u);
  EXPECT_FALSE(text->TypeMessage(surface, 1000));
  EXPECT_EQ(text->timeUsed(), 56);
  EXPECT_TRUE(text->codes().empty());
  EXPECT_FALSE(text->TypeMessage(surface, 2000));

  Begin("{abc}d");
  EXPECT_FALSE(text->TypeMessage(surface, -1));
  EXPECT_EQ(text->timeUsed(), 4);

  Begin(">>>>>>a");
  EXPECT_FALSE(text->TypeMessage(surface, -1));
  EXPECT_EQ(text->timeUsed(), 1);
  EXPECT_EQ(text->speedLevel(), 4);

  // Each message starts again at level 2.
  Begin("<<<<a>b");
  EXPECT_FALSE(text->TypeMessage(surface, -1));
  EXPECT_EQ(text->timeUsed(), 16 + 8);
}

TEST_F(MessageTextTest, ExplicitRubySpreadsOverItsBaseWhenTheNextCharacterComes) {
  Begin("|AB(xyz)C");
  EXPECT_FALSE(text->TypeMessage(surface, -1));
  ASSERT_EQ(placed.size(), 6u);
  EXPECT_EQ(placed[0].code, 'A');
  EXPECT_EQ(placed[1].code, 'B');
  // Base span 48 over three readings of 12: slot 16, 2 pixels either side.
  const auto ruby = Placed(GlyphRole::Ruby);
  ASSERT_EQ(ruby.size(), 3u);
  EXPECT_EQ(ruby[0].code, 'x');
  EXPECT_EQ(ruby[0].x, 82);
  EXPECT_EQ(ruby[1].x, 98);
  EXPECT_EQ(ruby[2].x, 114);
  for (const auto& g : ruby) {
    EXPECT_EQ(g.y, 70 - 12);
    EXPECT_EQ(g.scale, 0.5);
    EXPECT_EQ(g.font, FontRole::B);
  }
  EXPECT_EQ(placed[5].code, 'C');
  EXPECT_EQ(placed[5].x, 128);

  // At the very end of a message the reading is never drawn.
  Begin("|AB(xyz)");
  EXPECT_FALSE(text->TypeMessage(surface, -1));
  EXPECT_TRUE(Placed(GlyphRole::Ruby).empty());
  EXPECT_EQ(placed.size(), 2u);

  // Readings wider than their base run on past it.
  Begin("|A(wxyz)B");
  EXPECT_FALSE(text->TypeMessage(surface, -1));
  const auto wide = Placed(GlyphRole::Ruby);
  ASSERT_EQ(wide.size(), 4u);
  EXPECT_EQ(wide[0].x, 80);
  EXPECT_EQ(wide[3].x, 116);
}

TEST_F(MessageTextTest, ImplicitRubyCoversCharactersSinceTheClassChanged) {
  Begin("かな汉字(かんじ)。");
  EXPECT_FALSE(text->TypeMessage(surface, -1));
  const auto ruby = Placed(GlyphRole::Ruby);
  ASSERT_EQ(ruby.size(), 3u);
  // The base is the two ideographs at 128..176: slot 16.
  EXPECT_EQ(ruby[0].x, 130);
  EXPECT_EQ(ruby[1].x, 146);
  EXPECT_EQ(ruby[2].x, 162);
  EXPECT_EQ(ruby[0].code, Code("か"));

  // An explicit bar keeps the anchor across a class change.
  Begin("|かな汉字(かんじ)。");
  EXPECT_FALSE(text->TypeMessage(surface, -1));
  const auto whole = Placed(GlyphRole::Ruby);
  ASSERT_EQ(whole.size(), 3u);
  EXPECT_EQ(whole[0].x, 80 + 10);  // slot 32 over 96 pixels, 20 to spare
}

TEST_F(MessageTextTest, LineStartForbiddenCharactersHang) {
  // 23 cells fill 80..632; the 24th would end at 656, past 640.
  Begin(std::string(23, 'a') + "。b");
  EXPECT_FALSE(text->TypeMessage(surface, -1));
  ASSERT_EQ(placed.size(), 25u);
  EXPECT_EQ(placed[23].x, 632);
  EXPECT_EQ(placed[23].y, 70);
  EXPECT_EQ(placed[24].x, 80);
  EXPECT_EQ(placed[24].y, 110);

  Begin(std::string(23, 'a') + "c");
  EXPECT_FALSE(text->TypeMessage(surface, -1));
  EXPECT_EQ(placed[23].x, 80);
  EXPECT_EQ(placed[23].y, 110);
}

TEST_F(MessageTextTest, ForcedBreaksAndEscapedSlash) {
  Begin("a/b");
  EXPECT_FALSE(text->TypeMessage(surface, -1));
  ASSERT_EQ(placed.size(), 2u);
  EXPECT_EQ(placed[1].x, 80);
  EXPECT_EQ(placed[1].y, 110);

  Begin("a\\/b");
  EXPECT_FALSE(text->TypeMessage(surface, -1));
  ASSERT_EQ(placed.size(), 3u);
  EXPECT_EQ(placed[1].code, '/');
  EXPECT_EQ(placed[2].x, 128);
  EXPECT_EQ(placed[2].y, 70);
}

TEST_F(MessageTextTest, EmphasisMarksEachCharacterWhileOn) {
  Begin("[ab]c");
  EXPECT_FALSE(text->TypeMessage(surface, -1));
  const auto marks = Placed(GlyphRole::Emphasis);
  ASSERT_EQ(marks.size(), 2u);
  EXPECT_EQ(marks[0].x, 80);
  EXPECT_EQ(marks[0].y, 70 - 24 + 6);
  EXPECT_EQ(marks[1].x, 104);
  EXPECT_EQ(marks[0].code, text->emphasisMarkCode());
  EXPECT_EQ(marks[0].font, FontRole::Name);
}

TEST_F(MessageTextTest, FontKindPicksTheFont) {
  EXPECT_EQ(fonts.requests.at(0).weight, 700);
  EXPECT_EQ(fonts.requests.at(1).weight, 400);
  const struct {
    u8 kind;
    FontRole kana, other;
  } cases[] = {{0, FontRole::A, FontRole::B},
               {1, FontRole::A, FontRole::A},
               {2, FontRole::B, FontRole::B},
               {9, FontRole::A, FontRole::B}};
  for (const auto& c : cases) {
    settings.FontKind = c.kind;
    Begin("あ汉");
    EXPECT_FALSE(text->TypeMessage(surface, -1));
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0].font, c.kana) << int(c.kind);
    EXPECT_EQ(placed[1].font, c.other) << int(c.kind);
  }
}

TEST_F(MessageTextTest, ShadowIsDrawnFirstOneDownRight) {
  text->colour = TextColour{255, 255, 255};
  Begin("a");
  EXPECT_FALSE(text->TypeMessage(surface, -1));
  EXPECT_EQ(surface.Row(70)[80 * 4 + 3], 255);
  EXPECT_EQ(surface.Row(94)[104 * 4 + 0], 0);  // no shadow: untouched

  settings.TextShadow = 1;
  std::fill_n(surface.pixels(), surface.ByteSize(), u8{0});
  Begin("a");
  EXPECT_FALSE(text->TypeMessage(surface, -1));
  const u8* corner = surface.Row(94) + 104 * 4;
  EXPECT_EQ(corner[0], 255);  // opaque
  EXPECT_EQ(corner[3], 0);    // black
  const u8* inside = surface.Row(80) + 90 * 4;
  EXPECT_EQ(inside[3], 255);  // the glyph lies over its shadow
}

TEST_F(MessageTextTest, BadMarkupIsHarmless) {
  Begin("a(bcd");
  EXPECT_FALSE(text->TypeMessage(surface, -1));
  EXPECT_EQ(placed.size(), 1u);
  EXPECT_TRUE(text->codes().empty());

  Begin("a)]}b");
  EXPECT_FALSE(text->TypeMessage(surface, -1));
  EXPECT_EQ(placed.size(), 2u);
  EXPECT_EQ(text->timeUsed(), 8);

  // Random bytes rich in markup: typing with a growing budget always ends,
  // and every call makes progress.
  std::mt19937 rng(12345);
  const char alphabet[] = "@/><|()[]{}\\ab\xB0\xA1\x81\x40";
  for (int round = 0; round < 200; ++round) {
    std::string s;
    const int length = static_cast<int>(rng() % 300);
    for (int i = 0; i < length; ++i) s.push_back(alphabet[rng() % (sizeof alphabet - 1)]);
    Begin("");
    text->ParseMessageText(s);
    EXPECT_LE(text->PlainMessageText().size(), s.size());
    int budget = 0, calls = 0;
    while (text->TypeMessage(surface, budget)) {
      budget += 7;
      ASSERT_LT(++calls, 40 * length / 7 + 3);
    }
  }
}

TEST_F(MessageTextTest, NameTextAndBeginMessage) {
  EXPECT_EQ(text->DrawNameText(surface, Gbk("名前x"), 100, 18), 100 + 72);
  ASSERT_EQ(placed.size(), 3u);
  EXPECT_EQ(placed[0].font, FontRole::Name);

  text->penX = 300;
  text->penY = 200;
  text->BeginMessage();
  EXPECT_EQ(text->rubyX, 300);
  EXPECT_EQ(text->rubyY, 188);
  EXPECT_EQ(text->speedLevel(), 2);
  EXPECT_EQ(text->timeUsed(), 0);
}

TEST(MessageTextCodesTest, FixedCharactersFollowTheCodePage) {
  Trace trace;
  FakeFontService fonts;
  UserSettings settings{};
  GlyphRasterizer gbkRasterizer(CodePage(CodePage::Kind::Gbk), trace);
  MessageText gbk(gbkRasterizer, fonts, settings, trace);
  const CodePage gbkPage;
  EXPECT_EQ(gbk.ClassOf(gbkPage.CodeFromUtf8("あ")), CharClass::Kana);
  EXPECT_EQ(gbk.ClassOf(gbkPage.CodeFromUtf8("ヶ")), CharClass::Kana);
  EXPECT_EQ(gbk.ClassOf(gbkPage.CodeFromUtf8("Ａ")), CharClass::Kana);
  EXPECT_EQ(gbk.ClassOf(gbkPage.CodeFromUtf8("９")), CharClass::Kana);
  EXPECT_EQ(gbk.ClassOf(gbkPage.CodeFromUtf8("汉")), CharClass::Other);
  EXPECT_EQ(gbk.ClassOf('a'), CharClass::Other);
  EXPECT_TRUE(gbk.IsLineStartForbidden(gbkPage.CodeFromUtf8("。")));
  EXPECT_TRUE(gbk.IsLineStartForbidden(gbkPage.CodeFromUtf8("ヮ")));
  EXPECT_FALSE(gbk.IsLineStartForbidden(gbkPage.CodeFromUtf8("「")));
  EXPECT_FALSE(gbk.IsLineStartForbidden('.'));
  EXPECT_EQ(gbk.openBracketCode(), 0xA1B8u);
  EXPECT_EQ(gbk.closeBracketCode(), 0xA1B9u);
  EXPECT_EQ(gbk.emphasisMarkCode(), 0xA1A4u);

  GlyphRasterizer sjisRasterizer(CodePage(CodePage::Kind::ShiftJis), trace);
  MessageText sjis(sjisRasterizer, fonts, settings, trace);
  EXPECT_EQ(sjis.ClassOf(0x82A0), CharClass::Kana);
  EXPECT_EQ(sjis.ClassOf(0x8396), CharClass::Kana);
  EXPECT_EQ(sjis.ClassOf(0x8397), CharClass::Other);
  EXPECT_EQ(sjis.ClassOf(0x889F), CharClass::Other);
  EXPECT_TRUE(sjis.IsLineStartForbidden(0x8142));
  EXPECT_TRUE(sjis.IsLineStartForbidden(0x8158));
  EXPECT_EQ(sjis.openBracketCode(), 0x8175u);
  EXPECT_EQ(sjis.closeBracketCode(), 0x8176u);
  EXPECT_EQ(sjis.emphasisMarkCode(), 0x8145u);
}

}  // namespace
}  // namespace lyraban
