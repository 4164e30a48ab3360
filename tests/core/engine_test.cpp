#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/engine.h"
#include "core/options.h"
#include "persist/save_data_file.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/input_script.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

using testing::TempDir;

// A loose-file game folder with one configuration file.
void WriteGame(const TempDir& dir, const std::string& start, const std::string& config = {}) {
  dir.Write("data/config/config.txt", "game.ini\r\n");
  dir.Write("data/config/game.ini",
            "[System.Info]\r\nTitle=Flags\r\n[System.Setting]\r\nScreenWidth=64\r\nScreenHeight=48\r\n"
            "[Define.Flag]\r\nG000=score\r\nG001=bonus\r\nG002=runs\r\nL000=tmp\r\n" +
                config);
  if (!start.empty()) dir.Write("data/script/start.txt", start);
}

std::vector<i32> ReadBank(const std::filesystem::path& saveFolder, const char* name) {
  SaveDataFile file(saveFolder);
  std::vector<i32> values;
  if (!file.OpenForRead(name)) return values;
  std::string bytes;
  file.ReadRest(bytes);
  values.resize(bytes.size() / 4);
  std::memcpy(values.data(), bytes.data(), values.size() * 4);
  return values;
}

struct GameRun {
  explicit GameRun(const TempDir& dir, EngineOptions options = {}) {
    options.gameFolder = dir.str();
    options.headless = true;
    engine = std::make_unique<Engine>(platform, options);
    engine->trace().SetSink([this](std::string_view m) { trace.emplace_back(m); });
    engine->Run();
  }
  bool Traced(std::string_view text) const {
    for (const auto& t : trace)
      if (t.find(text) != std::string::npos) return true;
    return false;
  }
  platform::HeadlessPlatform platform;
  std::unique_ptr<Engine> engine;
  std::vector<std::string> trace;
};

TEST(Engine, ScriptComputesGlobalFlagsIntoTheFlagFile) {
  TempDir dir;
  WriteGame(dir,
            "?tmp = 6\r\n"
            "?score = tmp * 7 + 1\r\n"      // left to right: 43
            ".IF score > 40\r\n{\r\n"
            "?bonus = 2 * (3 + 4)\r\n"       // 14
            "}\r\n.ELSE\r\n?bonus = 99\r\n"
            "?runs = runs + 1\r\n"
            ".QUIT\r\n"
            "?score = 0\r\n");  // never reached: QUIT ends the run
  GameRun run(dir);
  const auto bank = ReadBank(dir.path() / "save", "flagdata.000");
  ASSERT_EQ(bank.size(), 1000u);
  EXPECT_EQ(bank[0], 43);
  EXPECT_EQ(bank[1], 14);
  EXPECT_EQ(bank[2], 1);
  EXPECT_TRUE(run.engine->quitting());
  // The close was confirmed through the quit question.
  ASSERT_EQ(run.platform.questionsAsked().size(), 1u);
  EXPECT_EQ(run.platform.questionsAsked()[0], "结束游戏？");
  // The read-text log is written at shut-down.
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "save" / "complete.log"));
  // QUIT fails its line, but the pump after it sees the quit first, so
  // nothing is reported.
  EXPECT_FALSE(run.Traced("エラー（"));
}

TEST(Engine, GlobalFlagsSurviveIntoTheNextStart) {
  TempDir dir;
  WriteGame(dir, "?runs = runs + 1\r\n.QUIT\r\n");
  { GameRun first(dir); }
  { GameRun second(dir); }
  EXPECT_EQ(ReadBank(dir.path() / "save", "flagdata.000")[2], 2);
}

TEST(Engine, AnsweringNoKeepsTheGameRunningUntilTheRunLimit) {
  TempDir dir;
  // Waits in a loop; the first close request is refused.
  WriteGame(dir, "#top\r\n.wait 100\r\n?runs = runs + 1\r\n.GOTO top\r\n");
  platform::HeadlessPlatform platform;
  platform.SetYesNoAnswer(false);
  platform::Event close;
  close.kind = platform::EventKind::CloseRequest;
  platform.Schedule(250, close);
  EngineOptions options;
  options.gameFolder = dir.str();
  options.headless = true;
  options.runLimit = true;
  options.runMs = 1000;
  Engine engine(platform, options);
  engine.Run();
  EXPECT_EQ(platform.questionsAsked().size(), 1u);
  EXPECT_TRUE(engine.quitting());
  // The run limit closes without asking, after about ten waits of 100 ms.
  const i32 runs = ReadBank(dir.path() / "save", "flagdata.000")[2];
  EXPECT_GE(runs, 8);
  EXPECT_LE(runs, 10);
  EXPECT_GE(platform.clock().Now(), 1000u);
}

TEST(Engine, TheEndOfTheScenarioStartsTheStartScriptAgain) {
  TempDir dir;
  WriteGame(dir, "?runs = runs + 1\r\n.IF runs > 2\r\n.QUIT\r\n");
  GameRun run(dir);
  EXPECT_EQ(ReadBank(dir.path() / "save", "flagdata.000")[2], 3);
}

TEST(Engine, MissingStartScriptEndsAtOnce) {
  TempDir dir;
  WriteGame(dir, "");
  GameRun run(dir);
  EXPECT_TRUE(run.engine->missingStartScript());
  EXPECT_TRUE(run.platform.questionsAsked().empty());
}

TEST(Engine, UndefinedFlagsAndTagsAreTracedAndSkipped) {
  TempDir dir;
  WriteGame(dir, "?score = nosuch + 5\r\n.nosuchtag 1 2\r\n?bonus = 1\r\n.QUIT\r\n");
  GameRun run(dir);
  EXPECT_TRUE(run.Traced("変数『nosuch』は定義されていません"));
  EXPECT_TRUE(run.Traced("エラー（start.txt:2）"));
  const auto bank = ReadBank(dir.path() / "save", "flagdata.000");
  EXPECT_EQ(bank[0], 5);
  EXPECT_EQ(bank[1], 1);
}

TEST(Engine, CaptionShowsChapterAndPlayTime) {
  TempDir dir;
  WriteGame(dir, ".chapter Two\r\n.QUIT\r\n");
  // Turn both caption options on through the settings file in the current
  // directory: the engine reads "lyraban.cfg" from there.
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  {
    UserSettings settings;
    ResetUserSettings(settings);
    settings.ShowChapterInCaption = 1;
    settings.ShowPlayTimeInCaption = 1;
    SaveUserSettings(settings, "lyraban.cfg");
  }
  GameRun run(dir);
  std::filesystem::current_path(previous);
  EXPECT_EQ(run.platform.caption(), "Flags　「Two」　[0:00]");
}

TEST(CommandLine, OptionsAndErrors) {
  std::string error;
  auto o = ParseCommandLine({"--headless", "--run-ms", "1500", "--trace", "-", "game"}, error);
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->headless);
  EXPECT_TRUE(o->runLimit);
  EXPECT_EQ(o->runMs, 1500u);
  EXPECT_EQ(o->traceFile, "-");
  EXPECT_EQ(o->gameFolder, "game");
  EXPECT_FALSE(ParseCommandLine({"--run-ms", "soon"}, error));
  EXPECT_NE(error.find("--run-ms"), std::string::npos);
  EXPECT_FALSE(ParseCommandLine({"--trace"}, error));
  EXPECT_FALSE(ParseCommandLine({"a", "b"}, error));
  EXPECT_FALSE(ParseCommandLine({"--bogus"}, error));
  EXPECT_FALSE(ParseCommandLine({"--help"}, error));
  EXPECT_TRUE(error.empty());
}

}  // namespace
}  // namespace lyraban

namespace lyraban {
namespace {

TEST(Engine, ScriptedClickEndsAWaitForInput) {
  TempDir dir;
  WriteGame(dir, ".mode system\r\n.wait 0\r\n?runs = runs + 1\r\n.QUIT\r\n");
  platform::HeadlessPlatform platform;
  std::string error;
  ASSERT_TRUE(platform::ScheduleInputScript(platform, "700 click 5 5\n", error)) << error;
  EngineOptions options;
  options.gameFolder = dir.str();
  options.headless = true;
  Engine engine(platform, options);
  engine.Run();
  EXPECT_EQ(ReadBank(dir.path() / "save", "flagdata.000")[2], 1);
  EXPECT_GE(platform.clock().Now(), 700u);
  EXPECT_LT(platform.clock().Now(), 800u);
}

}  // namespace
}  // namespace lyraban

#include "graphics/png.h"

namespace lyraban {
namespace {

// A small surface of one colour (RGB values; stored blue, green, red).
std::string SolidPng(int w, int h, u8 r, u8 g, u8 b) {
  Surface s;
  s.Create(3, w, h);
  FillScreen(s, r, g, b);
  std::string bytes;
  EncodePng(s, bytes);
  return bytes;
}

TEST(Engine, LayersComposeIntoExactlyThePictureOfTheFormulas) {
  TempDir dir;
  dir.Write("data/config/config.txt", "game.ini\r\n");
  dir.Write("data/config/game.ini", "[System.Setting]\r\nScreenWidth=8\r\nScreenHeight=6\r\n");
  // Two pixels with alpha: (200,100,0) at half opacity, then opaque blue.
  Surface dot;
  dot.Create(4, 2, 1);
  const u8 pixels[8] = {128, 0, 100, 200, 255, 255, 0, 0};  // alpha, blue, green, red
  std::memcpy(dot.Row(0), pixels, 8);
  std::string dotPng;
  ASSERT_TRUE(EncodePng(dot, dotPng));
  dir.Write("data/img/dot.png", dotPng);
  dir.Write("data/img/half.png", SolidPng(8, 6, 128, 128, 128));
  dir.Write("data/anime/tint.img", "Type=back\r\nImg0=half.png\r\nMode0=Multi\r\n");
  dir.Write("data/script/start.txt",
            ".img 0 GRAY\r\n"           // the named colour (170, 170, 170)
            ".img 1 dot.png 3 2\r\n"     // top-left at (3, 2)
            ".img 2 tint.img\r\n"        // multiply everything by 128/255
            ".wait 1000\r\n"             // longer than the 500 ms cross-fade
            ".QUIT\r\n");
  GameRun run(dir);
  EXPECT_FALSE(run.Traced("エラー（"));
  std::vector<u8> frame;
  int w = 0, h = 0;
  ASSERT_TRUE(run.platform.CopyLastFrame(frame, w, h));
  ASSERT_EQ(w, 8);
  ASSERT_EQ(h, 6);
  auto at = [&](int x, int y) {
    const u8* p = frame.data() + (static_cast<size_t>(y) * w + x) * 3;
    return std::array<int, 3>{p[2], p[1], p[0]};  // red, green, blue
  };
  // Grey 170 multiplied by 128: (170*128+128 + ((170*128+128)>>8)) >> 8 = 85.
  EXPECT_EQ(at(0, 0), (std::array<int, 3>{85, 85, 85}));
  EXPECT_EQ(at(7, 5), (std::array<int, 3>{85, 85, 85}));
  // Half-transparent red-orange over grey: Lerp gives (185, 135, 85), then
  // multiplied by 128: (93, 68, 43).
  EXPECT_EQ(at(3, 2), (std::array<int, 3>{93, 68, 43}));
  // Opaque blue, multiplied: (0, 0, 128).
  EXPECT_EQ(at(4, 2), (std::array<int, 3>{0, 0, 128}));
  EXPECT_EQ(at(5, 2), (std::array<int, 3>{85, 85, 85}));
}

}  // namespace
}  // namespace lyraban

#include "platform/headless/virtual_audio.h"
#include "sound/ogg_maker.h"

namespace lyraban {
namespace {

TEST(Engine, MusicTagsReachTheMixer) {
  TempDir dir;
  WriteGame(dir,
            ".bgm theme.ogg\r\n"
            ".wait 1000\r\n"
            ".bgm\r\n"  // an empty name stops the music
            ".wait 1000\r\n"
            ".QUIT\r\n",
            "F000=theme.ogg\r\n");
  const auto pcm = testing::MakeTones(2, 44100, {{3.0, 8000.0}});
  const auto ogg = testing::EncodeOgg(2, 44100, pcm);
  dir.Write("data/bgm/theme.ogg", std::string(ogg.begin(), ogg.end()));

  platform::HeadlessPlatform platform;
  platform::VirtualAudioOutput audio(platform.virtualClock());
  platform.SetAudio(&audio);
  audio.StartCapture();
  EngineOptions options;
  options.gameFolder = dir.str();
  options.headless = true;
  Engine engine(platform, options);
  engine.Run();
  const auto mixed = audio.TakeCaptured();
  ASSERT_GT(mixed.size(), 2u * 44100 * 2);
  // Loud while the music plays (at volume 50, about half of 8000 peak),
  // silent after it stopped.
  const double playing = testing::Rms(mixed.data(), 2, 44100 / 2, 44100 / 4);
  const double stopped = testing::Rms(mixed.data(), 2, mixed.size() / 2 - 44100 / 2, 44100 / 4);
  EXPECT_GT(playing, 1000.0);
  EXPECT_LT(stopped, 1.0);
  // Playing the music marked its seen flag, which went to the seen file.
  EXPECT_EQ(ReadBank(dir.path() / "save", "flagdata.001")[0], 1);
}

}  // namespace
}  // namespace lyraban

namespace lyraban {
namespace {

TEST(Engine, ALoopWithoutWaitsStillReachesTheRunLimit) {
  TempDir dir;
  WriteGame(dir, "#top\r\n?runs = 1\r\n.GOTO top\r\n");
  platform::HeadlessPlatform platform;
  EngineOptions options;
  options.gameFolder = dir.str();
  options.headless = true;
  options.runLimit = true;
  options.runMs = 20;
  Engine engine(platform, options);
  engine.Run();
  EXPECT_TRUE(engine.quitting());
  EXPECT_GE(platform.clock().Now(), 20u);
}

TEST(Engine, MaximisingGoesFullScreen) {
  TempDir dir;
  WriteGame(dir, ".wait 500\r\n.QUIT\r\n");
  platform::HeadlessPlatform platform;
  platform::Event maximize;
  maximize.kind = platform::EventKind::Maximize;
  platform.Schedule(100, maximize);
  EngineOptions options;
  options.gameFolder = dir.str();
  options.headless = true;
  Engine engine(platform, options);
  engine.Run();
  EXPECT_EQ(engine.userSettings().FullScreen, 1);
}

}  // namespace
}  // namespace lyraban

namespace lyraban {
namespace {

TEST(Engine, TestTagDrawsTheDeveloperPictureAtItsPoint) {
  TempDir dir;
  dir.Write("data/config/config.txt", "game.ini\r\n");
  dir.Write("data/config/game.ini", "[System.Setting]\r\nScreenWidth=8\r\nScreenHeight=6\r\n");
  dir.Write("data/img/_test.png", SolidPng(2, 2, 255, 0, 0));
  // Picture corner (0, 0) at screen point (4, 3), unturned, full size.
  dir.Write("data/script/start.txt", ".test 4 3 0 0 0 0 0 0\r\n.QUIT\r\n");
  GameRun run(dir);
  std::vector<u8> frame;
  int w = 0, h = 0;
  ASSERT_TRUE(run.platform.CopyLastFrame(frame, w, h));
  auto red = [&](int x, int y) { return frame[(static_cast<size_t>(y) * w + x) * 3 + 2]; };
  EXPECT_EQ(red(4, 3), 255);
  EXPECT_EQ(red(5, 4), 255);
  EXPECT_EQ(red(3, 3), 0);
  EXPECT_EQ(red(6, 3), 0);
}

}  // namespace
}  // namespace lyraban
