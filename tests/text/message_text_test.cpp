#include "text/message_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <deque>
#include <functional>
#include <map>
#include <random>

#include "fake_fonts.h"
#include "graphics/png.h"
#include "platform/headless/virtual_clock.h"
#include "text/message_window.h"

namespace lyraban {
namespace {

using testing::Gbk;

// Fake glyphs: every character is a solid box advancing by the font size
// (24 for text, 12 for ruby), its top at the pen's y.
class MessageTextTest : public ::testing::Test, public testing::FontRig {
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

  UserSettings settings{};
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
  EXPECT_EQ(std::pair(placed[1].code, placed[1].font), std::pair(MessageText::kEmphasisMark, FontRole::Name));
}

// The mark comes from Unicode although GBK lacks it, and its ink is centred
// over its character whatever the mark's own width and side bearing.
TEST_F(MessageTextTest, EmphasisMarkIsCentredOverItsCharacter) {
  // A dot 6 pixels wide, 3 pixels right of its pen, advancing 8 (at 8x).
  auto& dot = fonts.glyphs[MessageText::kEmphasisMark];
  dot.metrics = {48, 48, 24, 160, 64, 0};
  for (int row = 0; row < 48; ++row) dot.bits.insert(dot.bits.end(), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0});
  settings.TextShadow = 0;
  std::fill_n(surface.pixels(), surface.ByteSize(), u8{0});
  Type("[a汉]");
  // The characters' cells are 80..104 and 104..128; the dots sit above them.
  for (auto [cellLeft, what] : {std::pair{80, "a"}, {104, "汉"}}) {
    int inkLeft = -1, inkRight = -1;
    for (int x = cellLeft; x < cellLeft + 24; ++x)
      if (surface.Row(54)[x * surface.bytesPerPixel()] != 0) {
        if (inkLeft < 0) inkLeft = x;
        inkRight = x;
      }
    EXPECT_EQ(std::pair(inkLeft, inkRight), std::pair(cellLeft + 9, cellLeft + 14)) << "dot over " << what;
  }
}

TEST_F(MessageTextTest, FontKindPicksTheFont) {
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
TEST_F(MessageTextTest, FixedCharactersFollowTheCodePage) {
  GlyphRasterizer sjisRasterizer(CodePage(CodePage::Kind::ShiftJis), trace);
  MessageText s(sjisRasterizer, fonts, settings, trace);
  for (auto [code, kind] :
       {std::pair{0x82A0u, CharClass::Kana}, {0x8396u, CharClass::Kana}, {0x8397u, CharClass::Other}})
    EXPECT_EQ(s.ClassOf(code), kind) << std::hex << code;
  EXPECT_TRUE(s.IsLineStartForbidden(0x8142) && s.IsLineStartForbidden(0x8158) && !s.IsLineStartForbidden(0x8175));
  EXPECT_EQ(
      std::vector<u32>({text.openBracketCode(), text.closeBracketCode(), s.openBracketCode(), s.closeBracketCode()}),
      std::vector<u32>({0xA1B8, 0xA1B9, 0x8175, 0x8176}));
}

// The engine side with input played from a script: every pump moves the
// clock on by `frameMs` (plus the yield) and then runs the next step. Frames
// are logged as U (scene), S (the window drew), B (buttons), b (the bar set
// to wait), h (hidden), P (present); other calls go to `calls`, a word each.
class FakeHost : public MessageHost {
 public:
  using Step = std::function<void(FakeHost&)>;
  FakeHost() { screen.Create(3, 800, 600); }
  void Do(Step step) { steps.push_back(std::move(step)); }
  void Press(std::initializer_list<u8> commands) {  // 0: no input that frame
    for (u8 c : commands) Do([=](FakeHost& h) { h.pending = c; });
  }

  bool PumpInput(u8 context, bool yield) override {
    clock.Advance(frameMs + (yield ? 1 : 0));
    if (context != 0) skipping = autoMode = false;             // any context but reading ends skip and auto
    if (steps.empty()) return !(ranOut = ++idlePumps > 2000);  // out of script: quit, never hang
    Step step = std::move(steps.front());
    steps.pop_front();
    step(*this);
    return true;
  }
  u8 PendingCommand() override { return pending; }
  void ClearInput() override { pending = 0; }
  bool IsSkipping() override { return skipping; }
  bool IsAutoMode() override { return autoMode; }
  void SetSkipMode() override { skipping = true; }
  void GetMouse(i32& x, i32& y) override { x = mouseX, y = mouseY; }
  void WarpMouse(i32 x, i32 y) override { mouseX = x, mouseY = y, calls += "warp "; }
  void UpdateScreen() override { log += 'U'; }
  Surface& ScreenSurface() override { return log += 'S', screen; }
  void DrawButtons() override { log += 'B'; }
  void PresentScreen() override { log += 'P', onPresent ? onPresent(*this) : void(); }
  void SetButtons(MessageButtons b) override { log += b == MessageButtons::Waiting ? 'b' : 'h'; }
  bool SceneAtRest(u64& look) override { return look = buttonsLook, sceneAtRest; }
  bool DispatchSystemCommand(u8 context) override {
    calls += "command" + std::to_string(pending) + "/" + std::to_string(context) + " ";
    return std::exchange(pending, 0) == 19;  // back to the title
  }
  u8 ScriptMode() override { return mode; }
  i32 GetFlag(std::string_view name) override {
    const auto it = flags.find(std::string(name));
    return it == flags.end() ? 0 : it->second;
  }
  void SetFlag(std::string_view name, i32 value) override { flags[std::string(name)] = value; }
  bool IsVoicePlaying() override { return clock.Now() < voiceUntil; }
  void StopVoice() override { calls += "stopvoice "; }
  void PlaySE(std::string_view name) override { calls += std::string(name) + " "; }
  void StopSE() override { calls += "stopse "; }
  void Flash(int, u8, u8, u8) override { calls += "flash "; }
  void AddBacklogEntry(std::string_view name, std::string_view text) override {
    calls += "backlog:" + std::string(name) + "|" + std::string(text) + " ";
  }

  platform::VirtualClock clock;
  std::deque<Step> steps;
  u32 frameMs = 0, voiceUntil = 0;
  int idlePumps = 0;
  bool ranOut = false, skipping = false, autoMode = false, sceneAtRest = false;
  u64 buttonsLook = 0;
  u8 pending = 0, mode = 0;
  i32 mouseX = 0, mouseY = 0;
  std::map<std::string, i32> flags;  // by name in the code page
  std::string log, calls;
  Surface screen;
  Step onPresent;
};

class MessageWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.UnreadTextSpeed = settings.ReadTextSpeed = 4;
    settings.AutoModeSpeed = 5;
    settings.StopVoiceOnAdvance = 1;
    const ResourceReader reader = [](std::string_view, std::string_view, std::string&) { return false; };
    window = std::make_unique<MessageWindow>(host, rasterizer, fonts, settings, reader, host.clock, trace);
    window->text().SetPlacementObserver([this](const PlacedGlyph& g) { placed.push_back(g); });
    window->SetMessageMode(host.mode);
    host.calls.clear();
  }
  void TearDown() override { EXPECT_FALSE(host.ranOut) << "every script ends the way its test meant"; }

  // Shows a line that the player then clicks away.
  MessageEnd Show(std::string_view name, std::string_view words, bool novel = false) {
    host.Press({1, 1});
    placed.clear();
    return window->ShowMessage(name, words, novel, false);
  }
  // Characters typed so far (not the name, ruby or marks).
  int Typed() const {
    return static_cast<int>(std::ranges::count_if(
        placed, [](const PlacedGlyph& g) { return g.role == GlyphRole::Text && g.font != FontRole::Name; }));
  }

  UserSettings settings{};
  Trace trace;
  FakeHost host;
  testing::FakeFontService fonts;
  GlyphRasterizer rasterizer{CodePage(CodePage::Kind::Gbk), trace};
  std::unique_ptr<MessageWindow> window;
  std::vector<PlacedGlyph> placed;
};

TEST_F(MessageWindowTest, TypesAtTheDivisorOfEachTextSpeed) {
  // Speed, line already read, then (ms since typing began, characters shown):
  // each character costs 4 budget units, one unit per divisor milliseconds.
  // clang-format off
  for (auto [speed, read, t1, n1, t2, n2] : {std::tuple{0, false, 119, 1, 120, 2}, {1, false, 79, 1, 80, 2},
       {3, false, 19, 1, 20, 2}, {9, false, 49, 1, 50, 2}, {2, true, 39, 1, 40, 2}, {4, false, 0, 10, 0, 10}}) {
    // clang-format on
    SCOPED_TRACE(::testing::Message() << speed << read);
    (read ? settings.ReadTextSpeed : settings.UnreadTextSpeed) = speed;
    std::map<u32, int> shown;
    host.onPresent = [&](FakeHost& h) { shown[h.clock.Now()] = Typed(); };
    const u32 t0 = host.clock.Now();
    for (u32 t : {t1, t2}) host.Do([=](FakeHost& h) { h.clock.Advance(t0 + t - h.clock.Now()); });
    // A line still typing needs one click to complete and one to advance.
    if (n2 < 10) host.Do([](FakeHost& h) { h.clock.Advance(1), h.pending = 1; });
    host.Press({0, 1});
    placed.clear();
    EXPECT_EQ(window->ShowMessage("", "abcdefghij", false, read), MessageEnd::Advanced);
    EXPECT_EQ(std::tuple(shown[t0 + t1], shown[t0 + t2], Typed()), std::tuple(n1, n2, 10));
    settings.UnreadTextSpeed = settings.ReadTextSpeed = 4;
  }
}

TEST_F(MessageWindowTest, WaitsWithTheBarThenTheClickAdvancesAndScriptLinesSplitTheSpeaker) {
  EXPECT_EQ(Show("", "ab"), MessageEnd::Advanced);
  // Typing frames draw no buttons; waiting frames draw them after the window.
  EXPECT_EQ(host.log, "USPUSPbUSBPh") << "the first click completed the typing";
  EXPECT_EQ(std::pair(host.pending, host.calls), std::pair(u8{0}, std::string("backlog:|ab ")));

  host.skipping = true;
  host.log.clear();
  EXPECT_EQ(window->ShowMessage("", "abcdef", false, false), MessageEnd::Skipped);
  EXPECT_EQ(host.log, "USPUSP") << "skip shows the line at once and never waits";
  host.skipping = false;
  placed.clear();
  host.Press({1, 1});
  EXPECT_EQ(window->ShowScriptText("Lyra:hi:there/and(ruby)", false, 0), MessageEnd::Advanced);
  EXPECT_EQ(host.calls, "backlog:|ab backlog:|abcdef backlog:Lyra|hi:there\nand stopvoice ");
  // Four bytes of name centred on column 142.
  EXPECT_EQ(std::tuple(placed[0].font, placed[0].x, placed[0].y), std::tuple(FontRole::Name, 118, 18));
  for (auto [colours, name, green] : {std::tuple{1, "林夏", 200}, {1, "", 215}, {1, "Nobody", 255}, {0, "林夏", 255}}) {
    settings.TextColour = static_cast<u8>(colours);
    EXPECT_EQ(window->SpeakerColour(Gbk(name)).green, green) << name;
  }
}

// While the scene stands still the waiting frame is drawn once and then only
// presented; it is drawn again when the buttons' look, the prompt's frame or
// the screen surface changed, and on every frame while the scene moves.
TEST_F(MessageWindowTest, WaitingFrameIsDrawnOnlyWhenSomethingChanged) {
  host.sceneAtRest = true;
  host.Do([](FakeHost&) {});  // the one typing frame of an instant line
  const std::vector<std::pair<std::string, FakeHost::Step>> frames = {
      {"USBSP", [](FakeHost&) {}},  // the first waiting frame is drawn
      {"SP", [](FakeHost&) {}},
      {"SP", [](FakeHost&) {}},
      {"USBSP", [](FakeHost& h) { h.buttonsLook = 7; }},
      {"SP", [](FakeHost&) {}},
      {"SUSBSP", [](FakeHost& h) { h.screen.pixels()[0] ^= 1; }},  // someone drew on the screen
      {"USBSP", [](FakeHost& h) { h.clock.Advance(128); }},        // the prompt's next frame
      {"SP", [](FakeHost&) {}},
      {"USBP", [](FakeHost& h) { h.sceneAtRest = false; }},
      {"USBP", [](FakeHost&) {}},
  };
  std::vector<std::string> drawn;
  for (const auto& [log, step] : frames) {
    host.Do([&, step](FakeHost& h) {
      drawn.push_back(h.log);
      h.log.clear();
      step(h);
    });
  }
  host.Do([&](FakeHost& h) { drawn.push_back(h.log), h.log.clear(), h.pending = 1; });
  EXPECT_EQ(window->ShowMessage("", "ab", false, false), MessageEnd::Advanced);
  drawn.push_back(host.log);
  // drawn[i + 1] is what followed the step of frame i.
  ASSERT_EQ(drawn.size(), frames.size() + 2);
  for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(drawn[i + 1], frames[i].first) << "frame " << i;
  EXPECT_EQ(drawn.back(), "USBPh") << "the clicked frame, scene moving";
}

TEST_F(MessageWindowTest, AutoModeWaitsTheReadersDelayOrTheVoice) {
  host.autoMode = true, host.frameMs = 100;
  // Auto speed, voice playing until, then the earliest and latest end.
  for (auto [speed, voiceUntil, earliest, latest] :
       {std::tuple{0, 0u, 7000u, 7101u}, {5, 0u, 3500u, 3601u}, {10, 2000u, 2000u, 2101u}, {10, 0u, 0u, 101u}}) {
    settings.AutoModeSpeed = speed;
    const u32 start = host.clock.Now();
    host.voiceUntil = voiceUntil ? start + voiceUntil : 0;
    u32 waitStart = 0;
    host.log.clear();
    host.onPresent = [&](FakeHost& h) { waitStart = h.log.find('B') == std::string::npos ? h.clock.Now() : waitStart; };
    EXPECT_EQ(window->ShowMessage("", "ab", false, false), MessageEnd::Advanced);
    const u32 waited = host.clock.Now() - (voiceUntil ? start : waitStart);
    EXPECT_TRUE(waited >= earliest && waited <= latest) << speed << ": " << waited;
  }
  EXPECT_EQ(std::pair(MessageWindow::AutoModeDelay(-10), MessageWindow::AutoModeDelay(11)), std::pair(14000u, 0u));
}

TEST_F(MessageWindowTest, NovelPageDarkensBracketsTheSpeakerAndAccumulates) {
  window->SetMessageMode(host.mode = 1);
  const Surface& page = window->textSurface();
  EXPECT_EQ(std::tuple(page.height(), window->screenY(), page.Row(300)[400 * 4]), std::tuple(600, 0, u8{127}));
  Show(Gbk("林夏"), "abcdefghijklmnopqrstuvwxyz", true);
  ASSERT_EQ(placed.size(), 3u + 26u + 1u);
  EXPECT_EQ(std::tuple(placed[0].y, placed[2].code, placed[2].x, placed.back().code),
            std::tuple(40, window->text().openBracketCode(), 128, window->text().closeBracketCode()));
  EXPECT_EQ(std::pair(placed[3 + 23].x, placed[3 + 23].y), std::pair(152, 80)) << "x wraps under a";
  Show("", "z", true);
  EXPECT_EQ(std::pair(placed[0].x, placed[0].y), std::pair(80, 120));
}

TEST_F(MessageWindowTest, SystemCommandsHidingAndAbandoning) {
  host.pending = 20, host.mode = 3;
  EXPECT_FALSE(window->HandleSystemCommand(1));  // ignored in system mode
  host.mode = 0;
  EXPECT_FALSE(window->HandleSystemCommand(1));
  EXPECT_EQ(host.calls, "command20/1 ");

  // Hiding shows only the scene until any key, which does nothing else.
  host.Press({0, 12, 0, 3, 0, 1});
  host.log.clear();
  host.calls.clear();
  EXPECT_EQ(window->ShowMessage("", "ab", false, false), MessageEnd::Advanced);
  EXPECT_EQ(host.calls, "backlog:|ab ");
  EXPECT_EQ(host.log, "USPUSPbUSBPhUPbUSBPUSBPh") << "hidden: the scene alone, no buttons";
  EXPECT_EQ(window->displayState(), MessageWindow::kDisplayShown);

  // Going back to the title abandons the line, while typing or waiting.
  settings.UnreadTextSpeed = 0, placed.clear();
  host.Press({0, 19});
  EXPECT_EQ(window->ShowMessage("", "abcdef", false, false), MessageEnd::Abandoned);
  EXPECT_LT(Typed(), 6);
  host.Press({1, 19});
  EXPECT_EQ(window->ShowMessage("", "abcdef", false, false), MessageEnd::Abandoned);
  EXPECT_EQ(host.log.back(), 'h');
  EXPECT_EQ(MessageWindow::PromptFrame(0xFFFFFFFFu), 7);
}

// The box's clock from pictures made here: each hand is a bar pointing up
// from its pivot (80, 80) in a 160 x 160 picture, hand A red and 60 pixels
// long, hand B green and 40; the face of progress 2 holds one blue square
// where hand A passes when it points down.
class ClockTest : public MessageWindowTest {
 protected:
  // A w x h picture, clear but for one opaque rectangle {x0, y0, x1, y1} of
  // (alpha, blue, green, red).
  static std::string Png(int w, int h, std::array<int, 4> rect = {}, std::array<u8, 4> abgr = {}) {
    Surface s;
    s.Create(4, w, h);
    std::fill_n(s.pixels(), s.ByteSize(), u8{0});
    for (int y = rect[1]; y < rect[3]; ++y)
      for (int x = rect[0]; x < rect[2]; ++x) std::copy(abgr.begin(), abgr.end(), s.Row(y) + x * 4);
    std::string bytes;
    EXPECT_TRUE(EncodePng(s, bytes, 1));
    return bytes;
  }
  static constexpr std::array<u8, 4> kRed{255, 0, 0, 255}, kGreen{255, 0, 255, 0}, kBlue{255, 255, 0, 0},
      kGrey{255, 90, 90, 90}, kWhite{255, 250, 250, 250}, kClear{0, 0, 0, 0};

  void SetUp() override {
    MessageWindowTest::SetUp();
    pictures = {{"sys_box_base.png", Png(800, 200)},
                {"sys_box_normal.png", Png(800, 200, {0, 0, 800, 200}, kGrey)},
                {"sys_box_noclock.png", Png(800, 200, {0, 0, 800, 200}, kWhite)},
                {"sys_box_clock_a.png", Png(160, 160, {79, 20, 82, 80}, kRed)},
                {"sys_box_clock_b.png", Png(160, 160, {79, 40, 82, 80}, kGreen)},
                {"sys_box_clock2.png", Png(170, 200, {80, 140, 90, 150}, kBlue)}};
    const ResourceReader reader = [this](std::string_view folder, std::string_view name, std::string& bytes) {
      ++reads[std::string(name)];
      const auto it = pictures.find(std::string(name));
      return folder == "img" && it != pictures.end() && (bytes = it->second, true);
    };
    window = std::make_unique<MessageWindow>(host, rasterizer, fonts, settings, reader, host.clock, trace);
  }
  std::array<u8, 4> BoxAt(int x, int y) const {
    const u8* p = window->boxSurface().Row(y) + x * 4;
    return {p[0], p[1], p[2], p[3]};
  }

  std::map<std::string, std::string> pictures;
  std::map<std::string, int> reads;
  const std::string progress = Gbk("シナリオ進行"), minutes = Gbk("Ｍフラグ合計"), hours = Gbk("Ｌフラグ合計");
};

TEST_F(ClockTest, HandsTurnByTheirTotalsUnderTheFaceAndTheProgressPicksTheBox) {
  host.flags = {{progress, 2}, {minutes, 7}, {hours, 4}};
  window->BuildMessageBox(true);
  // Seven of fourteen turn hand A half way round: it points down from
  // (715, 105). Four of sixteen turn hand B a quarter: to the left, as the
  // rotation maps the picture's top to the destination's left.
  EXPECT_EQ(BoxAt(715, 130), kRed) << "hand A below the pivot";
  EXPECT_EQ(BoxAt(715, 60), kClear) << "nothing above the pivot";
  EXPECT_EQ(BoxAt(690, 105), kGreen) << "hand B left of the pivot";
  EXPECT_EQ(BoxAt(740, 105), kClear) << "nothing right of the pivot";
  EXPECT_EQ(BoxAt(715, 145), kBlue) << "the face lies over the hands";
  window->BuildMessageBox(false);
  EXPECT_EQ(BoxAt(715, 145), kRed) << "without the face the hand shows";
  for (auto [value, colour] : {std::pair{0, kGrey}, {4, kWhite}, {-1, kWhite}}) {
    host.flags[progress] = value;
    window->BuildMessageBox(true);
    EXPECT_EQ(BoxAt(715, 130), colour) << "progress " << value;
  }
}

// A box is built again only when what it shows changed: the same flags
// read no picture and leave the same bytes; a turned hand or another
// progress builds it again; a picture that fails is tried (and traced)
// every time.
TEST_F(ClockTest, AnUnchangedBoxIsNotBuiltAgain) {
  std::string traced;
  trace.SetSink([&traced](std::string_view line) { traced.append(line).append("|"); });
  host.flags = {{progress, 2}, {minutes, 7}, {hours, 4}};
  window->BuildMessageBox(true);
  const std::vector<u8> first(window->boxSurface().pixels(),
                              window->boxSurface().pixels() + window->boxSurface().ByteSize());
  EXPECT_EQ(reads["sys_box_base.png"], 1);
  window->BuildMessageBox(true);
  EXPECT_EQ(reads["sys_box_base.png"], 1) << "nothing changed, yet the box was built again";
  EXPECT_TRUE(std::equal(first.begin(), first.end(), window->boxSurface().pixels()));
  host.flags[minutes] = 0;
  window->BuildMessageBox(true);
  EXPECT_EQ(reads["sys_box_base.png"], 2);
  EXPECT_EQ(BoxAt(715, 60), kRed) << "hand A turned back up";
  EXPECT_EQ(BoxAt(715, 130), kClear);
  window->BuildMessageBox(false);
  EXPECT_EQ(reads["sys_box_base.png"], 3) << "without the face it is another box";
  EXPECT_EQ(BoxAt(715, 145), kClear);
  host.flags[progress] = 0;
  window->BuildMessageBox(true);
  window->BuildMessageBox(true);
  EXPECT_EQ(reads["sys_box_normal.png"], 1);
  EXPECT_EQ(BoxAt(715, 130), kGrey);
  EXPECT_EQ(traced, "");
  pictures.erase("sys_box_clock_b.png");
  host.flags[progress] = 2;
  window->BuildMessageBox(true);
  window->BuildMessageBox(true);
  EXPECT_EQ(reads["sys_box_clock_b.png"], 5) << "three builds before, two failing ones now";
  EXPECT_EQ(std::count(traced.begin(), traced.end(), '|'), 2) << traced;
  EXPECT_NE(traced.find("sys_box_clock_b.png"), std::string::npos) << traced;
}

// The clock event with flag A "caught" and flag B "armed": a click within 55
// pixels of (715, 505) catches it; keys put the pointer on the clock; after
// 4000 ms it is gone. Skip comes back afterwards unless choices stop it.
TEST_F(ClockTest, ClockEventIsCaughtByAClickNearItOrTimesOut) {
  host.frameMs = 16;
  struct Case {
    const char* what;
    i32 caught, armed, mouseX, mouseY;
    std::vector<u8> presses;  // one per frame
    bool skipBefore;
    const char* calls;
    i32 caughtAfter;
    bool timedOut, skipAfter;
  };
  // clang-format off
  const Case cases[] = {
      {"not armed", 0, 0, 715, 505, {1}, false, "", 0, false, false},
      {"already caught", 1, 1, 715, 505, {1}, false, "", 1, false, false},
      {"click inside", 0, 1, 745, 545, {0, 0, 1}, true, "se_020.ogg se_017.ogg flash ", 1, false, true},
      {"click on the edge", 0, 1, 748, 549, {0, 1}, false, "se_020.ogg stopse ", 0, true, false},
      {"key, then click", 0, 1, 0, 0, {3, 1}, false, "se_020.ogg warp se_017.ogg flash ", 1, false, false},
      {"right click misses", 0, 1, 715, 505, {11}, false, "se_020.ogg stopse ", 0, true, false}};
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host.flags = {{"A", c.caught}, {"B", c.armed}};
    host.mouseX = c.mouseX, host.mouseY = c.mouseY, host.skipping = c.skipBefore, host.calls.clear();
    host.steps.clear();
    host.Press(std::initializer_list<u8>{});
    for (u8 p : c.presses) host.Do([p](FakeHost& h) { h.pending = p; });
    const u32 start = host.clock.Now();
    window->ClockEvent("A", "B");
    const u32 took = host.clock.Now() - start;
    EXPECT_EQ(host.calls, c.calls);
    EXPECT_EQ(host.flags["A"], c.caughtAfter);
    EXPECT_EQ(took >= 4000 && took < 4000 + 17, c.timedOut) << took << " ms";
    EXPECT_EQ(std::pair(host.skipping, host.pending), std::pair(c.skipAfter, u8{0}));
  }
  host.steps.clear();
}

}  // namespace
}  // namespace lyraban
