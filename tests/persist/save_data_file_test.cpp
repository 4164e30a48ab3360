#include "persist/save_data_file.h"

#include <gtest/gtest.h>

#include <string>

#include "persist/save_archive.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;

std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + i / 256) & 0xFF);
  return s;
}

std::string ReadAll(SaveDataFile& file, std::string_view name) {
  std::string out;
  if (!file.OpenForRead(name) || !file.ReadRest(out)) return "<unreadable>";
  file.Close();
  return out;
}

TEST(SaveDataFile, ScramblesWithTheSaveKeystreamFromByteZero) {
  TempDir dir;
  SaveDataFile file(dir.path() / "save");
  ASSERT_TRUE(file.OpenForWrite("x"));
  // Zero bytes come out as the keystream itself; bytes 624 and 625 use
  // the table refilled from its last word.
  EXPECT_TRUE(file.Write(std::string(630, '\0')));
  EXPECT_EQ(file.Size(), 630u);
  EXPECT_TRUE(file.Close());
  const std::string disk = ReadFileBytes(dir.path() / "save" / "x");
  ASSERT_EQ(disk.size(), 630u);
  EXPECT_EQ(disk.substr(0, 6), "\x22\x33\x11\x18\x81\xE2");
  EXPECT_EQ(static_cast<u8>(disk[624]), 0xB8);
  EXPECT_EQ(static_cast<u8>(disk[625]), 0x8D);
}

TEST(SaveDataFile, RoundTripInPiecesAndWhole) {
  TempDir dir;
  SaveDataFile file(dir.path());
  const std::string data = Pattern(200000);  // several scratch blocks
  ASSERT_TRUE(file.OpenForWrite("savedata.001"));
  file.Write(data.substr(0, 7));
  file.Write(data.substr(7, 70000));
  file.Write(data.substr(70007));
  ASSERT_TRUE(file.Close());
  EXPECT_NE(ReadFileBytes(dir.path() / "savedata.001"), data);

  ASSERT_TRUE(file.OpenForRead("savedata.001"));
  EXPECT_EQ(file.Size(), data.size());
  std::string head(1000, '\0');
  ASSERT_TRUE(file.Read(head.data(), head.size()));
  std::string rest;
  ASSERT_TRUE(file.ReadRest(rest));
  EXPECT_EQ(head + rest, data);
  file.Close();
  EXPECT_EQ(ReadAll(file, "savedata.001"), data);
}

TEST(SaveDataFile, ShortReadReportsFailureButDeliversWhatWasThere) {
  TempDir dir;
  SaveDataFile file(dir.path());
  ASSERT_TRUE(file.OpenForWrite("f"));
  file.Write("hello");
  file.Close();
  ASSERT_TRUE(file.OpenForRead("f"));
  char buf[10] = {};
  EXPECT_FALSE(file.Read(buf, sizeof buf));
  EXPECT_EQ(std::string(buf, 5), "hello");
  char more = 'q';
  EXPECT_FALSE(file.Read(&more, 1));
  EXPECT_EQ(more, 'q');
}

TEST(SaveDataFile, OpenFailuresAndClosedFile) {
  TempDir dir;
  SaveDataFile file(dir.path() / "save");
  EXPECT_FALSE(file.OpenForRead("missing"));
  EXPECT_FALSE(file.OpenForUpdate("missing"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "save" / "missing"));
  EXPECT_FALSE(file.IsOpen());
  char c = 0;
  EXPECT_FALSE(file.Write(&c, 1));
  EXPECT_FALSE(file.Read(&c, 1));
  EXPECT_EQ(file.Size(), 0u);
  // A folder is not a file to read.
  std::filesystem::create_directories(dir.path() / "save" / "sub");
  EXPECT_FALSE(file.OpenForRead("sub"));
  // Only one level of folder is created.
  SaveDataFile deep(dir.path() / "a" / "b");
  EXPECT_FALSE(deep.OpenForWrite("x"));
}

TEST(SaveDataFile, WriteReplacesOnlyAtCloseAndAFailedWriteKeepsTheOldFile) {
  TempDir dir;
  SaveDataFile file(dir.path());
  ASSERT_TRUE(file.OpenForWrite("slot"));
  file.Write("old content");
  ASSERT_TRUE(file.Close());

  ASSERT_TRUE(file.OpenForWrite("slot"));
  file.Write("new");
  // Until Close, what the player saved before is still there.
  EXPECT_EQ(ReadAll(*std::make_unique<SaveDataFile>(dir.path()), "slot"), "old content");
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(ReadAll(file, "slot"), "new");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "slot.tmp"));

  // The target turned into a folder: the rename fails, the folder stays.
  std::filesystem::create_directory(dir.path() / "blocked");
  std::filesystem::create_directory(dir.path() / "blocked" / "inside");
  ASSERT_TRUE(file.OpenForWrite("blocked"));
  file.Write("x");
  EXPECT_FALSE(file.Close());
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "blocked"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "blocked.tmp"));
}

TEST(SaveDataFile, UpdateRewritesTheStartAndKeepsTheRestReadable) {
  TempDir dir;
  SaveDataFile file(dir.path());
  const std::string header(100, 'h');
  SaveArchive sections;
  std::string script = "start.txt";
  sections.ExchangeString("Data_Script", script);
  ASSERT_TRUE(file.OpenForWrite("savedata.000"));
  file.Write(header);
  file.Write(sections.bytes());
  ASSERT_TRUE(file.Close());
  const u64 sizeBefore = std::filesystem::file_size(dir.path() / "savedata.000");

  ASSERT_TRUE(file.OpenForUpdate("savedata.000"));
  file.Write(std::string(100, 'H'));
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(std::filesystem::file_size(dir.path() / "savedata.000"), sizeBefore);

  const std::string back = ReadAll(file, "savedata.000");
  EXPECT_EQ(back.substr(0, 100), std::string(100, 'H'));
  SaveArchive reader;
  reader.OpenForReading(std::string_view(back).substr(100));
  std::string got;
  EXPECT_TRUE(reader.ExchangeString("Data_Script", got));
  EXPECT_EQ(got, "start.txt");
}

}  // namespace
}  // namespace lyraban
