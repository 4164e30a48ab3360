#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/archive.h"

namespace lyraban {
namespace {

PackEntry Entry(std::string name, const char* archive, u32 priority, u32 size = 0) {
  PackEntry e;
  e.name = std::move(name);
  e.archive = archive;
  e.priority = priority;
  e.size = size;
  return e;
}

TEST(ResourceDirectory, NamesDifferingInLetterCaseAreOneEntryUnderThePriorityRule) {
  struct Step {
    const char* name;
    const char* archive;
    u32 priority;
    bool stored;
    const char* winner;  // archive of the entry found afterwards
  };
  const Step steps[] = {
      {"IMG\\Ev_0001.PNG", "a.dat", 3, true, "a.dat"},
      {"img\\ev_0001.png", "b.dat", 2, false, "a.dat"},  // lower priority loses whatever its case
      {"Img\\EV_0001.png", "c.dat", 3, true, "c.dat"},   // equal priority: the later one wins
      {"img\\ev_0001.PNG", "d.dat", 0xFFFFFFFFu, true, "d.dat"},
  };
  ResourceDirectory directory;
  for (const Step& step : steps) {
    EXPECT_EQ(directory.Merge(Entry(step.name, step.archive, step.priority)), step.stored) << step.archive;
    const PackEntry* found = directory.Find("iMg\\eV_0001.pNg");
    ASSERT_NE(found, nullptr) << "after " << step.archive;
    EXPECT_EQ(found->archive, step.winner) << "after " << step.archive;
  }
  EXPECT_EQ(directory.size(), 1u);
  ASSERT_EQ(directory.entries().size(), 1u);
  // Whoever lists the entries sees the name folded, whichever spelling came first.
  EXPECT_EQ(directory.entries().begin()->first, "img\\ev_0001.png");
}

TEST(ResourceDirectory, OnlyAsciiLettersFoldAndEveryOtherByteCounts) {
  ResourceDirectory directory;
  ASSERT_TRUE(directory.Merge(Entry("a\\\x83\x41.png", "x.dat", 1, 1)));
  ASSERT_TRUE(directory.Merge(Entry("a\\\xA3\x41.png", "x.dat", 1, 2)));
  ASSERT_TRUE(directory.Merge(Entry("a/\x83\x41.png", "x.dat", 1, 3)));
  ASSERT_TRUE(directory.Merge(Entry("a\\\x83\x41.pn", "x.dat", 1, 4)));
  EXPECT_EQ(directory.size(), 4u);
  const std::pair<const char*, u32> lookups[] = {
      {"A\\\x83\x61.PNG", 1}, {"A\\\xA3\x61.png", 2},  {"A/\x83\x61.png", 3},
      {"a\\\x83\x61.PN", 4},  {"a\\\x83\x41.pngx", 0}, {"", 0},
      {"a\\\x84\x41.png", 0},
  };
  for (const auto& [name, size] : lookups) {
    const PackEntry* e = directory.Find(name);
    EXPECT_EQ(e ? e->size : 0u, size) << name;
  }
}

TEST(ResourceDirectory, ManyNamesAreAllFoundInAnyCaseAndNoneInvented) {
  ResourceDirectory directory;
  constexpr u32 kCount = 5000;
  for (u32 i = 0; i < kCount; ++i)
    ASSERT_TRUE(directory.Merge(Entry("voice\\ak_" + std::to_string(i) + ".ogg", "v.dat", 0, i)));
  EXPECT_EQ(directory.size(), kCount);
  u32 missing = 0, wrong = 0;
  for (u32 i = 0; i < kCount; ++i) {
    const PackEntry* e = directory.Find("VOICE\\Ak_" + std::to_string(i) + ".OGG");
    if (!e)
      ++missing;
    else if (e->size != i)
      ++wrong;
  }
  EXPECT_EQ(missing, 0u);
  EXPECT_EQ(wrong, 0u);
  EXPECT_EQ(directory.Find("voice\\ak_5000.ogg"), nullptr);
  EXPECT_EQ(HashNoCase{}("Voice\\AK_1.ogg"), HashNoCase{}("voice\\ak_1.OGG"));
  directory.Clear();
  EXPECT_TRUE(directory.empty());
  EXPECT_EQ(directory.Find("voice\\ak_1.ogg"), nullptr);
}

}  // namespace
}  // namespace lyraban
