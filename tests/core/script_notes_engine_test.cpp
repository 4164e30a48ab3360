// The engine tells an author, once per line, about script lines that run
// outside their structure and tag arguments it clamps or ignores.
#include <gtest/gtest.h>

#include "core/test_game.h"

namespace lyraban {
namespace {

using testing::Play;
using testing::TestGame;

TEST(ScriptNotesInTheEngine, EachStrayLineAndClampedTagIsTracedOnceWithItsPlace) {
  TestGame game;
  game.Script(
      "#top\r\n"
      "}\r\n"
      ".fade 70000\r\n"
      ".flash mauve 3\r\n"
      "?tmp = tmp + 1\r\n"
      ".IF tmp < 3\r\n"
      ".GOTO top\r\n"
      ".ENDSEL\r\n"
      ".ELSE\r\n"
      "?never = 1\r\n"
      ".wait 10\r\n"
      ".QUIT\r\n");
  Play play(game, {}, 3000);
  play.Run();
  const std::string sep(Trace::kReasonSeparator);
  const std::string tag = "タグの引数をそのまま使えない（start.txt:";
  for (const std::string& note : {
           "対応する { のない }（start.txt:2）" + sep + "no { is open here: the line is ignored",
           tag + "3）" + sep + ".fade 70000 ms is outside 0 to 60000: 60000 is used",
           tag + "4）" + sep + ".flash mauve is not a colour of the table: white is used",
           "対応する .SELECT のない .ENDSEL（start.txt:8）" + sep + "no .SELECT leads to it: it does nothing",
           "対応する .IF のない .ELSE（start.txt:9）" + sep +
               "it follows no line or block of an .IF: it skips the line or block after it",
       })
    EXPECT_EQ(play.Count(note), 1) << note;
  EXPECT_EQ(play.Count("エラー（"), 0) << "no line failed";
  EXPECT_EQ(play.engine->flags().GetFlag("never"), 0) << "the stray .ELSE still skips the line after it";
}

}  // namespace
}  // namespace lyraban
