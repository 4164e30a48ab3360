#include "platform/sdl/single_instance.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "support/temp_dir.h"

namespace lyraban::platform {
namespace {

using lyraban::testing::TempDir;

// The refused copy knocks on the first: several knocks in between come out
// as one raise; it holds nothing and listens for nobody.
TEST(SingleInstance, SecondCopyIsRefusedAndKnocksUntilTheFirstLetsGo) {
  TempDir dir;
  SingleInstance first(dir.str()), second(dir.str()), third(dir.str());
  ASSERT_TRUE(first.Acquire("mygame"));
  EXPECT_FALSE(first.TakeRaiseRequest());
  EXPECT_FALSE(second.Acquire("mygame") || second.held());
  EXPECT_TRUE(first.held() && first.TakeRaiseRequest());
  EXPECT_FALSE(first.TakeRaiseRequest());
  EXPECT_FALSE(second.Acquire("mygame") || third.Acquire("mygame"));
  EXPECT_TRUE(first.TakeRaiseRequest());
  EXPECT_FALSE(first.TakeRaiseRequest() || second.TakeRaiseRequest());
  first.Release();
  EXPECT_FALSE(first.held());
  EXPECT_TRUE(second.Acquire("mygame"));
  EXPECT_FALSE(first.Acquire("mygame"));
}

TEST(SingleInstance, IdsAndFoldersAreKeptApart) {
  TempDir one, two;
  SingleInstance a(one.str()), b(one.str()), elsewhere(two.str()), later(one.str());
  ASSERT_TRUE(a.Acquire("game"));
  EXPECT_TRUE(b.Acquire("other game"));
  // An empty id never conflicts and leaves no lock behind.
  EXPECT_TRUE(later.Acquire("") && !later.held());
  // The same id under another lock folder is another session.
  ASSERT_TRUE(elsewhere.Acquire("game"));
  EXPECT_FALSE(later.Acquire("game"));
  EXPECT_TRUE(a.TakeRaiseRequest());
  EXPECT_FALSE(elsewhere.TakeRaiseRequest() || b.TakeRaiseRequest());
}

TEST(SingleInstance, OddIdsMakeSafeDistinctFileNames) {
  TempDir dir;
  SingleInstance s(dir.str());
  const std::string gbk = "\xD3\xCE\xCF\xB7";  // two GBK characters
  const std::string ids[] = {"a/b", "a_b", "../x", gbk, "a%2Fb", std::string(300, 'x'), std::string(300, 'x') + "y"};
  std::set<std::string> paths;
  for (const std::string& id : ids) {
    const std::filesystem::path p = s.LockPath(id);
    EXPECT_TRUE(p.parent_path() == dir.path() && p.filename().string().size() < 200u) << id;
    EXPECT_TRUE(paths.insert(p.string()).second) << "collision for " << id;
    EXPECT_TRUE(SingleInstance(dir.str()).Acquire(id) && std::filesystem::exists(p)) << id;
  }
}

// An unusable folder does not stop the game; the default one follows the
// runtime directory.
TEST(SingleInstance, UnusableAndDefaultFolders) {
  EXPECT_TRUE(SingleInstance("/nonexistent-folder-for-lyraban-tests").Acquire("mygame"));
  TempDir dir;
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string restore = saved ? saved : "";
  setenv("XDG_RUNTIME_DIR", dir.str().c_str(), 1);
  EXPECT_EQ(std::filesystem::path(SingleInstance().LockPath("g")).parent_path(), dir.path());
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(std::filesystem::path(SingleInstance().LockPath("g")).parent_path(), std::filesystem::path("/tmp"));
  if (saved) setenv("XDG_RUNTIME_DIR", restore.c_str(), 1);
}

}  // namespace
}  // namespace lyraban::platform
