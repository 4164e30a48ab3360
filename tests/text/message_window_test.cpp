#include "text/message_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <tuple>

#include "fake_fonts.h"
#include "platform/headless/virtual_clock.h"

namespace lyraban {
namespace {

// The engine side with input played from a script: every pump moves the
// clock on by `frameMs` (plus the yield) and then runs the next step. A
// frame is logged as U (scene), S (the window drew on the screen), B
// (buttons), P (present).
class FakeHost : public MessageHost {
 public:
  using Step = std::function<void(FakeHost&)>;
  FakeHost() { screen.Create(3, 800, 600); }

  void At(u32 time, u8 command = 0) {
    steps.push_back([time, command](FakeHost& h) {
      h.clock.Advance(time - h.clock.Now());
      if (command) h.pending = command;
    });
  }
  void Press(u8 command) {
    steps.push_back([command](FakeHost& h) { h.pending = command; });
  }
  void Idle(int pumps = 1) {
    for (int i = 0; i < pumps; ++i) steps.push_back([](FakeHost&) {});
  }

  bool PumpInput(u8 context, bool yield) override {
    contexts.push_back(context);
    if (yield) clock.Sleep(1);
    clock.Advance(frameMs);
    if (!steps.empty()) {
      Step step = std::move(steps.front());
      steps.pop_front();
      step(*this);
    } else if (++idlePumps > 2000) {
      ranOut = true;  // out of script: quit so that no test can hang
      return false;
    }
    // Any context but reading ends skip and auto.
    if (context != 0) skipping = autoMode = false;
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
    if (onUpdate) onUpdate(*this);
  }
  Surface& ScreenSurface() override {
    log += 'S';
    return screen;
  }
  void DrawButtons() override { log += 'B'; }
  void PresentScreen() override {
    log += 'P';
    if (onPresent) onPresent(*this);
  }
  void SetButtons(MessageButtons b) override { buttons.push_back(b); }
  bool DispatchSystemCommand(u8 context) override {
    dispatched.push_back({pending, context});
    const bool unwind = pending == abandonOn;
    pending = 0;
    return unwind;
  }
  u8 ScriptMode() override { return mode; }
  i32 GetFlag(std::string_view name) override { return flags[std::string(name)]; }
  void SetFlag(std::string_view name, i32 value) override { flags[std::string(name)] = value; }
  bool IsVoicePlaying() override { return clock.Now() < voiceUntil; }
  void StopVoice() override { ++voiceStops; }
  void PlaySE(std::string_view name) override { se.emplace_back(name); }
  void StopSE() override { ++seStops; }
  void Flash(int count, u8 r, u8 g, u8 b) override { flashes.push_back({count, r, g, b}); }
  void AddBacklogEntry(std::string_view name, std::string_view text) override {
    backlog.emplace_back(std::string(name), std::string(text));
  }

  platform::VirtualClock clock;
  std::deque<Step> steps;
  u32 frameMs = 0;
  int idlePumps = 0;
  bool ranOut = false, quitting = false, skipping = false, autoMode = false;
  u8 pending = 0, mode = 0, abandonOn = 19;
  i32 mouseX = 0, mouseY = 0;
  int warps = 0, voiceStops = 0, seStops = 0;
  u32 voiceUntil = 0;
  std::string log;
  Surface screen;
  std::function<void(FakeHost&)> onUpdate, onPresent;
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
    settings.UnreadTextSpeed = settings.ReadTextSpeed = 2;
    settings.AutoModeSpeed = 5;
    settings.StopVoiceOnAdvance = 1;
    trace.SetSink([this](std::string_view m) { traced.emplace_back(m); });
  }
  void SetUp() override { Make(); }
  // Every script must end in the way the test meant.
  void TearDown() override { EXPECT_FALSE(host.ranOut); }

  void Make() {
    window = std::make_unique<MessageWindow>(host, rasterizer, fonts, settings, reader(), host.clock, trace);
    window->text().SetPlacementObserver([this](const PlacedGlyph& g) { placed.push_back(g); });
    window->SetMessageMode(host.mode);
  }
  ResourceReader reader() {
    return [this](std::string_view folder, std::string_view name, std::string& bytes) {
      auto it = files.find(std::string(folder) + "/" + std::string(name));
      if (it == files.end()) return false;
      bytes = it->second;
      return true;
    };
  }
  // A picture of w×h in one colour; four bytes per pixel with `alpha`.
  void Picture(const std::string& name, int w, int h, u8 grey, u8 alpha = 255) {
    Surface s;
    ASSERT_TRUE(s.Create(4, w, h));
    for (std::size_t i = 0; i < s.ByteSize(); i += 4) s.pixels()[i] = alpha, std::memset(s.pixels() + i + 1, grey, 3);
    Store(name, s);
  }
  void Store(const std::string& name, const Surface& s) { ASSERT_TRUE(EncodePng(s, files["img/" + name], 1)); }
  // Characters typed so far (not the name, ruby or marks).
  int Typed() const {
    int n = 0;
    for (const auto& g : placed) n += g.role == GlyphRole::Text && g.font != FontRole::Name;
    return n;
  }
  static std::string Gbk(const char* utf8) { return CodePage().FromUtf8(utf8); }
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
  struct Case {
    i32 speed;
    std::vector<std::pair<u32, int>> checks;  // (ms since typing began, characters shown)
  };
  const Case cases[] = {
      {0, {{23, 0}, {24, 1}, {119, 1}, {120, 2}}},
      {1, {{15, 0}, {16, 1}, {79, 1}, {80, 2}}},
      {2, {{7, 0}, {8, 1}, {39, 1}, {40, 2}}},
      {3, {{3, 0}, {4, 1}, {19, 1}, {20, 2}}},
      {4, {{0, 10}}},
      {9, {{9, 0}, {10, 1}, {49, 1}, {50, 2}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.speed);
    settings.UnreadTextSpeed = c.speed;
    std::map<u32, int> shown;
    host.onPresent = [&](FakeHost& h) { shown[h.clock.Now()] = Typed(); };
    const u32 t0 = host.clock.Now();
    for (auto [t, n] : c.checks) host.At(t0 + t);
    // A line still typing needs one click to complete and one to advance;
    // the first comes a millisecond after the last check.
    if (c.checks.back().second < 10) {
      host.At(t0 + c.checks.back().first + 1, 1);
      host.Idle();
    }
    host.Press(1);
    placed.clear();
    EXPECT_EQ(window->ShowMessage("", "abcdefghij", false, false), MessageEnd::Advanced);
    for (auto [t, n] : c.checks) EXPECT_EQ(shown[t0 + t], n) << t;
    EXPECT_EQ(Typed(), 10);
    EXPECT_TRUE(host.steps.empty());
  }
}

TEST_F(MessageWindowTest, ReadLinesUseTheReadSpeed) {
  settings.UnreadTextSpeed = 0;
  settings.ReadTextSpeed = 4;
  std::vector<int> shown;
  host.onPresent = [&](FakeHost&) { shown.push_back(Typed()); };
  host.Idle();
  host.Press(1);
  window->ShowMessage("", "abcd", false, true);
  // The first typing frame (after the opening one) shows the whole line.
  ASSERT_GE(shown.size(), 2u);
  EXPECT_EQ(shown[1], 4);

  shown.clear();
  placed.clear();
  host.At(host.clock.Now() + 30);
  host.Press(1);
  host.Press(1);
  window->ShowMessage("", "abcd", false, false);
  ASSERT_GE(shown.size(), 2u);
  EXPECT_EQ(shown[1], 1);
  EXPECT_FALSE(host.ranOut);
}

TEST_F(MessageWindowTest, FirstClickCompletesTheLineAndTheNextAdvances) {
  settings.UnreadTextSpeed = 0;
  int shownAtClick = -1;
  host.Idle(2);
  host.steps.push_back([&](FakeHost& h) {
    h.pending = 1;
    h.onPresent = [&](FakeHost&) {
      if (shownAtClick < 0) shownAtClick = Typed();
    };
  });
  host.Idle(3);
  host.Press(1);
  EXPECT_EQ(window->ShowMessage("", "a long line", false, false), MessageEnd::Advanced);
  EXPECT_EQ(shownAtClick, 11);
  // Typing frames draw no buttons; waiting frames draw them after the window.
  const auto wait = host.log.find('B');
  ASSERT_NE(wait, std::string::npos);
  EXPECT_EQ(host.log.substr(wait - 2, 4), "USBP");
  EXPECT_EQ(host.log.substr(0, 9), "USPUSPUSP");
  EXPECT_NE(std::find(host.buttons.begin(), host.buttons.end(), MessageButtons::Waiting), host.buttons.end());
  EXPECT_EQ(host.buttons.back(), MessageButtons::Hidden);
  EXPECT_EQ(host.pending, 0);
  EXPECT_TRUE(host.steps.empty());
}

TEST_F(MessageWindowTest, SkipShowsAtOnceAndNeverWaits) {
  host.skipping = true;
  EXPECT_EQ(window->ShowMessage("", "abcdef", false, false), MessageEnd::Skipped);
  EXPECT_EQ(Typed(), 6);
  EXPECT_EQ(host.log, "USPUSP");

  host.skipping = false;
  host.Press(1);
  host.Idle(2);
  host.steps.push_back([](FakeHost& h) { h.skipping = true; });
  EXPECT_EQ(window->ShowMessage("", "x", false, false), MessageEnd::Skipped);
  EXPECT_TRUE(host.steps.empty());
}

TEST_F(MessageWindowTest, AutoModeWaitsTheReadersDelay) {
  settings.UnreadTextSpeed = 4;
  host.autoMode = true;
  host.frameMs = 100;
  for (i32 speed : {0, 5, 10}) {
    SCOPED_TRACE(speed);
    settings.AutoModeSpeed = speed;
    u32 waitStart = 0;
    host.log.clear();
    host.onPresent = [&](FakeHost& h) {
      if (h.log.find('B') == std::string::npos) waitStart = h.clock.Now();
    };
    EXPECT_EQ(window->ShowMessage("", "ab", false, false), MessageEnd::Advanced);
    const u32 waited = host.clock.Now() - waitStart;
    const u32 delay = 7000 - 700 * speed;
    EXPECT_GE(waited, delay);
    EXPECT_LE(waited, delay + 101);
  }
  // Speed 10: the first waiting frame advances before anything is drawn.
  EXPECT_EQ(host.log.find('B'), std::string::npos);
  EXPECT_EQ(MessageWindow::AutoModeDelay(-10), 14000u);
  EXPECT_EQ(MessageWindow::AutoModeDelay(11), 0u);
  EXPECT_FALSE(host.ranOut);
}

TEST_F(MessageWindowTest, AutoModeWaitsForAVoiceThatWasPlaying) {
  settings.UnreadTextSpeed = 4;
  settings.AutoModeSpeed = 10;
  host.autoMode = true;
  host.frameMs = 100;
  host.voiceUntil = 2000;
  window->ShowMessage("", "ab", false, false);
  EXPECT_GE(host.clock.Now(), 2000u);
  EXPECT_LT(host.clock.Now(), 2101u);
  // A voice that starts only after the wait began does not hold the line.
  host.voiceUntil = 0;
  host.Idle();
  host.steps.push_back([](FakeHost& h) { h.voiceUntil = h.clock.Now() + 5000; });
  host.log.clear();
  window->ShowMessage("", "ab", false, false);
  EXPECT_EQ(host.log.find('B'), std::string::npos);
}

TEST_F(MessageWindowTest, ScriptLinesSplitTheSpeakerAndFollowTheMode) {
  const int stops = host.voiceStops;
  for (u8 mode : {2, 3, 4}) {
    EXPECT_EQ(window->ShowScriptText("Lyra:hello", false, mode), MessageEnd::NotShown);
  }
  EXPECT_TRUE(host.contexts.empty());
  EXPECT_TRUE(host.backlog.empty());
  EXPECT_EQ(host.voiceStops, stops + 3);

  host.Press(1);
  host.Press(1);
  EXPECT_EQ(window->ShowScriptText("Lyra:hi:there", false, 0), MessageEnd::Advanced);
  ASSERT_EQ(host.backlog.size(), 1u);
  EXPECT_EQ(host.backlog[0], std::make_pair(std::string("Lyra"), std::string("hi:there")));
  settings.StopVoiceOnAdvance = 0;
  host.Press(1);
  host.Press(1);
  window->ShowScriptText("just words/and more(ruby)", false, 0);
  EXPECT_EQ(host.backlog[1], std::make_pair(std::string(), std::string("just words\nand more")));
  EXPECT_EQ(host.voiceStops, stops + 4);
}

TEST_F(MessageWindowTest, NamePlateShowsTheSpeakerOrIsCleared) {
  Picture("sys_box_normal.png", 800, 200, 100);
  window->SetMessageMode(0);
  EXPECT_EQ(window->screenY(), 400);
  settings.UnreadTextSpeed = 4;
  host.Press(1);
  host.Press(1);
  window->ShowMessage("Lyra", "a", false, false);
  const Surface& text = window->textSurface();
  ASSERT_EQ(text.width(), 800);
  // Four bytes of name centred on column 142: the first cell at 118.
  ASSERT_FALSE(placed.empty());
  EXPECT_EQ(placed[0].font, FontRole::Name);
  EXPECT_EQ(placed[0].x, 118);
  EXPECT_EQ(placed[0].y, 18);
  EXPECT_EQ(Pixel(text, 10, 10)[1], 100);
  EXPECT_EQ(Pixel(text, 120, 20)[1], 255);

  host.Press(1);
  host.Press(1);
  window->ShowMessage("", "a", false, false);
  EXPECT_EQ(std::memcmp(Pixel(text, 0, 0), "\0\0\0\0", 4), 0);
  EXPECT_EQ(Pixel(text, 299, 44)[0], 0);
  EXPECT_EQ(Pixel(text, 300, 10)[1], 100);
  EXPECT_EQ(Pixel(text, 10, 45)[1], 100);
  // The line starts at the window's text corner.
  EXPECT_EQ(placed.back().x, 80);
  EXPECT_EQ(placed.back().y, 70);
}

TEST_F(MessageWindowTest, SpeakerColoursComeFromTheTable) {
  EXPECT_EQ(window->SpeakerColour("Lyra").green, 255);
  settings.TextColour = 1;
  const TextColour lyra = window->SpeakerColour("LYRA");
  EXPECT_EQ(std::make_tuple(lyra.red, lyra.green, lyra.blue), std::make_tuple(230, 200, 255));
  EXPECT_EQ(window->SpeakerColour(Gbk("林夏")).green, 200);
  EXPECT_EQ(window->SpeakerColour("").red, 215);
  EXPECT_EQ(window->SpeakerColour("Nobody").blue, 255);
  EXPECT_EQ(window->SpeakerColour("Nobody").green, 255);

  settings.UnreadTextSpeed = 4;
  host.Press(1);
  host.Press(1);
  window->ShowMessage("lyra", "a", false, false);
  const u8* p = Pixel(window->textSurface(), 85, 75);
  EXPECT_EQ(std::vector<int>(p, p + 4), (std::vector<int>{255, 255, 200, 230}));
}

TEST_F(MessageWindowTest, NovelPageDarkensAndBracketsTheSpeaker) {
  host.mode = 1;
  window->SetMessageMode(1);
  const Surface& page = window->textSurface();
  ASSERT_EQ(page.width(), 800);
  ASSERT_EQ(page.height(), 600);
  EXPECT_EQ(window->screenY(), 0);
  EXPECT_EQ(std::vector<int>(Pixel(page, 400, 300), Pixel(page, 400, 300) + 4), (std::vector<int>{127, 0, 0, 0}));

  settings.UnreadTextSpeed = 4;
  host.Press(1);
  host.Press(1);
  window->ShowMessage(Gbk("林夏"), "abcdefghijklmnopqrstuvwxyz", true, false);
  ASSERT_EQ(placed.size(), 3u + 26u + 1u);
  EXPECT_EQ(placed[0].x, 80);
  EXPECT_EQ(placed[0].y, 40);
  EXPECT_EQ(placed[2].code, window->text().openBracketCode());
  EXPECT_EQ(placed[2].x, 128);
  EXPECT_EQ(placed[3].x, 152);  // a
  EXPECT_EQ(placed[3 + 22].x, 680);
  EXPECT_EQ(placed[3 + 23].x, 152);  // x wraps under a
  EXPECT_EQ(placed[3 + 23].y, 80);
  EXPECT_EQ(placed.back().code, window->text().closeBracketCode());

  // Lines accumulate: the next one starts a line lower at the left edge.
  placed.clear();
  host.Press(1);
  host.Press(1);
  window->ShowMessage("", "z", true, false);
  ASSERT_EQ(placed.size(), 1u);
  EXPECT_EQ(placed[0].x, 80);
  EXPECT_EQ(placed[0].y, 120);

  // A new page starts over at the top.
  window->ClearPage();
  placed.clear();
  host.Press(1);
  host.Press(1);
  window->ShowMessage("", "z", true, false);
  EXPECT_EQ(placed[0].y, 40);
}

TEST_F(MessageWindowTest, ModeChangesRebuildTheLayoutAndClearThePage) {
  Picture("sys_box_normal.png", 800, 200, 100);
  host.mode = 2;
  window->SetMessageMode(2);
  EXPECT_EQ(window->textSurface().height(), 600);
  // Page without the darkening: only mode 1 shows text on it.
  EXPECT_EQ(Pixel(window->textSurface(), 0, 0)[0], 0);
  host.mode = 0;
  const int stops = host.voiceStops;
  window->SetMessageMode(0);
  EXPECT_EQ(window->screenY(), 400);
  EXPECT_EQ(window->textSurface().height(), 200);
  EXPECT_EQ(Pixel(window->textSurface(), 500, 100)[1], 0);
  EXPECT_EQ(Pixel(window->boxSurface(), 500, 100)[1], 100);
  EXPECT_EQ(window->text().penY, 70);
  EXPECT_EQ(host.voiceStops, stops + 1);
  settings.StopVoiceOnAdvance = 0;
  window->ClearPage();
  EXPECT_EQ(host.voiceStops, stops + 1);
}

TEST_F(MessageWindowTest, PromptAnimatesJustAfterTheLastCharacter) {
  // Frame f of the prompt is grey 10·(f + 1).
  Surface prompt;
  ASSERT_TRUE(prompt.Create(3, 24, 24 * 8));
  for (int f = 0; f < 8; ++f) FillRect(prompt, 0, 0, static_cast<u8>(10 * (f + 1)), 0, 24 * f, 24, 24);
  Store("sys_box_prompt.png", prompt);
  ASSERT_TRUE(window->LoadPrompt());
  settings.UnreadTextSpeed = 4;
  std::map<u32, std::array<int, 3>> seen;
  host.onPresent = [&](FakeHost& h) {
    seen[h.clock.Now()] = {h.screen.Row(470)[127 * 3], h.screen.Row(470)[128 * 3], h.screen.Row(493)[151 * 3]};
  };
  host.Idle();
  for (u32 t : {643u, 896u, 1024u}) host.At(t);
  host.Press(1);
  window->ShowMessage("", "ab", false, false);
  EXPECT_EQ(seen[643][0], 255);  // the b
  EXPECT_EQ(seen[643][1], 60);
  EXPECT_EQ(seen[643][2], 60);
  EXPECT_EQ(seen[896][1], 80);
  EXPECT_EQ(seen[1024][1], 10);
  EXPECT_EQ(MessageWindow::PromptFrame(0xFFFFFFFFu), 7);
}

TEST_F(MessageWindowTest, SystemCommandsAreDispatchedOrIgnoredInSystemMode) {
  host.pending = 20;
  host.mode = 3;
  EXPECT_FALSE(window->HandleSystemCommand(1));
  EXPECT_TRUE(host.dispatched.empty());
  EXPECT_EQ(host.pending, 20);
  host.mode = 0;
  EXPECT_FALSE(window->HandleSystemCommand(1));
  ASSERT_EQ(host.dispatched.size(), 1u);
  EXPECT_EQ(host.dispatched[0], std::make_pair(u8{20}, u8{1}));
  EXPECT_EQ(host.buttons.back(), MessageButtons::Hidden);

  // Going back to the title abandons the line, while typing or waiting.
  settings.UnreadTextSpeed = 0;
  host.Idle();
  host.Press(19);
  EXPECT_EQ(window->ShowMessage("", "abcdef", false, false), MessageEnd::Abandoned);
  EXPECT_LT(Typed(), 6);
  host.Press(1);
  host.Press(22);
  host.Idle();
  host.Press(19);
  EXPECT_EQ(window->ShowMessage("", "abcdef", false, false), MessageEnd::Abandoned);
  EXPECT_EQ(host.dispatched.size(), 4u);
  EXPECT_EQ(host.buttons.back(), MessageButtons::Hidden);
}

TEST_F(MessageWindowTest, HiddenWindowShowsOnlyTheSceneUntilAnyKey) {
  settings.UnreadTextSpeed = 4;
  std::vector<u8> states;
  host.onUpdate = [&](FakeHost&) { states.push_back(window->displayState()); };
  host.Idle();
  host.Press(12);
  host.Idle(2);
  host.Press(3);
  host.Idle();
  host.Press(1);
  host.log.clear();
  EXPECT_EQ(window->ShowMessage("", "ab", false, false), MessageEnd::Advanced);
  EXPECT_TRUE(host.dispatched.empty());
  EXPECT_NE(host.log.find("USBPUPUPUSBP"), std::string::npos) << host.log;
  EXPECT_EQ(std::count(states.begin(), states.end(), MessageWindow::kDisplayHidden), 2);
  EXPECT_EQ(window->displayState(), MessageWindow::kDisplayShown);
  EXPECT_NE(std::find(host.contexts.begin(), host.contexts.end(), 2), host.contexts.end());
  EXPECT_TRUE(host.steps.empty());
}

TEST_F(MessageWindowTest, QuittingReturnsAtOnce) {
  settings.UnreadTextSpeed = 0;
  host.Idle();
  host.steps.push_back([](FakeHost& h) { h.quitting = true; });
  EXPECT_EQ(window->ShowMessage("", "abcdef", false, false), MessageEnd::Quit);
  EXPECT_EQ(host.log, "USPUSP");

  host.quitting = false;
  host.Press(1);
  host.Idle(2);
  host.steps.push_back([](FakeHost& h) { h.quitting = true; });
  host.log.clear();
  EXPECT_EQ(window->ShowMessage("", "abcdef", false, false), MessageEnd::Quit);
  EXPECT_EQ(host.log, "USPUSPUSBPUSBP");
  EXPECT_EQ(host.buttons.back(), MessageButtons::Hidden);
}

class MessageBoxTest : public MessageWindowTest {
 protected:
  void SetUp() override {}
  // A transparent 160×160 hand with an opaque bar of `grey` at x0..x1, y0..y1.
  void Hand(const std::string& name, int x0, int x1, int y0, int y1, u8 grey) {
    Surface s;
    ASSERT_TRUE(s.Create(4, 160, 160));
    std::memset(s.pixels(), 0, s.ByteSize());
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) s.Row(y)[x * 4] = 255, std::memset(s.Row(y) + x * 4 + 1, grey, 3);
    Store(name, s);
  }
  int BoxGrey(int x, int y) { return Pixel(window->boxSurface(), x, y)[1]; }
};

TEST_F(MessageBoxTest, ProgressPicksTheBoxAndTurnsTheHands) {
  Picture("sys_box_normal.png", 800, 200, 10);
  Picture("sys_box_noclock.png", 800, 200, 20);
  Picture("sys_box_base.png", 800, 200, 30);
  Picture("sys_box_clock2.png", 10, 10, 40);
  Hand("sys_box_clock_a.png", 78, 82, 10, 30, 200);
  Hand("sys_box_clock_b.png", 10, 30, 78, 82, 150);
  const std::string progress = Gbk("シナリオ進行");
  Make();
  EXPECT_EQ(BoxGrey(400, 100), 10);
  host.flags[progress] = 4;
  window->BuildMessageBox(true);
  EXPECT_EQ(BoxGrey(400, 100), 20);

  // M total 7 of 14: hand A points down instead of up; B is not turned.
  host.flags[progress] = 2;
  host.flags[Gbk("Ｍフラグ合計")] = 7;
  window->BuildMessageBox(false);
  EXPECT_EQ(BoxGrey(400, 100), 30);
  EXPECT_EQ(BoxGrey(715, 105 + 60), 200);
  EXPECT_EQ(BoxGrey(715, 105 - 60), 30);
  EXPECT_EQ(BoxGrey(715 - 60, 105), 150);
  EXPECT_EQ(BoxGrey(635, 5), 30);
  window->BuildMessageBox(true);
  EXPECT_EQ(BoxGrey(635, 5), 40);
  EXPECT_TRUE(traced.empty());
}

TEST_F(MessageBoxTest, MissingPicturesLeaveATransparentBox) {
  Make();
  const Surface& box = window->boxSurface();
  ASSERT_EQ(box.width(), 800);
  ASSERT_EQ(box.height(), 200);
  EXPECT_EQ(Pixel(box, 400, 100)[0], 0);
  ASSERT_FALSE(traced.empty());
  EXPECT_NE(traced[0].find("sys_box_normal.png"), std::string::npos);
  // Text is still typed onto it.
  settings.UnreadTextSpeed = 4;
  host.Press(1);
  host.Press(1);
  window->ShowMessage("", "a", false, false);
  EXPECT_EQ(Pixel(window->textSurface(), 85, 75)[0], 255);
}

class ClockEventTest : public MessageWindowTest {
 protected:
  void SetUp() override {
    MessageWindowTest::SetUp();
    host.flags["B"] = 1;
    host.frameMs = 100;
  }
};

TEST_F(ClockEventTest, CatchingTheClockSetsTheFlag) {
  host.mouseX = 0;
  host.Idle(3);
  host.Press(1);  // far from the clock: not caught
  host.Press(5);  // the pointer goes to the clock
  host.Press(1);
  window->ClockEvent("A", "B");
  EXPECT_EQ(host.flags["A"], 1);
  EXPECT_EQ(host.warps, 1);
  EXPECT_EQ(host.se, (std::vector<std::string>{"se_020.ogg", "se_017.ogg"}));
  ASSERT_EQ(host.flashes.size(), 1u);
  EXPECT_EQ(host.flashes[0], (std::array<int, 4>{2, 255, 255, 255}));
  EXPECT_EQ(host.seStops, 0);
  EXPECT_EQ(host.pending, 0);
}

TEST_F(ClockEventTest, TimesOutAndRestoresSkip) {
  host.skipping = true;
  const u32 start = host.clock.Now();
  window->ClockEvent("A", "B");
  EXPECT_EQ(host.flags["A"], 0);
  EXPECT_EQ(host.seStops, 1);
  EXPECT_GE(host.clock.Now() - start, 4000u);
  EXPECT_LT(host.clock.Now() - start, 4200u);
  EXPECT_TRUE(host.skipping);

  settings.StopSkipAfterChoice = 1;
  window->ClockEvent("A", "B");
  EXPECT_FALSE(host.skipping);
}

TEST_F(ClockEventTest, NeedsFlagBSetAndFlagAClear) {
  host.flags["B"] = 0;
  window->ClockEvent("A", "B");
  host.flags["B"] = 1;
  host.flags["A"] = 1;
  window->ClockEvent("A", "B");
  EXPECT_TRUE(host.se.empty());
  EXPECT_TRUE(host.contexts.empty());
}

}  // namespace
}  // namespace lyraban
