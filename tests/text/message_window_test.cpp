#include "text/message_window.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <deque>
#include <functional>
#include <map>

#include "fake_fonts.h"
#include "platform/headless/virtual_clock.h"

namespace lyraban {
namespace {

std::string Gbk(const char* utf8) { return CodePage().FromUtf8(utf8); }

// The engine side with input played from a script: every pump moves the
// clock on by `frameMs` (plus the yield) and then runs the next step. Frames
// are logged as U (scene), S (the window drew), B (buttons), P (present).
class FakeHost : public MessageHost {
 public:
  using Step = std::function<void(FakeHost&)>;
  FakeHost() { screen.Create(3, 800, 600); }
  void Do(Step step) { steps.push_back(std::move(step)); }
  void Press(u8 command) {
    Do([=](FakeHost& h) { h.pending = command; });
  }
  void Idle(int pumps = 1) {
    for (int i = 0; i < pumps; ++i) Do([](FakeHost&) {});
  }

  bool PumpInput(u8 context, bool yield) override {
    contexts.push_back(context);
    clock.Advance(frameMs + (yield ? 1 : 0));
    if (context != 0) skipping = autoMode = false;             // any context but reading ends skip and auto
    if (steps.empty()) return !(ranOut = ++idlePumps > 2000);  // out of script: quit, never hang
    Step step = std::move(steps.front());
    steps.pop_front();
    step(*this);
    return !quitting;
  }
  u8 PendingCommand() override { return pending; }
  void ClearInput() override { pending = 0; }
  bool IsSkipping() override { return skipping; }
  bool IsAutoMode() override { return autoMode; }
  void SetSkipMode() override { skipping = true; }
  void GetMouse(i32& x, i32& y) override { x = mouseX, y = mouseY; }
  void WarpMouse(i32 x, i32 y) override { mouseX = x, mouseY = y, ++warps; }
  void UpdateScreen() override {
    log += 'U';
    FillRect(screen, 0, 0, 0, 0, 0, 800, 600);
  }
  Surface& ScreenSurface() override { return log += 'S', screen; }
  void DrawButtons() override { log += 'B'; }
  void PresentScreen() override {
    log += 'P';
    if (onPresent) onPresent(*this);
  }
  void SetButtons(MessageButtons b) override { buttons.push_back(b); }
  bool DispatchSystemCommand(u8 context) override {
    dispatched.emplace_back(pending, context);
    return std::exchange(pending, 0) == 19;  // back to the title
  }
  u8 ScriptMode() override { return mode; }
  i32 GetFlag(std::string_view name) override { return flags[std::string(name)]; }
  void SetFlag(std::string_view name, i32 value) override { flags[std::string(name)] = value; }
  bool IsVoicePlaying() override { return clock.Now() < voiceUntil; }
  void StopVoice() override { ++voiceStops; }
  void PlaySE(std::string_view name) override { se.emplace_back(name); }
  void StopSE() override { se.emplace_back("stop"); }
  void Flash(int count, u8 r, u8 g, u8 b) override { flashes.push_back({count, r, g, b}); }
  void AddBacklogEntry(std::string_view name, std::string_view text) override {
    backlog.emplace_back(std::string(name), std::string(text));
  }

  platform::VirtualClock clock;
  std::deque<Step> steps;
  u32 frameMs = 0, voiceUntil = 0;
  int idlePumps = 0, warps = 0, voiceStops = 0;
  bool ranOut = false, quitting = false, skipping = false, autoMode = false;
  u8 pending = 0, mode = 0;
  i32 mouseX = 0, mouseY = 0;
  std::string log;
  Surface screen;
  std::function<void(FakeHost&)> onPresent;
  std::vector<u8> contexts;
  std::vector<MessageButtons> buttons;
  std::vector<std::pair<u8, u8>> dispatched;
  std::map<std::string, i32> flags;
  std::vector<std::string> se;
  std::vector<std::array<int, 4>> flashes;
  std::vector<std::pair<std::string, std::string>> backlog;
};

class MessageWindowTest : public ::testing::Test {
 protected:
  MessageWindowTest() {
    std::memset(&settings, 0, sizeof settings);
    settings.UnreadTextSpeed = settings.ReadTextSpeed = 4;
    settings.AutoModeSpeed = 5;
    settings.StopVoiceOnAdvance = 1;
    trace.SetSink([this](std::string_view m) { traced.emplace_back(m); });
  }
  void SetUp() override { Make(); }
  void TearDown() override { EXPECT_FALSE(host.ranOut) << "every script ends the way its test meant"; }

  void Make() {
    window = std::make_unique<MessageWindow>(host, rasterizer, fonts, settings, reader(), host.clock, trace);
    window->text().SetPlacementObserver([this](const PlacedGlyph& g) { placed.push_back(g); });
    window->SetMessageMode(host.mode);
  }
  ResourceReader reader() {
    return [this](std::string_view folder, std::string_view name, std::string& bytes) {
      auto it = files.find(std::string(folder) + "/" + std::string(name));
      if (it != files.end()) bytes = it->second;
      return it != files.end();
    };
  }
  // A w×h picture, four bytes per pixel; (x0..x1, y0..y1) is opaque `grey`,
  // the rest transparent. Without a box the whole picture is opaque.
  void Picture(const std::string& name, int w, int h, u8 grey, std::array<int, 4> box = {0, 9999, 0, 9999}) {
    Surface s;
    ASSERT_TRUE(s.Create(4, w, h));
    std::memset(s.pixels(), 0, s.ByteSize());
    for (int y = box[2]; y <= std::min(box[3], h - 1); ++y)
      for (int x = box[0]; x <= std::min(box[1], w - 1); ++x)
        s.Row(y)[x * 4] = 255, std::memset(s.Row(y) + x * 4 + 1, grey, 3);
    ASSERT_TRUE(EncodePng(s, files["img/" + name], 1));
  }
  // Shows a line that the player then clicks away.
  MessageEnd Show(std::string_view name, std::string_view words, bool novel = false) {
    host.Press(1);
    host.Press(1);
    placed.clear();
    return window->ShowMessage(name, words, novel, false);
  }
  // Characters typed so far (not the name, ruby or marks).
  int Typed() const {
    return static_cast<int>(std::count_if(placed.begin(), placed.end(), [](const PlacedGlyph& g) {
      return g.role == GlyphRole::Text && g.font != FontRole::Name;
    }));
  }
  static const u8* Pixel(const Surface& s, int x, int y) { return s.Row(y) + x * s.bytesPerPixel(); }

  UserSettings settings;
  Trace trace;
  std::vector<std::string> traced;
  FakeHost host;
  testing::FakeFontService fonts;
  GlyphRasterizer rasterizer{CodePage(CodePage::Kind::Gbk), trace};
  std::map<std::string, std::string> files;
  std::unique_ptr<MessageWindow> window;
  std::vector<PlacedGlyph> placed;
};

TEST_F(MessageWindowTest, TypesAtTheDivisorOfEachTextSpeed) {
  // Speed, line already read, then (ms since typing began, characters shown).
  // Speed, line already read, then (ms since typing began, characters shown):
  // each character costs 4 budget units, one unit per divisor milliseconds.
  for (auto [speed, read, t1, n1, t2, n2] : {std::tuple{0, false, 119, 1, 120, 2},
                                             {1, false, 79, 1, 80, 2},
                                             {2, false, 39, 1, 40, 2},
                                             {3, false, 19, 1, 20, 2},
                                             {9, false, 49, 1, 50, 2},
                                             {2, true, 39, 1, 40, 2},
                                             {4, false, 0, 10, 0, 10}}) {
    SCOPED_TRACE(::testing::Message() << speed << read);
    (read ? settings.ReadTextSpeed : settings.UnreadTextSpeed) = speed;
    std::map<u32, int> shown;
    host.onPresent = [&](FakeHost& h) { shown[h.clock.Now()] = Typed(); };
    const u32 t0 = host.clock.Now();
    for (u32 t : {t1, t2}) host.Do([=](FakeHost& h) { h.clock.Advance(t0 + t - h.clock.Now()); });
    // A line still typing needs one click to complete and one to advance.
    if (n2 < 10) host.Do([](FakeHost& h) { h.clock.Advance(1), h.pending = 1; });
    host.Idle();
    host.Press(1);
    placed.clear();
    EXPECT_EQ(window->ShowMessage("", "abcdefghij", false, read), MessageEnd::Advanced);
    EXPECT_EQ(std::pair(shown[t0 + t1], shown[t0 + t2]), std::pair(n1, n2));
    EXPECT_EQ(Typed(), 10);
    settings.UnreadTextSpeed = settings.ReadTextSpeed = 4;
  }
}

TEST_F(MessageWindowTest, WaitsWithTheBarThenTheClickAdvances) {
  EXPECT_EQ(Show("", "ab"), MessageEnd::Advanced);
  // Typing frames draw no buttons; waiting frames draw them after the window.
  EXPECT_EQ(host.log, "USPUSPUSBP") << "the first click completed the typing";
  EXPECT_EQ(host.buttons, (std::vector{MessageButtons::Waiting, MessageButtons::Hidden}));
  EXPECT_EQ(host.pending, 0) << "the click is used up";
  EXPECT_EQ(host.backlog, (std::vector<std::pair<std::string, std::string>>{{"", "ab"}}));

  host.skipping = true;
  host.log.clear();
  EXPECT_EQ(window->ShowMessage("", "abcdef", false, false), MessageEnd::Skipped);
  EXPECT_EQ(host.log, "USPUSP") << "skip shows the line at once and never waits";
  host.skipping = false;
  host.Idle();
  host.Do([](FakeHost& h) { h.quitting = true; });
  EXPECT_EQ(window->ShowMessage("", "abcdef", false, false), MessageEnd::Quit);
}

TEST_F(MessageWindowTest, AutoModeWaitsTheReadersDelayOrTheVoice) {
  host.autoMode = true;
  host.frameMs = 100;
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
  EXPECT_EQ(MessageWindow::AutoModeDelay(-10), 14000u);
  EXPECT_EQ(MessageWindow::AutoModeDelay(11), 0u);
}

TEST_F(MessageWindowTest, ScriptLinesSplitTheSpeakerAndFollowTheMode) {
  for (u8 mode : {2, 3, 4}) EXPECT_EQ(window->ShowScriptText("Lyra:hello", false, mode), MessageEnd::NotShown);
  EXPECT_TRUE(host.contexts.empty());
  const int stops = host.voiceStops;
  host.Press(1);
  host.Press(1);
  EXPECT_EQ(window->ShowScriptText("Lyra:hi:there/and(ruby)", false, 0), MessageEnd::Advanced);
  EXPECT_EQ(host.backlog.back(), std::pair(std::string("Lyra"), std::string("hi:there\nand")));
  EXPECT_EQ(host.voiceStops, stops + 1);
}

TEST_F(MessageWindowTest, NamePlateColoursAndTheTextCorner) {
  Picture("sys_box_normal.png", 800, 200, 100);
  window->SetMessageMode(0);
  settings.TextColour = 1;
  Show("lyra", "a");
  const Surface& text = window->textSurface();
  // Four bytes of name centred on column 142; the speaker's colour.
  EXPECT_EQ(std::tuple(placed[0].font, placed[0].x, placed[0].y), std::tuple(FontRole::Name, 118, 18));
  EXPECT_EQ(std::tuple(placed.back().x, placed.back().y), std::tuple(80, 70));
  EXPECT_EQ(std::vector<int>(Pixel(text, 85, 75), Pixel(text, 85, 75) + 4), (std::vector<int>{255, 255, 200, 230}));
  EXPECT_EQ(Pixel(text, 10, 10)[1], 100);

  Show("", "a");
  EXPECT_EQ(std::vector<int>(
                {Pixel(text, 0, 0)[0], Pixel(text, 299, 44)[0], Pixel(text, 300, 10)[1], Pixel(text, 10, 45)[1]}),
            std::vector<int>({0, 0, 100, 100}))
      << "the plate is cleared for narration";
  const std::pair<const char*, int> greens[] = {{"林夏", 200}, {"", 215}, {"Nobody", 255}};
  for (auto [name, green] : greens) EXPECT_EQ(window->SpeakerColour(Gbk(name)).green, green) << name;
  settings.TextColour = 0;
  EXPECT_EQ(window->SpeakerColour("Lyra").green, 255);
}

TEST_F(MessageWindowTest, NovelPageDarkensBracketsTheSpeakerAndAccumulates) {
  host.mode = 1;
  window->SetMessageMode(1);
  const Surface& page = window->textSurface();
  EXPECT_EQ(std::tuple(page.width(), page.height(), window->screenY()), std::tuple(800, 600, 0));
  EXPECT_EQ(std::vector<int>(Pixel(page, 400, 300), Pixel(page, 400, 300) + 4), (std::vector<int>{127, 0, 0, 0}));

  Show(Gbk("林夏"), "abcdefghijklmnopqrstuvwxyz", true);
  ASSERT_EQ(placed.size(), 3u + 26u + 1u);
  EXPECT_EQ(std::pair(placed[0].x, placed[0].y), std::pair(80, 40));
  EXPECT_EQ(std::pair(placed[2].code, placed[2].x), std::pair(window->text().openBracketCode(), 128));
  EXPECT_EQ(std::pair(placed[3 + 23].x, placed[3 + 23].y), std::pair(152, 80)) << "x wraps under a";
  EXPECT_EQ(placed.back().code, window->text().closeBracketCode());
  Show("", "z", true);
  EXPECT_EQ(std::pair(placed[0].x, placed[0].y), std::pair(80, 120));
  window->ClearPage();
  Show("", "z", true);
  EXPECT_EQ(placed[0].y, 40);

  // Back to the box: the text surface is the box again, the pen at its corner.
  host.mode = 0;
  const int stops = host.voiceStops;
  window->SetMessageMode(0);
  EXPECT_EQ(std::tuple(window->screenY(), window->textSurface().height(), window->text().penY),
            std::tuple(400, 200, 70));
  EXPECT_EQ(host.voiceStops, stops + 1);
}

TEST_F(MessageWindowTest, PromptAnimatesJustAfterTheLastCharacter) {
  // Frame f of the prompt is grey 10·(f + 1).
  Surface prompt;
  ASSERT_TRUE(prompt.Create(3, 24, 24 * 8));
  for (int f = 0; f < 8; ++f) FillRect(prompt, 0, 0, static_cast<u8>(10 * (f + 1)), 0, 24 * f, 24, 24);
  ASSERT_TRUE(EncodePng(prompt, files["img/sys_box_prompt.png"], 1));
  ASSERT_TRUE(window->LoadPrompt());
  std::map<u32, std::array<int, 3>> seen;
  host.onPresent = [&](FakeHost& h) {
    seen[h.clock.Now()] = {h.screen.Row(470)[127 * 3], h.screen.Row(470)[128 * 3], h.screen.Row(493)[151 * 3]};
  };
  host.Idle();
  for (u32 t : {643u, 896u, 1024u}) host.Do([=](FakeHost& h) { h.clock.Advance(t - h.clock.Now()); });
  host.Press(1);
  window->ShowMessage("", "ab", false, false);
  EXPECT_EQ(seen[643], (std::array{255, 60, 60})) << "the b, then frame 5 over 24×24";
  EXPECT_EQ(std::pair(seen[896][1], seen[1024][1]), std::pair(80, 10));
  EXPECT_EQ(MessageWindow::PromptFrame(0xFFFFFFFFu), 7);
}

TEST_F(MessageWindowTest, SystemCommandsHidingAndAbandoning) {
  host.pending = 20;
  host.mode = 3;
  EXPECT_FALSE(window->HandleSystemCommand(1));
  EXPECT_TRUE(host.dispatched.empty()) << "ignored in system mode";
  host.mode = 0;
  EXPECT_FALSE(window->HandleSystemCommand(1));
  EXPECT_EQ(host.dispatched.at(0), std::pair(u8{20}, u8{1}));

  // Hiding shows only the scene until any key, which does nothing else.
  std::vector<u8> states;
  host.Idle();
  host.Press(12);
  host.Do([&](FakeHost&) { states.push_back(window->displayState()); });
  host.Press(3);
  host.Idle();
  host.Press(1);
  host.log.clear();
  EXPECT_EQ(window->ShowMessage("", "ab", false, false), MessageEnd::Advanced);
  EXPECT_EQ(host.dispatched.size(), 1u);
  EXPECT_NE(host.log.find("USBPUPUSBP"), std::string::npos) << host.log;
  EXPECT_EQ(states, std::vector<u8>{MessageWindow::kDisplayHidden});
  EXPECT_EQ(window->displayState(), MessageWindow::kDisplayShown);

  // Going back to the title abandons the line, while typing or waiting.
  settings.UnreadTextSpeed = 0;
  placed.clear();
  host.Idle();
  host.Press(19);
  EXPECT_EQ(window->ShowMessage("", "abcdef", false, false), MessageEnd::Abandoned);
  EXPECT_LT(Typed(), 6);
  host.Press(1);
  host.Press(19);
  EXPECT_EQ(window->ShowMessage("", "abcdef", false, false), MessageEnd::Abandoned);
  EXPECT_EQ(host.buttons.back(), MessageButtons::Hidden);
}

TEST_F(MessageWindowTest, ProgressPicksTheBoxAndTurnsTheHands) {
  Picture("sys_box_noclock.png", 800, 200, 20);
  Picture("sys_box_base.png", 800, 200, 30);
  Picture("sys_box_clock2.png", 10, 10, 40);
  Picture("sys_box_clock_a.png", 160, 160, 200, {78, 82, 10, 30});
  Picture("sys_box_clock_b.png", 160, 160, 150, {10, 30, 78, 82});
  const auto grey = [&](int x, int y) { return Pixel(window->boxSurface(), x, y)[1]; };
  ASSERT_EQ(window->boxSurface().width(), 800);
  EXPECT_EQ(Pixel(window->boxSurface(), 400, 100)[0], 0) << "no picture: a transparent box";
  EXPECT_NE(traced.at(0).find("sys_box_normal.png"), std::string::npos);
  host.flags[Gbk("シナリオ進行")] = 4;
  window->BuildMessageBox(true);
  EXPECT_EQ(grey(400, 100), 20);

  // M total 7 of 14: hand A points down instead of up; B is not turned.
  host.flags[Gbk("シナリオ進行")] = 2;
  host.flags[Gbk("Ｍフラグ合計")] = 7;
  window->BuildMessageBox(false);
  EXPECT_EQ(std::vector<int>({grey(400, 100), grey(715, 165), grey(715, 45), grey(655, 105), grey(635, 5)}),
            std::vector<int>({30, 200, 30, 150, 30}));
  window->BuildMessageBox(true);
  EXPECT_EQ(grey(635, 5), 40) << "the face";
}

TEST_F(MessageWindowTest, ClockEvent) {
  host.frameMs = 100;
  window->ClockEvent("A", "B");
  EXPECT_TRUE(host.contexts.empty()) << "needs flag B set";
  host.flags["B"] = 1;
  host.Idle(3);
  host.Press(1);  // far from the clock: not caught
  host.Press(5);  // the pointer goes to the clock
  host.Press(1);
  window->ClockEvent("A", "B");
  EXPECT_EQ(std::pair(host.flags["A"], host.warps), std::pair(1, 1));
  EXPECT_EQ(host.se, (std::vector<std::string>{"se_020.ogg", "se_017.ogg"}));
  EXPECT_EQ(host.flashes, (std::vector<std::array<int, 4>>{{2, 255, 255, 255}}));
  EXPECT_EQ(host.pending, 0);
  window->ClockEvent("A", "B");
  EXPECT_EQ(host.se.size(), 2u) << "needs flag A clear";

  // Timing out stops the sound and gives skip back unless the setting stops it.
  for (bool stopSkip : {false, true}) {
    host.flags["A"] = 0;
    host.skipping = true;
    settings.StopSkipAfterChoice = stopSkip;
    const u32 start = host.clock.Now();
    window->ClockEvent("A", "B");
    EXPECT_EQ(host.flags["A"], 0);
    EXPECT_EQ(host.se.back(), "stop");
    EXPECT_TRUE(host.clock.Now() - start >= 4000u && host.clock.Now() - start < 4200u);
    EXPECT_EQ(host.skipping, !stopSkip);
  }
}

}  // namespace
}  // namespace lyraban
