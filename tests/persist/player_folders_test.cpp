#include "persist/player_folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <tuple>
#include <vector>

#include "support/temp_dir.h"

// Where saves and settings go for games the player can and cannot write.
namespace lyraban {
namespace {

namespace fs = std::filesystem;

FolderEnvironment Env(std::string data, std::string config, std::string home, bool writable) {
  FolderEnvironment env;
  env.xdgDataHome = std::move(data);
  env.xdgConfigHome = std::move(config);
  env.home = std::move(home);
  env.canWrite = [writable](const fs::path&) { return writable; };
  return env;
}

TEST(PlayerFolders, ChoiceForWritableAndReadOnlyGames) {
  // What, environment, save folder, settings file, beside the game.
  const std::vector<std::tuple<const char*, FolderEnvironment, const char*, const char*, bool>> cases = {
      {"writable game, XDG set", Env("/x/data", "/x/config", "/home/p", true), "/games/demo/save/", "lyraban.cfg",
       true},
      {"writable game, XDG unset", Env("", "", "/home/p", true), "/games/demo/save/", "lyraban.cfg", true},
      {"read-only game, XDG set", Env("/x/data", "/x/config", "/home/p", false), "/x/data/lyraban/LyrabanDemo/save/",
       "/x/config/lyraban/LyrabanDemo/lyraban.cfg", false},
      {"read-only game, XDG unset", Env("", "", "/home/p", false), "/home/p/.local/share/lyraban/LyrabanDemo/save/",
       "/home/p/.config/lyraban/LyrabanDemo/lyraban.cfg", false},
      {"read-only game, only the data folder set", Env("/x/data", "", "/home/p", false),
       "/x/data/lyraban/LyrabanDemo/save/", "/home/p/.config/lyraban/LyrabanDemo/lyraban.cfg", false},
      {"read-only game, relative XDG paths are ignored", Env("rel/data", "./cfg", "/home/p", false),
       "/home/p/.local/share/lyraban/LyrabanDemo/save/", "/home/p/.config/lyraban/LyrabanDemo/lyraban.cfg", false},
      {"read-only game, XDG set and no home", Env("/x/data", "/x/config", "", false),
       "/x/data/lyraban/LyrabanDemo/save/", "/x/config/lyraban/LyrabanDemo/lyraban.cfg", false},
      {"read-only game, no home and no XDG: nowhere better than beside the game", Env("", "", "", false),
       "/games/demo/save/", "lyraban.cfg", true},
  };
  for (const auto& [what, env, saveFolder, settingsFile, besideGame] : cases) {
    SCOPED_TRACE(what);
    const PlayerFolders got = ChoosePlayerFolders("/games/demo", "LyrabanDemo", env);
    EXPECT_EQ(got.saveFolder, saveFolder);
    EXPECT_EQ(got.settingsFile, settingsFile);
    EXPECT_EQ(got.besideGame, besideGame);
  }
}

TEST(PlayerFolders, ProbesTheSaveFolderWhenItExistsElseTheGameFolder) {
  testing::TempDir game;
  std::vector<fs::path> probed;
  FolderEnvironment env = Env("", "", "/home/p", true);
  env.canWrite = [&](const fs::path& folder) {
    probed.push_back(folder);
    return true;
  };
  ChoosePlayerFolders(game.path(), "p", env);
  fs::create_directory(game.path() / "save");
  ChoosePlayerFolders(game.path(), "p", env);
  ASSERT_EQ(probed.size(), 2u);
  EXPECT_EQ(probed[0], game.path());
  EXPECT_EQ(probed[1], game.path() / "save");
}

TEST(PlayerFolders, RealWriteProbe) {
  testing::TempDir dir;
  EXPECT_TRUE(CanCreateFileIn(dir.path()));
  EXPECT_TRUE(fs::is_empty(dir.path())) << "the probe left its file behind";
  EXPECT_FALSE(CanCreateFileIn(dir.path() / "missing"));
  EXPECT_FALSE(CanCreateFileIn(dir.Write("plain", "x")));
}

TEST(PlayerFolders, RealProbeOnAReadOnlyFolder) {
  // The superuser writes through permission bits, so only an ordinary
  // account sees a read-only folder here.
  if (::geteuid() == 0) GTEST_SKIP() << "running as root: permission bits do not stop writes";
  testing::TempDir dir;
  const fs::path locked = dir.path() / "locked";
  fs::create_directory(locked);
  ::chmod(locked.c_str(), 0555);
  EXPECT_FALSE(CanCreateFileIn(locked));
  FolderEnvironment env = Env("", "", "/home/p", false);
  env.canWrite = CanCreateFileIn;
  EXPECT_FALSE(ChoosePlayerFolders(locked, "p", env).besideGame);
  ::chmod(locked.c_str(), 0755);
}

TEST(PlayerFolders, MissingGameFolderCountsAsReadOnlyAndCreationMakesTheFolders) {
  testing::TempDir home;
  FolderEnvironment env = Env((home.path() / "data").string(), (home.path() / "config").string(), "", false);
  env.canWrite = CanCreateFileIn;
  const PlayerFolders got = ChoosePlayerFolders(home.path() / "no-such-game", "Demo", env);
  ASSERT_FALSE(got.besideGame);
  EXPECT_TRUE(CreatePlayerFolders(got));
  EXPECT_TRUE(fs::is_directory(home.path() / "data/lyraban/Demo/save"));
  EXPECT_TRUE(fs::is_directory(home.path() / "config/lyraban/Demo"));
  EXPECT_TRUE(CanCreateFileIn(got.saveFolder));
  // A file where a folder must go makes creation fail.
  home.Write("blocked", "not a folder");
  env.xdgDataHome = (home.path() / "blocked").string();
  EXPECT_FALSE(CreatePlayerFolders(ChoosePlayerFolders(home.path() / "no-such-game", "Demo", env)));
}

TEST(PlayerFolders, ProductNamesAreSafeFolderNames) {
  std::string longCjk;
  for (int i = 0; i < 40; ++i) longCjk += "海";
  struct Case {
    std::string id, title, expected;
  } cases[] = {
      {"LyrabanDemo", "琴音海岸", "LyrabanDemo"},
      {"", "琴音海岸", "琴音海岸"},
      {"", "Game B", "Game_B"},
      {"  ", "Title", "Title"},
      {" Spaced Id ", "", "Spaced_Id"},
      {"a/b\\c:d*e?f\"g<h>i|j", "", "a_b_c_d_e_f_g_h_i_j"},
      {"..", "", "_."},
      {".hidden", "", "_hidden"},
      {"../../etc", "", "_._.._etc"},
      {"tab\there\nnl", "", "tab_here_nl"},
      {"broken\xFF\xC3", "", "broken__"},
      {"overlong\xC0\xAF", "", "overlong__"},
      {"", "", "game"},
      {std::string(300, 'a'), "", std::string(100, 'a')},
      // 33 three-byte letters fit in 100 bytes; the 34th is left out whole.
      {longCjk, "", longCjk.substr(0, 99)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("id '" + c.id + "', title '" + c.title + "'");
    EXPECT_EQ(SafeProductName(c.id, c.title), c.expected);
  }
}

}  // namespace
}  // namespace lyraban
