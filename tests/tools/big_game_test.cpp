#include "packwriter/big_game.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "base/strings.h"
#include "base/trace.h"
#include "resources/resources.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

using testing::TempDir;

TEST(BigGameNames, LookLikeAShippedGamesNames) {
  // Kinds are interleaved: event picture, voice, sprite, background, sound.
  const std::pair<u32, const char*> cases[] = {
      {0, "img\\ev_0000_a.png"},  {1, "voice\\ak_0000.ogg"},  {2, "img\\st_ak_0000.png"},    {3, "img\\bg_0000.png"},
      {4, "se\\se_0000.ogg"},     {5, "img\\ev_0000_b.png"},  {6, "voice\\mi_0000.ogg"},     {20, "img\\ev_0001_a.png"},
      {31, "voice\\ak_0001.ogg"}, {19999, "se\\se_3999.ogg"}, {19995, "img\\ev_0999_d.png"},
  };
  for (const auto& [index, name] : cases) EXPECT_EQ(BigGameName(index), name) << "index " << index;
}

TEST(BigGameNames, AreDistinctIgnoringLetterCase) {
  std::set<std::string> seen;
  for (u32 i = 0; i < 20000; ++i) {
    const std::string name = BigGameName(i);
    EXPECT_TRUE(seen.insert(ToAsciiLower(name)).second) << "index " << i << " repeats " << name;
  }
}

class BigGameArchives : public ::testing::Test {
 protected:
  void Open(u32 entries, u32 archives) {
    std::filesystem::create_directories(dir_.path() / "data");
    std::string error;
    ASSERT_TRUE(WriteBigGame((dir_.path() / "data").string(), entries, archives, error)) << error;
    resources_.OpenDataFolder(dir_.str());
    ASSERT_TRUE(resources_.OpenAllArchives());
  }

  TempDir dir_;
  Trace trace_;
  Resources resources_{trace_};
};

TEST_F(BigGameArchives, EveryEntryIsMergedAndReadsBackItsOwnBytes) {
  Open(20000, 8);
  EXPECT_EQ(resources_.directory().size(), 20000u);
  for (u32 i : {0u, 1u, 2499u, 2500u, 12345u, 19999u}) {
    std::string bytes;
    ASSERT_TRUE(resources_.ReadWholeResource("", BigGameName(i), bytes)) << BigGameName(i);
    EXPECT_EQ(bytes, BigGameEntryData(i)) << BigGameName(i);
  }
}

TEST_F(BigGameArchives, EntriesAreSplitInOrderOverTheArchives) {
  // 10 over 4 archives: 3, 3, 2, 2.
  Open(10, 4);
  const char archive[] = "1112223344";  // of each entry: bigN.dat
  for (u32 i = 0; i < 10; ++i) {
    const PackEntry* entry = resources_.directory().Find(BigGameName(i));
    ASSERT_NE(entry, nullptr) << BigGameName(i);
    EXPECT_EQ(entry->archive, std::string("big") + archive[i] + ".dat") << BigGameName(i);
  }
  EXPECT_EQ(resources_.directory().Find(BigGameName(10)), nullptr);
}

TEST(BigGameWriter, RefusesNoArchivesAndAMissingFolder) {
  TempDir dir;
  for (const auto& [folder, archives] :
       {std::pair{std::string("/nonexistent-folder-for-lyraban"), 2u}, {dir.str(), 0u}}) {
    std::string error;
    EXPECT_FALSE(WriteBigGame(folder, 10, archives, error)) << folder;
    EXPECT_FALSE(error.empty()) << folder;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace lyraban
