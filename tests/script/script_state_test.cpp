#include "script/script_state.h"

#include <gtest/gtest.h>

#include "interp_fixture.h"
#include "persist/save_archive.h"

namespace lyraban {
namespace {

using testing::Events;
using testing::InterpreterTest;

// Serializes the state into a new archive and returns it opened for reading.
SaveArchive Saved(Interpreter& interp) {
  SaveArchive writer, reader;
  SerializeScriptState(interp, writer);
  reader.OpenForReading(writer.bytes());
  return reader;
}

template <class T>
T Value(SaveArchive& reader, const std::string& key) {
  T value{};
  EXPECT_TRUE(reader.Exchange(key, value)) << key;
  return value;
}

TEST_F(InterpreterTest, SaveTwoCallsDeepRestoresTheChainInnermostFirst) {
  Script("start.txt", {"hello", ".CALL a.txt", ".rootAfter"});
  Script("a.txt", {".SELECT", "X", "Y", ".CASE 9", ".ENDSEL", ".CALL b.txt", ".aAfter"});
  Script("b.txt", {"line", ".", ".save", ".bAfter"});
  SaveArchive saved;
  tags.hook = [&](std::string_view keyword, std::string_view) {
    if (keyword == "save" && saved.EntryCount() == 0) {
      interp.ChapterName = "第一章";
      interp.ScriptMode = kModeNovel;
      saved = Saved(interp);
    }
    return true;
  };
  host.answer = 2;
  ASSERT_TRUE(RunFresh());

  SaveArchive check = saved;
  std::string name;
  ASSERT_TRUE(check.ExchangeString("Name2", name));
  EXPECT_EQ(name, "b.txt");
  EXPECT_EQ(Value<u32>(check, "StackCount"), 3u);
  // Resume after the CALL, at the CALL, after the page break.
  EXPECT_EQ(Value<u32>(check, "Line0") * 100 + Value<u32>(check, "Line1") * 10 + Value<u32>(check, "Line2"), 262u);
  EXPECT_EQ(Value<i32>(check, "CaseID1"), 2);
  EXPECT_EQ(Value<u8>(check, "CaseEnable1") * 10 + Value<u8>(check, "CaseEnable0"), 10);
  EXPECT_EQ(Value<u8>(check, "ScriptMode"), kModeNovel);
  EXPECT_FALSE(check.Contains("Name3"));

  // Loading unwinds the running chain; the next run resumes the saved one.
  tags.calls.clear();
  interp.ChapterName.clear();
  interp.ScriptMode = kModeAdv;
  host.events.clear();
  SerializeScriptState(interp, saved);
  EXPECT_TRUE(interp.RestartRequested);
  EXPECT_EQ(interp.ChapterName, "第一章");
  ASSERT_EQ(interp.PendingRestore.size(), 3u);
  EXPECT_EQ(interp.PendingRestore[1], (CallFrame{"a.txt", 6, 2, true}));
  ASSERT_TRUE(RunStep());
  EXPECT_EQ(tags.calls, (Events{"save()", "bAfter()", "aAfter()", "rootAfter()"}));
  EXPECT_EQ(host.Only("mode"), (Events{"mode:1"}));
}

TEST_F(InterpreterTest, PlayTimeDropsTheRunningFractionAtSaveAndLoad) {
  interp.SetPlayMinutes(10);
  clock.Advance(2 * 60000 + 59000);
  SaveArchive saved = Saved(interp);
  EXPECT_EQ(Value<u32>(saved, "PlayTime"), 12u);
  clock.Advance(1000);  // the 59 s were folded away
  EXPECT_EQ(interp.GetPlayMinutes(), 12u);

  clock.Advance(30000);
  SerializeScriptState(interp, saved);
  clock.Advance(59999);
  EXPECT_EQ(interp.GetPlayMinutes(), 12u);
  clock.Advance(1);
  EXPECT_EQ(interp.GetPlayMinutes(), 13u);
}

TEST_F(InterpreterTest, DamagedStateKeepsCurrentValuesAndBoundsTheChain) {
  SaveArchive writer, reader;
  std::string name = "kept?", script = "start.txt";
  u32 wideMode = 1, count = 0xFFFFFFFFu;
  u16 shortTime = 99;
  writer.ExchangeString("ChapterName", name);
  writer.Exchange("ScriptMode", wideMode);  // 4 bytes where 1 belongs
  writer.Exchange("PlayTime", shortTime);
  writer.Exchange("StackCount", count);
  writer.ExchangeString("Name0", script);
  interp.ChapterDate = "date";
  interp.ScriptMode = kModeDemo;
  interp.SetPlayMinutes(5);
  interp.RequestRestore({{"x.txt", 1, 0, false}});
  reader.OpenForReading(writer.bytes());
  SerializeScriptState(interp, reader);
  EXPECT_EQ(interp.ChapterName + "|" + interp.ChapterDate, "kept?|date");
  EXPECT_EQ(interp.ScriptMode, kModeDemo);
  EXPECT_EQ(interp.GetPlayMinutes(), 5u);
  ASSERT_EQ(interp.PendingRestore.size(), Interpreter::kMaxCallDepth + 1);
  EXPECT_EQ(interp.PendingRestore[0], (CallFrame{"start.txt", 0, 0, false}));
  EXPECT_EQ(interp.PendingRestore[1], CallFrame{});

  // The chain of empty programs ends without overflowing anything.
  Script("start.txt", {".x"});
  ASSERT_TRUE(RunStep());
  EXPECT_EQ(tags.calls, (Events{"x()"}));

  // Without a count no frame is queued: the next run starts afresh.
  reader.OpenForReading("");
  SerializeScriptState(interp, reader);
  EXPECT_TRUE(interp.RestartRequested && interp.PendingRestore.empty());
}

}  // namespace
}  // namespace lyraban
