#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/engine.h"
#include "graphics/png.h"
#include "persist/save_data_file.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/input_script.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

using testing::TempDir;

// A picture of `frames` stacked frames, each w × h, fully opaque.
std::string FramesPng(int w, int h, int frames) {
  Surface s;
  s.Create(4, w, h * frames);
  for (int y = 0; y < h * frames; ++y) {
    u8* row = s.Row(y);
    for (int x = 0; x < w; ++x) {
      row[x * 4 + 0] = 255;                      // alpha
      row[x * 4 + 1] = static_cast<u8>(y / h * 60);  // each frame its own colour
      row[x * 4 + 2] = 80;
      row[x * 4 + 3] = 40;
    }
  }
  std::string bytes;
  EncodePng(s, bytes, 1);
  return bytes;
}

i32 GlobalFlag(const TempDir& dir, int slot) {
  SaveDataFile file(dir.path() / "save");
  std::string bytes;
  if (!file.OpenForRead("flagdata.000") || !file.ReadRest(bytes) || bytes.size() < 4000) return -1;
  i32 v;
  std::memcpy(&v, bytes.data() + slot * 4, 4);
  return v;
}

struct ChoiceGame {
  explicit ChoiceGame(const std::string& start) {
    dir.Write("data/config/config.txt", "game.ini\r\n");
    dir.Write("data/config/game.ini",
              "[System.Setting]\r\nScreenWidth=800\r\nScreenHeight=600\r\n"
              "[Define.Flag]\r\nG000=first\r\nG001=second\r\nG002=place\r\nL000=never\r\n");
    dir.Write("data/img/sys_select_item.png", FramesPng(600, 50, 3));
    dir.Write("data/img/town.png", FramesPng(40, 40, 3));
    dir.Write("data/img/lock.png", FramesPng(40, 40, 4));
    dir.Write("data/map/world.map",
              "ICON: town 3 town.png\r\nICON: lock 4 lock.png\r\n"
              "PLACE: square 100 100\r\nPLACE: gate 200 100\r\nPLACE: tower 300 300\r\n");
    dir.Write("data/script/start.txt", start);
  }
  void Run(const std::string& input) {
    std::string error;
    ASSERT_TRUE(platform::ScheduleInputScript(platform, input, error)) << error;
    EngineOptions options;
    options.gameFolder = dir.str();
    options.headless = true;
    options.runLimit = true;
    options.runMs = 20000;
    engine = std::make_unique<Engine>(platform, options);
    engine->trace().SetSink([this](std::string_view m) { trace.emplace_back(m); });
    engine->Run();
  }
  TempDir dir;
  platform::HeadlessPlatform platform;
  std::unique_ptr<Engine> engine;
  std::vector<std::string> trace;
};

TEST(ChoiceFlow, MouseAndKeyboardPickTheCaseThatRuns) {
  ChoiceGame game(
      ".SELECT\r\n左\r\n右\r\n秘密 never\r\n.CASE 1\r\n?first = 1\r\n.CASE 2 3\r\n?first = 2\r\n.ENDSEL\r\n"
      ".SELECT\r\nA\r\nB\r\n.CASE 1\r\n?second = 1\r\n.CASE 2\r\n?second = 2\r\n.ENDSEL\r\n"
      ".QUIT\r\n");
  // Items are 600×50 at x 100, y 160, 230, 300. Click the second item;
  // then for the next choice put the pointer on B, press Up and confirm.
  game.Run(
      "500 click 400 255\n"
      "1500 move 400 250\n"
      "1600 key Up\n"
      "1700 key Enter\n");
  EXPECT_EQ(GlobalFlag(game.dir, 0), 2);
  EXPECT_EQ(GlobalFlag(game.dir, 1), 1);
  EXPECT_TRUE(game.engine->quitting());
}

TEST(ChoiceFlow, PressOnOneItemAndReleaseOnAnotherPicksNothing) {
  ChoiceGame game(".SELECT\r\nA\r\nB\r\n.CASE 1\r\n?first = 1\r\n.CASE 2\r\n?first = 2\r\n.ENDSEL\r\n.QUIT\r\n");
  game.Run(
      "500 down 400 185\n"
      "520 up 400 255\n"   // released on B: nothing
      "900 click 400 185\n");  // then a real click on A
  EXPECT_EQ(GlobalFlag(game.dir, 0), 1);
}

TEST(ChoiceFlow, MapChoiceOffersPlacesAndSkipsDisabledOnes) {
  // The gate is offered but cannot be picked; the tower is hidden.
  ChoiceGame game(
      ".SELECT world.map\r\n"
      "town square\r\n"
      "lock gate 1 0\r\n"
      "town tower never\r\n"
      ".CASE 1\r\n?place = 1\r\n.CASE 2\r\n?place = 2\r\n.CASE 3\r\n?place = 3\r\n.ENDSEL\r\n.QUIT\r\n");
  game.Run(
      "500 click 220 120\n"    // the disabled gate: nothing happens
      "1000 click 310 310\n"   // where the hidden tower would be: nothing
      "1500 click 120 120\n");  // the square
  EXPECT_EQ(GlobalFlag(game.dir, 2), 1);
  for (const auto& t : game.trace) EXPECT_EQ(t.find("エラー（"), std::string::npos) << t;
}

TEST(SystemCommands, DispatchResults) {
  TempDir dir;
  dir.Write("data/script/start.txt", ".QUIT\r\n");
  platform::HeadlessPlatform platform;
  EngineOptions options;
  options.gameFolder = dir.str();
  options.headless = true;
  Engine engine(platform, options);
  ASSERT_TRUE(platform.CreateMainWindow(64, 48));

  // Return to the title unwinds the script.
  engine.input().SetPending(cmd::ReturnToTitle);
  EXPECT_TRUE(engine.DispatchSystemCommand(ContextReading));
  EXPECT_TRUE(engine.interpreter().RestartRequested);
  EXPECT_EQ(engine.input().pending(), 0);

  // Exit asks the window to close.
  engine.input().SetPending(cmd::Exit);
  EXPECT_TRUE(engine.DispatchSystemCommand(ContextReading));
  platform::Event e;
  ASSERT_TRUE(platform.PollEvent(e));
  EXPECT_EQ(e.kind, platform::EventKind::CloseRequest);

  // The window modes change the setting that is saved with the dialog.
  engine.input().SetPending(cmd::ToggleFullScreen);
  EXPECT_FALSE(engine.DispatchSystemCommand(ContextReading));
  EXPECT_TRUE(platform.IsFullScreen());
  EXPECT_EQ(engine.userSettings().FullScreen, 1);
  engine.input().SetPending(cmd::FullScreenMode);
  engine.DispatchSystemCommand(ContextReading);
  EXPECT_TRUE(platform.IsFullScreen());
  engine.input().SetPending(cmd::WindowMode);
  engine.DispatchSystemCommand(ContextReading);
  EXPECT_FALSE(platform.IsFullScreen());
  EXPECT_EQ(engine.userSettings().FullScreen, 0);

  // Nothing pending: nothing to do.
  EXPECT_FALSE(engine.DispatchSystemCommand(ContextReading));
}

TEST(Caption, PlayTimeInHoursAndMinutes) {
  TempDir dir;
  platform::HeadlessPlatform platform;
  EngineOptions options;
  options.gameFolder = dir.str();
  Engine engine(platform, options);
  ASSERT_TRUE(platform.CreateMainWindow(64, 48));
  engine.userSettings().ShowPlayTimeInCaption = 1;
  engine.interpreter().SetPlayMinutes(125);
  engine.UpdateCaption();
  EXPECT_EQ(platform.caption(), "???　[2:05]");
  // A minimised window keeps its caption.
  platform::Event minimize;
  minimize.kind = platform::EventKind::Minimize;
  platform.Schedule(0, minimize);
  platform::Event e;
  platform.PollEvent(e);
  engine.interpreter().SetPlayMinutes(3);
  engine.UpdateCaption();
  EXPECT_EQ(platform.caption(), "???　[2:05]");
}

}  // namespace
}  // namespace lyraban

namespace lyraban {
namespace {

TEST(ChoiceFlow, RightClickOpensThePopupMenuWhoseExitAsksTheQuitQuestion) {
  ChoiceGame game(".SELECT\r\nA\r\nB\r\n.CASE 1\r\n?first = 1\r\n.ENDSEL\r\n.GOTO nowhere\r\n");
  game.Run(
      "400 menu 25\n"  // the answer the menu will get: 结束(&X)
      "500 rclick 10 10\n");
  EXPECT_EQ(game.platform.menusShown(), 1u);
  ASSERT_FALSE(game.platform.lastMenuItems().empty());
  ASSERT_EQ(game.platform.questionsAsked().size(), 1u);
  EXPECT_EQ(game.platform.questionsAsked()[0], "结束游戏？");
  EXPECT_TRUE(game.engine->quitting());
  // Ended well before the run limit, and nothing was picked.
  EXPECT_LT(game.platform.clock().Now(), 2000u);
  EXPECT_LE(GlobalFlag(game.dir, 0), 0);
}

}  // namespace
}  // namespace lyraban
