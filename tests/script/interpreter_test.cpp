#include "script/interpreter.h"

#include <gtest/gtest.h>

#include "interp_fixture.h"

namespace lyraban {
namespace {

using testing::Events;
using testing::InterpreterTest;

// Control flow whose whole effect shows in the tag calls and the traced
// failures (a failed line is reported 1-based at the position reached).
struct FlowCase {
  const char* name;
  std::vector<std::string_view> lines;
  i32 answer;
  Events calls, traces;
};

TEST_F(InterpreterTest, ControlFlowTable) {
  const std::string err = "エラー（start.txt:";
  // clang-format off
  const FlowCase cases[] = {
    {"if skips one line or a nested block", {".IF zero", ".no", ".ranA", ".IF 0", "{", ".no", "{", ".no", "{ x", "}", "}",
      ".no", "}", ".ranB", ".if 1", ".ranC", ".IF", ".no", ".ranD"}, 1, {"ranA()", "ranB()", "ranC()", "ranD()"}, {}},
    {"else only after a false if", {".IF 0", "{", ".no", "}", ".ELSE", "{", ".elseA", "}", ".IF 1", "{", ".thenB", "}",
      ".else", "{", ".no", "}", ".end"}, 1, {"elseA()", "thenB()", "end()"}, {}},
    {"else with a blank is not looked ahead", {".IF 0", ".no", ".ELSE ", ".no", ".end"}, 1, {"end()"}, {}},
    {"if skipping past the end", {".ok", ".IF 0", "{", ".no"}, 1, {"ok()"}, {err + "4）"}},
    {"look-ahead past the end", {".IF 0", ".no"}, 1, {}, {err + "2）"}},
    {"goto finds the first exact label", {".GOTO #x", ".no", "#x", ".one", "?n = n + 1", ".IF n < 2", ".goto x",
      ".GOTO y", ".no", "#x", ".no", "#y ", ".no", "#y", ".end"}, 1, {"one()", "one()", "end()"}, {}},
    {"goto to a missing label fails", {".a", ".GOTO nowhere", ".b"}, 1, {"a()", "b()"}, {err + "2）"}},
    {"failed lines are traced and skipped", {";", "text", ".fail", "?noequals", ".ok", ".fail 2"}, 1,
      {"fail()", "ok()", "fail(2)"}, {err + "3）", err + "4）", err + "6）"}},
    {"quit ends the run untraced", {".a", ".QUIT", ".b"}, 1, {"a()"}, {}},
    {"case matches once", {".select", "A", "B", "..case 1", ".no", ".CASE 2", ".two", ".CASE 2", ".no", ".ENDSEL",
      ".after"}, 2, {"two()", "after()"}, {}},
    {"no case matches", {".SELECT", "A", ".CASE 1", ".no", ".ENDSEL", ".after"}, 7, {"after()"}, {}},
    {"case numbers stop at a non-digit", {".SELECT", "A", "B", "C", ".CASE 1x 3", ".no", ".CASE", ".no",
      ".CASE  2\t3", ".right", ".ENDSEL"}, 3, {"right()"}, {}},
    {"select running past the end", {".SELECT", "A", "B"}, 1, {}, {err + "3）"}},
    {"case skip running past the end", {".SELECT", "A", ".CASE 2", "{", ".x"}, 1, {}, {err + "5）"}},
  };
  // clang-format on
  for (const FlowCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text;
    for (std::string_view line : c.lines) text.append(line).append("\r\n");
    dir.Write("data/script/start.txt", text);
    tags.calls.clear();
    traces.clear();
    host.quit = false;
    host.answer = c.answer;
    ASSERT_TRUE(RunFresh());
    EXPECT_EQ(tags.calls, c.calls);
    EXPECT_EQ(traces, c.traces);
  }
}

TEST_F(InterpreterTest, TextBlocksJoinAndAreHandedOverBeforeTheLineThatEndsThem) {
  Script("start.txt", {"Aya:one", "two", ".wait 500", "alone", "", "x", "; c", "y"});
  tags.hook = [&](std::string_view, std::string_view) { return host.shown.size() == 1; };
  ASSERT_TRUE(RunFresh());
  ASSERT_EQ(host.shown.size(), 3u);
  EXPECT_EQ(host.shown[0].text + "|" + host.shown[1].text + "|" + host.shown[2].text, "Aya:one/two|alone|x");
  EXPECT_TRUE(traces.empty());                          // the tag saw its text already shown
  EXPECT_TRUE(interp.RootProgram.PendingText.empty());  // "y" is dropped with the program
}

TEST_F(InterpreterTest, UnreadTextStopsSkipUnlessAllTextMaySkip) {
  Script("start.txt", {"first", "", "#loop", "twice", "?n = n + 1", ".IF n < 2", ".GOTO loop"});
  host.skipping = true;
  ASSERT_TRUE(RunFresh());
  ASSERT_EQ(host.shown.size(), 3u);
  // The GOTO committed the stretch, so the second pass counts as read.
  EXPECT_FALSE(host.shown[0].read || host.shown[1].read);
  EXPECT_TRUE(host.shown[2].read);
  EXPECT_EQ(host.Only("run-normal").size(), 1u);

  host.skipping = host.skipAll = true;
  Script("start.txt", {"new text", ""});
  ASSERT_TRUE(RunFresh());
  EXPECT_TRUE(host.skipping);
}

TEST_F(InterpreterTest, LinesDoNothingOnceARestartIsRequested) {
  Script("start.txt", {"words", "?a = 5", "again", ".tag", "after"});
  host.onText = [&] { interp.RequestGameRestart(); };
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(flags.GetFlag("a"), 0);
  EXPECT_TRUE(tags.calls.empty());
  EXPECT_EQ(interp.RootProgram.NextLine, 2u);  // unwound at once, program kept
}

TEST_F(InterpreterTest, ResumeLineMovesOnlyAtTheMomentsOfTheMode) {
  std::vector<u32> probes;
  ProbeResumeLines(probes);
  Script("start.txt", {"t1", "t2", ".probe", ".novel", "t3", ".probe", ".", ".probe", "...", ".probe", "#lbl",
                       ".IF n < 1", "{", "?n = 1", ".GOTO #lbl", "}", ".probe"});
  ASSERT_TRUE(RunFresh());
  // Text ends at line 2; novel text keeps it; "." resumes after itself,
  // "..." at itself; GOTO at the label's next line.
  EXPECT_EQ(probes, (std::vector<u32>{2, 2, 7, 8, 11}));
  EXPECT_EQ(host.Only("backlog").size(), 3u);  // novel text marks no page

  probes.clear();
  interp.ScriptMode = kModeSystem;  // a hidden mode still moves the save point
  Script("start.txt", {"t", ".probe"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(probes, (std::vector<u32>{1}));
  EXPECT_EQ(host.shown.back().mode, kModeSystem);
}

TEST_F(InterpreterTest, HugeNestedBlockIsSkippedWithoutRecursion) {
  std::string text = ".IF 0\r\n";
  for (int i = 0; i < 200000; ++i) text += "{\r\n.never\r\n";
  for (int i = 0; i < 200000; ++i) text += "}\r\n";
  dir.Write("data/script/start.txt", text + ".ELSE\r\n.after\r\n");
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(tags.calls, (Events{"after()"}));
}

TEST_F(InterpreterTest, ChoicesKeepTheirNumbersWhenHiddenAndNovelTurnsAdv) {
  Script("start.txt", {".SELECT", "Left", "", "; no", "Middle zero", "Right 1", ".CASE 3", ".right", ".ENDSEL"});
  interp.ScriptMode = kModeNovel;
  host.answer = 3;
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(host.Only("choice"), (Events{"choices", "choice:1:Left", "choice:3:Right"}));
  EXPECT_EQ(tags.calls, (Events{"right()"}));
  EXPECT_EQ(host.Only("mode"), (Events{"mode:0"}));
}

TEST_F(InterpreterTest, MapSelectionOrFallbackToChoices) {
  Script("start.txt", {".SELECT town extra", "i1 home", "i2 shop zero", "i3 park 1 zero", "i4 sea 1 1", ".CASE 4",
                       ".sea", ".ENDSEL"});
  host.mapAvailable = true;
  host.answer = 4;
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(host.Only("place"), (Events{"place:1:i1:home:on", "place:3:i3:park:off", "place:4:i4:sea:on"}));
  EXPECT_EQ(host.Only("run-"), (Events{"run-map"}));
  EXPECT_EQ(host.Only("map"), (Events{"map:town"}));
  EXPECT_EQ(tags.calls, (Events{"sea()"}));

  host.events.clear();
  host.mapAvailable = false;
  Script("start.txt", {".SELECT town", "i1 1", "i2 zero", ".CASE 1", ".ENDSEL"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(host.Only("choice"), (Events{"choices", "choice:1:i1"}));
}

TEST_F(InterpreterTest, CallReturnsLoadReplacesExitEnds) {
  Script("start.txt", {".a", ".CALL sub.txt", ".b", ".CALL missing.txt", ".c"});
  Script("sub.txt", {".in", ".LOAD other.txt", ".never"});
  Script("other.txt", {".other", ".EXIT", ".never"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(tags.calls, (Events{"a()", "in()", "other()", "b()", "c()"}));
  for (const std::string& t : traces) EXPECT_FALSE(t.starts_with("エラー（")) << t;  // a missing callee is no failure
  EXPECT_EQ(readLog.currentKey(), "start");

  Script("start.txt", {".LOAD gone.txt", ".never"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(traces.back(), "エラー（:0）");  // the failed load left the program cleared
}

TEST_F(InterpreterTest, SelfRecursiveCallStopsAtTheDepthBound) {
  Script("start.txt", {".CALL rec.txt", ".done"});
  Script("rec.txt", {"?depth = depth + 1", ".CALL rec.txt"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(flags.GetFlag("depth"), static_cast<i32>(Interpreter::kMaxCallDepth));
  EXPECT_EQ(tags.calls, (Events{"done()"}));
  EXPECT_EQ(interp.CallDepth(), 0u);
  ASSERT_EQ(traces.size(), 2u);  // the bound, then the failed CALL line
  EXPECT_EQ(traces[1], "エラー（rec.txt:2）");
}

TEST_F(InterpreterTest, RunsStartOverAndRestartsUnwindEveryCall) {
  Script("start.txt", {".date", ".CALL a.txt", ".never"});
  Script("a.txt", {".CALL b.txt", ".never"});
  Script("b.txt", {".title", ".never"});
  interp.ChapterName = "stale";
  tags.hook = [&](std::string_view keyword, std::string_view) {
    if (keyword == "title") interp.RequestGameRestart();
    return true;
  };
  ASSERT_TRUE(RunFresh());
  ASSERT_TRUE(RunStep());
  EXPECT_EQ(tags.calls, (Events{"date()", "title()", "date()", "title()"}));
  EXPECT_EQ(host.events, (Events{"caption", "clear", "caption", "clear"}));
  EXPECT_EQ(interp.RootProgram.Child, nullptr);
  EXPECT_TRUE(interp.ChapterName.empty());

  std::filesystem::remove(dir.path() / "data/script/start.txt");
  EXPECT_FALSE(RunFresh());
}

TEST_F(InterpreterTest, RestoredChainResumesInnermostFirst) {
  Script("start.txt", {".root", ".CALL a.txt", ".after_a"});
  Script("a.txt", {".in_a", ".CALL gone.txt", ".CALL b.txt", ".after_b"});
  Script("b.txt", {".bZero", ".bOne", ".bTwo"});
  interp.ScriptMode = kModeNovel;
  // A frame whose script is gone ends at once and its caller goes on.
  interp.RequestRestore({{"start.txt", 2, 0, false}, {"a.txt", 3, 5, true}, {"b.txt", 1, 0, false}, {"gone.txt", 7}});
  std::vector<i32> caseIds;
  tags.hook = [&](std::string_view keyword, std::string_view) {
    if (keyword == "after_b") caseIds.push_back(interp.RootProgram.Child->CaseID);
    return true;
  };
  ASSERT_TRUE(RunStep());
  EXPECT_EQ(tags.calls, (Events{"bOne()", "bTwo()", "after_b()", "after_a()"}));
  EXPECT_EQ(caseIds, (std::vector<i32>{5}));
  EXPECT_TRUE(interp.PendingRestore.empty());
  // The saved mode's layout is back before the first restored line.
  EXPECT_EQ(Events(host.events.begin(), host.events.begin() + 3), (Events{"caption", "mode:1", "clear"}));

  // Returning to the title discards a pending restore.
  interp.RequestRestore({{"b.txt", 0, 0, false}});
  interp.RequestGameRestart();
  tags.calls.clear();
  ASSERT_TRUE(RunStep());
  EXPECT_EQ(tags.calls, (Events{"root()", "in_a()", "bZero()", "bOne()", "bTwo()", "after_b()", "after_a()"}));
}

TEST_F(InterpreterTest, PlayMinutesCountWholeMinutesAcrossTheClockWrap) {
  platform::VirtualClock wrapping(0xFFFFFFFFu - 30000);
  Interpreter other(resources, readLog, flags, tags, host, wrapping, trace);
  other.SetPlayMinutes(7);
  std::vector<u32> minutes;
  for (u32 step : {59999u, 2u, 120000u}) {
    wrapping.Advance(step);
    minutes.push_back(other.GetPlayMinutes());
  }
  EXPECT_EQ(minutes, (std::vector<u32>{7, 8, 10}));
}

}  // namespace
}  // namespace lyraban
