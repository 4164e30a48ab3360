// Whole-engine runs of games and save folders that are damaged or hostile:
// each must end on its own, without a crash, a stall or lost history.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/test_game.h"
#include "persist/read_log.h"

namespace lyraban {
namespace {

using testing::Play;
using testing::Played;
using testing::TestGame;

// Start scripts that end without waiting once: the game restarts over and
// over, but says so once and lets time run, so a timed run still ends. A
// script that reloads itself never restarts; it is a busy loop, which the
// run limit ends all the same. A NUL byte cuts a script short, which is said
// at every load of it.
TEST(HostileGame, StartScriptsThatNeverWaitRestartWithOneTraceAndLetTimeRun) {
  struct Case {
    const char* label;
    std::string script;
    int restartTraces;
    const char* cut = "";
  };
  const Case cases[] = {
      {"empty", "", 1},
      {"exits", ".EXIT\r\n", 1},
      {"calls itself", ".CALL start.txt\r\n", 1},
      {"a NUL first", std::string("\0.wait 100\r\n", 12), 1, "start.txt：0 行目の後は読まない"},
      {"a NUL later", std::string(".wait 10\r\n\0.wait 10\r\n", 22), 0, "start.txt：1 行目の後は読まない"},
      {"truncated block", ".IF 1\r\n{\r\n?runs = 1", 1},
      {"reloads itself", ".LOAD start.txt\r\n", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TestGame game;
    game.Script(c.script);
    Played play(game, {}, 40);
    EXPECT_TRUE(play.engine->quitting());
    EXPECT_GE(play.platform.clock().Now(), 40u);
    EXPECT_EQ(play.Count("待たずに"), c.restartTraces);
    EXPECT_EQ(play.Count("NUL") > 0, *c.cut != 0);
    if (*c.cut) {
      EXPECT_EQ(play.Count(c.cut), play.Count("NUL"));
    }
  }
}

// Global flags are written on every change; a loop of them must not wait on
// the disk each time.
// What each assignment costs is measured in bench/ (flags_bench); here the
// file must still hold the last value after a long run of rewrites.
TEST(HostileGame, ALoopOfGlobalAssignmentsLeavesTheLastValueInTheFile) {
  TestGame game;
  game.Script("#top\r\n?score = score + 1\r\n.IF score < 5000\r\n.GOTO top\r\n.QUIT\r\n");
  Play play(game);
  play.Run();
  EXPECT_EQ(game.Global(0), 5000);
}

TEST(HostileGame, ScreenSizesOutOfRangeFallBackToTheDefaultWithATrace) {
  // Configured, then shown.
  const std::array<int, 4> sizes[] = {
      {0, 48, 640, 48}, {64, 0, 64, 480}, {-5, 48, 640, 48}, {100000, 48, 640, 48}, {64, 2000000000, 64, 480}};
  for (const auto& [w, h, shownW, shownH] : sizes) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    TestGame game(w, h);
    game.Script(".img 1 right\r\n.wait 100\r\n.QUIT\r\n");
    Played play(game, {}, 5000);
    EXPECT_EQ(std::pair(play.LastFrame().w, play.LastFrame().h), std::pair(shownW, shownH));
    EXPECT_EQ(play.Count("範囲外"), 2);  // once per configuration read
    EXPECT_LT(play.platform.clock().Now(), 5000u) << "the wait must end; the clock must not stall";
  }
}

// FIFOs where game and save files are expected: refused at once, so the
// run ends instead of blocking on the open.
TEST(HostileGame, FifosInPlaceOfFilesAreRefusedWithoutBlocking) {
  TestGame game;
  game.Script(".img 1 pic.png\r\n.se click.ogg\r\n?score = 3\r\n.wait 50\r\n.QUIT\r\n");
  for (const char* file : {"data/system.dat", "data/other.dat", "data/img/pic.png", "data/se/click.ogg",
                           "save/flagdata.000", "save/complete.log"}) {
    const auto path = game.dir.path() / file;
    std::filesystem::create_directories(path.parent_path());
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << file;
  }
  Played play(game, {}, 2000);
  EXPECT_TRUE(play.engine->quitting());
  EXPECT_EQ(game.Global(0), 3) << "the flag file is written whole and renamed over the FIFO";
}

// A read log far beyond any real one is neither read into memory nor lost:
// it is kept beside the new log.
TEST(HostileGame, AHugeReadLogIsKeptAsideAndStartUpGoesOn) {
  TestGame game;
  game.Script("Hello\r\n.QUIT\r\n");
  std::filesystem::create_directories(game.dir.path() / "save");
  const auto log = game.dir.path() / "save" / kReadLogFileName;
  { std::ofstream(log.string()).put('x'); }
  std::filesystem::resize_file(log, u64{64} << 30);  // sparse: no disk space used
  Played play(game, "100 click 5 5\n", 3000);
  EXPECT_EQ(play.Count("既読ログが大きすぎる"), 1);
  const auto bad = game.dir.path() / "save" / kDamagedReadLogFileName;
  ASSERT_TRUE(std::filesystem::exists(bad));
  EXPECT_EQ(std::filesystem::file_size(bad), u64{64} << 30);
  EXPECT_LT(std::filesystem::file_size(log), 1000u);
}

// The clock event is caught by a click near the clock. A click at the far
// corner of the coordinate range once overflowed the squared distance into a
// negative number, which counted as a catch.
TEST(HostileGame, AClickAtTheEndOfTheCoordinateRangeDoesNotCatchTheClock) {
  TestGame game(800, 600, "G003=caught\r\nG004=armed\r\n");
  game.Script("?armed = 1\r\n.custom caught armed\r\n?runs = runs + 1\r\n.QUIT\r\n");
  Played play(game, "500 click -2147483648 -2147483648\n");
  EXPECT_EQ(game.Global(2), 1);
  EXPECT_EQ(game.Global(3), 0) << "caught";
  EXPECT_GE(play.platform.clock().Now(), 4000u) << "the clock event ended early: the far click counted as a catch";
}

}  // namespace
}  // namespace lyraban
