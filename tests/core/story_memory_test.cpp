// The backlog and the flow chart as the engine feeds and shows them.
#include <gtest/gtest.h>

#include "test_game.h"

namespace lyraban::testing {
namespace {

TEST(FlowRecord, FollowsTheScriptsThatAreEnteredAndTheResetAndNewRouteTags) {
  TestGame game;
  game.dir.Write("data/flow/checklist.txt", "start\r\nb\r\nc\r\n");
  game.File("b.txt", "?runs = 1\r\n");
  game.File("c.txt", ".wait 100000\r\n");
  game.Script(".CALL b.txt\r\n.LOAD c.txt\r\n");
  Played play(game, "", 500);
  const FlowState& flow = play.engine->flow();
  using Set = std::set<std::string, std::less<>>;
  EXPECT_EQ(flow.lastNode(), "c");
  EXPECT_EQ(flow.routeNodes(), (Set{"b", "c", "start"}));
  EXPECT_EQ(flow.routeLinks(), (Set{"b\tc", "start\tb"})) << "the CALL and the LOAD each enter a story point";

  game.Script(".CALL b.txt\r\n.custom\r\n.CALL b.txt\r\n.wait 100000\r\n");
  Played route(game, "", 500);
  EXPECT_EQ(route.engine->flow().lastNode(), "b");
  EXPECT_EQ(route.engine->flow().LinkState("start\tb"), 1) << "a new route keeps what was visited";
  EXPECT_TRUE(route.engine->flow().routeLinks().empty()) << "the new route began with no last node";

  game.Script(".CALL b.txt\r\n.reset\r\n.wait 100000\r\n");
  Played reset(game, "", 500);
  EXPECT_EQ(reset.engine->flow().lastNode(), "");
  EXPECT_TRUE(reset.engine->flow().visitedNodes().empty());
}

TEST(Backlog, LinesReachTheStore) {
  TestGame game(800, 600);
  const CodePage gbk;
  game.Script(gbk.FromUtf8("光:") + "Hello\r\n.\r\nWorld\r\n.\r\n.wait 100000\r\n");
  Played play(game, "1000 click 400 300\n2000 click 400 300\n", 4000);
  const BacklogStore& log = play.engine->backlog();
  EXPECT_EQ(log.GetBacklogEntry(2).Name, gbk.FromUtf8("光"));
  EXPECT_EQ(log.GetBacklogEntry(2).Text, "Hello");
  EXPECT_EQ(log.GetBacklogEntry(1).Text, "World");
  EXPECT_EQ(log.pageMark(), log.writeIndex()) << "the page line marks the resume point";
}

TEST(Backlog, BackspaceOpensTheDarkenedScreenAndEscapeLeaves) {
  TestGame game(800, 600);
  game.Script(".img 0 GRAY\r\nHello\r\n.\r\n");
  // Opened while the line waits; the run ends while it is shown.
  Played open(game, "1000 key Backspace\n", 1500);
  EXPECT_EQ(open.Pixel(790, 300), (std::array<int, 3>{84, 84, 84})) << "170 darkened by 127/256";

  Played left(game, "1000 key Backspace\n1200 key Escape\n", 1500);
  EXPECT_EQ(left.Pixel(790, 300), (std::array<int, 3>{170, 170, 170})) << "the scene is back";
}

}  // namespace
}  // namespace lyraban::testing
