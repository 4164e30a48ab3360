#include "script/tags.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/base/trace.h"
#include "persist/user_settings.h"
#include "platform/headless/virtual_clock.h"
#include "script/flags.h"
#include "script/interpreter.h"

namespace lyraban {
namespace {

std::string Str(std::string_view s) { return std::string(s); }

// Records every call as text. Input pumping advances the virtual clock by the
// 1 ms yield, and a scripted hook may post a command or set skip/auto/quit on
// a given pump.
class RecordingTargets final : public TagTargets {
 public:
  explicit RecordingTargets(platform::VirtualClock& clock) : clock_(clock) {}

  void ClearAllLayers() override { Log("ClearAllLayers"); }
  void ResetLayer(int layer) override { Log("ResetLayer", layer); }
  bool SetLayerImage(int layer, std::string_view name) override {
    Log("SetLayerImage", layer, name);
    return missingImages.count(Str(name)) == 0;
  }
  bool ApplyLayerDefinition(int layer, int code) override { return Log("ApplyLayerDefinition", layer, code), true; }
  void ResetLayerAnchor(int layer) override { Log("ResetLayerAnchor", layer); }
  void SetLayerX(int layer, int x) override { Log("SetLayerX", layer, x); }
  void SetLayerY(int layer, int y) override { Log("SetLayerY", layer, y); }

  void SetNextFadeDuration(int ms) override { Log("SetNextFadeDuration", ms); }
  void UpdateScreen() override { ++updates; }
  void PresentScreen() override { ++presents; }
  void ClearScreenSurfaces() override { Log("ClearScreenSurfaces"); }
  void Flash(int count, Rgb c) override { Log("Flash", count, int{c.r}, int{c.g}, int{c.b}); }
  void Shake(int ax, int ay, int rx, int ry, int ms) override { Log("Shake", ax, ay, rx, ry, ms); }
  void Wipe(std::string_view rule, int ms) override { Log("Wipe", rule, ms); }
  void FadeWipe(std::string_view rule, int ms) override { Log("FadeWipe", rule, ms); }
  void ShowTestImage(const std::array<int, 8>& n) override { Log("ShowTestImage", n[0], n[1], n[2], n[3], n[7]); }

  void PlayBGM(std::string_view name, bool loop) override { Log("PlayBGM", name, loop ? "loop" : "once"); }
  void FadeBGM() override { Log("FadeBGM"); }
  void StopBGM() override { Log("StopBGM"); }
  void PlayEnv(std::string_view name) override { Log("PlayEnv", name); }
  void StopEnv() override { Log("StopEnv"); }
  void PlaySE(std::string_view name) override { Log("PlaySE", name); }
  void StopSE() override { Log("StopSE"); }
  void PlayVoice(std::string_view path) override { Log("PlayVoice", path); }
  void SetPendingVoice(std::string_view path) override { Log("SetPendingVoice", path); }

  bool PumpInput(u8 context, bool yield) override {
    ++pumps;
    contexts.insert(context);
    if (yield)
      clock_.Sleep(1);
    else
      ++noYieldPumps;
    if (onPump) onPump(pumps);
    return !quit;
  }
  u8 PendingCommand() override { return pending; }
  void ClearPendingInput() override { pending = 0; }
  bool IsSkipping() override { return skipping; }
  bool IsAutoMode() override { return autoMode; }

  void RunSaveLoadScreen(SaveLoadMode mode) override {
    Log("RunSaveLoadScreen", mode == SaveLoadMode::Load ? "load" : "save");
  }
  void RunConfigDialog() override { Log("RunConfigDialog"); }
  void SetMessageMode(u8 mode) override { Log("SetMessageMode", int{mode}); }
  void ClockEvent(std::string_view a, std::string_view b) override { Log("ClockEvent", a, b); }
  void FlowReset() override { Log("FlowReset"); }
  void FlowNewRoute() override { Log("FlowNewRoute"); }

  u8 ScriptMode() override { return scriptMode; }
  void SetChapterDate(std::string_view date) override { Log("SetChapterDate", date); }
  void SetChapterName(std::string_view name) override { Log("SetChapterName", name); }
  void UpdateCaption() override { Log("UpdateCaption"); }

  bool OpenMovie(std::string_view name) override { return Log("OpenMovie", name), movieOpens; }
  bool IsMoviePlaying() override { return moviePollsLeft-- > 0; }
  void CloseMovie() override { Log("CloseMovie"); }

  // One entry: the operation's name and its arguments, blank-separated.
  template <class... Args>
  void Log(const char* op, const Args&... args) {
    std::ostringstream line;
    line << op;
    ((line << ' ' << args), ...);
    calls.push_back(line.str());
  }

  std::vector<std::string> calls;
  std::set<std::string> missingImages;
  std::set<u8> contexts;
  std::function<void(int)> onPump;
  int pumps = 0, noYieldPumps = 0, updates = 0, presents = 0;
  u8 pending = 0;
  bool skipping = false, autoMode = false, quit = false;
  u8 scriptMode = kModeAdv;
  bool movieOpens = true;
  int moviePollsLeft = 0;

 private:
  platform::VirtualClock& clock_;
};

class TagsTest : public ::testing::Test {
 protected:
  TagsTest() {
    ResetUserSettings(settings);
    settings.ScreenEffects = 1;
    settings.MaleVoices = 1;
    settings.FemaleVoices = 1;
    names = std::make_unique<std::array<FlagStore::Names, 3>>();
  }

  std::vector<std::string> Run(std::string_view keyword, std::string_view args, bool expected = true) {
    targets.calls.clear();
    EXPECT_EQ(tags.RunTag(keyword, args), expected) << keyword << " " << args;
    return targets.calls;
  }

  using Calls = std::vector<std::string>;

  platform::VirtualClock clock{1000};
  RecordingTargets targets{clock};
  Trace trace;
  FlagStore flags{trace, std::filesystem::path()};
  std::unique_ptr<std::array<FlagStore::Names, 3>> names;
  UserSettings settings{};
  TagTable tags{targets, flags, settings, clock};
};

// ---- Table and arguments.

TEST_F(TagsTest, TableHoldsTheTwentyNamesInOrderAndLookupIsCaseSensitive) {
  const char* expected[] = {"wait", "reset", "date",  "chapter", "img",  "fade",   "fadein", "fadeout", "bgm",  "env",
                            "se",   "voice", "flash", "shake",   "wipe", "system", "movie",  "custom",  "mode", "test"};
  const auto& table = TagTable::Commands();
  for (int i = 0; i < kTagCount; ++i) {
    ASSERT_NE(table[i].name, nullptr);
    EXPECT_STREQ(table[i].name, expected[i]);
    EXPECT_NE(table[i].handler, nullptr);
  }
  EXPECT_EQ(table[kTagCount].name, nullptr);

  EXPECT_TRUE(Run("mode", "novel").size() == 1);
  EXPECT_TRUE(Run("Mode", "novel", false).empty());
  EXPECT_TRUE(Run("MODE", "novel", false).empty());
  EXPECT_TRUE(Run("modes", "novel", false).empty());
  EXPECT_TRUE(Run("", "", false).empty());
}

TEST_F(TagsTest, ArgumentsSplitOnBlanksWithATrailingEmptyToken) {
  tags.SplitArguments("a  b\tc");
  EXPECT_EQ(tags.ArgCount(), 3u);
  EXPECT_EQ(tags.Arg(2), "c");
  tags.SplitArguments("a b \t");
  ASSERT_EQ(tags.ArgCount(), 3u);
  EXPECT_EQ(tags.Arg(2), "");
  tags.SplitArguments("");
  EXPECT_EQ(tags.ArgCount(), 0u);
  EXPECT_EQ(tags.Arg(0), "");
  EXPECT_EQ(tags.Arg(-1), "");
  tags.SplitArguments("  ");
  EXPECT_EQ(tags.ArgCount(), 1u);

  // The tokens are the table's own copy, so they outlive the caller's text.
  std::string text = "x y";
  tags.SplitArguments(text);
  text.assign("zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz");
  EXPECT_EQ(tags.Arg(1), "y");
}

TEST(TagNumbers, DecimalWithSignStopsAtFirstNonDigit) {
  EXPECT_EQ(ReadDecimal("123"), 123);
  EXPECT_EQ(ReadDecimal("-45x"), -45);
  EXPECT_EQ(ReadDecimal("+7"), 7);
  EXPECT_EQ(ReadDecimal("12ab3"), 12);
  EXPECT_EQ(ReadDecimal("abc"), 0);
  EXPECT_EQ(ReadDecimal("-"), 0);
  EXPECT_EQ(ReadDecimal(""), 0);
  EXPECT_EQ(ReadDecimal("99999999999999999999"), 2147483647);
  EXPECT_EQ(ReadDecimal("-99999999999999999999"), -2147483647 - 1);
}

// ---- img

TEST_F(TagsTest, ImgWithoutItemsClearsLayers) {
  EXPECT_EQ(Run("img", "3"), (Calls{"ResetLayer 3"}));
  EXPECT_EQ(Run("img", ""), (Calls{"ClearAllLayers"}));
  EXPECT_EQ(Run("img", "3 "), (Calls{"ResetLayer 3"}));
}

TEST_F(TagsTest, ImgItemsApplyInOrder) {
  EXPECT_EQ(Run("img", "2 girl_a#3 center"),
            (Calls{"SetLayerImage 2 girl_a", "ApplyLayerDefinition 2 3", "SetLayerX 2 320", "SetLayerY 2 480"}));
  EXPECT_EQ(Run("img", "1 100 200 300"),
            (Calls{"ResetLayerAnchor 1", "SetLayerX 1 100", "ResetLayerAnchor 1", "SetLayerY 1 200"}));
  EXPECT_TRUE(Run("img", "1 pos0 pos6 pos").size() == 1);  // "pos" alone is an image name
  EXPECT_EQ(Run("img", "1 pos0 pos6"), Calls{});
  EXPECT_EQ(Run("img", "1 POS3"), (Calls{"SetLayerX 1 399", "SetLayerY 1 480"}));
  EXPECT_EQ(Run("img", "4 bg#0 Left"), (Calls{"SetLayerImage 4 bg", "SetLayerX 4 160", "SetLayerY 4 480"}));

  tags.SetScreenSize(800, 600);
  EXPECT_EQ(Run("img", "0 RIGHT pos1"),
            (Calls{"SetLayerX 0 600", "SetLayerY 0 600", "SetLayerX 0 133", "SetLayerY 0 600"}));
}

TEST_F(TagsTest, ImgStopsAtTheFirstEmptyItemOrFailedImage) {
  EXPECT_EQ(Run("img", "1 a  b"), (Calls{"SetLayerImage 1 a", "SetLayerImage 1 b"}));
  targets.missingImages.insert("gone");
  EXPECT_EQ(Run("img", "5 10 gone#2 center", false),
            (Calls{"ResetLayerAnchor 5", "SetLayerX 5 10", "SetLayerImage 5 gone"}));
}

// ---- fades and waits

TEST_F(TagsTest, FadeDurationsAreClampedOrDefaulted) {
  EXPECT_EQ(Run("fade", "70000"), Calls{"SetNextFadeDuration 60000"});
  EXPECT_EQ(Run("fade", "-5"), Calls{"SetNextFadeDuration 0"});
  EXPECT_EQ(Run("fade", "250"), Calls{"SetNextFadeDuration 250"});

  settings.ScreenEffects = 0;  // keep the fades' waits out of these checks
  EXPECT_EQ(Run("fadein", "0"), Calls{"SetNextFadeDuration 500"});
  EXPECT_EQ(Run("fadein", "300"), Calls{"SetNextFadeDuration 300"});
  EXPECT_EQ(Run("fadeout", "800"), (Calls{"ClearAllLayers", "SetLayerImage 0 black", "SetNextFadeDuration 800"}));
  EXPECT_EQ(Run("fadeout", "snow"), (Calls{"ClearAllLayers", "SetLayerImage 0 snow", "SetNextFadeDuration 500"}));
  EXPECT_EQ(Run("fadeout", "snow 120"), (Calls{"ClearAllLayers", "SetLayerImage 0 snow", "SetNextFadeDuration 120"}));
  EXPECT_EQ(Run("fadeout", ""), (Calls{"ClearAllLayers", "SetLayerImage 0 black", "SetNextFadeDuration 500"}));
  // A missing picture does not fail the fade.
  targets.missingImages.insert("void");
  EXPECT_EQ(Run("fadeout", "void").size(), 3u);
}

TEST_F(TagsTest, TimedWaitEndsByTimeNotByClicks) {
  targets.onPump = [&](int) { targets.pending = 1; };  // the reader clicks all the time
  const u32 start = clock.Now();
  EXPECT_TRUE(tags.RunTag("wait", "100"));
  const u32 waited = ElapsedMs(start, clock.Now());
  EXPECT_GT(waited, 100u);
  EXPECT_LE(waited, 102u);
  EXPECT_EQ(targets.pending, 0);  // input cleared on the way out
  EXPECT_EQ(targets.contexts, std::set<u8>{0});
  EXPECT_EQ(targets.updates, targets.presents);
}

TEST_F(TagsTest, TimedWaitSurvivesClockWrap) {
  platform::VirtualClock wrapping(0xFFFFFFF0u);
  RecordingTargets t(wrapping);
  TagTable table(t, flags, settings, wrapping);
  table.Wait(50);
  EXPECT_GT(t.pumps, 50);
  EXPECT_LT(t.pumps, 60);
}

TEST_F(TagsTest, UntimedWaitEndsOnInputAutoSkipOrQuit) {
  targets.onPump = [&](int n) {
    if (n == 7) targets.pending = 2;
  };
  EXPECT_TRUE(tags.RunTag("wait", "0"));
  EXPECT_EQ(targets.pumps, 7);
  EXPECT_EQ(targets.pending, 0);

  for (auto stop : {&RecordingTargets::autoMode, &RecordingTargets::skipping, &RecordingTargets::quit}) {
    targets.pumps = 0;
    targets.autoMode = targets.skipping = targets.quit = false;
    targets.onPump = [&, stop](int n) {
      if (n == 4) targets.*stop = true;
    };
    EXPECT_TRUE(tags.RunTag("wait", "-3"));
    EXPECT_EQ(targets.pumps, 4);
  }

  // Skip also cuts a timed wait short.
  targets.pumps = 0;
  targets.autoMode = targets.skipping = targets.quit = false;
  targets.onPump = [&](int n) {
    if (n == 3) targets.skipping = true;
  };
  tags.Wait(5000);
  EXPECT_EQ(targets.pumps, 3);
}

TEST_F(TagsTest, WaitsAreSkippedWithoutScreenEffectsOutsideScriptedModes) {
  settings.ScreenEffects = 0;
  targets.onPump = [&](int n) {
    if (n == 5) targets.pending = 1;
  };
  for (u8 mode : {kModeAdv, kModeNovel, kModeNovel2}) {
    targets.scriptMode = mode;
    targets.pumps = targets.updates = 0;
    EXPECT_TRUE(tags.RunTag("wait", "0"));
    EXPECT_EQ(targets.pumps, 0);
    EXPECT_EQ(targets.updates, 1);  // the screen is still brought up to date
  }
  targets.scriptMode = kModeSystem;
  EXPECT_TRUE(tags.RunTag("wait", "0"));
  EXPECT_EQ(targets.pumps, 5);
  EXPECT_EQ(targets.contexts, std::set<u8>{2});  // system mode reads menu input

  targets.scriptMode = kModeDemo;
  targets.contexts.clear();
  const u32 start = clock.Now();
  tags.Wait(40);
  EXPECT_GT(ElapsedMs(start, clock.Now()), 40u);
  EXPECT_EQ(targets.contexts, std::set<u8>{0});
}

// ---- sound and voice

TEST_F(TagsTest, BgmWordsAndSeenMarks) {
  names->at(2)[0] = "m01";
  flags.SetDefinitions(names->at(0), names->at(1), names->at(2));
  EXPECT_EQ(Run("bgm", "m01"), Calls{"PlayBGM m01 loop"});
  EXPECT_EQ(flags.Value(FlagBank::Seen, 0), 1);
  EXPECT_EQ(Run("bgm", "m02 NOLOOP"), Calls{"PlayBGM m02 once"});
  EXPECT_EQ(Run("bgm", "m02 loop"), Calls{"PlayBGM m02 loop"});
  EXPECT_EQ(Run("bgm", "FADE"), Calls{"FadeBGM"});
  EXPECT_EQ(Run("bgm", "fade noloop"), Calls{"FadeBGM"});
  EXPECT_EQ(Run("bgm", ""), Calls{"StopBGM"});
  EXPECT_EQ(Run("env", "rain"), Calls{"PlayEnv rain"});
  EXPECT_EQ(Run("env", ""), Calls{"PlayEnv "});
}

TEST_F(TagsTest, SoundEffectsAreSilentWhileSkipping) {
  EXPECT_EQ(Run("se", "door"), Calls{"PlaySE door"});
  targets.skipping = true;
  EXPECT_EQ(Run("se", "door"), Calls{});
}

TEST_F(TagsTest, VoiceFolderAndGhostRules) {
  EXPECT_EQ(Run("voice", "\\ch1"), Calls{});
  EXPECT_EQ(tags.VoiceFolder(), "ch1");
  EXPECT_EQ(Run("voice", "a001"), (Calls{"SetPendingVoice ch1\\a001", "PlayVoice ch1\\a001"}));
  EXPECT_EQ(Run("voice", "a002 GHOST"), Calls{"SetPendingVoice ch1\\a002"});
  targets.skipping = true;
  EXPECT_EQ(Run("voice", "a003"), Calls{"SetPendingVoice ch1\\a003"});
  targets.skipping = false;

  EXPECT_EQ(Run("voice", "\\"), Calls{});
  EXPECT_EQ(Run("voice", "a004"), (Calls{"SetPendingVoice \\a004", "PlayVoice \\a004"}));
  // Only one leading backslash of the folder is dropped.
  EXPECT_EQ(Run("voice", "\\\\\\ch2"), Calls{});
  EXPECT_EQ(Run("voice", "a005"), (Calls{"SetPendingVoice \\ch2\\a005", "PlayVoice \\ch2\\a005"}));
}

TEST_F(TagsTest, VoicePrefixesChooseTheSpeakerGroupSetting) {
  for (const char* female : {"ak001", "MI2", "Yu_3", "sa", "ha9", "re0", "KO1"}) EXPECT_TRUE(IsFemaleVoiceName(female));
  for (const char* male : {"a", "", "to001", "ka", "km1"}) EXPECT_FALSE(IsFemaleVoiceName(male));

  settings.FemaleVoices = 0;
  EXPECT_EQ(Run("voice", "ak001", false), Calls{});
  EXPECT_EQ(Run("voice", "to001").size(), 2u);
  settings.FemaleVoices = 1;
  settings.MaleVoices = 0;
  EXPECT_EQ(Run("voice", "to001", false), Calls{});
  EXPECT_EQ(Run("voice", "x", false), Calls{});
  EXPECT_EQ(Run("voice", "Ak001").size(), 2u);
  // Setting the folder never depends on the speaker settings.
  settings.FemaleVoices = 0;
  EXPECT_EQ(Run("voice", "\\ak"), Calls{});
}

// ---- effects

TEST_F(TagsTest, FlashColoursAndCounts) {
  EXPECT_EQ(Run("flash", "RED 3"), Calls{"Flash 3 255 0 0"});
  EXPECT_EQ(Run("flash", "red 3"), Calls{"Flash 3 255 0 0"});
  EXPECT_EQ(Run("flash", "mauve 3"), Calls{"Flash 3 255 255 255"});
  EXPECT_EQ(Run("flash", "3"), Calls{"Flash 3 255 255 255"});
  EXPECT_EQ(Run("flash", "SkyBlue"), Calls{"Flash 0 142 208 255"});
  EXPECT_EQ(Run("flash", ""), Calls{"Flash 0 255 255 255"});
  EXPECT_EQ(Run("flash", "3 RED"), Calls{"Flash 3 255 255 255"});

  // Layer colours share the table; a miss leaves the caller's colour alone.
  Rgb c{1, 2, 3};
  EXPECT_FALSE(LookupNamedColour("grey", c));
  EXPECT_EQ(c, (Rgb{1, 2, 3}));
  ASSERT_TRUE(LookupNamedColour("Brown", c));
  EXPECT_EQ(c, (Rgb{180, 130, 10}));
}

TEST_F(TagsTest, ShakePresets) {
  EXPECT_EQ(Run("shake", "SLOW"), Calls{"Shake 10 10 39 37 1000"});
  EXPECT_EQ(Run("shake", "once"), Calls{"Shake 20 20 83 71 200"});
  EXPECT_EQ(Run("shake", "xOnly"), Calls{"Shake 20 0 71 0 1000"});
  EXPECT_EQ(Run("shake", ""), Calls{"Shake 20 20 71 83 1000"});
  EXPECT_EQ(Run("shake", "huge"), Calls{"Shake 20 20 71 83 1000"});
}

TEST_F(TagsTest, WipeChoosesHardOrSoftEdge) {
  EXPECT_EQ(Run("wipe", "rule1 300"), Calls{"Wipe rule1 300"});
  EXPECT_EQ(Run("wipe", "rule1 0"), Calls{"Wipe rule1 500"});
  EXPECT_EQ(Run("wipe", "rule1 300 Fade"), Calls{"FadeWipe rule1 300"});
  EXPECT_EQ(Run("wipe", "rule1 fade"), Calls{"FadeWipe rule1 500"});
  EXPECT_EQ(Run("wipe", "rule1 300 fadex"), Calls{"Wipe rule1 300"});
}

// ---- screens, modes, flowchart, chapter

TEST_F(TagsTest, SystemScreensAndModeWords) {
  EXPECT_EQ(Run("system", "load"), Calls{"RunSaveLoadScreen load"});
  EXPECT_EQ(Run("system", "SAVE"), Calls{"RunSaveLoadScreen save"});
  EXPECT_EQ(Run("system", "config"), Calls{"RunConfigDialog"});
  EXPECT_EQ(Run("system", "title"), Calls{});

  EXPECT_EQ(Run("mode", "adv"), Calls{"SetMessageMode 0"});
  EXPECT_EQ(Run("mode", "Novel"), Calls{"SetMessageMode 1"});
  EXPECT_EQ(Run("mode", "NOVEL2"), Calls{"SetMessageMode 2"});
  EXPECT_EQ(Run("mode", "system"), Calls{"SetMessageMode 3"});
  EXPECT_EQ(Run("mode", "demo"), Calls{"SetMessageMode 4"});
  EXPECT_EQ(Run("mode", "Wait"), Calls{});
  EXPECT_EQ(Run("mode", ""), Calls{});
}

TEST_F(TagsTest, ChapterTextsResetAndCustom) {
  EXPECT_EQ(Run("date", "4/1"), (Calls{"SetChapterDate 4/1", "UpdateCaption"}));
  EXPECT_EQ(Run("date", ""), (Calls{"SetChapterDate ", "UpdateCaption"}));
  EXPECT_EQ(Run("chapter", "Prologue extra"), (Calls{"SetChapterName Prologue", "UpdateCaption"}));

  names->at(0)[0] = "l";
  names->at(1)[0] = "g";
  flags.SetDefinitions(names->at(0), names->at(1), names->at(2));
  flags.SetFlag("l", 3);
  flags.SetFlag("g", 4);
  EXPECT_EQ(Run("reset", ""), Calls{"FlowReset"});
  EXPECT_EQ(flags.GetFlag("l"), 0);
  EXPECT_EQ(flags.GetFlag("g"), 4);

  EXPECT_EQ(Run("custom", ""), Calls{"FlowNewRoute"});
  EXPECT_EQ(Run("custom", "caught armed"), Calls{"ClockEvent caught armed"});
  EXPECT_EQ(Run("custom", "caught"), Calls{"ClockEvent caught "});
}

TEST_F(TagsTest, TestTagShowsItsNumbersAndPumpsOnce) {
  EXPECT_EQ(Run("test", "1 2 3 -4 5"), Calls{"ShowTestImage 1 2 3 -4 0"});
  EXPECT_EQ(targets.pumps, 1);
  EXPECT_EQ(targets.noYieldPumps, 1);
}

// ---- movie

TEST_F(TagsTest, MovieClearsEverythingAndPlaysUntilCancelled) {
  targets.moviePollsLeft = 100;
  targets.onPump = [&](int n) {
    if (n == 3) targets.pending = 3;
  };
  const u32 start = clock.Now();
  EXPECT_EQ(Run("movie", "op.mpg"), (Calls{"ClearAllLayers", "SetNextFadeDuration 0", "StopBGM", "StopEnv", "StopSE",
                                           "ClearScreenSurfaces", "OpenMovie op.mpg", "CloseMovie"}));
  EXPECT_EQ(targets.pumps, 3);
  EXPECT_EQ(ElapsedMs(start, clock.Now()), 2000u);  // slept between the polls
  EXPECT_EQ(targets.pending, 0);
  EXPECT_EQ(targets.contexts, std::set<u8>{2});
}

TEST_F(TagsTest, MovieEndsWhenPlaybackEndsOrCannotStart) {
  targets.moviePollsLeft = 2;
  Run("movie", "ed.mpg");
  EXPECT_EQ(targets.pumps, 2);

  targets.pumps = 0;
  targets.movieOpens = false;
  EXPECT_EQ(Run("movie", "none.mpg").back(), "CloseMovie");
  EXPECT_EQ(targets.pumps, 0);
}

}  // namespace
}  // namespace lyraban
