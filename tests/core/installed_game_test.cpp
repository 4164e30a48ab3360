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
  ReadOnlyRun(const TestGame& game, const fs::path& home, const std::string& input = {}) : play(game, input) {
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
  first.Script(".chapter One\r\n?runs = runs + 1\r\nwaiting\r\n.QUIT\r\n");
  // The player's settings for this product: chapter in the caption.
  fs::create_directories(home.path() / "config/lyraban/First");
  testing::WriteSettings(home.path() / "config/lyraban/First/lyraban.cfg",
                         [](UserSettings& s) { s.ShowChapterInCaption = 1; });

  // A quick save, then on to the end.
  const std::string input = "1000 key Insert\n2000 click 5 5\n";
  ReadOnlyRun run(first, home.path(), input);
  const fs::path saves = home.path() / "data/lyraban/First/save";
  EXPECT_EQ(run.play.engine->saveFolder(), (saves / "").string());
  EXPECT_EQ(run.play.engine->settingsFile(), (home.path() / "config/lyraban/First/lyraban.cfg").string());
  for (const char* file : {"flagdata.000", "complete.log", "savedata.000"})
    EXPECT_TRUE(fs::exists(saves / file)) << file << " was not saved in the player's folder";
  EXPECT_FALSE(fs::exists(first.dir.path() / "save")) << "a save folder appeared beside a read-only game";
  EXPECT_EQ(run.play.platform.caption(), "Flags　「One」");
  EXPECT_TRUE(run.play.Traced(saves.string())) << "the trace does not name the save folder";

  // The same product again counts on; another product starts from nothing.
  ReadOnlyRun again(first, home.path(), input);
  EXPECT_EQ(testing::BankSlot(saves, "flagdata.000", 2), 2) << "runs";

  TestGame second(64, 48, "[System.Setting]\r\nProductID=Second\r\n");
  second.Script(".chapter Two\r\n?runs = runs + 1\r\n.QUIT\r\n");
  ReadOnlyRun other(second, home.path());
  EXPECT_EQ(other.play.engine->saveFolder(), (home.path() / "data/lyraban/Second/save/").string());
  // No settings file of its own: the defaults, which leave the chapter out.
  EXPECT_EQ(other.play.platform.caption(), "Flags");
}

}  // namespace
}  // namespace lyraban
