#include <gtest/gtest.h>

#include <filesystem>

#include "core/command_line_doc.h"
#include "core/config/flag_definitions.h"
#include "core/default_game.h"
#include "core/options.h"
#include "sound/ogg_maker.h"
#include "test_game.h"

namespace lyraban {
namespace {

using testing::Play;
using testing::Played;
using testing::TestGame;
using Rgb3 = std::array<int, 3>;

TEST(Engine, ScriptComputesGlobalFlagsIntoTheFlagFileAndQuitsAfterTheQuestion) {
  TestGame game;
  game.Script(
      "?tmp = 6\r\n?score = tmp * 7 + 1\r\n"                                          // left to right: 43
      ".IF score > 40\r\n{\r\n?bonus = 2 * (3 + 4)\r\n}\r\n.ELSE\r\n?bonus = 99\r\n"  // 14
      "?runs = runs + 1\r\n.QUIT\r\n?score = 0\r\n");
  Played play(game);
  EXPECT_EQ(game.Globals(), (std::vector<i32>{43, 14, 1}));
  EXPECT_TRUE(play.engine->quitting());
  EXPECT_EQ(play.platform.questionsAsked(), std::vector<std::string>{"结束游戏？"});
  EXPECT_TRUE(std::filesystem::exists(game.dir.path() / "save" / "complete.log"));
  // A writable game keeps its own save folder, and the trace names it.
  EXPECT_EQ(play.engine->saveFolder(), (game.dir.path() / "save" / "").string());
  EXPECT_EQ(play.engine->settingsFile(), "lyraban.cfg");
  EXPECT_TRUE(play.Traced((game.dir.path() / "save" / "").string()));
  // QUIT fails its line, but the pump after it sees the quit first.
  EXPECT_FALSE(play.Traced("エラー（"));
  // The flags persist into the next start.
  Play(game).Run();
  EXPECT_EQ(game.Global(2), 2);
}

TEST(Engine, ScenarioEndRestartsTheStartScriptAndFailedLinesAreTraced) {
  TestGame game;
  game.Script(
      "?runs = runs + 1\r\n?score = nosuch + 5\r\n.nosuchtag 1 2\r\n.img 1 no\\such.png\r\n.IF runs > 2\r\n.QUIT\r\n");
  Played play(game);
  EXPECT_EQ(game.Globals(), (std::vector<i32>{5, 0, 3}));
  EXPECT_TRUE(play.Traced("変数『nosuch』は定義されていません"));
  EXPECT_TRUE(play.Traced("エラー（start.txt:3） — unknown tag .nosuchtag"));
  EXPECT_TRUE(play.Traced(
      "ファイル名:img\\no\\such.png\n\tファイルサイズ:0\n\t　暗号化コード:0000\n — img\\no\\such.png is in no "
      "archive and no loose file"));
  EXPECT_TRUE(play.Traced("エラー（start.txt:4） — img: no\\such.png could not be loaded into layer 1"));
}

TEST(Engine, RefusedCloseKeepsRunningUntilTheRunLimitWhichAlsoEndsBusyLoops) {
  TestGame game;
  game.Script("#top\r\n.wait 100\r\n?runs = runs + 1\r\n.GOTO top\r\n");
  Play play(game, "250 close\n", 1000);
  play.platform.SetYesNoAnswer(false);
  play.Run();
  EXPECT_EQ(play.platform.questionsAsked().size(), 1u);
  EXPECT_TRUE(play.engine->quitting());
  EXPECT_GE(game.Global(2), 8);  // about ten waits of 100 ms
  EXPECT_LE(game.Global(2), 10);

  TestGame busy;
  busy.Script("#top\r\n?runs = 1\r\n.GOTO top\r\n");  // never waits
  Played spin(busy, {}, 20);
  EXPECT_TRUE(spin.engine->quitting());
}

TEST(Engine, WaitsEndByInput) {
  TestGame game;
  game.Script(".mode system\r\n.wait 0\r\n?runs = runs + 1\r\n.QUIT\r\n");
  Played play(game, "700 click 5 5\n");
  EXPECT_EQ(game.Global(2), 1);
  EXPECT_GE(play.platform.clock().Now(), 700u);
  EXPECT_LT(play.platform.clock().Now(), 800u);
}

TEST(Engine, CaptionShowsChapterAndPlayTime) {
  TestGame game;
  game.Script(".chapter Two\r\n.QUIT\r\n");
  // Both caption options on.
  Play play(game);
  play.RunWithSettings(game, [](UserSettings& s) { s.ShowChapterInCaption = s.ShowPlayTimeInCaption = 1; });
  EXPECT_EQ(play.platform.caption(), "Flags　「Two」　[0:00]");

  // 125 minutes read as hours and minutes; a minimised window keeps it.
  Play idle(game);
  Engine& engine = idle.Open();
  engine.userSettings().ShowPlayTimeInCaption = 1;
  engine.interpreter().SetPlayMinutes(125);
  engine.UpdateCaption();
  EXPECT_EQ(idle.platform.caption(), "???　[2:05]");
  idle.At(0, platform::EventKind::Minimize);
  platform::Event e;
  idle.platform.PollEvent(e);
  engine.interpreter().SetPlayMinutes(3);
  engine.UpdateCaption();
  EXPECT_EQ(idle.platform.caption(), "???　[2:05]");
}

// The idle cursor counts one tick every 2000 ms and hides after the third;
// mouse activity shows it again; a tick while the popup menu is open (the
// menu runs the timers) shows it and starts the count afresh.
TEST(Engine, IdleCursorHidesAfterThreeTicksExceptWhileThePopupIsOpen) {
  TestGame game;
  Play play(game);
  Engine& engine = play.Open();
  engine.userSettings().HideIdleCursor = 1;
  auto& clock = play.platform.virtualClock();
  // Pumps at `ms` and tells whether the cursor shows then.
  const auto visibleAt = [&](u32 ms) {
    clock.Advance(ms - clock.Now());
    engine.PumpMessages();
    return play.platform.cursorVisible();
  };
  // Three ticks after `from`: shown, shown, hidden.
  const auto threeTicks = [&](u32 from, const char* after) {
    for (u32 tick = 1; tick <= 3; ++tick)
      EXPECT_EQ(visibleAt(from + 2000 * tick), tick < 3) << from + 2000 * tick << " ms, after " << after;
  };
  threeTicks(0, "the start");
  play.At(6500, platform::EventKind::MouseMove);
  EXPECT_TRUE(visibleAt(6500)) << "a mouse move shows it";
  threeTicks(6000, "the move");

  // The popup opens just as a tick falls due.
  clock.Advance(14000 - clock.Now());
  engine.input().SetPending(cmd::PopupMenu);
  EXPECT_FALSE(engine.DispatchSystemCommand(0));
  EXPECT_EQ(play.platform.menusShown(), 1u);
  EXPECT_TRUE(play.platform.cursorVisible()) << "the tick inside the open menu shows the cursor";
  threeTicks(14000, "the menu closed: the count starts afresh");

  engine.userSettings().HideIdleCursor = 0;
  play.At(20500, platform::EventKind::MouseMove);
  EXPECT_TRUE(visibleAt(20500));
  for (u32 ms = 22000; ms <= 30000; ms += 2000) EXPECT_TRUE(visibleAt(ms)) << ms << " ms, with the setting off";
}

TEST(Engine, LayersComposeIntoExactlyThePictureOfTheFormulas) {
  TestGame game(8, 6);
  // Two pixels with alpha: (200,100,0) at half opacity, then opaque blue.
  Surface dot;
  dot.Create(4, 2, 1);
  const u8 pixels[8] = {128, 0, 100, 200, 255, 255, 0, 0};  // alpha, blue, green, red
  std::memcpy(dot.Row(0), pixels, 8);
  game.dir.Write("data/img/dot.png", testing::Png(dot));
  game.dir.Write("data/img/half.png", testing::SolidPng(8, 6, 128, 128, 128));
  game.dir.Write("data/img/_test.png", testing::SolidPng(2, 2, 255, 0, 0));
  game.dir.Write("data/anime/tint.img", "Type=back\r\nImg0=half.png\r\nMode0=Multi\r\n");
  game.Script(
      ".img 0 GRAY\r\n"         // the named colour (170, 170, 170)
      ".img 1 dot.png 3 2\r\n"  // top-left at (3, 2)
      ".img 2 tint.img\r\n"     // multiply everything by 128/255
      ".wait 1000\r\n"          // longer than the 500 ms cross-fade
      ".QUIT\r\n");
  Played play(game);
  EXPECT_FALSE(play.Traced("エラー（"));
  // Grey 170 multiplied by 128 is 85; the half-transparent pixel over grey
  // is Lerp (185, 135, 85), multiplied (93, 68, 43); opaque blue (0, 0, 128).
  EXPECT_EQ(play.Pixel(0, 0), (Rgb3{85, 85, 85}));
  EXPECT_EQ(play.Pixel(7, 5), (Rgb3{85, 85, 85}));
  EXPECT_EQ(play.Pixel(3, 2), (Rgb3{93, 68, 43}));
  EXPECT_EQ(play.Pixel(4, 2), (Rgb3{0, 0, 128}));
  EXPECT_EQ(play.Pixel(5, 2), (Rgb3{85, 85, 85}));

  // The developer picture, its corner at (4, 3), unturned, full size.
  game.Script(".test 4 3 0 0 0 0 0 0\r\n.QUIT\r\n");
  Played test(game);
  EXPECT_EQ((std::array{test.Pixel(4, 3)[0], test.Pixel(5, 4)[0], test.Pixel(3, 3)[0], test.Pixel(6, 3)[0]}),
            (std::array{255, 255, 0, 0}))
      << "red of (4, 3), (5, 4), (3, 3) and (6, 3)";
}

TEST(Engine, MusicTagsReachTheMixer) {
  TestGame game(64, 48, "F000=theme.ogg\r\n");
  game.Script(".bgm theme.ogg\r\n.wait 1000\r\n.bgm\r\n.wait 1000\r\n.QUIT\r\n");  // empty name stops
  const auto ogg = testing::EncodeOgg(2, 44100, testing::MakeTones(2, 44100, {{3.0, 8000.0}}));
  game.dir.Write("data/bgm/theme.ogg", std::string(ogg.begin(), ogg.end()));
  const auto mixed = Play(game).RunCapturing();
  ASSERT_GT(mixed.size(), 2u * 44100 * 2);
  // Loud while the music plays (volume 50: about half of 8000), then silent.
  EXPECT_GT(testing::Rms(mixed.data(), 2, 44100 / 2, 44100 / 4), 1000.0);
  EXPECT_LT(testing::Rms(mixed.data(), 2, mixed.size() / 2 - 44100 / 2, 44100 / 4), 1.0);
  EXPECT_EQ(game.Bank("flagdata.001", 0), 1);  // the music was marked seen
}

// The engine reads the names from [Define.Flag] and hands them to the
// flag store: L, G and F keys fill the local, global and seen banks by their
// number; other subsections and undeclared slots give no name.
TEST(FlagDefinitions, KeysFillTheirBankBySlotAndOtherSectionsAreIgnored) {
  ConfigTree config;
  for (auto [key, name] : {std::pair{"L000", "route"},
                           {"g001", "b"},
                           {"G999", "last"},
                           {"F999", "ev_end"},
                           {"F1000", "beyond"},
                           {"X000", "other"}})
    config.Insert("Define", "Flag", key, name);
  config.Insert("Define", "Other", "L001", "elsewhere");
  const auto names = ReadFlagDefinitions(config);
  ASSERT_NE(names, nullptr);
  // Every declared name, as bank letter, slot and name.
  std::vector<std::string> declared;
  for (std::size_t bank = 0; bank < 3; ++bank)
    for (int slot = 0; slot < kFlagSlots; ++slot)
      if (!(*names)[bank][slot].empty())
        declared.push_back(std::string(1, "LGF"[bank]) + std::to_string(slot) + "=" + (*names)[bank][slot]);
  EXPECT_EQ(declared, (std::vector<std::string>{"L0=route", "G1=b", "G999=last", "F999=ev_end"}));
}

TEST(CommandLine, OptionsEveryDocumentedOneAndErrors) {
  std::string error;
  auto o =
      ParseCommandLine({"--headless", "--run-ms", "1500", "--trace", "-", "--frame-stats", "f.txt", "game"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(std::tuple(o->headless, o->runLimit, o->runMs, o->traceFile, o->frameStatsFile, o->gameFolder),
            std::tuple(true, true, 1500u, "-", "f.txt", "game"));
  EXPECT_TRUE(o->decodeAhead);
  o = ParseCommandLine({"--no-decode-ahead"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_FALSE(o->decodeAhead);
  // What the help lists is accepted, with a value where it takes one; --help
  // itself gives nothing, with no error.
  for (const UsageItem& item : command_line_doc::kOptions) {
    const std::string term = item.term;
    std::vector<std::string> args{term.substr(0, term.find(' '))};
    if (term.find(' ') != std::string::npos) args.push_back("5");
    EXPECT_EQ(ParseCommandLine(args, error).has_value(), args[0] != "--help") << term;
    EXPECT_EQ(error, "") << term;
  }
  const std::pair<std::vector<std::string>, std::string> bad[] = {
      {{"--run-ms", "soon"}, "--run-ms needs a number of milliseconds, not 'soon'"},
      {{"--frame-stats"}, "option --frame-stats needs a value"},
      {{"--trace"}, "option --trace needs a value"},
      {{"a", "b"}, "only one game folder can be given"},
      {{"--headles"}, "unknown option --headles"}};
  for (const auto& [args, message] : bad) {
    EXPECT_FALSE(ParseCommandLine(args, error)) << args[0];
    EXPECT_EQ(error, message);
  }
}

// The sample game beside an installed program, else the program's folder,
// where the player hears there is no game.
TEST(DefaultGame, BesideTheProgramThenTheInstalledSampleThenNothing) {
  testing::TempDir root;
  const std::string bin = (root.path() / "usr/bin").string();
  std::filesystem::create_directories(bin);
  const char* sample = "../share/games/lyraban/sample";
  const std::string installed = (root.path() / "usr/share/games/lyraban/sample").string();
  EXPECT_EQ(DefaultGameFolder(bin, sample), bin);
  std::filesystem::create_directories(installed + "/data");
  EXPECT_EQ(DefaultGameFolder(bin, sample), installed) << "written without the ..";
  EXPECT_EQ(DefaultGameFolder(bin), installed) << "this build looks where it installs the sample";
  EXPECT_EQ(DefaultGameFolder(bin, ""), bin);
  // A game shipped with its own program wins over the sample.
  std::filesystem::create_directories(bin + "/data");
  EXPECT_EQ(DefaultGameFolder(bin, sample), bin);
  EXPECT_EQ(DefaultGameFolder("", sample), ".");
}

}  // namespace
}  // namespace lyraban
