#include <gtest/gtest.h>

#include "test_game.h"

namespace lyraban {
namespace {

using testing::FramesPng;
using testing::Play;
using testing::Played;
using testing::TestGame;

// An 800×600 game with the choice item picture (600×50, three frames: items
// at x 100, y 160, 230, 300) and a map of three places.
struct ChoiceGame : TestGame {
  explicit ChoiceGame(const std::string& script) : TestGame(800, 600) {
    dir.Write("data/img/sys_select_item.png", FramesPng(600, 50, 3));
    dir.Write("data/img/town.png", FramesPng(40, 40, 3));
    dir.Write("data/img/lock.png", FramesPng(40, 40, 4));
    dir.Write("data/map/world.map",
              "ICON: town 3 town.png\r\nICON: lock 4 lock.png\r\n"
              "PLACE: square 100 100\r\nPLACE: gate 200 100\r\nPLACE: tower 300 300\r\n");
    Script(script);
  }
};

TEST(ChoiceFlow, MouseAndKeyboardPickTheCaseThatRunsButAPressAndAReleaseOnTwoItemsNothing) {
  const ChoiceGame game(
      ".SELECT\r\n左\r\n右\r\n秘密 never\r\n.CASE 1\r\n?score = 1\r\n.CASE 2 3\r\n?score = 2\r\n.ENDSEL\r\n"
      ".SELECT\r\nA\r\nB\r\n.CASE 1\r\n?bonus = 1\r\n.CASE 2\r\n?bonus = 2\r\n.ENDSEL\r\n"
      ".SELECT\r\nA\r\nB\r\n.CASE 1\r\n?runs = 1\r\n.CASE 2\r\n?runs = 2\r\n.ENDSEL\r\n.QUIT\r\n");
  // A click on the second item; then the pointer on B, Up and Enter; then a
  // press on A released on B, and a click on A.
  Play(game,
       "500 click 400 255\n1500 move 400 250\n1600 key Up\n1700 key Enter\n2500 down 400 185\n2520 up 400 255\n"
       "2900 click 400 185\n",
       20000)
      .Run();
  EXPECT_EQ(game.Globals(), (std::vector<i32>{2, 1, 1}));
}

TEST(ChoiceFlow, MapChoiceOffersPlacesAndSkipsDisabledOnes) {
  // The gate is offered but cannot be picked; the tower is hidden.
  const ChoiceGame game(
      ".SELECT world.map\r\ntown square\r\nlock gate 1 0\r\ntown tower never\r\n"
      ".CASE 1\r\n?score = 1\r\n.CASE 2\r\n?score = 2\r\n.CASE 3\r\n?score = 3\r\n.ENDSEL\r\n.QUIT\r\n");
  Played play(game, "500 click 220 120\n1000 click 310 310\n1500 click 120 120\n", 20000);
  EXPECT_EQ(game.Global(0), 1);
  EXPECT_FALSE(play.Traced("エラー（"));
}

TEST(ChoiceFlow, RightClickOpensThePopupMenuWhoseExitAsksTheQuitQuestion) {
  const ChoiceGame game(".SELECT\r\nA\r\nB\r\n.CASE 1\r\n?score = 1\r\n.ENDSEL\r\n.GOTO nowhere\r\n");
  Play play(game, "400 menu 25\n500 rclick 10 10\n", 20000);  // the menu will answer 结束(&X)
  play.Run();
  EXPECT_EQ(play.platform.menusShown(), 1u);
  EXPECT_EQ(play.platform.questionsAsked(), std::vector<std::string>{"结束游戏？"});
  EXPECT_LT(play.platform.clock().Now(), 2000u);
  EXPECT_LE(game.Global(0), 0);  // nothing was picked
}

TEST(SystemCommands, DispatchResults) {
  TestGame game;
  Play play(game);
  Engine& engine = play.Open();
  auto dispatch = [&](u8 code) {
    engine.input().SetPending(code);
    return engine.DispatchSystemCommand(ContextReading);
  };
  EXPECT_TRUE(dispatch(cmd::ReturnToTitle));  // unwinds the script
  EXPECT_TRUE(engine.interpreter().RestartRequested);
  EXPECT_EQ(engine.input().pending(), 0);
  EXPECT_TRUE(dispatch(cmd::Exit));  // asks the window to close
  platform::Event e;
  ASSERT_TRUE(play.platform.PollEvent(e));
  EXPECT_EQ(e.kind, platform::EventKind::CloseRequest);
  // The window modes change the setting the dialog would save.
  EXPECT_FALSE(dispatch(cmd::ToggleFullScreen));
  EXPECT_TRUE(play.platform.IsFullScreen());
  EXPECT_EQ(engine.userSettings().FullScreen, 1);
  dispatch(cmd::FullScreenMode);
  EXPECT_TRUE(play.platform.IsFullScreen());
  dispatch(cmd::WindowMode);
  EXPECT_FALSE(play.platform.IsFullScreen());
  EXPECT_EQ(engine.userSettings().FullScreen, 0);
  EXPECT_FALSE(engine.DispatchSystemCommand(ContextReading));  // nothing pending
}

}  // namespace
}  // namespace lyraban
