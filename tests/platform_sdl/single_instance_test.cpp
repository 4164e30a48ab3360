#include "platform/sdl/single_instance.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "support/temp_dir.h"

namespace lyraban::platform {
namespace {

using lyraban::testing::TempDir;

TEST(SingleInstance, SecondCopyIsRefusedUntilTheFirstLetsGo) {
  TempDir dir;
  SingleInstance first(dir.str()), second(dir.str());
  ASSERT_TRUE(first.Acquire("mygame"));
  EXPECT_TRUE(first.held());
  EXPECT_FALSE(second.Acquire("mygame"));
  EXPECT_FALSE(second.held());
  first.Release();
  EXPECT_FALSE(first.held());
  EXPECT_TRUE(second.Acquire("mygame"));
  EXPECT_FALSE(first.Acquire("mygame"));
}

TEST(SingleInstance, TheRefusedCopyKnocksOnTheFirst) {
  TempDir dir;
  SingleInstance first(dir.str()), second(dir.str()), third(dir.str());
  ASSERT_TRUE(first.Acquire("mygame"));
  EXPECT_FALSE(first.TakeRaiseRequest());
  EXPECT_FALSE(second.Acquire("mygame"));
  EXPECT_TRUE(first.TakeRaiseRequest());
  EXPECT_FALSE(first.TakeRaiseRequest());  // one knock, one raise
  EXPECT_FALSE(second.Acquire("mygame"));
  EXPECT_FALSE(third.Acquire("mygame"));
  EXPECT_TRUE(first.TakeRaiseRequest());  // several knocks in between: one raise
  EXPECT_FALSE(first.TakeRaiseRequest());
  // The refused copy holds nothing and listens for nobody.
  EXPECT_FALSE(second.TakeRaiseRequest());
}

TEST(SingleInstance, IdsAndFoldersAreKeptApart) {
  TempDir one, two;
  SingleInstance a(one.str()), b(one.str()), elsewhere(two.str()), later(one.str());
  ASSERT_TRUE(a.Acquire("game"));
  EXPECT_TRUE(b.Acquire("other game"));
  // An empty id never conflicts and leaves no lock behind.
  EXPECT_TRUE(later.Acquire(""));
  EXPECT_FALSE(later.held());
  // The same id under another lock folder is another session.
  ASSERT_TRUE(elsewhere.Acquire("game"));
  EXPECT_FALSE(later.Acquire("game"));
  EXPECT_TRUE(a.TakeRaiseRequest());
  EXPECT_FALSE(elsewhere.TakeRaiseRequest());
  EXPECT_FALSE(b.TakeRaiseRequest());
}

TEST(SingleInstance, OddIdsMakeSafeDistinctFileNames) {
  TempDir dir;
  SingleInstance s(dir.str());
  const std::string gbk = "\xD3\xCE\xCF\xB7";  // two GBK characters
  const std::string ids[] = {"a/b", "a_b", "../x", gbk, "a%2Fb", std::string(300, 'x'), std::string(300, 'x') + "y"};
  std::set<std::string> paths;
  for (const std::string& id : ids) {
    const std::filesystem::path p = s.LockPath(id);
    EXPECT_EQ(p.parent_path(), dir.path()) << id;
    EXPECT_LT(p.filename().string().size(), 200u) << id;
    EXPECT_TRUE(paths.insert(p.string()).second) << "collision for " << id;
    SingleInstance holder(dir.str());
    EXPECT_TRUE(holder.Acquire(id)) << id;
    EXPECT_TRUE(std::filesystem::exists(p)) << id;
  }
}

TEST(SingleInstance, UnusableFolderDoesNotStopTheGame) {
  SingleInstance s("/nonexistent-folder-for-lyraban-tests");
  EXPECT_TRUE(s.Acquire("mygame"));
}

TEST(SingleInstance, DefaultFolderFollowsTheRuntimeDirectory) {
  TempDir dir;
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string restore = saved ? saved : "";
  setenv("XDG_RUNTIME_DIR", dir.str().c_str(), 1);
  SingleInstance runtime;
  EXPECT_EQ(std::filesystem::path(runtime.LockPath("g")).parent_path(), dir.path());
  unsetenv("XDG_RUNTIME_DIR");
  SingleInstance fallback;
  EXPECT_EQ(std::filesystem::path(fallback.LockPath("g")).parent_path(), std::filesystem::path("/tmp"));
  if (saved) setenv("XDG_RUNTIME_DIR", restore.c_str(), 1);
}

}  // namespace
}  // namespace lyraban::platform
