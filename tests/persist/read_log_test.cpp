#include "persist/read_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "persist/save_data_file.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

using testing::TempDir;

ReadRangeSet Set(std::initializer_list<ReadRange> ranges) { return ReadRangeSet(ranges); }

class ReadLogTest : public ::testing::Test {
 protected:
  ReadLogTest() {
    trace.SetSink([this](std::string_view m) { messages.emplace_back(m); });
  }

  // Writes "complete.log" content as the save folder holds it (scrambled).
  void WriteLogFile(std::string_view text) {
    SaveDataFile file(dir.path());
    ASSERT_TRUE(file.OpenForWrite(kReadLogFileName));
    file.Write(text);
    ASSERT_TRUE(file.Close());
  }
  std::string ReadLogFile() {
    SaveDataFile file(dir.path());
    std::string text;
    if (!file.OpenForRead(kReadLogFileName) || !file.ReadRest(text)) return "<missing>";
    return text;
  }

  TempDir dir;
  Trace trace;
  std::vector<std::string> messages;
  ReadLog log{trace};
};

TEST_F(ReadLogTest, TextIsUnreadUntilTheStretchIsCommitted) {
  log.SetCurrentScript("start.txt");
  EXPECT_FALSE(log.IsRead(3));
  EXPECT_FALSE(log.IsRead(7));
  EXPECT_FALSE(log.IsRead(3));  // seen in this stretch: still unread
  EXPECT_EQ(log.pendingFirst(), 3);
  EXPECT_EQ(log.pendingLast(), 7);
  log.CommitPending();  // a GOTO back
  EXPECT_EQ(log.pendingFirst(), -1);
  EXPECT_TRUE(log.IsRead(3));
  EXPECT_TRUE(log.IsRead(5));
  EXPECT_TRUE(log.IsRead(7));
  EXPECT_FALSE(log.IsRead(8));
  EXPECT_FALSE(log.IsRead(2));
}

TEST_F(ReadLogTest, LoopIsReadFromItsSecondPass) {
  log.SetCurrentScript("loop.txt");
  std::vector<bool> passes;
  for (int pass = 0; pass < 3; ++pass) {
    passes.push_back(log.IsRead(10));
    log.IsRead(12);
    log.CommitPending();
  }
  EXPECT_EQ(passes, (std::vector<bool>{false, true, true}));
}

TEST_F(ReadLogTest, MergeJoinsOverlapsButNotNeighbours) {
  ReadRangeSet set;
  ReadLog::InsertRange(set, {3, 10});
  ReadLog::InsertRange(set, {8, 20});
  EXPECT_EQ(set, Set({{3, 20}}));
  ReadLog::InsertRange(set, {21, 30});
  EXPECT_EQ(set, Set({{21, 30}, {3, 20}}));  // greatest first first
  ReadLog::InsertRange(set, {40, 45});
  ReadLog::InsertRange(set, {1, 50});
  EXPECT_EQ(set, Set({{1, 50}}));
  ReadRangeSet same;
  ReadLog::InsertRange(same, {5, 10});
  ReadLog::InsertRange(same, {5, 20});
  ReadLog::InsertRange(same, {20, 20});
  EXPECT_EQ(same, Set({{5, 20}}));
}

TEST_F(ReadLogTest, ScriptsKeepTheirOwnRangesAndShareKeysAcrossExtensions) {
  std::vector<std::string> entered;
  log.SetScriptEnteredHandler([&](std::string_view key) { entered.emplace_back(key); });
  log.SetCurrentScript("a.txt");
  log.IsRead(4);
  // LOAD of another script commits the stretch under the previous key.
  log.SetCurrentScript("b.txt");
  EXPECT_EQ(log.scripts().at("a"), Set({{4, 4}}));
  EXPECT_EQ(log.scripts().count("b"), 0u);
  EXPECT_FALSE(log.IsRead(4));
  log.SetCurrentScript("a.dat");
  EXPECT_EQ(log.currentKey(), "a");
  EXPECT_TRUE(log.IsRead(4));
  EXPECT_EQ(entered, (std::vector<std::string>{"a", "b", "a"}));
  EXPECT_EQ(ReadLog::ScriptKey("noext"), "noext");
  EXPECT_EQ(ReadLog::ScriptKey("x.y.txt"), "x.y");
}

TEST_F(ReadLogTest, SavedFileListsRangesGreatestFirstThenTheKey) {
  log.SetCurrentScript("prologue.txt");
  log.IsRead(12);
  log.IsRead(88);
  log.CommitPending();
  log.IsRead(120);
  log.IsRead(164);
  log.SetCurrentScript("start.txt");
  log.IsRead(5);
  log.IsRead(40);
  // SaveReadLog flushes the running stretch itself.
  ASSERT_TRUE(log.SaveReadLog(dir.path()));
  EXPECT_EQ(ReadLogFile(), std::string("\\120 164\r\\12 88\rprologue\r\\5 40\rstart\r\0", 38));
}

TEST_F(ReadLogTest, MarksSurviveSaveAndLoad) {
  log.SetCurrentScript("ch1.txt");
  for (int key : {5, 6, 9}) log.IsRead(key);
  log.CommitPending();
  log.IsRead(30);
  ASSERT_TRUE(log.SaveReadLog(dir.path()));

  ReadLog next{trace};
  ASSERT_TRUE(next.LoadReadLog(dir.path()));
  EXPECT_EQ(next.scripts(), log.scripts());
  next.SetCurrentScript("ch1.txt");
  EXPECT_TRUE(next.IsRead(7));
  EXPECT_TRUE(next.IsRead(30));
  EXPECT_FALSE(next.IsRead(10));
  EXPECT_TRUE(messages.empty());
}

TEST_F(ReadLogTest, LoadingToleratesOddFiles) {
  // Just the NUL: an empty log.
  WriteLogFile(std::string(1, '\0'));
  EXPECT_TRUE(log.LoadReadLog(dir.path()));
  EXPECT_TRUE(log.scripts().empty());

  // Missing file: empty, and what was there before is gone.
  log.SetCurrentScript("x.txt");
  log.IsRead(1);
  log.Flush();
  std::filesystem::remove(dir.path() / kReadLogFileName);
  EXPECT_FALSE(log.LoadReadLog(dir.path()));
  EXPECT_TRUE(log.scripts().empty());

  // CR LF line ends, leading blanks, a key without ranges, malformed range
  // lines (traced, skipped) and text after the NUL.
  WriteLogFile(
      "  \\1 2\r\n\\bad\r\\3\r\\9 4\r\\-1 5\r\\99999999999 1\r\\4 6\r\nalpha\r\nbeta\r\\7 8\rgamma\r\0\\1 1\rjunk\r");
  ASSERT_TRUE(log.LoadReadLog(dir.path()));
  EXPECT_EQ(log.scripts().size(), 2u);
  EXPECT_EQ(log.scripts().at("alpha"), Set({{4, 6}, {1, 2}}));
  EXPECT_EQ(log.scripts().at("gamma"), Set({{7, 8}}));
  EXPECT_EQ(messages.size(), 5u);

  // Overlapping ranges in a hand-edited file come out merged.
  WriteLogFile(std::string("\\1 10\r\\5 20\rk\r", 14));
  ASSERT_TRUE(log.LoadReadLog(dir.path()));
  EXPECT_EQ(log.scripts().at("k"), Set({{1, 20}}));
}

}  // namespace
}  // namespace lyraban
