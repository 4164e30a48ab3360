#include "persist/read_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "persist/save_data_file.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

using Set = ReadRangeSet;
using namespace std::literals;

class ReadLogTest : public ::testing::Test {
 protected:
  ReadLogTest() {
    trace.SetSink([this](std::string_view m) { messages.emplace_back(m); });
  }

  testing::TempDir dir;
  Trace trace;
  std::vector<std::string> messages;
  ReadLog log{trace};
};

TEST_F(ReadLogTest, TextIsUnreadUntilTheStretchIsCommitted) {
  log.SetCurrentScript("start.txt");
  EXPECT_FALSE(log.IsRead(3));
  EXPECT_FALSE(log.IsRead(7));
  EXPECT_FALSE(log.IsRead(3));  // seen in this stretch: still unread
  log.CommitPending();          // a GOTO back
  std::vector<bool> got;
  for (int key : {2, 3, 5, 7, 8}) got.push_back(log.IsRead(key));
  EXPECT_EQ(got, (std::vector<bool>{false, true, true, true, false}));
}

TEST_F(ReadLogTest, ScriptsKeepTheirOwnRangesAndShareKeysAcrossExtensions) {
  std::vector<std::string> entered;
  log.SetScriptEnteredHandler([&](std::string_view key) { entered.emplace_back(key); });
  log.SetCurrentScript("a.txt");
  log.IsRead(4);
  log.SetCurrentScript("b.txt");  // commits the stretch under "a"
  EXPECT_EQ(log.scripts().at("a"), (Set{{4, 4}}));
  EXPECT_EQ(log.scripts().count("b"), 0u);
  EXPECT_FALSE(log.IsRead(4));
  log.SetCurrentScript("a.dat");
  EXPECT_TRUE(log.IsRead(4));
  EXPECT_EQ(entered, (std::vector<std::string>{"a", "b", "a"}));
  EXPECT_EQ(ReadLog::ScriptKey("x.y.txt") + "|" + ReadLog::ScriptKey("noext"), "x.y|noext");
}

TEST_F(ReadLogTest, SavedFileLayoutAndReload) {
  log.SetCurrentScript("prologue.txt");
  log.IsRead(12);
  log.IsRead(88);
  log.CommitPending();
  log.IsRead(120);
  log.IsRead(164);
  log.SetCurrentScript("start.txt");
  log.IsRead(5);
  log.IsRead(40);
  ASSERT_TRUE(log.SaveReadLog(dir.path()));  // flushes the running stretch itself
  SaveDataFile file(dir.path());
  std::string text;
  ASSERT_TRUE(file.OpenForRead(kReadLogFileName) && file.ReadRest(text));
  EXPECT_EQ(text, std::string("\\120 164\r\\12 88\rprologue\r\\5 40\rstart\r\0", 38));

  ReadLog next{trace};
  ASSERT_TRUE(next.LoadReadLog(dir.path()));
  EXPECT_EQ(next.scripts(), log.scripts());
  next.SetCurrentScript("start.txt");
  EXPECT_TRUE(next.IsRead(40));
  EXPECT_FALSE(next.IsRead(41));
  EXPECT_TRUE(messages.empty());
}

TEST_F(ReadLogTest, LoadingToleratesOddFiles) {
  log.SetCurrentScript("x.txt");
  log.IsRead(1);
  log.Flush();
  EXPECT_FALSE(log.LoadReadLog(dir.path()));  // missing: empty, the old record gone
  EXPECT_TRUE(log.scripts().empty());

  // CR LF ends, leading blanks, a key without ranges, malformed range lines
  // (traced, skipped) and text after the NUL. Overlapping ranges merge,
  // touching ones stay apart, and the set runs greatest first first.
  SaveDataFile file(dir.path());
  ASSERT_TRUE(file.OpenForWrite(kReadLogFileName));
  file.Write(
      "  \\1 2\r\n\\bad\r\\3\r\\9 4\r\\-1 5\r\\99999999999 1\r\\3 3\r\\5 7\r\\20 30\r\\4 6\r\\10 40\r\n"
      "alpha\r\nbeta\r\\7 8\rgamma\r\0\\1 1\rjunk\r"sv);
  ASSERT_TRUE(file.Close());
  ASSERT_TRUE(log.LoadReadLog(dir.path()));
  EXPECT_EQ(log.scripts().size(), 2u);
  EXPECT_EQ(log.scripts().at("alpha"), (Set{{10, 40}, {4, 7}, {3, 3}, {1, 2}}));
  EXPECT_EQ(log.scripts().at("gamma"), (Set{{7, 8}}));
  EXPECT_EQ(messages.size(), 5u);
}

}  // namespace
}  // namespace lyraban
