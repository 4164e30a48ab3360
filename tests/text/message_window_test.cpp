#include "text/message_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>

#include "fake_fonts.h"
#include "platform/headless/virtual_clock.h"

namespace lyraban {
namespace {

std::string Gbk(const char* utf8) { return CodePage().FromUtf8(utf8); }

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
  void Call(const std::string& what) { calls += what + " "; }

  bool PumpInput(u8 context, bool yield) override {
    ++pumps;
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
  void GetMouse(i32& x, i32& y) override { x = y = 0; }
  void WarpMouse(i32, i32) override {}
  void UpdateScreen() override { log += 'U'; }
  Surface& ScreenSurface() override { return log += 'S', screen; }
  void DrawButtons() override { log += 'B'; }
  void PresentScreen() override { log += 'P', onPresent ? onPresent(*this) : void(); }
  void SetButtons(MessageButtons b) override { log += b == MessageButtons::Waiting ? 'b' : 'h'; }
  bool DispatchSystemCommand(u8 context) override {
    Call("command" + std::to_string(pending) + "/" + std::to_string(context));
    return std::exchange(pending, 0) == 19;  // back to the title
  }
  u8 ScriptMode() override { return mode; }
  i32 GetFlag(std::string_view) override { return 0; }
  void SetFlag(std::string_view, i32) override {}
  bool IsVoicePlaying() override { return clock.Now() < voiceUntil; }
  void StopVoice() override { Call("stopvoice"); }
  void PlaySE(std::string_view name) override { Call(std::string(name)); }
  void StopSE() override { Call("stopse"); }
  void Flash(int, u8, u8, u8) override {}
  void AddBacklogEntry(std::string_view name, std::string_view text) override {
    Call("backlog:" + std::string(name) + "|" + std::string(text));
  }

  platform::VirtualClock clock;
  std::deque<Step> steps;
  u32 frameMs = 0, voiceUntil = 0;
  int idlePumps = 0, pumps = 0;
  bool ranOut = false, skipping = false, autoMode = false;
  u8 pending = 0, mode = 0;
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
  const int pumps = host.pumps;
  for (u8 mode : {2, 3, 4}) EXPECT_EQ(window->ShowScriptText("Lyra:hello", false, mode), MessageEnd::NotShown);
  EXPECT_EQ(host.pumps, pumps) << "not shown in modes 2 to 4";
  host.calls.clear();
  placed.clear();
  host.Press({1, 1});
  EXPECT_EQ(window->ShowScriptText("Lyra:hi:there/and(ruby)", false, 0), MessageEnd::Advanced);
  EXPECT_EQ(host.calls, "backlog:Lyra|hi:there\nand stopvoice ");
  // Four bytes of name centred on column 142.
  EXPECT_EQ(std::tuple(placed[0].font, placed[0].x, placed[0].y), std::tuple(FontRole::Name, 118, 18));
  settings.TextColour = 1;
  for (auto [name, green] : {std::pair{"林夏", 200}, {"", 215}, {"Nobody", 255}})
    EXPECT_EQ(window->SpeakerColour(Gbk(name)).green, green) << name;
  settings.TextColour = 0;
  EXPECT_EQ(window->SpeakerColour("Lyra").green, 255);
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
  std::vector<u8> states;
  host.Press({0, 12});
  host.Do([&](FakeHost&) { states.push_back(window->displayState()); });
  host.Press({3, 0, 1});
  host.log.clear();
  host.calls.clear();
  EXPECT_EQ(window->ShowMessage("", "ab", false, false), MessageEnd::Advanced);
  EXPECT_EQ(host.calls, "backlog:|ab ");
  EXPECT_EQ(host.log, "USPUSPbUSBPhUPbUSBPUSBPh") << "hidden: the scene alone, no buttons";
  EXPECT_EQ(std::pair(states, window->displayState()),
            std::pair(std::vector<u8>{MessageWindow::kDisplayHidden}, MessageWindow::kDisplayShown));

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

}  // namespace
}  // namespace lyraban
