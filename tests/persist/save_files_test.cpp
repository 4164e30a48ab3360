#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "persist/read_log.h"
#include "persist/save_archive.h"
#include "persist/save_data_file.h"
#include "persist/user_settings.h"
#include "support/temp_dir.h"

// The save folder's building blocks: the key/value container, the scrambled
// files, the read log and the preferences record.
namespace lyraban {
namespace {

using testing::ReadFileBytes;
namespace fs = std::filesystem;
using namespace std::literals;

std::string U32(u32 v) { return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24)}; }
std::string Entry(std::string_view key, std::string_view value) {
  return U32(static_cast<u32>(key.size())) + std::string(key) + U32(static_cast<u32>(value.size())) +
         std::string(value);
}
std::string ReadAll(const fs::path& folder, std::string_view name) {
  SaveDataFile file(folder);
  std::string out;
  return file.OpenForRead(name) && file.ReadRest(out) ? out : "<unreadable>";
}
bool WriteWhole(const fs::path& folder, std::string_view name, std::string_view bytes) {
  SaveDataFile file(folder);
  return file.OpenForWrite(name) && file.Write(bytes) && file.Close();
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
  EXPECT_EQ(gotName + std::to_string(gotNumber) + std::to_string(gotSmall), name + "16909060-2");
}

TEST(SaveArchive, FailedReadsLeaveTheVariablesAlone) {
  SaveArchive reader;
  reader.OpenForReading(Entry("v", "\xEF\xBE"));
  u32 four = 0x11111111;
  u16 other = 5;
  std::string s = "keep";
  // Stored 2 bytes, asked for 4; keys are exact bytes.
  EXPECT_FALSE(reader.Exchange("v", four) || reader.Exchange("V", other) || reader.ExchangeString("missing", s));
  EXPECT_EQ(std::to_string(four) + std::to_string(other) + s, "2863311535keep");
  // A missing section gives an empty reading archive, even over old content.
  SaveArchive section;
  section.Exchange("stale", other);
  EXPECT_FALSE(reader.ExchangeArchive("Data_Flow", section) || section.IsWriting() || section.Exchange("stale", other));
  EXPECT_EQ(section.EntryCount(), 0u);
}

TEST(SaveArchive, StringTakesTextUpToFirstNulWithinTheLimit) {
  const u32 max = SaveArchive::kMaxStringLength;
  SaveArchive reader;
  reader.OpenForReading(Entry("s", std::string("ab\0cd\0", 6)) + Entry("big", std::string(max + 1, 'x')) +
                        Entry("edge", std::string(max, 'y')) + Entry("nonul", "xyz"));
  std::string s, big = "old", edge, nonul;
  EXPECT_TRUE(reader.ExchangeString("s", s) && !reader.ExchangeString("big", big) &&
              reader.ExchangeString("edge", edge) && reader.ExchangeString("nonul", nonul));
  EXPECT_EQ(s + "|" + big + "|" + nonul, "ab|old|xyz");
  EXPECT_EQ(edge.size(), max);
}

TEST(SaveArchive, DamagedOrLyingTailKeepsTheEntriesBeforeIt) {
  const std::string good = Entry("first", "1111") + Entry("", "22");  // an empty key is legal
  const std::string whole = good + Entry("third", "333333");
  for (std::size_t cut = good.size(); cut <= whole.size(); ++cut) {
    SaveArchive reader;
    reader.OpenForReading(std::string_view(whole).substr(0, cut));
    EXPECT_EQ(reader.EntryCount(), cut == whole.size() ? 3u : 2u) << cut;
    char second[2] = {};
    EXPECT_TRUE(reader.ExchangeBytes("", second, 2) && std::string(second, 2) == "22") << cut;
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

TEST(SaveDataFile, ScramblesFromByteZeroAndRoundTripsInPieces) {
  testing::TempDir dir;
  ASSERT_TRUE(WriteWhole(dir.path() / "save", "x", std::string(630, '\0')));  // the folder is created
  const std::string disk = ReadFileBytes(dir.path() / "save" / "x");
  ASSERT_EQ(disk.size(), 630u);
  // Zero bytes come out as the keystream itself; bytes 624 and 625 use the
  // table refilled from its last word.
  EXPECT_EQ(disk.substr(0, 6) + disk.substr(624, 2), "\x22\x33\x11\x18\x81\xE2\xB8\x8D");

  SaveDataFile file(dir.path());
  std::string data(200000, '\0');  // several scratch blocks
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 31 + i / 256) & 0xFF);
  ASSERT_TRUE(file.OpenForWrite("savedata.001"));
  file.Write(data.substr(0, 7)), file.Write(data.substr(7, 70000)), file.Write(data.substr(70007));
  ASSERT_TRUE(file.Close() && file.OpenForUpdate("savedata.001"));
  file.Write(std::string(100, 'H'));
  ASSERT_TRUE(file.Close() && file.OpenForRead("savedata.001"));
  std::string head(1000, '\0'), rest;
  ASSERT_TRUE(file.Read(head.data(), head.size()) && file.ReadRest(rest));
  EXPECT_EQ(head + rest, std::string(100, 'H') + data.substr(100));
  // A short read fails but delivers what was there.
  ASSERT_TRUE(file.OpenForRead("savedata.001"));
  std::string all(data.size() + 10, '\0');
  EXPECT_FALSE(file.Read(all.data(), all.size()));
  EXPECT_EQ(all.substr(0, data.size()), std::string(100, 'H') + data.substr(100));
}

TEST(SaveDataFile, FailuresNeverDamageWhatWasSavedNorBlockOnAFifo) {
  testing::TempDir dir;
  SaveDataFile file(dir.path());
  EXPECT_FALSE(file.OpenForRead("missing") || file.OpenForUpdate("missing") || fs::exists(dir.path() / "missing"));
  char c = 0;
  EXPECT_FALSE(file.Write(&c, 1) || file.Read(&c, 1));
  fs::create_directories(dir.path() / "blocked" / "inside");
  EXPECT_FALSE(file.OpenForRead("blocked"));                             // a folder is not a file
  EXPECT_FALSE(SaveDataFile(dir.path() / "a" / "b").OpenForWrite("x"));  // one folder level only
  ASSERT_TRUE(WriteWhole(dir.path(), "slot", "old content"));
  ASSERT_TRUE(file.OpenForWrite("slot"));
  file.Write("new");
  EXPECT_EQ(ReadAll(dir.path(), "slot"), "old content");  // replaced only at Close
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(ReadAll(dir.path(), "slot"), "new");
  // The target is a folder: the rename fails and the folder stays.
  EXPECT_FALSE(WriteWhole(dir.path(), "blocked", "x"));
  EXPECT_FALSE(!fs::is_directory(dir.path() / "blocked") || fs::exists(dir.path() / "slot.tmp") ||
               fs::exists(dir.path() / "blocked.tmp"));
  // Reads of a FIFO would wait for a writer for ever; they are refused.
  for (const char* name : {kReadLogFileName, "flagdata.000", "lyraban.cfg"})
    ASSERT_EQ(::mkfifo((dir.path() / name).c_str(), 0600), 0) << name;
  EXPECT_FALSE(file.OpenForRead("flagdata.000"));
  EXPECT_FALSE(file.OpenForUpdate("flagdata.000"));
  Trace trace;
  EXPECT_FALSE(ReadLog(trace).LoadReadLog(dir.path()));
  UserSettings settings, defaults;
  ResetUserSettings(defaults);
  LoadUserSettings(settings, dir.path() / "lyraban.cfg");
  EXPECT_EQ(std::memcmp(&settings, &defaults, sizeof settings), 0) << "a FIFO gives the defaults";
}

class ReadLogTest : public ::testing::Test {
 protected:
  ReadLogTest() {
    trace.SetSink([this](std::string_view m) { messages.emplace_back(m); });
  }
  testing::TempDir dir;
  Trace trace;
  std::vector<std::string> messages;
  ReadLog log{trace};
  using Scripts = std::remove_cvref_t<decltype(log.scripts())>;
};

TEST_F(ReadLogTest, TextIsUnreadUntilCommittedAndScriptsShareKeysAcrossExtensions) {
  std::string entered;
  log.SetScriptEnteredHandler([&](std::string_view key) { entered.append(key).append(" "); });
  log.SetCurrentScript("a.txt");
  EXPECT_FALSE(log.IsRead(3) || log.IsRead(7) || log.IsRead(3));  // seen in this stretch: still unread
  log.CommitPending();                                            // a GOTO back
  std::string got;
  for (int key : {2, 3, 5, 7, 8}) got += log.IsRead(key) ? '1' : '0';
  EXPECT_EQ(got, "01110");
  log.SetCurrentScript("b.txt");  // commits the stretch under "a"
  EXPECT_EQ(log.scripts().at("a"), (ReadRangeSet{{2, 8}}));
  EXPECT_FALSE(log.scripts().count("b") || log.IsRead(4));
  log.SetCurrentScript("a.dat");
  EXPECT_TRUE(log.IsRead(4));
  EXPECT_EQ(entered + ReadLog::ScriptKey("x.y.txt") + "|" + ReadLog::ScriptKey("noext"), "a b a x.y|noext");
}

TEST_F(ReadLogTest, SavedFileLayoutAndReload) {
  log.SetCurrentScript("prologue.txt");
  log.IsRead(12), log.IsRead(88);
  log.CommitPending();
  log.IsRead(120), log.IsRead(164);
  log.SetCurrentScript("start.txt");
  log.IsRead(5), log.IsRead(40);
  ASSERT_TRUE(log.SaveReadLog(dir.path()));  // flushes the running stretch itself
  EXPECT_EQ(ReadAll(dir.path(), kReadLogFileName), std::string("\\120 164\r\\12 88\rprologue\r\\5 40\rstart\r\0", 38));
  ReadLog next{trace};
  ASSERT_TRUE(next.LoadReadLog(dir.path()));
  EXPECT_EQ(next.scripts(), log.scripts());
  next.SetCurrentScript("start.txt");
  EXPECT_TRUE(next.IsRead(40) && !next.IsRead(41));
  EXPECT_TRUE(messages.empty());
}

TEST_F(ReadLogTest, LoadingToleratesOddFiles) {
  log.SetCurrentScript("x.txt");
  log.IsRead(1);
  log.Flush();
  EXPECT_FALSE(log.LoadReadLog(dir.path()));  // missing: empty, the old record gone
  EXPECT_TRUE(log.scripts().empty());
  // CR LF ends, leading blanks, a key without ranges, malformed range lines
  // (traced, skipped) and a stray NUL (its line traced, the rest read on).
  // Overlapping ranges merge, touching ones stay apart, and the set runs
  // greatest first first.
  ASSERT_TRUE(
      WriteWhole(dir.path(), kReadLogFileName,
                 "  \\1 2\r\n\\bad\r\\3\r\\9 4\r\\-1 5\r\\99999999999 1\r\\3 3\r\\5 7\r\\20 30\r\\4 6\r\\10 40\r\n"
                 "alpha\r\nbeta\r\\7 8\rgamma\r\0\\1 1\rjunk\r"sv));
  ASSERT_TRUE(log.LoadReadLog(dir.path()));
  EXPECT_EQ(log.scripts(), (Scripts{{"alpha", {{10, 40}, {4, 7}, {3, 3}, {1, 2}}}, {"gamma", {{7, 8}}}}));
  ASSERT_EQ(messages.size(), 6u);
  EXPECT_NE(messages.back().find(":16）"), std::string::npos) << messages.back();
  EXPECT_TRUE(log.damaged());
  // The next save keeps the damaged original beside the new log.
  const std::string odd = ReadAll(dir.path(), kReadLogFileName);
  ASSERT_TRUE(log.SaveReadLog(dir.path()));
  EXPECT_EQ(ReadAll(dir.path(), kDamagedReadLogFileName), odd);
  const std::string rewritten = ReadAll(dir.path(), kReadLogFileName);
  EXPECT_NE(rewritten.find("\\7 8\rgamma\r"), std::string::npos) << rewritten;
  // A log read completely is replaced without a copy.
  fs::remove(dir.path() / kDamagedReadLogFileName);
  ASSERT_TRUE(log.LoadReadLog(dir.path()));
  EXPECT_FALSE(log.damaged());
  ASSERT_TRUE(log.SaveReadLog(dir.path()));
  EXPECT_FALSE(fs::exists(dir.path() / kDamagedReadLogFileName));
}

// Ranges are merged once per script, so a long log loads in linear time.
TEST_F(ReadLogTest, TwentyThousandRangesLoadMergedAndFast) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "\\" + std::to_string(i * 3) + " " + std::to_string(i * 3 + 1) + "\r";
  text += "\\59990 70000\rbig\r";
  ASSERT_TRUE(WriteWhole(dir.path(), kReadLogFileName, text + '\0'));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(log.LoadReadLog(dir.path()));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const ReadRangeSet& set = log.scripts().at("big");
  ASSERT_EQ(set.size(), 19998u);  // the last three ranges merge into the wide one
  EXPECT_EQ(set.front(), (ReadRange{59990, 70000}));
  EXPECT_EQ(set.back(), (ReadRange{0, 1}));
  EXPECT_LT(seconds, 5.0) << "merging range by range is quadratic";
  EXPECT_TRUE(messages.empty());
}

TEST_F(ReadLogTest, AHugeFileIsNotReadAndCountsAsDamaged) {
  const fs::path path = dir.path() / kReadLogFileName;
  testing::WriteFileBytes(path, "x");
  fs::resize_file(path, ReadLog::kMaxReadLogBytes + 1);  // sparse
  EXPECT_TRUE(log.LoadReadLog(dir.path()));
  EXPECT_TRUE(log.scripts().empty());
  EXPECT_TRUE(log.damaged());
  ASSERT_EQ(messages.size(), 1u);
}

// First start: no file, so the defaults are what gets saved.
TEST(UserSettings, DefaultsLandAtTheirOffsetsAndRoundTripsKeepEveryByte) {
  testing::TempDir dir;
  UserSettings s;
  std::memset(&s, 0xAB, sizeof s);
  const auto path = dir.path() / kUserSettingsFileName;
  LoadUserSettings(s, path);
  SaveUserSettings(s, path);
  std::string expected(336, '\0');
  // clang-format off
  const std::pair<std::size_t, int> nonZero[] = {{0, 2}, {4, 2}, {8, 5}, {13, 1}, {14, 1}, {15, 1}, {16, 1}, {17, 1},
      {20, 50}, {24, 50}, {28, 50}, {32, 50}, {36, 1}, {37, 1}, {38, 1}, {40, 1}, {46, 1},
      {308, 11}, {309, 22}, {310, 14}, {311, 4}, {312, 2}, {325, 2}, {326, 3}};
  // clang-format on
  for (auto [offset, value] : nonZero) expected[offset] = static_cast<char>(value);
  EXPECT_EQ(ReadFileBytes(path), expected);

  // A round trip keeps every byte; a short file only its leading bytes.
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
  // From offset 40 on, the defaults stay.
  EXPECT_EQ(read.BgmVolume * 100 + read.ScreenEffects * 10 + read.PadButtonCommands[1], 7713);
}

}  // namespace
}  // namespace lyraban
