#include "script/interpreter.h"

#include <gtest/gtest.h>

#include "interp_fixture.h"

namespace lyraban {
namespace {

using testing::InterpreterTest;
using Events = std::vector<std::string>;

// --- text blocks -----------------------------------------------------------

TEST_F(InterpreterTest, TextLinesJoinIntoOneBlockHandedOverBeforeTheNextCommand) {
  Script("start.txt", {"Aya:one", "two", "three", ".wait 500", "alone", "", "x", "; c", "y"});
  ASSERT_TRUE(RunFresh());
  ASSERT_EQ(host.shown.size(), 3u);
  EXPECT_EQ(host.shown[0].text, "Aya:one/two/three");
  EXPECT_EQ(host.shown[1].text, "alone");
  EXPECT_EQ(host.shown[2].text, "x");
  // "y" is never shown: no line follows it to flush it.
  EXPECT_EQ(tags.calls, (Events{"wait(500)"}));
  // The program was cleared at its end, pending text included.
  EXPECT_TRUE(interp.RootProgram.Name.empty());
  EXPECT_TRUE(interp.RootProgram.PendingText.empty());
}

TEST_F(InterpreterTest, TextIsHandedOverBeforeTheTagThatEndsIt) {
  Script("start.txt", {"a", "b", "c", ".wait 500"});
  tags.hook = [&](std::string_view, std::string_view) {
    EXPECT_EQ(host.shown.size(), 1u);
    return true;
  };
  ASSERT_TRUE(RunFresh());
  ASSERT_EQ(host.shown.size(), 1u);
  EXPECT_EQ(host.shown[0].text, "a/b/c");
}

TEST_F(InterpreterTest, UnreadTextStopsSkipUnlessAllTextMaySkip) {
  Script("start.txt", {"first", "", "#loop", "seen twice", "?n = n + 1", ".IF n < 2", ".GOTO loop"});
  host.skipping = true;
  ASSERT_TRUE(RunFresh());
  ASSERT_EQ(host.shown.size(), 3u);
  EXPECT_FALSE(host.shown[0].read);
  EXPECT_FALSE(host.shown[1].read);
  // The GOTO committed the stretch, so the second pass counts as read.
  EXPECT_TRUE(host.shown[2].read);
  EXPECT_EQ(host.Only("run-normal").size(), 1u);

  host.events.clear();
  host.skipping = true;
  host.skipAll = true;
  Script("start.txt", {"new text", ""});
  ASSERT_TRUE(RunFresh());
  EXPECT_TRUE(host.Only("run-normal").empty());
  EXPECT_TRUE(host.skipping);
}

TEST_F(InterpreterTest, CommandsAndAssignmentsDoNothingOnceARestartIsRequested) {
  Script("start.txt", {"words", "?a = 5", "again", ".tag", "after"});
  host.onText = [&] { interp.RequestGameRestart(); };
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(Flag("a"), 0);
  EXPECT_TRUE(tags.calls.empty());
  // The run unwound at the next line and kept its program.
  EXPECT_EQ(interp.RootProgram.Name, "start.txt");
  EXPECT_EQ(interp.RootProgram.NextLine, 2u);
}

// --- save points -------------------------------------------------------------

TEST_F(InterpreterTest, ResumeLineMovesOnlyAtTheMomentsOfTheMode) {
  std::vector<u32> probes;
  tags.hook = [&](std::string_view keyword, std::string_view) {
    if (keyword == "probe") probes.push_back(interp.RootProgram.ResumeLine);
    if (keyword == "novel") interp.SetMessageMode(kModeNovel);
    return true;
  };
  Script("start.txt", {
                          "t1",      // 0
                          "t2",      // 1
                          ".probe",  // 2: block ended here -> 2
                          ".novel",  // 3
                          "t3",      // 4
                          ".probe",  // 5: novel keeps 2
                          ".",       // 6: page break -> 7
                          ".probe",  // 7
                          "...",     // 8: -> 8
                          ".probe",  // 9
                          "#lbl",    // 10
                          ".IF n < 1",
                          "{",
                          "?n = 1",
                          ".GOTO #lbl",  // -> 11
                          "}",
                          ".probe",
                      });
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(probes, (std::vector<u32>{2, 2, 7, 8, 11}));
  // In novel mode the text block marks no backlog page; the breaks do.
  EXPECT_EQ(host.Only("backlog").size(), 3u);
}

TEST_F(InterpreterTest, HiddenModesDropTextButStillMoveTheSavePoint) {
  std::vector<u32> probes;
  tags.hook = [&](std::string_view keyword, std::string_view) {
    if (keyword == "probe") probes.push_back(interp.RootProgram.ResumeLine);
    return true;
  };
  interp.ScriptMode = kModeNovel2;
  Script("start.txt", {"t", ".probe"});
  ASSERT_TRUE(RunFresh());
  interp.ScriptMode = kModeSystem;
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(probes, (std::vector<u32>{0, 1}));
  ASSERT_EQ(host.shown.size(), 2u);
  EXPECT_EQ(host.shown[0].mode, kModeNovel2);
  EXPECT_EQ(host.shown[1].mode, kModeSystem);
}

// --- IF / ELSE ---------------------------------------------------------------

TEST_F(InterpreterTest, FalseIfSkipsOneLineOrAWholeNestedBlock) {
  Script("start.txt", {".IF zero", ".skipped", ".ranA", ".IF 0", "{", ".s", "{", ".s", "{ x", "}", "}", ".s", "}",
                       ".ranB", ".if 1", ".ranC", ".IF", ".s", ".ranD"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(tags.calls, (Events{"ranA()", "ranB()", "ranC()", "ranD()"}));
  EXPECT_TRUE(traces.empty());
}

TEST_F(InterpreterTest, HugeScriptWithDeeplyNestedBlocksRuns) {
  // Block skipping counts braces instead of recursing, so any depth is fine.
  constexpr int kDepth = 200000;
  std::string text = ".IF 0\r\n";
  for (int i = 0; i < kDepth; ++i) text += "{\r\n.never\r\n";
  for (int i = 0; i < kDepth; ++i) text += "}\r\n";
  text += ".ELSE\r\n.after\r\n";
  dir.Write("data/script/start.txt", text);
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(tags.calls, (Events{"after()"}));
  EXPECT_TRUE(traces.empty());
}

TEST_F(InterpreterTest, ElseRunsOnlyWhenTheIfWasFalse) {
  Script("start.txt", {".IF 0", "{", ".thenA", "}", ".ELSE", "{", ".elseA", "}", ".IF 1", "{", ".thenB", "}", ".else",
                       "{", ".elseB", "}", ".end"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(tags.calls, (Events{"elseA()", "thenB()", "end()"}));
}

TEST_F(InterpreterTest, ElseWithATrailingBlankIsNotSeenByTheLookAhead) {
  Script("start.txt", {".IF 0", ".then", ".ELSE ", ".else", ".end"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(tags.calls, (Events{"end()"}));
}

// A line that fails after moving the position is reported at the number the
// position had reached: for a skip past the end, the number of lines.
TEST_F(InterpreterTest, IfRunningPastTheEndFailsItsLine) {
  Script("start.txt", {".ok", ".IF 0", "{", ".never"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(traces, (Events{"エラー（start.txt:4）"}));
  // The look-ahead after a skipped last line fails too.
  traces.clear();
  Script("start.txt", {".IF 0", ".never"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(traces, (Events{"エラー（start.txt:2）"}));
}

// --- GOTO --------------------------------------------------------------------

TEST_F(InterpreterTest, GotoFindsTheFirstLabelWithOrWithoutHash) {
  Script("start.txt", {".GOTO #x", ".never", "#x", ".one", "?n = n + 1", ".IF n < 2", ".goto x", ".GOTO y", ".never",
                       "#x", ".never", "#y ", ".never", "#y", ".end"});
  ASSERT_TRUE(RunFresh());
  // The label "#y " with a trailing blank is not "y".
  EXPECT_EQ(tags.calls, (Events{"one()", "one()", "end()"}));
}

TEST_F(InterpreterTest, GotoToAMissingLabelFailsAndGoesOn) {
  Script("start.txt", {".a", ".GOTO nowhere", ".b"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(tags.calls, (Events{"a()", "b()"}));
  EXPECT_EQ(traces, (Events{"エラー（start.txt:2）"}));
}

// --- failures ------------------------------------------------------------------

TEST_F(InterpreterTest, FailedLinesAreTracedWithOneBasedNumbersAndSkipped) {
  Script("start.txt", {";", "text", ".fail", "?noequals", ".ok", ".fail 2"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(traces, (Events{"エラー（start.txt:3）", "エラー（start.txt:4）", "エラー（start.txt:6）"}));
  EXPECT_EQ(host.inputPumps, 3u);
  EXPECT_EQ(tags.calls.back(), "fail(2)");
}

TEST_F(InterpreterTest, QuitClosesAndEndsTheRunWithoutATrace) {
  Script("start.txt", {".a", ".QUIT", ".b"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(host.Only("close").size(), 1u);
  EXPECT_EQ(tags.calls, (Events{"a()"}));
  EXPECT_TRUE(traces.empty());
}

// --- SELECT / CASE -------------------------------------------------------------

TEST_F(InterpreterTest, ChoicesKeepTheirNumbersWhenConditionsHideThem) {
  Script("start.txt",
         {".SELECT", "Left",      "",  "; not a choice",   "Middle zero", "Right 1", ".CASE 1", "{",      ".left",
          "}",       ".CASE 2 3", "{", ".middle_or_right", "}",           ".CASE 3", "{",       ".again", "}",
          ".ENDSEL", ".after"});
  host.answer = 3;
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(host.Only("choice"), (Events{"choices", "choice:1:Left", "choice:3:Right"}));
  EXPECT_EQ(tags.calls, (Events{"middle_or_right()", "after()"}));
  EXPECT_EQ(interp.RootProgram.Name, "");
}

TEST_F(InterpreterTest, CaseMatchesAnyListedNumberOnce) {
  Script("start.txt",
         {".select", "A", "B", "..case 1", ".one", ".CASE 2", ".two", ".CASE 2", ".two_again", ".ENDSEL", ".after"});
  host.answer = 2;
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(tags.calls, (Events{"two()", "after()"}));

  tags.calls.clear();
  host.answer = 7;  // nothing matches: every case is skipped
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(tags.calls, (Events{"after()"}));
}

TEST_F(InterpreterTest, CaseNumbersStopAtTheFirstNonDigit) {
  Script("start.txt",
         {".SELECT", "A", "B", "C", ".CASE 1x 3", ".wrong", ".CASE", ".never", ".CASE  2\t3", ".right", ".ENDSEL"});
  host.answer = 3;
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(tags.calls, (Events{"right()"}));
}

TEST_F(InterpreterTest, SelectWhoseChoicesRunPastTheEndFailsWithoutAMenu) {
  Script("start.txt", {".SELECT", "A", "B"});
  ASSERT_TRUE(RunFresh());
  EXPECT_TRUE(host.Only("run-choice").empty());
  EXPECT_EQ(traces, (Events{"エラー（start.txt:3）"}));
}

TEST_F(InterpreterTest, CaseSkipRunningPastTheEndFails) {
  Script("start.txt", {".SELECT", "A", ".CASE 2", "{", ".x"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(traces, (Events{"エラー（start.txt:5）"}));
}

TEST_F(InterpreterTest, SelectInNovelModeSwitchesToAdv) {
  Script("start.txt", {".SELECT", "A", ".CASE 1", ".ENDSEL"});
  interp.ScriptMode = kModeNovel;
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(interp.ScriptMode, kModeAdv);
  EXPECT_EQ(host.Only("mode"), (Events{"mode:0"}));
}

TEST_F(InterpreterTest, MapSelectionOffersPlacesWithConditions) {
  Script("start.txt", {".SELECT town extra", "i1 home", "i2 shop zero", "i3 park 1 zero", "i4 sea 1 1", ".CASE 4",
                       ".sea", ".ENDSEL"});
  host.mapAvailable = true;
  host.answer = 4;
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(host.Only("place"), (Events{"place:1:i1:home:on", "place:3:i3:park:off", "place:4:i4:sea:on"}));
  EXPECT_EQ(host.Only("run-"), (Events{"run-map"}));
  EXPECT_EQ(host.Only("map"), (Events{"map:town"}));
  EXPECT_EQ(tags.calls, (Events{"sea()"}));
}

TEST_F(InterpreterTest, UnpreparedMapFallsBackToOrdinaryChoices) {
  Script("start.txt", {".SELECT town", "i1 1", "i2 zero", ".CASE 1", ".ENDSEL"});
  host.mapAvailable = false;
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(host.Only("choice"), (Events{"choices", "choice:1:i1"}));
  EXPECT_EQ(host.Only("run-"), (Events{"run-choice"}));
}

// --- CALL / LOAD / EXIT ------------------------------------------------------

TEST_F(InterpreterTest, CalledScriptReturnsToItsCaller) {
  Script("start.txt", {".a", ".CALL sub.txt", ".b", ".CALL missing.txt", ".c"});
  Script("sub.txt", {".in", ".EXIT", ".never"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(tags.calls, (Events{"a()", "in()", "b()", "c()"}));
  // A missing callee is not a failed line.
  EXPECT_FALSE(HasTrace("エラー（"));
  EXPECT_EQ(readLog.currentKey(), "start");
}

TEST_F(InterpreterTest, LoadReplacesTheRunningScriptAndKeepsTheChain) {
  Script("start.txt", {".CALL sub.txt", ".back"});
  Script("sub.txt", {".sub", ".LOAD other.txt", ".never"});
  Script("other.txt", {".other", ".LOAD gone.txt", ".never"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(tags.calls, (Events{"sub()", "other()", "back()"}));
  // The failed load left the program cleared, nameless and at line 0.
  EXPECT_TRUE(HasTrace("エラー（:0）"));
}

TEST_F(InterpreterTest, SelfRecursiveCallStopsAtTheDepthBound) {
  Script("start.txt", {".CALL rec.txt", ".done"});
  Script("rec.txt", {"?depth = depth + 1", ".CALL rec.txt"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(Flag("depth"), static_cast<i32>(Interpreter::kMaxCallDepth));
  EXPECT_EQ(tags.calls, (Events{"done()"}));
  EXPECT_EQ(interp.CallDepth(), 0u);
  int deep = 0;
  for (const std::string& t : traces) deep += t.find("CALL") != std::string::npos;
  EXPECT_EQ(deep, 1);
  EXPECT_TRUE(HasTrace("エラー（rec.txt:2）"));
}

// --- runs, restarts, restores ---------------------------------------------------

TEST_F(InterpreterTest, EndOfScenarioStartsOverFromStart) {
  Script("start.txt", {".date x", ".LOAD end.txt"});
  Script("end.txt", {".end"});
  ASSERT_TRUE(RunFresh());
  ASSERT_TRUE(RunStep());
  EXPECT_EQ(tags.calls, (Events{"date(x)", "end()", "date(x)", "end()"}));
  // Each fresh run rebuilds the caption and clears the page first.
  EXPECT_EQ(host.Only("caption").size(), 2u);
}

TEST_F(InterpreterTest, MissingStartScriptEndsTheGame) {
  Script("other.txt", {".x"});
  EXPECT_FALSE(RunFresh());
}

TEST_F(InterpreterTest, FreshStartClearsChapterTexts) {
  Script("start.txt", {".x"});
  interp.ChapterDate = "d";
  interp.ChapterName = "n";
  ASSERT_TRUE(RunFresh());
  EXPECT_TRUE(interp.ChapterDate.empty());
  EXPECT_TRUE(interp.ChapterName.empty());
}

TEST_F(InterpreterTest, RestartUnwindsEveryCalledProgram) {
  Script("start.txt", {".CALL a.txt", ".never_root"});
  Script("a.txt", {".CALL b.txt", ".never_a"});
  Script("b.txt", {".title", ".never_b"});
  tags.hook = [&](std::string_view keyword, std::string_view) {
    if (keyword == "title") interp.RequestGameRestart();
    return true;
  };
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(tags.calls, (Events{"title()"}));
  EXPECT_EQ(interp.RootProgram.Child, nullptr);
}

TEST_F(InterpreterTest, RestoredChainResumesInnermostFirst) {
  Script("start.txt", {".root", ".CALL a.txt", ".after_a"});
  Script("a.txt", {".in_a", ".CALL b.txt", ".after_b"});
  Script("b.txt", {".bZero", ".bOne", ".bTwo"});
  interp.ScriptMode = kModeNovel;
  interp.RequestRestore({{"start.txt", 2, 0, false}, {"a.txt", 2, 5, true}, {"b.txt", 1, 0, false}});
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
  ASSERT_FALSE(host.events.empty());
  EXPECT_EQ(host.events[0], "caption");
  EXPECT_EQ(host.events[1], "mode:1");
  EXPECT_EQ(host.events[2], "clear");
}

TEST_F(InterpreterTest, RestoredFrameWithAMissingScriptIsSkipped) {
  Script("start.txt", {".root", ".CALL gone.txt", ".after"});
  interp.RequestRestore({{"start.txt", 2, 0, false}, {"gone.txt", 7, 0, false}});
  ASSERT_TRUE(RunStep());
  EXPECT_EQ(tags.calls, (Events{"after()"}));
}

TEST_F(InterpreterTest, ReturnToTitleDiscardsAPendingRestore) {
  Script("start.txt", {".title"});
  Script("b.txt", {".b"});
  interp.RequestRestore({{"b.txt", 0, 0, false}});
  interp.RequestGameRestart();
  ASSERT_TRUE(RunStep());
  EXPECT_EQ(tags.calls, (Events{"title()"}));
}

TEST_F(InterpreterTest, PlayMinutesCountWholeMinutesAcrossTheClockWrap) {
  platform::VirtualClock wrapping(0xFFFFFFFFu - 30000);
  Interpreter other(resources, readLog, flags, tags, host, wrapping, trace);
  other.SetPlayMinutes(7);
  wrapping.Advance(59999);
  EXPECT_EQ(other.GetPlayMinutes(), 7u);
  wrapping.Advance(2);
  EXPECT_EQ(other.GetPlayMinutes(), 8u);
  wrapping.Advance(120000);
  EXPECT_EQ(other.GetPlayMinutes(), 10u);
}

}  // namespace
}  // namespace lyraban
