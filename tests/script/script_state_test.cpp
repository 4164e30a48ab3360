#include "script/script_state.h"

#include <gtest/gtest.h>

#include <cstring>

#include "interp_fixture.h"
#include "persist/save_archive.h"

namespace lyraban {
namespace {

using testing::InterpreterTest;
using Events = std::vector<std::string>;

class ScriptStateTest : public InterpreterTest {
 protected:
  // Reading archive over what `writer` holds.
  static SaveArchive Reopen(const SaveArchive& writer) {
    SaveArchive reader;
    reader.OpenForReading(writer.bytes());
    return reader;
  }
  template <class T>
  static T Value(const SaveArchive& reader, const std::string& key) {
    SaveArchive copy = Reopen(reader);
    T value{};
    EXPECT_TRUE(copy.Exchange(key, value)) << key;
    return value;
  }
};

TEST_F(ScriptStateTest, SaveTwoCallsDeepRestoresTheChainInnermostFirst) {
  Script("start.txt", {"hello", ".CALL a.txt", ".rootAfter"});
  Script("a.txt", {".SELECT", "X", "Y", ".CASE 9", ".ENDSEL", ".CALL b.txt", ".aAfter"});
  Script("b.txt", {"line", ".", ".save", ".bAfter"});
  SaveArchive saved;
  bool once = true;
  tags.hook = [&](std::string_view keyword, std::string_view) {
    if (keyword == "save" && once) {
      once = false;
      interp.ChapterDate = "4/1";
      interp.ChapterName = "第一章";
      SerializeScriptState(interp, saved);
    }
    return true;
  };
  host.answer = 2;
  ASSERT_TRUE(RunFresh());

  SaveArchive check = Reopen(saved);
  EXPECT_EQ(Value<u32>(check, "StackCount"), 3u);
  std::string name;
  ASSERT_TRUE(check.ExchangeString("Name2", name));
  EXPECT_EQ(name, "b.txt");
  EXPECT_EQ(Value<u32>(check, "Line0"), 2u);  // after the CALL
  EXPECT_EQ(Value<u32>(check, "Line1"), 6u);
  EXPECT_EQ(Value<u32>(check, "Line2"), 2u);  // after the page break
  EXPECT_EQ(Value<i32>(check, "CaseID1"), 2);
  EXPECT_EQ(Value<u8>(check, "CaseEnable1"), 1);
  EXPECT_EQ(Value<u8>(check, "CaseEnable0"), 0);
  EXPECT_FALSE(check.Contains("Name3"));

  // Load into a fresh state: the running chain unwinds, the next run resumes.
  tags.calls.clear();
  interp.ChapterDate.clear();
  interp.ChapterName.clear();
  SaveArchive reader = Reopen(saved);
  SerializeScriptState(interp, reader);
  EXPECT_TRUE(interp.RestartRequested);
  EXPECT_EQ(interp.ChapterDate, "4/1");
  EXPECT_EQ(interp.ChapterName, "第一章");
  ASSERT_EQ(interp.PendingRestore.size(), 3u);
  EXPECT_EQ(interp.PendingRestore[1], (CallFrame{"a.txt", 6, 2, true}));
  ASSERT_TRUE(RunStep());
  EXPECT_EQ(tags.calls, (Events{"save()", "bAfter()", "aAfter()", "rootAfter()"}));
}

TEST_F(ScriptStateTest, ModeIsRestoredBeforeTheFirstLine) {
  Script("start.txt", {".x"});
  interp.ScriptMode = kModeNovel;
  interp.RootProgram.Load("start.txt");
  SaveArchive saved;
  SerializeScriptState(interp, saved);
  EXPECT_EQ(Value<u8>(saved, "ScriptMode"), kModeNovel);

  interp.ScriptMode = kModeAdv;
  SaveArchive reader = Reopen(saved);
  SerializeScriptState(interp, reader);
  EXPECT_EQ(interp.ScriptMode, kModeNovel);
  host.events.clear();
  ASSERT_TRUE(RunStep());
  EXPECT_EQ(host.Only("mode"), (Events{"mode:1"}));
}

TEST_F(ScriptStateTest, PlayTimeDropsTheRunningFractionAtSaveAndLoad) {
  interp.SetPlayMinutes(10);
  clock.Advance(2 * 60000 + 59000);
  SaveArchive saved;
  SerializeScriptState(interp, saved);
  EXPECT_EQ(Value<u32>(saved, "PlayTime"), 12u);
  // The 59 s were folded away, so one more second does not make 13.
  clock.Advance(1000);
  EXPECT_EQ(interp.GetPlayMinutes(), 12u);

  clock.Advance(30000);
  SaveArchive reader = Reopen(saved);
  SerializeScriptState(interp, reader);
  EXPECT_EQ(interp.GetPlayMinutes(), 12u);
  clock.Advance(59999);
  EXPECT_EQ(interp.GetPlayMinutes(), 12u);
  clock.Advance(1);
  EXPECT_EQ(interp.GetPlayMinutes(), 13u);
}

TEST_F(ScriptStateTest, MissingOrMissizedEntriesKeepCurrentValues) {
  SaveArchive writer;
  writer.ExchangeString("ChapterName", interp.ChapterName = "kept?");
  u32 wideMode = 1;
  writer.Exchange("ScriptMode", wideMode);  // 4 bytes where 1 belongs
  u16 shortTime = 99;
  writer.Exchange("PlayTime", shortTime);
  interp.ChapterName = "before";
  interp.ChapterDate = "date";
  interp.ScriptMode = kModeDemo;
  interp.SetPlayMinutes(5);
  SaveArchive reader = Reopen(writer);
  SerializeScriptState(interp, reader);
  EXPECT_EQ(interp.ChapterName, "kept?");
  EXPECT_EQ(interp.ChapterDate, "date");
  EXPECT_EQ(interp.ScriptMode, kModeDemo);
  EXPECT_EQ(interp.GetPlayMinutes(), 5u);
  // Without a count no frame is queued: the next run starts afresh.
  EXPECT_TRUE(interp.RestartRequested);
  EXPECT_TRUE(interp.PendingRestore.empty());
}

TEST_F(ScriptStateTest, LoadingDiscardsAnEarlierPendingRestore) {
  interp.RequestRestore({{"x.txt", 1, 0, false}, {"y.txt", 2, 0, false}});
  SaveArchive writer;
  u32 count = 1;
  writer.Exchange("StackCount", count);
  SaveArchive reader = Reopen(writer);
  SerializeScriptState(interp, reader);
  // Frame 0 has no entries: it keeps its empty defaults.
  EXPECT_EQ(interp.PendingRestore, (std::vector<CallFrame>{CallFrame{}}));
}

TEST_F(ScriptStateTest, LyingStackCountIsBounded) {
  SaveArchive writer;
  u32 count = 0xFFFFFFFFu;
  writer.Exchange("StackCount", count);
  std::string name = "start.txt";
  writer.ExchangeString("Name0", name);
  SaveArchive reader = Reopen(writer);
  SerializeScriptState(interp, reader);
  EXPECT_EQ(interp.PendingRestore.size(), Interpreter::kMaxCallDepth + 1);
  EXPECT_EQ(interp.PendingRestore[0].Name, "start.txt");

  // The rebuilt chain of empty programs ends without overflowing anything.
  Script("start.txt", {".x"});
  ASSERT_TRUE(RunStep());
  EXPECT_EQ(tags.calls, (Events{"x()"}));
}

}  // namespace
}  // namespace lyraban
