// Save-folder files that are damaged, huge or not files at all.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <string>

#include "persist/read_log.h"
#include "persist/save_data_file.h"
#include "persist/user_settings.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

namespace fs = std::filesystem;

bool WriteScrambled(const fs::path& folder, std::string_view name, std::string_view bytes) {
  SaveDataFile file(folder);
  return file.OpenForWrite(name) && file.Write(bytes) && file.Close();
}

std::string ReadScrambled(const fs::path& folder, std::string_view name) {
  SaveDataFile file(folder);
  std::string out;
  return file.OpenForRead(name) && file.ReadRest(out) ? out : "<unreadable>";
}

class HostileReadLog : public ::testing::Test {
 protected:
  HostileReadLog() {
    trace.SetSink([this](std::string_view m) { messages.emplace_back(m); });
  }
  testing::TempDir dir;
  Trace trace;
  std::vector<std::string> messages;
  ReadLog log{trace};
};

// One damaged byte spoils its own line only: the other scripts' history
// stays, and the next save keeps the damaged original beside the new log.
TEST_F(HostileReadLog, ADamagedByteLosesOneLineAndTheOriginalIsKeptOnSave) {
  const std::string good = "\\1 5\ralpha\r\\2 3\r\\8 9\rbeta\r\\4 4\rgamma\r";
  std::string damaged = good;
  damaged[good.find("\\2 3")] = '\0';  // the range line of beta turns into junk
  ASSERT_TRUE(WriteScrambled(dir.path(), kReadLogFileName, damaged + '\0'));
  ASSERT_TRUE(log.LoadReadLog(dir.path()));
  using Scripts = std::remove_cvref_t<decltype(log.scripts())>;
  EXPECT_EQ(log.scripts(), (Scripts{{"alpha", {{1, 5}}}, {"beta", {{8, 9}}}, {"gamma", {{4, 4}}}}));
  EXPECT_TRUE(log.damaged());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find(":3）"), std::string::npos) << messages[0];

  ASSERT_TRUE(log.SaveReadLog(dir.path()));
  EXPECT_EQ(ReadScrambled(dir.path(), kDamagedReadLogFileName), damaged + '\0');
  const std::string rewritten = ReadScrambled(dir.path(), kReadLogFileName);
  EXPECT_NE(rewritten.find("\\8 9\rbeta\r"), std::string::npos) << rewritten;

  // A log read completely is replaced without a copy.
  fs::remove(dir.path() / kDamagedReadLogFileName);
  ASSERT_TRUE(log.LoadReadLog(dir.path()));
  EXPECT_FALSE(log.damaged());
  ASSERT_TRUE(log.SaveReadLog(dir.path()));
  EXPECT_FALSE(fs::exists(dir.path() / kDamagedReadLogFileName));
}

// Ranges are merged once per script, so a long log loads in linear time.
TEST_F(HostileReadLog, TwentyThousandRangesLoadMergedAndFast) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "\\" + std::to_string(i * 3) + " " + std::to_string(i * 3 + 1) + "\r";
  text += "\\59990 70000\rbig\r";
  ASSERT_TRUE(WriteScrambled(dir.path(), kReadLogFileName, text + '\0'));
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

TEST_F(HostileReadLog, AHugeFileIsNotReadAndCountsAsDamaged) {
  const fs::path path = dir.path() / kReadLogFileName;
  testing::WriteFileBytes(path, "x");
  fs::resize_file(path, ReadLog::kMaxReadLogBytes + 1);  // sparse
  EXPECT_TRUE(log.LoadReadLog(dir.path()));
  EXPECT_TRUE(log.scripts().empty());
  EXPECT_TRUE(log.damaged());
  ASSERT_EQ(messages.size(), 1u);
}

// Reads of a FIFO would wait for a writer for ever; they are refused.
TEST(HostileSaveFolder, FifosAreRefusedWithoutBlocking) {
  testing::TempDir dir;
  for (const char* name : {kReadLogFileName, "flagdata.000", "lyraban.cfg"})
    ASSERT_EQ(::mkfifo((dir.path() / name).c_str(), 0600), 0) << name;
  SaveDataFile file(dir.path());
  EXPECT_FALSE(file.OpenForRead("flagdata.000"));
  EXPECT_FALSE(file.OpenForUpdate("flagdata.000"));
  Trace trace;
  ReadLog log(trace);
  EXPECT_FALSE(log.LoadReadLog(dir.path()));
  UserSettings settings, defaults;
  ResetUserSettings(defaults);
  LoadUserSettings(settings, dir.path() / "lyraban.cfg");
  EXPECT_EQ(std::memcmp(&settings, &defaults, sizeof settings), 0) << "a FIFO gives the defaults";
}

}  // namespace
}  // namespace lyraban
