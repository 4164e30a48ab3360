#include "resources/archive.h"

#include <gtest/gtest.h>

#include <string>

#include "packwriter/pack_writer.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

std::string Build(u32 priority, std::initializer_list<std::pair<std::string, std::string>> files, u8 code = 0) {
  PackWriter writer;
  for (const auto& [name, data] : files) EXPECT_TRUE(writer.AddFile(name, data, code));
  std::string bytes;
  EXPECT_TRUE(writer.Build(priority, bytes));
  return bytes;
}

class ArchiveTest : public ::testing::Test {
 protected:
  bool Open(const std::string& bytes, const std::string& fileName) {
    return OpenArchive(directory_, dir_.Write(fileName, bytes).string(), fileName);
  }
  const std::string* ArchiveOf(const std::string& name) {
    const PackEntry* e = directory_.Find(name);
    return e ? &e->archive : nullptr;
  }
  testing::TempDir dir_;
  ResourceDirectory directory_;
};

TEST_F(ArchiveTest, MergesNamesFoldedWithOffsetsSizesAndCodes) {
  // Shift-JIS katakana A is 83 41: its trail byte is an ASCII capital and folds too.
  ASSERT_TRUE(Open(Build(4, {{"Script\\Start.TXT", "12345"}, {"img\\\x83\x41.png", "pp"}}, 9), "system.dat"));
  const PackEntry* e = directory_.Find("SCRIPT\\start.txt");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->name, "script\\start.txt");
  EXPECT_EQ(e->archive, "system.dat");
  EXPECT_EQ(e->priority, 4u);
  EXPECT_EQ(e->size, 5u);
  EXPECT_EQ(e->scrambleCode, 9);
  const PackEntry* png = directory_.Find("IMG\\\x83\x61.PNG");
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(png->offset, e->offset + 5);
  EXPECT_EQ(directory_.Find("img/\x83\x41.png"), nullptr);
  EXPECT_EQ(directory_.Find("img\\\xA3\x41.png"), nullptr);  // non-ASCII bytes compare exactly
}

TEST_F(ArchiveTest, GreaterPriorityWinsUnsignedAndEqualPriorityLaterWins) {
  const struct {
    u32 priority;
    const char* archive;
    const char* winner;  // of "x" once this archive is merged
  } steps[] = {{2, "a.dat", "a.dat"}, {1, "b.dat", "a.dat"}, {2, "c.dat", "c.dat"},
               {0x80000000u, "d.dat", "d.dat"}, {1, "e.dat", "d.dat"}};
  for (const auto& step : steps) {
    ASSERT_TRUE(Open(Build(step.priority, {{"X", "1"}, {step.archive, "2"}}), step.archive));
    ASSERT_NE(ArchiveOf("x"), nullptr);
    EXPECT_EQ(*ArchiveOf("x"), step.winner) << step.archive;
  }
  EXPECT_EQ(*ArchiveOf("b.dat"), "b.dat");  // the loser's other entries are kept
}

TEST_F(ArchiveTest, BadHeadersAndEveryCutOfTheDirectory) {
  ASSERT_TRUE(Open(Build(0, {{"keep", "k"}}), "good.dat"));
  const std::string good = Build(0, {{"one", "1"}, {"two", "2"}, {"three", "3"}});
  for (size_t at : {7, 8, 9}) {  // magic, version 203 -> 202 / 459
    std::string bad = good;
    bad[at] = static_cast<char>(bad[at] + (at == 8 ? -1 : 1));
    EXPECT_FALSE(Open(bad, "bad.dat")) << at;
  }
  EXPECT_FALSE(OpenArchive(directory_, (dir_.path() / "missing.dat").string(), "missing.dat"));
  EXPECT_FALSE(OpenArchive(directory_, dir_.str(), "folder.dat"));
  EXPECT_EQ(directory_.size(), 1u);

  // Record sizes: 2 + name + 8. Cuts never crash; complete records survive.
  const size_t end1 = 20 + 13, end2 = end1 + 13, end3 = end2 + 15;
  for (size_t len = 0; len <= end3; ++len) {
    directory_.Clear();
    EXPECT_EQ(Open(good.substr(0, len), "cut.dat"), len == end3) << len;  // data bytes are not checked
    EXPECT_EQ(directory_.size(), len >= end3 ? 3u : len >= end2 ? 2u : len >= end1 ? 1u : 0u) << len;
  }
  std::string zero = good;  // a zero name length fails at that record
  zero[end1 + 1] = 0;
  directory_.Clear();
  EXPECT_FALSE(Open(zero, "zero.dat"));
  EXPECT_EQ(directory_.size(), 1u);
  std::string lying = good;  // a count far beyond the file is not trusted
  lying.replace(16, 4, "\xFF\xFF\xFF\xFF");
  EXPECT_FALSE(Open(lying, "lying.dat"));
  EXPECT_EQ(directory_.size(), 3u);
}

TEST(PackWriter, RefusesBadNamesAndKeepsOrder) {
  PackWriter writer;
  EXPECT_FALSE(writer.AddFile("", "x"));
  EXPECT_FALSE(writer.AddFile(std::string(256, 'n'), "x"));
  EXPECT_NE(writer.error().find("256"), std::string::npos);
  EXPECT_TRUE(writer.AddFile(std::string(255, 'n'), "x"));
  EXPECT_TRUE(writer.AddFile("b", ""));
  EXPECT_TRUE(writer.AddFile("a", "zz", 200));
  testing::TempDir dir;
  const std::string path = (dir.path() / "w.dat").string();
  ASSERT_TRUE(writer.Write(path, 1));
  std::vector<PackRecord> records;
  PackHeader header;
  ASSERT_TRUE(ReadArchiveDirectory(path, header, [&](PackRecord&& r) { records.push_back(std::move(r)); }));
  EXPECT_EQ(header.priority, 1u);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].name, std::string(255, 'n'));
  EXPECT_EQ(records[2].name, "a");
  EXPECT_EQ(records[2].scrambleCode, 200);
  EXPECT_EQ(records[2].offset, records[1].offset);  // the empty entry takes no bytes
  EXPECT_FALSE(writer.Write((dir.path() / "no" / "such" / "w.dat").string(), 1));
}

}  // namespace
}  // namespace lyraban
