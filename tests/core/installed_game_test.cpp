#include <gtest/gtest.h>

#include <filesystem>

#include "persist/user_settings.h"
#include "test_game.h"

// A game the player cannot write, as installed games are: saves and
// settings move to the player's own folders, one per product.
namespace lyraban {
namespace {

namespace fs = std::filesystem;
using testing::Play;
using testing::TestGame;

struct ReadOnlyRun {
  ReadOnlyRun(const TestGame& game, const fs::path& home, const std::string& input = {}, u32 runMs = 0)
      : play(game, input, runMs) {
    FolderEnvironment env;
    env.xdgDataHome = (home / "data").string();
    env.xdgConfigHome = (home / "config").string();
    env.canWrite = [](const fs::path&) { return false; };
    play.engine = std::make_unique<Engine>(play.platform, play.options, env);
    play.engine->trace().SetSink([this](std::string_view m) { play.trace.emplace_back(m); });
    play.engine->Run();
  }
  Play play;
};

TEST(InstalledGame, SavesAndSettingsLiveInThePlayersFoldersPerProduct) {
  testing::TempDir home;
  TestGame first(64, 48, "[System.Setting]\r\nProductID=First\r\n");
  first.Script(".chapter One\r\n?runs = runs + 1\r\n.QUIT\r\n");
  // The player's settings for this product: chapter in the caption.
  fs::create_directories(home.path() / "config/lyraban/First");
  testing::WriteSettings(home.path() / "config/lyraban/First/lyraban.cfg",
                         [](UserSettings& s) { s.ShowChapterInCaption = 1; });

  ReadOnlyRun run(first, home.path());
  const fs::path saves = home.path() / "data/lyraban/First/save";
  EXPECT_EQ(run.play.engine->saveFolder(), (saves / "").string());
  EXPECT_EQ(run.play.engine->settingsFile(), (home.path() / "config/lyraban/First/lyraban.cfg").string());
  EXPECT_TRUE(fs::exists(saves / "flagdata.000")) << "the global flags were not saved in the player's folder";
  EXPECT_TRUE(fs::exists(saves / "complete.log")) << "the read-text log was not saved in the player's folder";
  EXPECT_FALSE(fs::exists(first.dir.path() / "save")) << "a save folder appeared beside a read-only game";
  EXPECT_EQ(run.play.platform.caption(), "Flags　「One」");
  EXPECT_TRUE(run.play.Traced(saves.string())) << "the trace does not name the save folder";

  // The same product again counts on; another product starts from nothing.
  ReadOnlyRun again(first, home.path());
  EXPECT_EQ(testing::BankSlot(saves, "flagdata.000", 2), 2) << "runs";

  TestGame second(64, 48, "[System.Setting]\r\nProductID=Second\r\n");
  second.Script(".chapter Two\r\n?runs = runs + 1\r\n.QUIT\r\n");
  ReadOnlyRun other(second, home.path());
  EXPECT_EQ(other.play.engine->saveFolder(), (home.path() / "data/lyraban/Second/save/").string());
  // No settings file of its own: the defaults, which leave the chapter out.
  EXPECT_EQ(other.play.platform.caption(), "Flags");
}

TEST(InstalledGame, QuickSaveOfAReadOnlyGameLandsInThePlayersFolder) {
  testing::TempDir home;
  TestGame game(64, 48, "[System.Setting]\r\nProductID=Slots\r\n");
  game.Script("waiting\r\n.\r\n.QUIT\r\n");
  ReadOnlyRun run(game, home.path(), "1000 key Insert\n", 3000);
  EXPECT_TRUE(fs::exists(home.path() / "data/lyraban/Slots/save/savedata.000"))
      << "the quick save did not follow the save folder";
  EXPECT_FALSE(fs::exists(game.dir.path() / "save"));
}

TEST(InstalledGame, WritableGameKeepsItsSaveFolderAndTracesIt) {
  TestGame game;
  game.Script("?runs = runs + 1\r\n.QUIT\r\n");
  Play play(game);
  play.Run();
  EXPECT_EQ(play.engine->saveFolder(), (game.dir.path() / "save" / "").string());
  EXPECT_EQ(play.engine->settingsFile(), "lyraban.cfg");
  EXPECT_EQ(game.Global(2), 1);
  EXPECT_TRUE(play.Traced((game.dir.path() / "save" / "").string()));
}

}  // namespace
}  // namespace lyraban
