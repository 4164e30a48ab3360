#include "script/tags.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <sstream>

#include "persist/user_settings.h"
#include "platform/headless/virtual_clock.h"
#include "script/flags.h"
#include "script/interpreter.h"

namespace lyraban {
namespace {

// Records every call as "Name arg arg", joined by "; ". Input pumping
// advances the virtual clock by the 1 ms yield, and `onPump` may post a
// command or set skip, auto or quit on a given pump.
class RecordingTargets final : public TagTargets {
 public:
  explicit RecordingTargets(platform::VirtualClock& clock) : clock_(clock) {}
  // clang-format off
  void ClearAllLayers() override { Log("ClearAllLayers"); }
  void ResetLayer(int layer) override { Log("ResetLayer", layer); }
  bool SetLayerImage(int layer, std::string_view name) override { return Log("Image", layer, name), name != "gone"; }
  bool ApplyLayerDefinition(int layer, int code) override { return Log("Definition", layer, code), true; }
  void ResetLayerAnchor(int layer) override { Log("Anchor", layer); }
  void SetLayerX(int layer, int x) override { Log("X", layer, x); }
  void SetLayerY(int layer, int y) override { Log("Y", layer, y); }
  void SetNextFadeDuration(int ms) override { Log("Fade", ms); }
  void UpdateScreen() override { ++updates; }  void PresentScreen() override { ++presents; }
  void ClearScreenSurfaces() override { Log("ClearScreenSurfaces"); }
  void Flash(int count, Rgb c) override { Log("Flash", count, int{c.r}, int{c.g}, int{c.b}); }
  void Shake(int ax, int ay, int rx, int ry, int ms) override { Log("Shake", ax, ay, rx, ry, ms); }
  void Wipe(std::string_view rule, int ms) override { Log("Wipe", rule, ms); }
  void FadeWipe(std::string_view rule, int ms) override { Log("FadeWipe", rule, ms); }
  void ShowTestImage(const std::array<int, 8>& n) override { Log("Test", n[0], n[1], n[2], n[3], n[7]); }
  void PlayBGM(std::string_view name, bool loop) override { Log("PlayBGM", name, loop ? "loop" : "once"); }
  void FadeBGM() override { Log("FadeBGM"); }  void StopBGM() override { Log("StopBGM"); }
  void PlayEnv(std::string_view name) override { Log("PlayEnv", name); }  void StopEnv() override { Log("StopEnv"); }
  void PlaySE(std::string_view name) override { Log("PlaySE", name); }  void StopSE() override { Log("StopSE"); }
  void PlayVoice(std::string_view path) override { Log("PlayVoice", path); }
  void SetPendingVoice(std::string_view path) override { Log("PendingVoice", path); }
  bool PumpInput(u8 context, bool yield) override {
    contexts.insert(context);
    yield ? clock_.Sleep(1) : void(++noYieldPumps);
    if (onPump) onPump(++pumps);
    return !quit;
  }
  u8 PendingCommand() override { return pending; }  void ClearPendingInput() override { pending = 0; }
  bool IsSkipping() override { return skipping; }  bool IsAutoMode() override { return autoMode; }
  void RunSaveLoadScreen(SaveLoadMode mode) override { Log("SaveLoad", mode == SaveLoadMode::Load ? "load" : "save"); }
  void RunConfigDialog() override { Log("Config"); }  void SetMessageMode(u8 mode) override { Log("Mode", int{mode}); }
  void ClockEvent(std::string_view a, std::string_view b) override { Log("ClockEvent", a, b); }
  void FlowReset() override { Log("FlowReset"); }  void FlowNewRoute() override { Log("FlowNewRoute"); }
  u8 ScriptMode() override { return scriptMode; }  void UpdateCaption() override { Log("Caption"); }
  void SetChapterDate(std::string_view date) override { Log("Date", date); }
  void SetChapterName(std::string_view name) override { Log("Chapter", name); }
  bool OpenMovie(std::string_view name) override { return Log("OpenMovie", name), movieOpens; }
  bool IsMoviePlaying() override { return moviePollsLeft-- > 0; }  void CloseMovie() override { Log("CloseMovie"); }
  // clang-format on

  template <class... Args>
  void Log(const char* op, const Args&... args) {
    std::ostringstream line;
    line << (calls.empty() ? "" : "; ") << op;
    ((line << ' ' << args), ...);
    calls += line.str();
  }

  std::string calls;
  std::set<u8> contexts;
  std::function<void(int)> onPump;
  int pumps = 0, noYieldPumps = 0, updates = 0, presents = 0, moviePollsLeft = 0;
  u8 pending = 0, scriptMode = kModeAdv;
  bool skipping = false, autoMode = false, quit = false, movieOpens = true;

 private:
  platform::VirtualClock& clock_;
};

class TagsTest : public ::testing::Test {
 protected:
  TagsTest() { ResetUserSettings(settings); }

  std::string Run(std::string_view keyword, std::string_view args, bool ok = true) {
    targets.calls.clear();
    targets.pumps = 0;
    EXPECT_EQ(tags.RunTag(keyword, args), ok) << keyword << " " << args;
    return targets.calls;
  }

  platform::VirtualClock clock{0xFFFFFFF0u};  // waits must survive the clock wrapping
  RecordingTargets targets{clock};
  Trace trace;
  FlagStore flags{trace, {}};
  UserSettings settings{};
  TagTable tags{targets, flags, settings, clock};
};

// What each tag asks of the engine, in order; the cases run in sequence, so
// the voice folder carries over.
TEST_F(TagsTest, TagCallTable) {
  struct Case {
    const char *keyword, *args, *calls;
    bool ok = true;
  };
  settings.ScreenEffects = 0;  // keeps the fades' waits out of this table
  // clang-format off
  const Case cases[] = {
    {"img", "", "ClearAllLayers"}, {"img", "1 pos0 pos6", ""},
    {"img", "2 girl#3 center", "Image 2 girl; Definition 2 3; X 2 320; Y 2 480"},
    {"img", "1 100 200 300", "Anchor 1; X 1 100; Anchor 1; Y 1 200"},
    {"img", "1 POS3 pos", "X 1 399; Y 1 480; Image 1 pos"}, {"img", "1 a  b", "Image 1 a; Image 1 b"},
    {"img", "4 bg#0 Left right", "Image 4 bg; X 4 160; Y 4 480; X 4 480; Y 4 480"},
    {"img", "5 10 gone#2 center", "Anchor 5; X 5 10; Image 5 gone", false},
    {"fade", "70000", "Fade 60000"}, {"fade", "-5", "Fade 0"}, {"fadein", "0", "Fade 500"},
    {"fadeout", "800", "ClearAllLayers; Image 0 black; Fade 800"},
    {"fadeout", "snow 120", "ClearAllLayers; Image 0 snow; Fade 120"},
    {"bgm", "FADE noloop", "FadeBGM"}, {"bgm", "", "StopBGM"},
    {"voice", "a000", "PendingVoice \\a000; PlayVoice \\a000"}, {"voice", "\\ch1", ""},
    {"voice", "a001", "PendingVoice ch1\\a001; PlayVoice ch1\\a001"},
    {"voice", "a002 GHOST", "PendingVoice ch1\\a002"}, {"voice", "\\\\\\ch2", ""},  // one '\' dropped per use
    {"voice", "a005", "PendingVoice \\ch2\\a005; PlayVoice \\ch2\\a005"},
    {"flash", "RED 3", "Flash 3 255 0 0"}, {"flash", "mauve 3", "Flash 3 255 255 255"},
    {"flash", "3 RED", "Flash 3 255 255 255"}, {"flash", "SkyBlue", "Flash 0 142 208 255"},
    {"shake", "SLOW", "Shake 10 10 39 37 1000"}, {"shake", "once", "Shake 20 20 83 71 200"},
    {"shake", "huge", "Shake 20 20 71 83 1000"}, {"wipe", "r 0", "Wipe r 500"},
    {"wipe", "r 300 Fade", "FadeWipe r 300"}, {"wipe", "r fade", "FadeWipe r 500"},
    {"wipe", "r 300 fadex", "Wipe r 300"}, {"system", "SAVE", "SaveLoad save"},
    {"system", "config", "Config"}, {"system", "title", ""}, {"mode", "NOVEL2", "Mode 2"}, {"mode", "demo", "Mode 4"}, {"mode", "Wait", ""},
    {"date", "4/1", "Date 4/1; Caption"}, {"chapter", "Prologue extra", "Chapter Prologue; Caption"},
    {"custom", "", "FlowNewRoute"}, {"custom", "caught armed", "ClockEvent caught armed"},
    {"custom", "caught", "ClockEvent caught "}, {"test", "1 2 3 -4 5", "Test 1 2 3 -4 0"},
    {"Mode", "novel", "", false}, {"modes", "novel", "", false}, {"", "", "", false},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(Run(c.keyword, c.args, c.ok), c.calls) << c.keyword << " " << c.args;
  EXPECT_EQ(targets.noYieldPumps, 1);  // "test" pumped once without yielding
  tags.SetScreenSize(800, 600);
  EXPECT_EQ(Run("img", "0 RIGHT pos1"), "X 0 600; Y 0 600; X 0 133; Y 0 600");
}

TEST_F(TagsTest, ArgumentsNumbersAndVoiceGroups) {
  std::string text = "a  b\tc \t";
  tags.SplitArguments(text);
  text.assign(40, 'z');
  EXPECT_EQ(tags.ArgCount(), 4u);  // text ending in blanks gives an empty token
  // The table keeps its own copy of the text.
  EXPECT_EQ(
      std::string(tags.Arg(1)) + std::string(tags.Arg(2)) + "|" + std::string(tags.Arg(3)) + std::string(tags.Arg(-1)),
      "bc|");
  for (auto [text, value] : {std::pair{"-45x", -45},
                             {"+7", 7},
                             {"-", 0},
                             {"99999999999999999999", INT32_MAX},
                             {"-99999999999999999999", INT32_MIN}})
    EXPECT_EQ(ReadDecimal(text), value) << text;

  for (const char* female : {"ak001", "MI2", "Yu_3", "sa", "ha9", "re0", "KO1"}) EXPECT_TRUE(IsFemaleVoiceName(female));
  for (const char* male : {"a", "", "to001", "ka"}) EXPECT_FALSE(IsFemaleVoiceName(male));
  settings.FemaleVoices = 0;
  EXPECT_EQ(Run("voice", "ak001", false) + Run("voice", "\\ak"), "");  // the folder never depends on the groups
  settings.FemaleVoices = 1;
  settings.MaleVoices = 0;
  EXPECT_EQ(Run("voice", "to001", false), "");
  EXPECT_EQ(Run("voice", "Ak001"), "PendingVoice ak\\Ak001; PlayVoice ak\\Ak001");
  targets.skipping = true;  // skipping keeps the backlog voice, plays nothing
  EXPECT_EQ(Run("voice", "ak002") + Run("se", "door"), "PendingVoice ak\\ak002");
}

TEST_F(TagsTest, BgmMarksSeenAndResetClearsOnlyLocalFlags) {
  auto names = std::make_unique<std::array<FlagStore::Names, 3>>();
  (*names)[0][0] = "l", (*names)[1][0] = "g", (*names)[2][0] = "m01";
  flags.SetDefinitions((*names)[0], (*names)[1], (*names)[2]);
  flags.SetFlag("l", 3);
  flags.SetFlag("g", 4);
  EXPECT_EQ(Run("bgm", "m01"), "PlayBGM m01 loop");
  EXPECT_EQ(flags.Value(FlagBank::Seen, 0), 1);
  EXPECT_EQ(Run("reset", ""), "FlowReset");
  EXPECT_EQ(flags.GetFlag("l") * 10 + flags.GetFlag("g"), 4);
}

TEST_F(TagsTest, WaitsEndByTimeSkipAutoInputOrQuit) {
  targets.onPump = [&](int) { targets.pending = 1; };  // clicks do not end a timed wait
  const u32 start = clock.Now();
  Run("wait", "100");
  const u32 waited = ElapsedMs(start, clock.Now());
  EXPECT_TRUE(waited > 100 && waited <= 102) << waited;
  EXPECT_EQ(targets.pending, 0);  // input cleared on the way out
  EXPECT_EQ(targets.contexts, std::set<u8>{0});
  EXPECT_EQ(targets.updates, targets.presents);
  // {arguments, what the reader does on the fourth pump}
  for (auto [args, stop] : {std::pair{"5000", &RecordingTargets::skipping},
                            {"-3", &RecordingTargets::autoMode},
                            {"-3", &RecordingTargets::skipping},
                            {"0", &RecordingTargets::quit}}) {
    targets.autoMode = targets.skipping = targets.quit = false;
    targets.onPump = [=, this](int pump) { targets.*stop = pump == 4; };
    Run("wait", args);
    EXPECT_EQ(targets.pumps, 4) << args;
  }
  targets.quit = false;
  targets.onPump = [&](int n) { targets.pending = n == 7 ? 2 : 0; };
  Run("wait", "0");
  EXPECT_EQ(targets.pumps * 10 + targets.pending, 70);
}

// Without screen effects waits only bring the screen up to date, except in
// the scripted system and demo modes, which read menu and normal input.
TEST_F(TagsTest, WaitsAreSkippedWithoutScreenEffectsOutsideScriptedModes) {
  settings.ScreenEffects = 0;
  targets.onPump = [&](int n) { targets.pending = n == 5; };
  std::string seen;
  for (u8 mode : {kModeAdv, kModeNovel, kModeNovel2, kModeSystem, kModeDemo}) {
    targets.scriptMode = mode;
    targets.updates = 0;
    targets.contexts.clear();
    Run("wait", "0");
    // Pumps, then the input context read, or the screen updates when nothing was read.
    seen += std::to_string(targets.pumps) + ":" +
            std::to_string(targets.pumps ? *targets.contexts.begin() : targets.updates) + " ";
  }
  EXPECT_EQ(seen, "0:1 0:1 0:1 5:2 5:0 ");
}

TEST_F(TagsTest, MovieStopsTheSoundAndPlaysUntilCancelledOrOver) {
  targets.moviePollsLeft = 100;
  targets.onPump = [&](int n) { targets.pending = n == 3 ? 3 : 0; };
  const u32 start = clock.Now();
  EXPECT_EQ(Run("movie", "op.mpg"),
            "ClearAllLayers; Fade 0; StopBGM; StopEnv; StopSE; ClearScreenSurfaces; OpenMovie op.mpg; CloseMovie");
  EXPECT_EQ(clock.Now() - start, 2000u);  // slept between the polls until the third pump cancelled
  EXPECT_EQ(targets.pending, 0);
  EXPECT_EQ(targets.contexts, std::set<u8>{2});
  targets.moviePollsLeft = 2;
  Run("movie", "ed.mpg");
  EXPECT_EQ(targets.pumps, 2);
}

}  // namespace
}  // namespace lyraban
