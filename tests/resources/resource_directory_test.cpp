#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "resources/archive.h"

namespace lyraban {
namespace {

PackEntry Entry(std::string name, const char* archive, u32 priority, u32 size = 0) {
  return PackEntry{std::move(name), archive, priority, 0, size, 0};
}

TEST(ResourceDirectory, NamesDifferingInLetterCaseAreOneEntryUnderThePriorityRule) {
  // name, archive, priority, whether it is stored, archive of the entry found afterwards
  const std::tuple<const char*, const char*, u32, bool, const char*> steps[] = {
      {"IMG\\Ev_0001.PNG", "a.dat", 3, true, "a.dat"},
      {"img\\ev_0001.png", "b.dat", 2, false, "a.dat"},  // lower priority loses whatever its case
      {"Img\\EV_0001.png", "c.dat", 3, true, "c.dat"},   // equal priority: the later one wins
      {"img\\ev_0001.PNG", "d.dat", 0xFFFFFFFFu, true, "d.dat"},
  };
  ResourceDirectory directory;
  for (const auto& [name, archive, priority, stored, winner] : steps) {
    SCOPED_TRACE(archive);
    EXPECT_EQ(directory.Merge(Entry(name, archive, priority)), stored);
    const PackEntry* found = directory.Find("iMg\\eV_0001.pNg");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->archive, winner);
  }
  ASSERT_EQ(directory.size(), 1u);
  // Whoever lists the entries sees the name folded, whichever spelling came first.
  EXPECT_EQ(directory.entries().begin()->first, "img\\ev_0001.png");
}

TEST(ResourceDirectory, OnlyAsciiLettersFoldAndEveryOtherByteCounts) {
  ResourceDirectory directory;
  u32 n = 0;
  for (const char* name : {"a\\\x83\x41.png", "a\\\xA3\x41.png", "a/\x83\x41.png", "a\\\x83\x41.pn"})
    ASSERT_TRUE(directory.Merge(Entry(name, "x.dat", 1, ++n)));
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
  u32 found = 0;  // each under its own name, with its own size
  for (u32 i = 0; i < kCount; ++i) {
    const PackEntry* e = directory.Find("VOICE\\Ak_" + std::to_string(i) + ".OGG");
    found += e && e->size == i;
  }
  EXPECT_EQ(found, kCount);
  EXPECT_EQ(directory.Find("voice\\ak_5000.ogg"), nullptr);
  EXPECT_EQ(HashNoCase{}("Voice\\AK_1.ogg"), HashNoCase{}("voice\\ak_1.OGG"));
  directory.Clear();
  EXPECT_TRUE(directory.empty());
  EXPECT_EQ(directory.Find("voice\\ak_1.ogg"), nullptr);
}

}  // namespace
}  // namespace lyraban
