#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "persist/save_archive.h"
#include "persist/save_data_file.h"
#include "persist/user_settings.h"
#include "support/temp_dir.h"

// The save folder's building blocks: the key/value container, the scrambled
// files and the preferences record.
namespace lyraban {
namespace {

using testing::ReadFileBytes;
namespace fs = std::filesystem;

std::string U32(u32 v) { return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24)}; }
std::string Entry(std::string_view key, std::string_view value) {
  return U32(static_cast<u32>(key.size())) + std::string(key) + U32(static_cast<u32>(value.size())) +
         std::string(value);
}

TEST(SaveArchive, LayoutAndRoundTripWithNesting) {
  SaveArchive inner, outer, reader, gotInner;
  i16 small = -2, gotSmall = 0;
  u32 number = 0x01020304, gotNumber = 0;
  std::string name = "第一章", gotName;
  inner.Exchange("s", small);
  outer.Exchange("n", number);
  outer.ExchangeString("t", name);
  outer.ExchangeArchive("in", inner);
  EXPECT_EQ(outer.bytes(),
            Entry("n", "\x04\x03\x02\x01") + Entry("t", name + '\0') + Entry("in", Entry("s", "\xFE\xFF")));
  reader.OpenForReading(outer.bytes());
  EXPECT_TRUE(reader.Exchange("n", gotNumber) && reader.ExchangeString("t", gotName) &&
              reader.ExchangeArchive("in", gotInner) && gotInner.Exchange("s", gotSmall));
  EXPECT_EQ(gotNumber, number);
  EXPECT_EQ(gotName, name);
  EXPECT_EQ(gotSmall, -2);
}

TEST(SaveArchive, FailedReadsLeaveTheVariablesAlone) {
  SaveArchive reader;
  reader.OpenForReading(Entry("v", "\xEF\xBE"));
  u32 four = 0x11111111;
  EXPECT_FALSE(reader.Exchange("v", four));  // stored 2 bytes, asked for 4
  u16 other = 5;
  EXPECT_FALSE(reader.Exchange("V", other));  // keys are exact bytes
  std::string s = "keep";
  EXPECT_FALSE(reader.ExchangeString("missing", s));
  EXPECT_EQ(four, 0x11111111u);
  EXPECT_EQ(other, 5);
  EXPECT_EQ(s, "keep");

  // A missing section gives an empty reading archive, even over old content.
  SaveArchive section;
  section.Exchange("stale", other);
  EXPECT_FALSE(reader.ExchangeArchive("Data_Flow", section));
  EXPECT_FALSE(section.IsWriting());
  EXPECT_FALSE(section.Exchange("stale", other));
  EXPECT_EQ(section.EntryCount(), 0u);
}

TEST(SaveArchive, StringTakesTextUpToFirstNulWithinTheLimit) {
  const u32 max = SaveArchive::kMaxStringLength;
  SaveArchive reader;
  reader.OpenForReading(Entry("s", std::string("ab\0cd\0", 6)) + Entry("big", std::string(max + 1, 'x')) +
                        Entry("edge", std::string(max, 'y')) + Entry("nonul", "xyz"));
  std::string s, big = "old", edge, nonul;
  EXPECT_TRUE(reader.ExchangeString("s", s));
  EXPECT_FALSE(reader.ExchangeString("big", big));
  EXPECT_TRUE(reader.ExchangeString("edge", edge));
  EXPECT_TRUE(reader.ExchangeString("nonul", nonul));
  EXPECT_EQ(s + "|" + big + "|" + nonul, "ab|old|xyz");
  EXPECT_EQ(edge.size(), max);
}

TEST(SaveArchive, DamagedOrLyingTailKeepsTheEntriesBeforeIt) {
  const std::string good = Entry("first", "1111") + Entry("", "22");  // an empty key is legal
  const std::string whole = good + Entry("third", "333333");
  for (std::size_t cut = good.size(); cut <= whole.size(); ++cut) {
    SCOPED_TRACE(cut);
    SaveArchive reader;
    reader.OpenForReading(std::string_view(whole).substr(0, cut));
    EXPECT_EQ(reader.EntryCount(), cut == whole.size() ? 3u : 2u);
    char second[2] = {};
    EXPECT_TRUE(reader.ExchangeBytes("", second, 2));
    EXPECT_EQ(std::string(second, 2), "22");
  }
  // A key over the limit stops the index even with its bytes present; a
  // value length near 4 GiB must not wrap the position around.
  for (const std::string& tail :
       {U32(0x100001) + std::string(0x100001, 'k') + U32(0), U32(1) + "b" + U32(0xFFFFFFFF) + "zz"}) {
    SaveArchive a;
    a.OpenForReading(good + tail);
    EXPECT_EQ(a.EntryCount(), 2u);
  }
}

std::string ReadAll(const fs::path& folder, std::string_view name) {
  SaveDataFile file(folder);
  std::string out;
  if (!file.OpenForRead(name) || !file.ReadRest(out)) return "<unreadable>";
  return out;
}

bool WriteWhole(SaveDataFile& file, std::string_view name, std::string_view bytes) {
  return file.OpenForWrite(name) && file.Write(bytes) && file.Close();
}

TEST(SaveDataFile, ScramblesWithTheSaveKeystreamFromByteZero) {
  testing::TempDir dir;
  SaveDataFile file(dir.path() / "save");  // the folder is created
  ASSERT_TRUE(WriteWhole(file, "x", std::string(630, '\0')));
  const std::string disk = ReadFileBytes(dir.path() / "save" / "x");
  ASSERT_EQ(disk.size(), 630u);
  // Zero bytes come out as the keystream itself; bytes 624 and 625 use the
  // table refilled from its last word.
  EXPECT_EQ(disk.substr(0, 6), "\x22\x33\x11\x18\x81\xE2");
  EXPECT_EQ(static_cast<u8>(disk[624]), 0xB8);
  EXPECT_EQ(static_cast<u8>(disk[625]), 0x8D);
}

TEST(SaveDataFile, RoundTripInPiecesUpdateAndShortRead) {
  testing::TempDir dir;
  SaveDataFile file(dir.path());
  std::string data(200000, '\0');  // several scratch blocks
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 31 + i / 256) & 0xFF);
  ASSERT_TRUE(file.OpenForWrite("savedata.001"));
  for (auto [at, n] : {std::pair<std::size_t, std::size_t>{0, 7}, {7, 70000}, {70007, std::string::npos}})
    file.Write(data.substr(at, n));
  EXPECT_EQ(file.Size(), data.size());
  ASSERT_TRUE(file.Close());

  ASSERT_TRUE(file.OpenForRead("savedata.001"));
  std::string head(1000, '\0'), rest;
  ASSERT_TRUE(file.Read(head.data(), head.size()));
  ASSERT_TRUE(file.ReadRest(rest));
  EXPECT_EQ(head + rest, data);

  ASSERT_TRUE(file.OpenForUpdate("savedata.001"));
  file.Write(std::string(100, 'H'));
  ASSERT_TRUE(file.Close());
  // A short read fails but delivers what was there.
  ASSERT_TRUE(file.OpenForRead("savedata.001"));
  std::string all(data.size() + 10, '\0');
  EXPECT_FALSE(file.Read(all.data(), all.size()));
  EXPECT_EQ(all.substr(0, data.size()), std::string(100, 'H') + data.substr(100));
}

TEST(SaveDataFile, FailuresNeverDamageWhatWasSaved) {
  testing::TempDir dir;
  SaveDataFile file(dir.path());
  EXPECT_FALSE(file.OpenForRead("missing"));
  EXPECT_FALSE(file.OpenForUpdate("missing"));
  EXPECT_FALSE(fs::exists(dir.path() / "missing"));
  char c = 0;
  EXPECT_FALSE(file.Write(&c, 1) || file.Read(&c, 1));
  fs::create_directories(dir.path() / "blocked" / "inside");
  EXPECT_FALSE(file.OpenForRead("blocked"));                             // a folder is not a file
  EXPECT_FALSE(SaveDataFile(dir.path() / "a" / "b").OpenForWrite("x"));  // one folder level only

  ASSERT_TRUE(WriteWhole(file, "slot", "old content"));
  ASSERT_TRUE(file.OpenForWrite("slot"));
  file.Write("new");
  EXPECT_EQ(ReadAll(dir.path(), "slot"), "old content");  // replaced only at Close
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(ReadAll(dir.path(), "slot"), "new");
  EXPECT_FALSE(fs::exists(dir.path() / "slot.tmp"));

  // The target is a folder: the rename fails and the folder stays.
  EXPECT_FALSE(WriteWhole(file, "blocked", "x"));
  EXPECT_TRUE(fs::is_directory(dir.path() / "blocked"));
  EXPECT_FALSE(fs::exists(dir.path() / "blocked.tmp"));
}

// First start: no file, so the defaults are what gets saved.
TEST(UserSettings, DefaultsLandAtTheirFileOffsets) {
  testing::TempDir dir;
  UserSettings s;
  std::memset(&s, 0xAB, sizeof s);
  const auto path = dir.path() / kUserSettingsFileName;
  LoadUserSettings(s, path);
  SaveUserSettings(s, path);
  const std::string bytes = ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), 336u);
  std::string expected(336, '\0');
  // clang-format off
  const std::pair<std::size_t, int> nonZero[] = {{0, 2}, {4, 2}, {8, 5}, {13, 1}, {14, 1}, {15, 1}, {16, 1}, {17, 1},
      {20, 50}, {24, 50}, {28, 50}, {32, 50}, {36, 1}, {37, 1}, {38, 1}, {40, 1}, {46, 1},
      {308, 11}, {309, 22}, {310, 14}, {311, 4}, {312, 2}, {325, 2}, {326, 3}};
  // clang-format on
  for (auto [offset, value] : nonZero) expected[offset] = static_cast<char>(value);
  EXPECT_EQ(bytes, expected);
}

TEST(UserSettings, RoundTripKeepsEveryByteAndAShortFileOnlyItsLeadingBytes) {
  testing::TempDir dir;
  const auto path = dir.path() / kUserSettingsFileName;
  UserSettings written, read;
  auto* raw = reinterpret_cast<u8*>(&written);
  for (std::size_t i = 0; i < sizeof written; ++i) raw[i] = static_cast<u8>(i * 7 + 3);
  SaveUserSettings(written, path);
  LoadUserSettings(read, path);
  EXPECT_EQ(std::memcmp(&written, &read, sizeof read), 0);  // reserved bytes too

  std::string forty(40, '\0');
  forty[32] = 77;  // BgmVolume
  dir.Write(kUserSettingsFileName, forty);
  LoadUserSettings(read, path);
  EXPECT_EQ(read.BgmVolume, 77);
  EXPECT_EQ(read.ScreenEffects, 1);  // from offset 40 on, the defaults stay
  EXPECT_EQ(read.PadButtonCommands[1], 3);
}

}  // namespace
}  // namespace lyraban
