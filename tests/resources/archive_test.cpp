#include "resources/archive.h"

#include <gtest/gtest.h>

#include <string>

#include "packwriter/pack_writer.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

using testing::TempDir;

std::string Build(u32 priority, std::initializer_list<std::pair<std::string, std::string>> files, u8 code = 0) {
  PackWriter writer;
  for (const auto& [name, data] : files) EXPECT_TRUE(writer.AddFile(name, data, code));
  std::string bytes;
  EXPECT_TRUE(writer.Build(priority, bytes));
  return bytes;
}

void PutU32(std::string& bytes, size_t at, u32 v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

class ArchiveTest : public ::testing::Test {
 protected:
  bool Open(const std::string& bytes, const std::string& fileName) {
    const auto path = dir_.Write(fileName, bytes);
    return OpenArchive(directory_, path.string(), fileName);
  }
  TempDir dir_;
  ResourceDirectory directory_;
};

TEST_F(ArchiveTest, MergesNamesFoldedWithOffsetsSizesAndCodes) {
  ASSERT_TRUE(Open(Build(4, {{"Script\\Start.TXT", "12345"}, {"img\\bg.png", "pp"}}, 9), "system.dat"));
  ASSERT_EQ(directory_.size(), 2u);
  const PackEntry* e = directory_.Find("SCRIPT\\start.txt");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->name, "script\\start.txt");
  EXPECT_EQ(e->archive, "system.dat");
  EXPECT_EQ(e->priority, 4u);
  EXPECT_EQ(e->size, 5u);
  EXPECT_EQ(e->scrambleCode, 9);
  const PackEntry* png = directory_.Find("img\\BG.PNG");
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(png->offset, e->offset + 5);
  EXPECT_EQ(directory_.Find("img/bg.png"), nullptr);
}

TEST_F(ArchiveTest, DoubleByteNamesFoldOnlyAsciiLetters) {
  // Shift-JIS katakana A is 83 41; its trail byte is an ASCII capital and folds too.
  ASSERT_TRUE(Open(Build(0, {{"voice\\\x83\x41.ogg", "v"}, {"\x95\x5C\xC4.txt", "t"}}), "a.dat"));
  EXPECT_NE(directory_.Find("VOICE\\\x83\x61.OGG"), nullptr);
  EXPECT_NE(directory_.Find("\x95\x5C\xC4.TXT"), nullptr);
  EXPECT_EQ(directory_.Find("\x95\x5C\xE4.txt"), nullptr);  // non-ASCII bytes compare exactly
  EXPECT_EQ(directory_.Find("voice\\\x83\x42.ogg"), nullptr);
}

TEST_F(ArchiveTest, PriorityDecidesAndEqualPriorityLaterWins) {
  const std::string low = Build(1, {{"same.txt", "low"}, {"onlylow.txt", "l"}});
  const std::string high = Build(2, {{"SAME.txt", "high"}});
  for (bool highFirst : {true, false}) {
    directory_.Clear();
    if (highFirst) {
      ASSERT_TRUE(Open(high, "high.dat"));
      ASSERT_TRUE(Open(low, "low.dat"));
    } else {
      ASSERT_TRUE(Open(low, "low.dat"));
      ASSERT_TRUE(Open(high, "high.dat"));
    }
    ASSERT_NE(directory_.Find("same.txt"), nullptr);
    EXPECT_EQ(directory_.Find("same.txt")->archive, "high.dat") << highFirst;
    EXPECT_EQ(directory_.Find("onlylow.txt")->archive, "low.dat");
  }
  // Equal priorities: the archive opened last wins.
  directory_.Clear();
  ASSERT_TRUE(Open(Build(7, {{"x", "1"}}), "first.dat"));
  ASSERT_TRUE(Open(Build(7, {{"X", "2"}}), "second.dat"));
  EXPECT_EQ(directory_.Find("x")->archive, "second.dat");
  // Priorities compare unsigned.
  ASSERT_TRUE(Open(Build(0x80000000u, {{"x", "3"}}), "third.dat"));
  ASSERT_TRUE(Open(Build(1, {{"x", "4"}}), "fourth.dat"));
  EXPECT_EQ(directory_.Find("x")->archive, "third.dat");
}

TEST_F(ArchiveTest, BadHeadersLeaveTheDirectoryAlone) {
  ASSERT_TRUE(Open(Build(0, {{"keep", "k"}}), "good.dat"));
  const std::string good = Build(0, {{"new", "n"}});
  for (u32 version : {202u, 204u, 0u}) {
    std::string bad = good;
    PutU32(bad, 8, version);
    EXPECT_FALSE(Open(bad, "bad.dat")) << version;
  }
  std::string magic = good;
  magic[7] = 'L';
  EXPECT_FALSE(Open(magic, "bad.dat"));
  EXPECT_FALSE(OpenArchive(directory_, (dir_.path() / "missing.dat").string(), "missing.dat"));
  EXPECT_FALSE(OpenArchive(directory_, dir_.str(), "folder.dat"));
  EXPECT_EQ(directory_.size(), 1u);
  EXPECT_NE(directory_.Find("keep"), nullptr);
}

TEST_F(ArchiveTest, DamagedDirectoryKeepsEarlierRecords) {
  const std::string good = Build(0, {{"one", "1"}, {"two", "2"}, {"three", "3"}});
  // Record sizes: 2 + name + 8.
  const size_t end1 = 20 + 13, end2 = end1 + 13, end3 = end2 + 15;

  // Cutting the file at every length never crashes; complete records survive.
  for (size_t len = 0; len < end3; ++len) {
    directory_.Clear();
    EXPECT_FALSE(Open(good.substr(0, len), "cut.dat")) << len;
    const size_t expected = len >= end2 ? 2 : len >= end1 ? 1 : 0;
    EXPECT_EQ(directory_.size(), expected) << len;
  }
  directory_.Clear();
  EXPECT_TRUE(Open(good.substr(0, end3), "cut.dat"));  // data bytes are not checked here
  EXPECT_EQ(directory_.size(), 3u);

  // A zero name length fails at that record.
  std::string zero = good;
  zero[end1 + 1] = 0;
  directory_.Clear();
  EXPECT_FALSE(Open(zero, "zero.dat"));
  EXPECT_EQ(directory_.size(), 1u);
  EXPECT_NE(directory_.Find("one"), nullptr);

  // A count far beyond the file is not trusted.
  std::string lying = good;
  PutU32(lying, 16, 0xFFFFFFFFu);
  directory_.Clear();
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
  ASSERT_EQ(writer.entries().size(), 3u);
  EXPECT_EQ(writer.entries()[2].name, "a");

  TempDir dir;
  const std::string path = (dir.path() / "w.dat").string();
  ASSERT_TRUE(writer.Write(path, 1));
  std::vector<PackRecord> records;
  PackHeader header;
  ASSERT_TRUE(ReadArchiveDirectory(path, header, [&](PackRecord&& r) { records.push_back(std::move(r)); }));
  EXPECT_EQ(header.priority, 1u);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].name, std::string(255, 'n'));
  EXPECT_EQ(records[1].size, 0u);
  EXPECT_EQ(records[2].scrambleCode, 200);
  EXPECT_EQ(records[2].offset, records[1].offset);  // the empty entry takes no bytes
  EXPECT_FALSE(writer.Write((dir.path() / "no" / "such" / "w.dat").string(), 1));
}

}  // namespace
}  // namespace lyraban
