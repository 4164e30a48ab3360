#include "core/unusable_game.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "packwriter/pack_writer.h"
#include "test_game.h"

// What the player is told when a folder holds no game that can start.
namespace lyraban {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::string Archive(const char* name, const char* bytes) {
  PackWriter writer;
  std::string out;
  EXPECT_TRUE(writer.AddFile(name, bytes) && writer.Build(0, out));
  return out;
}

const char* ProblemName(GameProblem p) {
  const char* names[] = {"no data folder", "no game files", "unreadable archives", "no start script"};
  return names[static_cast<int>(p)];
}

TEST(UnusableGame, DiagnosisOfTheDataFolder) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;  // below the game folder
    GameProblem problem;
    std::vector<std::string> unreadable;
  };
  const std::vector<Case> cases = {
      {"no data folder", {{"readme.txt", "x"}}, GameProblem::NoDataFolder, {}},
      {"empty data folder", {{"data/notes.txt", "x"}}, GameProblem::NoGameFiles, {}},
      {"archives without a start script",
       {{"data/system.dat", Archive("config\\config.txt", "a.ini\r\n")}},
       GameProblem::NoStartScript,
       {}},
      {"loose script folder without start.txt", {{"data/Script/other.txt", "x"}}, GameProblem::NoStartScript, {}},
      {"broken and cut archives among good ones",
       {{"data/system.dat", Archive("config\\config.txt", "a.ini\r\n")},
        {"data/script.DAT", "not an archive at all"},
        {"data/graphics.dat", Archive("img\\a.png", "png").substr(0, 12)}},
       GameProblem::UnreadableArchives,
       {"graphics.dat", "script.DAT"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir game;
    for (const auto& [path, bytes] : c.files) game.Write(path, bytes);
    const GameDiagnosis got = DiagnoseUnusableGame(game.str() + "/data/");
    EXPECT_STREQ(ProblemName(got.problem), ProblemName(c.problem));
    EXPECT_EQ(got.unreadable, c.unreadable);
  }
}

TEST(UnusableGame, MessagesNameWhatThePlayerCanCheck) {
  const std::string folder = "/usr/share/games/x";
  const std::string noData = UnusableGameMessage({GameProblem::NoDataFolder, {}}, folder);
  EXPECT_NE(noData.find("文件夹“/usr/share/games/x”"), std::string::npos) << noData;
  EXPECT_NE(noData.find("the folder \"/usr/share/games/x\" has no"), std::string::npos) << noData;
  EXPECT_NE(noData.find("lyraban GAME_FOLDER"), std::string::npos) << noData;
  const std::string broken = UnusableGameMessage({GameProblem::UnreadableArchives, {"a.dat", "b.dat"}}, folder);
  EXPECT_NE(broken.find("    a.dat\n    b.dat\n"), std::string::npos) << broken;
  EXPECT_NE(broken.find("damaged"), std::string::npos) << broken;
  const std::string noScript = UnusableGameMessage({GameProblem::NoStartScript, {}}, folder);
  EXPECT_NE(noScript.find("start script"), std::string::npos) << noScript;
  // Every text has the Chinese paragraph first, then the English one.
  for (const std::string& text :
       {noData, broken, noScript, UnusableGameMessage({GameProblem::NoGameFiles, {}}, folder)})
    EXPECT_LT(text.find("游戏"), text.find("game")) << text;
}

TEST(UnusableGame, EngineShowsTheMessageBoxOnceAndOnlyWithoutAStartScript) {
  testing::TestGame broken;
  broken.dir.Write("data/extra.dat", "garbage");
  testing::Played play(broken);
  EXPECT_TRUE(play.engine->missingStartScript());
  EXPECT_TRUE(play.platform.questionsAsked().empty()) << "nothing to quit: no quit question";
  ASSERT_EQ(play.platform.messagesShown().size(), 1u);
  EXPECT_NE(play.platform.messagesShown()[0].find("    extra.dat\n"), std::string::npos)
      << play.platform.messagesShown()[0];

  testing::TestGame fine;
  fine.dir.Write("data/extra.dat", "garbage");
  fine.Script(".QUIT\r\n");
  testing::Played good(fine);
  EXPECT_TRUE(good.platform.messagesShown().empty()) << "a game that starts told the player it cannot";
}

}  // namespace
}  // namespace lyraban
