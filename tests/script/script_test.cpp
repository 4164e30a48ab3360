#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "persist/read_log.h"
#include "persist/save_archive.h"
#include "persist/save_data_file.h"
#include "persist/user_settings.h"
#include "platform/headless/virtual_clock.h"
#include "resources/resources.h"
#include "script/flags.h"
#include "script/interpreter.h"
#include "script/program.h"
#include "script/script_host.h"
#include "script/script_state.h"
#include "script/tag_runner.h"
#include "script/tags.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

namespace fs = std::filesystem;
using namespace std::literals;

TEST(LineModel, KindsCommandsAndSpeakers) {
  using enum LineKind;
  // clang-format off
  const std::pair<std::string_view, LineKind> kinds[] = {{"", Blank}, {std::string_view("\0x", 2), Blank},
      {"; n", Comment}, {"#s", Label}, {"{ x", BlockOpen}, {"}", BlockClose}, {"?c = 1", Assignment},
      {".bgm", Command}, {" .x", Text}};
  // {line, keyword|arguments}
  const std::string_view commands[][2] = {{".wait100", "wait|100"}, {"..CASE 1", "CASE|1"},
      {".bgm\t \tm01 noloop  ", "bgm|m01 noloop  "}, {".f(1, 2)", "f|(1, 2)"}, {".", "|"}, {"..", "|"},
      {"...", ".|"}, {".ELSE ", "ELSE|"}, {".GOTO#x", "GOTO#x|"}};
  // clang-format on
  for (auto [line, kind] : kinds) EXPECT_EQ(ClassifyLine(line), kind) << line;
  for (const auto& [line, parts] : commands)
    EXPECT_EQ(std::string(SplitCommand(line).keyword) + "|" + std::string(SplitCommand(line).arguments), parts);
  for (auto [block, speaker, words] : {std::tuple{"Aya:a/b:c", "Aya", "a/b:c"}, {":x", "", "x"}, {"a/b", "-", "a/b"}}) {
    const SpeakerText t = SplitSpeaker(block);
    EXPECT_EQ((t.hasSpeaker ? std::string(t.speaker) : "-") + "|" + std::string(t.words),
              speaker + ("|" + std::string(words)));
  }
}

using Events = std::vector<std::string>;

// Records the host calls the tests look at, in order, as "name:arg:arg".
class RecordingHost : public ScriptHost {
 public:
  // clang-format off
  // A runaway script ends the test instead of hanging it.
  bool PumpMessages() override { return !quit && ++pumps <= 1000000; }
  bool PumpInput() override { return !quit; }  bool IsSkipping() override { return skipping; }
  void SetRunModeNormal() override { skipping = false, Log("run-normal"); }
  bool SkipAllText() override { return skipAllText; }
  void ShowScriptText(std::string_view text, bool read, u8 mode) override {
    Log("text", text, read ? "read" : "new", std::to_string(mode));
  }
  void ClearPage() override { Log("clear"); }  void MarkBacklogPage() override { Log("backlog"); }
  void SetMessageMode(u8 mode) override { Log("mode", std::to_string(mode)); }
  void BeginChoices() override {}  i32 RunChoice() override { return answer; }
  void AddChoice(i32, std::string_view) override {}  bool PrepareMap(std::string_view) override { return false; }
  void AddMapPlace(i32, std::string_view, std::string_view, bool) override {}  i32 RunMap() override { return answer; }
  void UpdateCaption() override { Log("caption"); }  void RequestClose() override { quit = true; }
  // clang-format on

  template <class... Args>
  void Log(std::string_view name, const Args&... args) {
    events.emplace_back(name);
    ((events.back().append(":").append(args)), ...);
  }
  Events events;
  u64 pumps = 0;
  bool quit = false, skipping = false, skipAllText = false;
  i32 answer = 1;
};

// A game folder of loose scripts and a real interpreter over recording
// doubles; the fixture runs the tags, recording them as "keyword(arguments)",
// and a hook may act on them and decide their result. Local flags a, n,
// depth and zero are declared; the clock is close to wrapping.
class InterpreterTest : public ::testing::Test, public TagRunner {
 protected:
  InterpreterTest() {
    trace.SetSink([this](std::string_view message) { traces.emplace_back(message); });
    auto local = std::make_unique<FlagStore::Names>(), none = std::make_unique<FlagStore::Names>();
    (*local)[0] = "a", (*local)[1] = "n", (*local)[2] = "depth", (*local)[3] = "zero";
    flags.SetDefinitions(*local, *none, *none);
  }

  // Writes a script with CR LF line ends.
  void Script(std::string_view name, const std::vector<std::string_view>& lines) {
    std::string text;
    for (std::string_view line : lines) text.append(line).append("\r\n");
    dir.Write("data/script/" + std::string(name), text);
  }
  // Opens the game folder once and runs one step of the outer loop.
  bool RunStep() {
    if (!opened) opened = resources.OpenDataFolder(dir.str());
    return interp.RunGameStep();
  }
  bool RunFresh() { return interp.RequestGameRestart(), RunStep(); }

  bool RunTag(std::string_view keyword, std::string_view arguments) override {
    calls.push_back(std::string(keyword) + "(" + std::string(arguments) + ")");
    return hook ? hook(keyword, arguments) : keyword != "fail";
  }

  Events calls;
  std::function<bool(std::string_view, std::string_view)> hook;
  testing::TempDir dir;
  Trace trace;
  Events traces;
  Resources resources{trace};
  ReadLog readLog{trace};
  FlagStore flags{trace, {}};
  RecordingHost host;
  platform::VirtualClock clock{0xFFFFFFFFu - 30000};
  Interpreter interp{resources, readLog, flags, *this, host, clock, trace};
  bool opened = false;
};

TEST_F(InterpreterTest, ProgramLoadSplitsLinesResetsEveryFieldFailsCleanAndSharesText) {
  ScriptProgram program{resources, readLog};
  dir.Write("data/script/start.txt", "  \t.bgm x\r\nabc   \r\n\r\n;c\rlast   ");
  ASSERT_TRUE(resources.OpenDataFolder(dir.str()));
  program.NextLine = program.ResumeLine = program.CaseID = program.CaseEnable = 1;
  program.PendingText = "pending", program.Child = program.MakeChild();
  ASSERT_TRUE(program.Load("start.txt"));
  EXPECT_EQ(program.NextLine + program.ResumeLine + program.CaseID + program.CaseEnable, 0u);
  EXPECT_TRUE(program.PendingText.empty() && !program.Child);
  std::string lines;
  std::string_view line;
  for (u32 i = 0; program.GetLine(i, line); ++i) lines.append(line).append("|");
  EXPECT_EQ(lines, ".bgm x|abc   ||;c|last|");
  EXPECT_EQ(readLog.currentKey(), "start");
  // A missing script is reported once; an empty one loads without a word.
  traces.clear();
  EXPECT_FALSE(program.Load("missing.txt"));
  EXPECT_TRUE(program.Name.empty() && program.LineCount() == 0);
  EXPECT_EQ(traces.size(), 1u) << "traces for a missing script";
  dir.Write("data/script/empty.txt", "");
  traces.clear();
  EXPECT_TRUE(program.Load("empty.txt"));
  EXPECT_EQ(std::pair(program.Name, program.LineCount()), std::pair(std::string("empty.txt"), u32{0}));
  EXPECT_EQ(traces, Events{}) << "traces for an empty script";

  // Callees of a script the chain holds share its text: each level of a
  // recursive CALL once kept its own copy, growing memory by its size.
  Script("self.txt", {"first line", ".CALL self.txt"});
  Script("other.txt", {"first line"});
  ASSERT_TRUE(program.Load("self.txt"));
  ScriptProgram* level = &program;
  for (int depth = 1; depth <= 3; ++depth) {
    level = (level->Child = level->MakeChild()).get();
    ASSERT_TRUE(level->Load("self.txt"));
    EXPECT_EQ(level->Lines.Line(1), ".CALL self.txt");
    EXPECT_EQ(level->Lines.Line(0).data(), program.Lines.Line(0).data()) << "level " << depth << " copied the text";
  }
  // Another script is read for itself, and the shared text outlives the
  // program that loaded it first.
  ASSERT_TRUE((level->Child = level->MakeChild())->Load("other.txt"));
  EXPECT_NE(level->Child->Lines.Line(0).data(), program.Lines.Line(0).data());
  const std::string_view kept = program.Child->Lines.Line(1);
  program.Lines.Clear();
  EXPECT_EQ(kept, ".CALL self.txt");

  // Freed level by level, a chain this long would overflow the stack.
  ScriptProgram* tail = &program;
  for (int i = 0; i < 200000; ++i) tail = (tail->Child = tail->MakeChild()).get();
  program.Clear();
  EXPECT_EQ(program.Child, nullptr);
}

// Control flow whose whole effect shows in the tag calls and the traces (a
// failed line is reported 1-based at the position reached, then why; a
// missing callee is no failure). The tags fail, fooo, Wait and wait fail.
struct FlowCase {
  const char* name;
  std::vector<std::string_view> lines;
  i32 answer;
  Events calls, traces;
};

TEST_F(InterpreterTest, ControlFlowTable) {
  const std::string why(Trace::kReasonSeparator);
  // The trace of a line of start.txt that failed, and why when there is a reason.
  const auto failed = [&](int line, std::string reason) {
    return "エラー（start.txt:" + std::to_string(line) + "）" + (reason.empty() ? "" : why + reason);
  };
  const std::string end = "the file ends ";
  // clang-format off
  const FlowCase cases[] = {
    {"if skips one line or a nested block", {".IF zero", ".no", ".ranA", ".IF 0", "{", ".no", "{", ".no", "{ x", "}", "}",
      ".no", "}", ".ranB", ".if 1", ".ranC", ".IF", ".no", ".ranD"}, 1, {"ranA()", "ranB()", "ranC()", "ranD()"}, {}},
    {"else only after a false if", {".IF 0", "{", ".no", "}", ".ELSE", "{", ".elseA", "}", ".IF 1", "{", ".thenB", "}",
      ".else", "{", ".no", "}", ".end"}, 1, {"elseA()", "thenB()", "end()"}, {}},
    {"else with a blank is not looked ahead", {".IF 0", ".no", ".ELSE ", ".no", ".end"}, 1, {"end()"},
     {"この .ELSE は .IF に続かない（start.txt:3） — only a line that is exactly .ELSE is taken when the .IF is false: "
      "this one runs as ELSE and skips its line or block too"}},
    {"if skipping past the end", {".ok", ".IF 0", "{", ".no"}, 1, {"ok()"},
      {failed(4, end + "before the block's closing }")}},
    {"look-ahead past the end", {".IF 0", ".no"}, 1, {}, {failed(2, end + "right after the skipped .IF block")}},
    {"if on the last line", {".IF 0"}, 1, {}, {failed(1, end + "where a line or block should follow")}},
    {"an expression fault fails no line", {".ok", ".IF 1 )", ".ok"}, 1, {"ok()", "ok()"},
      {"計算式『1 )』の判定に失敗" + why + "')' at column 3 has no '(' in start.txt:2"}},
    {"goto finds the first exact label", {".GOTO #x", ".no", "#x", ".one", "?n = n + 1", ".IF n < 2", ".goto x",
      ".GOTO y", ".no", "#x", ".no", "#y ", ".no", "#y", ".end"}, 1, {"one()", "one()", "end()"}, {}},
    {"goto to a missing label fails", {".a", ".GOTO nowhere", ".GOTO #gone", ".b"}, 1, {"a()", "b()"},
      {failed(2, "label #nowhere not found in start.txt"), failed(3, "label #gone not found in start.txt")}},
    {"failed lines are traced and skipped", {";", "text", ".fail", "?noequals", ".ok", ".fail 2"}, 1,
      {"fail()", "ok()", "fail(2)"}, {failed(3, "unknown tag .fail"), failed(4, "the assignment has no '='"),
      failed(6, "unknown tag .fail")}},
    {"a known tag that failed says why itself", {".fooo 1", ".Wait 1", ".wait 1"}, 1, {"fooo(1)", "Wait(1)", "wait(1)"},
      {failed(1, "unknown tag .fooo"), failed(2, "unknown tag .Wait (tag names are case-sensitive: .wait)"),
      failed(3, "")}},
    {"no case matches", {".SELECT", "A", ".CASE 1", ".no", ".ENDSEL", ".after"}, 7, {"after()"}, {}},
    {"case numbers stop at a non-digit", {".SELECT", "A", "B", "C", ".CASE 1x 3", ".no", ".CASE", ".no",
      ".CASE  2\t3", ".right", ".ENDSEL"}, 3, {"right()"}, {}},
    {"select running past the end", {".SELECT", "A", "B"}, 1, {},
      {failed(3, "no .CASE follows the choices of .SELECT before the end of the file")}},
    {"case skip running past the end", {".SELECT", "A", ".CASE 2", "{", ".x"}, 1, {},
      {failed(5, end + "before the block's closing }")}},
    {"no case or endsel up to the end", {".SELECT", "A", ".CASE 2", ".x"}, 1, {},
      {failed(4, "no further .CASE and no .ENDSEL before the end of the file")}},
    {"a missing callee is no failure", {".a", ".CALL missing.txt", ".c"}, 1, {"a()", "c()"}, {}},
    {"a failed load leaves the program cleared", {".LOAD gone.txt", ".never"}, 1, {},
      {"エラー（:0）" + why + "LOAD: script gone.txt could not be read"}},
    {"quit ends the run untraced", {".a", ".QUIT", ".b"}, 1, {"a()"}, {}},
  };
  // clang-format on
  hook = [](std::string_view keyword, std::string_view) {
    return keyword != "fail" && keyword != "fooo" && keyword != "Wait" && keyword != "wait";
  };
  for (const FlowCase& c : cases) {
    SCOPED_TRACE(c.name);
    Script("start.txt", c.lines);
    calls.clear(), traces.clear();
    host.quit = false, host.answer = c.answer;
    ASSERT_TRUE(RunFresh());
    EXPECT_EQ(calls, c.calls);
    std::erase_if(traces, [](const std::string& t) { return t.starts_with("ファイル:"); });  // missing files
    EXPECT_EQ(traces, c.traces);
    if (!host.quit) {
      EXPECT_TRUE(trace.pendingReason().empty()) << trace.pendingReason();
    }
  }
}

TEST_F(InterpreterTest, LfOnlyAndCrLfScriptsGiveTheSameRun) {
  // clang-format off
  const std::vector<std::string_view> lines = {"; title", "Aya:first", "second", ".wait 5", "?n = n + 1", ".IF n > 0",
      "{", ".yes", "}", ".SELECT", "A", "B", ".CASE 2", "{", ".picked", "}", ".ENDSEL", "#end", "last words", ".done"};
  // clang-format on
  auto run = [&](std::string_view lineEnd) {
    std::string text;
    for (std::string_view line : lines) text.append(line).append(lineEnd);
    dir.Write("data/script/start.txt", text);
    calls.clear(), host.events.clear(), traces.clear();
    host.answer = 2;
    EXPECT_TRUE(RunFresh());
    return std::tuple{calls, host.events, traces};
  };
  const auto crlf = run("\r\n");
  const auto lf = run("\n");
  // The second run finds its blocks read under the same line numbers.
  Events readAgain = std::get<1>(crlf);
  for (std::string& e : readAgain)
    if (const size_t at = e.find(":new:"); at != std::string::npos) e.replace(at, 5, ":read:");
  EXPECT_EQ(std::get<0>(lf), std::get<0>(crlf));
  EXPECT_EQ(std::get<1>(lf), readAgain);
  EXPECT_EQ(std::get<2>(lf), std::get<2>(crlf));
  EXPECT_EQ(std::get<0>(crlf), (Events{"wait(5)", "yes()", "picked()", "done()"}));
}

TEST_F(InterpreterTest, ResumeLineMovesOnlyAtTheMomentsOfTheMode) {
  std::vector<u32> probes;
  hook = [&](std::string_view keyword, std::string_view) {
    if (keyword == "probe") probes.push_back(interp.RootProgram.ResumeLine);
    if (keyword == "novel") interp.SetMessageMode(kModeNovel);
    return true;
  };
  Script("start.txt", {"t1", "t2", ".probe", ".novel", "t3", ".probe", ".", ".probe", "...", ".probe", "#lbl",
                       ".IF n < 1", "{", "?n = 1", ".GOTO #lbl", "}", ".probe"});
  ASSERT_TRUE(RunFresh());
  // Text ends at line 2; novel text keeps it; "." resumes after itself,
  // "..." at itself; GOTO at the label's next line.
  EXPECT_EQ(probes, (std::vector<u32>{2, 2, 7, 8, 11}));
  EXPECT_EQ(std::count(host.events.begin(), host.events.end(), "backlog"), 3);  // novel text marks no page
}

// Text lines gather into one block joined with "/", handed over when a
// non-text line ends it, with the read mark of that line's number; a block
// still open when the script ends is never shown.
TEST_F(InterpreterTest, TextBlocksReachTheWindowWithTheirReadMark) {
  const auto shown = [this] {
    Events out;
    for (const std::string& e : host.events)
      if (e.starts_with("text:") || e == "run-normal") out.push_back(e);
    host.events.clear();
    return out;
  };
  Script("start.txt", {"a", "b", ".x", "c", "", "last"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(shown(), (Events{"text:a/b:new:0", "text:c:new:0"})) << "the block on the last line is not shown";
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(shown(), (Events{"text:a/b:read:0", "text:c:read:0"})) << "read the second time";
  // The mark belongs to the number of the line that ends the block (now 8,
  // past the lines 3 to 5 read so far), not to its words.
  Script("start.txt", {"", "", "", "", "", "a", "b", ".x"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(shown(), (Events{"text:a/b:new:0"}));

  // Unread text stops skipping unless the player skips all text; read text
  // never stops it.
  for (bool skipAll : {false, true}) {
    SCOPED_TRACE(skipAll ? "skip all text" : "skip read text only");
    Script("start.txt", {"seen", ".x", "unseen" + std::string(skipAll ? "1" : "2"), ".y"});
    host.skipAllText = skipAll;
    readLog.Clear();
    ASSERT_TRUE(RunFresh());
    host.events.clear();
    Script("start.txt", {"seen", ".x", "unseen" + std::string(skipAll ? "1" : "2"), ".y", "fresh", ".z"});
    host.skipping = true;
    ASSERT_TRUE(RunFresh());
    Events want{"text:seen:read:0", "text:unseen" + std::string(skipAll ? "1" : "2") + ":read:0"};
    if (!skipAll) want.push_back("run-normal");
    want.push_back("text:fresh:new:0");
    EXPECT_EQ(shown(), want);
    EXPECT_EQ(host.skipping, skipAll);
    host.skipping = false;
  }
}

TEST_F(InterpreterTest, HugeNestedBlockIsSkippedWithoutRecursion) {
  std::string text = ".IF 0\r\n";
  for (int i = 0; i < 200000; ++i) text += "{\r\n.never\r\n";
  for (int i = 0; i < 200000; ++i) text += "}\r\n";
  dir.Write("data/script/start.txt", text + ".ELSE\r\n.after\r\n");
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(calls, (Events{"after()"}));
}

TEST_F(InterpreterTest, SelfRecursiveCallStopsAtTheDepthBound) {
  Script("start.txt", {".CALL rec.txt", ".done"});
  Script("rec.txt", {"?depth = depth + 1", ".CALL rec.txt"});
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(flags.GetFlag("depth"), static_cast<i32>(Interpreter::kMaxCallDepth));
  EXPECT_EQ(calls, (Events{"done()"}));
  EXPECT_EQ(interp.CallDepth(), 0u);
  ASSERT_EQ(traces.size(), 2u);  // the bound, then the failed CALL line
  EXPECT_EQ(traces[1], "エラー（rec.txt:2）");
}

TEST_F(InterpreterTest, RestoredChainSkipsMissingScriptsUnlessTheTitleComesFirst) {
  Script("start.txt", {".root", ".CALL a.txt", ".after_a"});
  Script("a.txt", {".in_a", ".CALL gone.txt", ".CALL b.txt", ".after_b"});
  Script("b.txt", {".bZero", ".bOne"});
  // A frame whose script is gone ends at once and its caller goes on.
  interp.RequestRestore({{"start.txt", 2, 0, false}, {"a.txt", 3, 5, true}, {"b.txt", 1, 0, false}, {"gone.txt", 7}});
  ASSERT_TRUE(RunStep());
  EXPECT_EQ(calls, (Events{"bOne()", "after_b()", "after_a()"}));
  EXPECT_TRUE(interp.PendingRestore.empty());

  interp.RequestRestore({{"b.txt", 0, 0, false}});
  interp.RequestGameRestart();
  calls.clear();
  ASSERT_TRUE(RunStep());
  EXPECT_EQ(calls, (Events{"root()", "in_a()", "bZero()", "bOne()", "after_b()", "after_a()"}));
}

// Serializes the state into a new archive and returns it opened for reading.
SaveArchive Saved(Interpreter& interp) {
  SaveArchive writer, reader;
  SerializeScriptState(interp, writer);
  reader.OpenForReading(writer.bytes());
  return reader;
}

template <class T>
T Value(SaveArchive reader, const std::string& key) {
  T value{};
  EXPECT_TRUE(reader.Exchange(key, value)) << key;
  return value;
}

TEST_F(InterpreterTest, SaveTwoCallsDeepRestoresTheChainInnermostFirst) {
  Script("start.txt", {"hello", ".CALL a.txt", ".rootAfter"});
  Script("a.txt", {".SELECT", "X", "Y", ".CASE 9", ".ENDSEL", ".CALL b.txt", ".aAfter"});
  Script("b.txt", {"line", ".", ".save", ".bAfter"});
  SaveArchive saved;
  hook = [&](std::string_view keyword, std::string_view) {
    if (keyword == "save" && saved.EntryCount() == 0) {
      interp.ChapterName = "第一章";
      interp.ScriptMode = kModeNovel;
      saved = Saved(interp);
    }
    return true;
  };
  host.answer = 2;
  ASSERT_TRUE(RunFresh());
  std::string name;
  EXPECT_TRUE(SaveArchive(saved).ExchangeString("Name2", name) && name == "b.txt" && !saved.Contains("Name3"));
  // Resume after the CALL, at the CALL, after the page break.
  EXPECT_EQ(Value<u32>(saved, "StackCount") * 1000 + Value<u32>(saved, "Line0") * 100 +
                Value<u32>(saved, "Line1") * 10 + Value<u32>(saved, "Line2"),
            3262u);
  EXPECT_EQ(Value<i32>(saved, "CaseID1") * 100 + Value<u8>(saved, "CaseEnable1") * 10 + Value<u8>(saved, "CaseEnable0"),
            210);
  EXPECT_EQ(Value<u8>(saved, "ScriptMode"), kModeNovel);

  // Loading unwinds the running chain; the next run resumes the saved one.
  calls.clear(), host.events.clear();
  interp.ScriptMode = kModeAdv;
  SerializeScriptState(interp, saved);
  EXPECT_TRUE(interp.RestartRequested);
  ASSERT_EQ(interp.PendingRestore.size(), 3u);
  EXPECT_EQ(interp.PendingRestore[1], (CallFrame{"a.txt", 6, 2, true}));
  ASSERT_TRUE(RunStep());
  EXPECT_EQ(calls, (Events{"save()", "bAfter()", "aAfter()", "rootAfter()"}));
  // The saved mode's layout is back before the first restored line.
  EXPECT_EQ(Events(host.events.begin(), host.events.begin() + 3), (Events{"caption", "mode:1", "clear"}));
}

// Whole minutes across the wrap of the millisecond clock; the running
// fraction is dropped at save and at load.
TEST_F(InterpreterTest, PlayTimeCountsWholeMinutesAndDropsTheFractionAtSaveAndLoad) {
  interp.SetPlayMinutes(10);
  std::vector<u32> minutes;
  auto after = [&](u32 ms) { return clock.Advance(ms), minutes.push_back(interp.GetPlayMinutes()); };
  after(59999), after(2), after(60000 + 58999);
  SaveArchive saved = Saved(interp), loading = saved;
  after(1000), after(30000);  // the 59 s were folded away
  SerializeScriptState(interp, loading);
  after(59999), after(1);
  EXPECT_EQ(minutes, (std::vector<u32>{10, 11, 12, 12, 12, 12, 13}));
  EXPECT_EQ(Value<u32>(saved, "PlayTime"), 12u);
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
  interp.ChapterDate = "date", interp.ScriptMode = kModeDemo;
  interp.SetPlayMinutes(5);
  reader.OpenForReading(writer.bytes());
  SerializeScriptState(interp, reader);
  EXPECT_EQ(interp.ChapterName + "|" + interp.ChapterDate, "kept?|date");
  EXPECT_EQ(interp.ScriptMode * 10 + interp.GetPlayMinutes(), kModeDemo * 10 + 5u);
  ASSERT_EQ(interp.PendingRestore.size(), Interpreter::kMaxCallDepth + 1);
  EXPECT_EQ(interp.PendingRestore[0], (CallFrame{"start.txt", 0, 0, false}));
  EXPECT_EQ(interp.PendingRestore[1], CallFrame{});
  // The chain of empty programs ends without overflowing anything.
  Script("start.txt", {".x"});
  ASSERT_TRUE(RunStep());
  EXPECT_EQ(calls, (Events{"x()"}));
}

class FlagsTest : public ::testing::Test {
 protected:
  FlagsTest() {
    trace.SetSink([this](std::string_view m) { messages.append(m).append("\n"); });
  }

  void Declare(FlagBank bank, int slot, std::string name, i32 value = 0) {
    (*names)[static_cast<size_t>(bank)][slot] = std::move(name);
    store.SetDefinitions((*names)[0], (*names)[1], (*names)[2]);
    store.SetValue(bank, slot, value);
  }
  bool Traced(std::string_view message) const {
    return messages.find(std::string(message) + "\n") != std::string::npos;
  }
  bool Undeclared(std::string_view name) const {
    return Traced("変数『" + std::string(name) + "』は定義されていません");
  }
  void WriteRaw(const char* name, std::string_view bytes) {
    SaveDataFile file(dir.path());
    ASSERT_TRUE(file.OpenForWrite(name) && file.Write(bytes) && file.Close());
  }

  testing::TempDir dir;
  Trace trace;
  std::string messages;
  std::unique_ptr<std::array<FlagStore::Names, 3>> names = std::make_unique<std::array<FlagStore::Names, 3>>();
  FlagStore store{trace, fs::path()};
};

// One precedence, strictly left to right; a fault is traced, says what and
// where, and keeps the outermost value reached; arithmetic wraps at 32 bits.
TEST_F(FlagsTest, ExpressionValuesAndFaults) {
  using Case = std::tuple<std::string_view, i32, const char*>;  // text, value, fault: none, any or this reason
  const char *const no = nullptr, *const any = "";
  const i32 min = std::numeric_limits<i32>::min();
  // clang-format off
  const Case cases[] = {{"10 - 3 - 2", 5, no}, {"0 - 7 / 2", -3, no}, {"1+2*3", 9, no}, {"2 * (1 + 2)", 6, no},
      {"\t4\t-\t1", 3, no}, {"3 < 5", 1, no}, {"5 > 5", 0, no}, {"5 < 3 < 1", 1, no}, {"7 & 3", 1, no},
      {"7 & 0", 0, no}, {"12ab + 1", 13, no}, {"((2)) * 3", 6, no}, {"", 0, no}, {"1 + 2\0 + 5"sv, 3, no},
      {"!0", 1, no}, {"!5", 0, no}, {"!(1 & 0)", 1, no}, {"1 + !0", 2, no}, {"!", 0, any}, {"-1", 0, any},
      {"(1 + 2", 3, no}, {"4 * (1 + (2", 12, no}, {"1 2", 1, any}, {"1 + ", 1, no}, {"()", 0, any},
      {"1 + (2 + )", 1, any}, {"1 + (5 / (0", 1, any}, {"2 (3)", 2, any}, {"2147483647 + 1", min, no},
      {"0 - 2147483647 - 1 / (0 - 1)", min, no}, {"4294967297", 1, no}, {"65536 * 65536", 0, no},
      {"!!1", 0, "'!' at column 2: a '!' must be followed by a number, a flag or '('"},
      {"1 + 2)", 3, "')' at column 6 has no '('"}, {"5 / 0 + 100", 5, "division by zero (column 5)"},
      {"2 * (3 / (1 - 1))", 2, "division by zero (column 16)"},
      {"1 == 1", 1, "an operator (& + - * / < >) should come at column 3, not '=='"},
      {"6 + +", 6, "a number, a flag or '(' should come at column 5, not '+'"},
      {"3 + !", 3, "the expression ends where a number, a flag or '(' should follow"}};
  // clang-format on
  const std::string why(Trace::kReasonSeparator);
  for (const auto& [text, value, fault] : cases) {
    messages.clear();
    EXPECT_EQ(store.EvaluateExpression(text), value) << text;
    const std::string classic = "計算式『" + std::string(text) + "』の判定に失敗";
    EXPECT_EQ(Traced(classic) || messages.find(classic + why) != std::string::npos, fault != nullptr) << text;
    if (fault && *fault) {
      EXPECT_TRUE(Traced(classic + why + fault)) << messages;
    }
  }
  const std::string open(200000, '(');  // deep nesting is no recursion
  EXPECT_EQ(store.EvaluateExpression("3 + " + open + "4" + std::string(200000, ')') + " * 2"), 14);
  EXPECT_EQ(store.EvaluateExpression(open + "5"), 5);
}

TEST_F(FlagsTest, OperandsAreFlagsReadWhenScanned) {
  Declare(FlagBank::Local, 0, "a", 2);
  Declare(FlagBank::Global, 2, "c", 7);
  Declare(FlagBank::Seen, 3, "d", 1);
  EXPECT_EQ(store.EvaluateExpression("a < c & d"), 1);
  EXPECT_EQ(messages, "");
  EXPECT_TRUE(store.EvaluateExpression("a=2") == 0 && Undeclared("a=2"));  // '=' belongs to the operand
  // An operand where an operator belongs is looked up before the fault.
  EXPECT_TRUE(store.EvaluateExpression("a qq") == 2 && Undeclared("qq") &&
              Traced("計算式『a qq』の判定に失敗 — an operator (& + - * / < >) should come at column 3, not 'qq'"));

  // Operands stop at 99 bytes, and the rest of a longer run is dropped.
  Declare(FlagBank::Local, 4, std::string(99, 'n'), 42);
  Declare(FlagBank::Local, 5, std::string(100, 'm'), 9);
  EXPECT_EQ(store.EvaluateExpression(std::string(99, 'n') + "xyz + 1"), 43);
  EXPECT_TRUE(store.EvaluateExpression(std::string(100, 'm')) == 0 && Undeclared(std::string(99, 'm')));
}

TEST_F(FlagsTest, NamesResolveSlotBySlotAndAssignmentsSkipTheSeenBank) {
  Declare(FlagBank::Local, 5, "x", 50);
  Declare(FlagBank::Global, 3, "x", 30);
  EXPECT_EQ(store.GetFlag("x"), 30);  // the lower slot wins over the bank order
  Declare(FlagBank::Global, 1, "x", 12);
  Declare(FlagBank::Local, 1, "x", 11);
  EXPECT_EQ(store.GetFlag("x"), 11);  // same slot: local, global, seen
  Declare(FlagBank::Seen, 0, "x", 10);
  store.SetFlag("x", 8);
  EXPECT_EQ(store.Value(FlagBank::Local, 1) * 100 + store.Value(FlagBank::Seen, 0), 810);
  EXPECT_EQ(store.GetFlag("X") + store.GetFlag(""), 0);  // byte for byte; empty names are unreachable
  EXPECT_TRUE(Undeclared("X") && Undeclared(""));
  Declare(FlagBank::Seen, 2, "only_seen");
  store.SetFlag("only_seen", 3);
  EXPECT_TRUE(store.Value(FlagBank::Seen, 2) == 0 && Traced("変数『only_seen』は未定義"));
}

TEST_F(FlagsTest, AssignParsesNameAndKeepsPartialValues) {
  Declare(FlagBank::Local, 0, "v", 4);
  const std::pair<const char*, i32> good[] = {{"v = v * 3", 12}, {" \tv\t=\t  v - 2", 10}, {"v junk = 5", 5},
                                              {"v =", 0},        {"v = 5 / 0", 5},         {"v = 1 + 2) * 10", 3}};
  for (auto [line, value] : good) {
    EXPECT_TRUE(store.Assign(line)) << line;
    EXPECT_EQ(store.GetFlag("v"), value) << line;
  }
  messages.clear();
  EXPECT_FALSE(store.Assign("v 5") || store.Assign(""));
  trace.DebugTrace("next");  // the reason for the failed line rides on the next message
  EXPECT_EQ(messages, "next" + std::string(Trace::kReasonSeparator) + "the assignment has no '='\n");
  Declare(FlagBank::Local, 1, std::string(250, 'k'));
  EXPECT_TRUE(store.Assign(std::string(250, 'k') + " = 4") && !store.Assign(std::string(251, 'k') + " = 4"));
  EXPECT_EQ(store.Value(FlagBank::Local, 1) * 10 + store.GetFlag("v"), 43);
}

TEST_F(FlagsTest, LoadDefinitionsTakesTheNamesAndReadsBankFilesOfAnySize) {
  store.SetSaveFolder(dir.path());
  auto names = std::make_unique<FlagStore::Definitions>();
  (*names)[0][0] = "route";
  (*names)[1][0] = "a", (*names)[1][1] = "b", (*names)[1][2] = "c", (*names)[1][999] = "last";
  (*names)[2][999] = "ev_end";
  FlagStore::Values values{{3, 4, 5}};
  values[999] = -1;
  const std::string bank = FlagStore::EncodeBank(values);
  WriteRaw(kSeenFlagFile, bank);
  // Nine bytes give two values; an oversized file only its first 4000.
  for (auto [bytes, c] : {std::pair{bank, 5}, {bank.substr(0, 9), 0}, {bank + std::string(5000, 'x'), 5}}) {
    WriteRaw(kGlobalFlagFile, bytes);
    store.SetValue(FlagBank::Local, 0, 5);
    store.LoadFlagDefinitions(*names);
    EXPECT_EQ(store.GetFlag("a") * 100 + store.GetFlag("b") * 10 + store.GetFlag("c") + store.GetFlag("route"),
              340 + c);
    EXPECT_EQ(store.GetFlag("last"), c ? -1 : 0);
    EXPECT_TRUE(store.Name(FlagBank::Global, 3).empty());
  }
  EXPECT_EQ(store.GetFlag("ev_end"), -1);
  fs::remove(dir.path() / kSeenFlagFile);
  store.LoadFlagDefinitions(*names);
  EXPECT_EQ(store.GetFlag("ev_end"), 0);  // missing file: zeros
}

// The save section holds one "Flags" entry of the whole local bank; a
// missing or missized entry keeps the current flags.
TEST_F(FlagsTest, LocalFlagsTravelThroughTheSaveSection) {
  Declare(FlagBank::Local, 0, "first", -123456);
  Declare(FlagBank::Local, 999, "last", 999);
  SaveArchive out, in, wrongSize;
  store.SerializeLocalFlags(out);
  EXPECT_EQ(out.bytes().size(), 4u + 5u + 4u + kFlagBankBytes);
  wrongSize.ExchangeArchive("Flags", in);  // an empty value
  FlagStore other(trace, fs::path());
  other.SetValue(FlagBank::Local, 1, 8);
  for (const std::string& bytes : {out.bytes(), wrongSize.bytes(), std::string()}) {
    in.OpenForReading(bytes);
    other.SerializeLocalFlags(in);
    EXPECT_EQ(
        other.Value(FlagBank::Local, 0) + other.Value(FlagBank::Local, 999) * 10 + other.Value(FlagBank::Local, 1),
        -123456 + 9990);
  }
}

// Records every call as "Name arg arg", joined by "; ". Input pumping
// advances the virtual clock by the 1 ms yield, and `onPump` may post a
// command or set skip, auto or quit on a given pump.
class RecordingTargets final : public TagTargets {
 public:
  explicit RecordingTargets(platform::VirtualClock& clock) : clock_(clock) {}
  // clang-format off
  void ClearAllLayers() override { Log("ClearAllLayers"); }
  void ResetLayer(int layer) override { Log("ResetLayer", layer); }
  bool SetLayerImage(int layer, std::string_view name) override { return Log("Image", layer, name), name != "gone"; }
  bool ApplyLayerDefinition(int layer, int code) override { return Log("Definition", layer, code), true; }
  void ResetLayerAnchor(int layer) override { Log("Anchor", layer); }
  void SetLayerX(int layer, int x) override { Log("X", layer, x); }
  void SetLayerY(int layer, int y) override { Log("Y", layer, y); }
  void SetNextFadeDuration(int ms) override { Log("Fade", ms); }
  void UpdateScreen() override { ++updates; }  void PresentScreen() override { ++presents; }
  void ClearScreenSurfaces() override { Log("ClearScreenSurfaces"); }
  void Flash(int count, Rgb c) override { Log("Flash", count, int{c.r}, int{c.g}, int{c.b}); }
  void Shake(int ax, int ay, int rx, int ry, int ms) override { Log("Shake", ax, ay, rx, ry, ms); }
  void Wipe(std::string_view rule, int ms) override { Log("Wipe", rule, ms); }
  void FadeWipe(std::string_view rule, int ms) override { Log("FadeWipe", rule, ms); }
  void ShowTestImage(const std::array<int, 8>& n) override { Log("Test", n[0], n[1], n[2], n[3], n[7]); }
  void PlayBGM(std::string_view name, bool loop) override { Log("PlayBGM", name, loop ? "loop" : "once"); }
  void FadeBGM() override { Log("FadeBGM"); }  void StopBGM() override { Log("StopBGM"); }
  void PlayEnv(std::string_view name) override { Log("PlayEnv", name); }  void StopEnv() override { Log("StopEnv"); }
  void PlaySE(std::string_view name) override { Log("PlaySE", name); }  void StopSE() override { Log("StopSE"); }
  void PlayVoice(std::string_view path) override { Log("PlayVoice", path); }
  void SetPendingVoice(std::string_view path) override { Log("PendingVoice", path); }
  bool PumpInput(u8 context, bool yield) override {
    contexts.insert(context);
    yield ? clock_.Sleep(1) : void(++noYieldPumps);
    if (onPump) onPump(++pumps);
    return !quit;
  }
  u8 PendingCommand() override { return pending; }  void ClearPendingInput() override { pending = 0; }
  bool IsSkipping() override { return skipping; }  bool IsAutoMode() override { return autoMode; }
  void RunSaveLoadScreen(SaveLoadMode mode) override { Log("SaveLoad", mode == SaveLoadMode::Load ? "load" : "save"); }
  void RunConfigDialog() override { Log("Config"); }  void SetMessageMode(u8 mode) override { Log("Mode", int{mode}); }
  void ClockEvent(std::string_view a, std::string_view b) override { Log("ClockEvent", a, b); }
  void FlowReset() override { Log("FlowReset"); }  void FlowNewRoute() override { Log("FlowNewRoute"); }
  u8 ScriptMode() override { return scriptMode; }  void UpdateCaption() override { Log("Caption"); }
  void SetChapterDate(std::string_view date) override { Log("Date", date); }
  void SetChapterName(std::string_view name) override { Log("Chapter", name); }
  void PlayMovie(std::string_view name) override { Log("PlayMovie", name); }
  // clang-format on

  template <class... Args>
  void Log(const char* op, const Args&... args) {
    std::ostringstream line;
    line << (calls.empty() ? "" : "; ") << op;
    ((line << ' ' << args), ...);
    calls += line.str();
  }

  std::string calls;
  std::set<u8> contexts;
  std::function<void(int)> onPump;
  int pumps = 0, noYieldPumps = 0, updates = 0, presents = 0;
  u8 pending = 0, scriptMode = kModeAdv;
  bool skipping = false, autoMode = false, quit = false;

 private:
  platform::VirtualClock& clock_;
};

class TagsTest : public ::testing::Test {
 protected:
  TagsTest() { ResetUserSettings(settings); }

  std::string Run(std::string_view keyword, std::string_view args, bool ok = true) {
    targets.calls.clear();
    targets.pumps = 0;
    EXPECT_EQ(tags.RunTag(keyword, args), ok) << keyword << " " << args;
    return targets.calls;
  }

  platform::VirtualClock clock{0xFFFFFFF0u};  // waits must survive the clock wrapping
  RecordingTargets targets{clock};
  Trace trace;
  FlagStore flags{trace, {}};
  UserSettings settings{};
  TagTable tags{targets, flags, settings, clock};
};

// What each tag asks of the engine, in order; the cases run in sequence, so
// the voice folder carries over.
TEST_F(TagsTest, TagCallTable) {
  struct Case {
    const char *keyword, *args, *calls;
    bool ok = true;
  };
  settings.ScreenEffects = 0;  // keeps the fades' waits out of this table
  // clang-format off
  const Case cases[] = {
    {"img", "", "ClearAllLayers"}, {"img", "1 pos0 pos6", ""},
    {"img", "2 girl#3 center", "Image 2 girl; Definition 2 3; X 2 320; Y 2 480"},
    {"img", "1 100 200 300", "Anchor 1; X 1 100; Anchor 1; Y 1 200"},
    {"img", "1 POS3 pos", "X 1 399; Y 1 480; Image 1 pos"}, {"img", "1 a  b", "Image 1 a; Image 1 b"},
    {"img", "4 bg#0 Left right", "Image 4 bg; X 4 160; Y 4 480; X 4 480; Y 4 480"},
    {"img", "5 10 gone#2 center", "Anchor 5; X 5 10; Image 5 gone", false},
    {"fade", "70000", "Fade 60000"}, {"fade", "-5", "Fade 0"}, {"fadein", "0", "Fade 500"},
    {"bgm", "FADE noloop", "FadeBGM"}, {"bgm", "", "StopBGM"}, {"voice", "\\ch1", ""},
    {"voice", "a002 GHOST", "PendingVoice ch1\\a002"}, {"voice", "\\\\\\ch2", ""},  // one '\' dropped per use
    {"voice", "a005", "PendingVoice \\ch2\\a005; PlayVoice \\ch2\\a005"}, {"flash", "mauve 3", "Flash 3 255 255 255"},
    {"flash", "3 RED", "Flash 3 255 255 255"}, {"flash", "SkyBlue", "Flash 0 142 208 255"},
    {"shake", "SLOW", "Shake 10 10 39 37 1000"}, {"shake", "huge", "Shake 20 20 71 83 1000"},
    {"wipe", "r 0", "Wipe r 500"}, {"wipe", "r fade", "FadeWipe r 500"}, {"wipe", "r 300 fadex", "Wipe r 300"},
    {"system", "SAVE", "SaveLoad save"}, {"system", "config", "Config"}, {"system", "title", ""},
    {"mode", "NOVEL2", "Mode 2"}, {"mode", "demo", "Mode 4"}, {"mode", "Wait", ""},
    {"custom", "", "FlowNewRoute"}, {"custom", "caught armed", "ClockEvent caught armed"},
    {"custom", "caught", "ClockEvent caught "}, {"test", "1 2 3 -4 5", "Test 1 2 3 -4 0"},
    {"Mode", "novel", "", false}, {"modes", "novel", "", false}, {"", "", "", false},
    {"movie", "op.mpg", "ClearAllLayers; Fade 0; StopBGM; StopEnv; StopSE; ClearScreenSurfaces; PlayMovie op.mpg"},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(Run(c.keyword, c.args, c.ok), c.calls) << c.keyword << " " << c.args;
  EXPECT_EQ(targets.noYieldPumps, 1);  // "test" pumped once without yielding
  tags.SetScreenSize(800, 600);
  EXPECT_EQ(Run("img", "0 RIGHT pos1"), "X 0 600; Y 0 600; X 0 133; Y 0 600");
}

TEST_F(TagsTest, ArgumentsNumbersAndVoiceGroups) {
  std::string text = "a  b\tc \t";
  tags.SplitArguments(text);
  text.assign(40, 'z');
  EXPECT_EQ(tags.ArgCount(), 4u);  // text ending in blanks gives an empty token
  // The table keeps its own copy of the text.
  EXPECT_EQ(
      std::string(tags.Arg(1)) + std::string(tags.Arg(2)) + "|" + std::string(tags.Arg(3)) + std::string(tags.Arg(-1)),
      "bc|");
  // clang-format off
  for (auto [text, value] : {std::pair{"-45x", -45}, {"+7", 7}, {"-", 0}, {"99999999999999999999", INT32_MAX},
       {"-99999999999999999999", INT32_MIN}})
    // clang-format on
    EXPECT_EQ(ReadDecimal(text), value) << text;

  for (const char* female : {"ak001", "MI2", "Yu_3", "sa", "ha9", "re0", "KO1"}) EXPECT_TRUE(IsFemaleVoiceName(female));
  for (const char* male : {"a", "", "to001", "ka"}) EXPECT_FALSE(IsFemaleVoiceName(male));
  settings.FemaleVoices = 0;
  EXPECT_EQ(Run("voice", "ak001", false) + Run("voice", "\\ak"), "");  // the folder never depends on the groups
  settings.FemaleVoices = 1, settings.MaleVoices = 0;
  EXPECT_EQ(Run("voice", "to001", false), "");
  EXPECT_EQ(Run("voice", "Ak001"), "PendingVoice ak\\Ak001; PlayVoice ak\\Ak001");
  targets.skipping = true;  // skipping keeps the backlog voice, plays nothing
  EXPECT_EQ(Run("voice", "ak002") + Run("se", "door"), "PendingVoice ak\\ak002");
}

TEST_F(TagsTest, BgmMarksSeenAndResetClearsOnlyLocalFlags) {
  auto names = std::make_unique<std::array<FlagStore::Names, 3>>();
  (*names)[0][0] = "l", (*names)[1][0] = "g", (*names)[2][0] = "m01";
  flags.SetDefinitions((*names)[0], (*names)[1], (*names)[2]);
  flags.SetFlag("l", 3), flags.SetFlag("g", 4);
  EXPECT_EQ(Run("bgm", "m01") + "; " + Run("reset", ""), "PlayBGM m01 loop; FlowReset");
  EXPECT_EQ(flags.Value(FlagBank::Seen, 0) * 100 + flags.GetFlag("l") * 10 + flags.GetFlag("g"), 104);
}

TEST_F(TagsTest, WaitsEndByTimeSkipAutoInputOrQuit) {
  targets.onPump = [&](int) { targets.pending = 1; };  // clicks do not end a timed wait
  const u32 start = clock.Now();
  Run("wait", "100");
  const u32 waited = ElapsedMs(start, clock.Now());
  EXPECT_TRUE(waited > 100 && waited <= 102) << waited;
  // Input cleared on the way out; every update presented.
  EXPECT_TRUE(targets.pending == 0 && targets.contexts == std::set<u8>{0} && targets.updates == targets.presents);
  // {arguments, what the reader does on the fourth pump}
  for (auto [args, stop] : {std::pair{"5000", &RecordingTargets::skipping},
                            {"-3", &RecordingTargets::autoMode},
                            {"-3", &RecordingTargets::skipping},
                            {"0", &RecordingTargets::quit}}) {
    targets.autoMode = targets.skipping = targets.quit = false;
    targets.onPump = [=, this](int pump) { targets.*stop = pump == 4; };
    Run("wait", args);
    EXPECT_EQ(targets.pumps, 4) << args;
  }
  targets.quit = false;
  targets.onPump = [&](int n) { targets.pending = n == 7 ? 2 : 0; };
  Run("wait", "0");
  EXPECT_EQ(targets.pumps * 10 + targets.pending, 70);
}

// Without screen effects waits only bring the screen up to date, except in
// the scripted system and demo modes, which read menu and normal input.
TEST_F(TagsTest, WaitsAreSkippedWithoutScreenEffectsOutsideScriptedModes) {
  settings.ScreenEffects = 0;
  targets.onPump = [&](int n) { targets.pending = n == 5; };
  std::string seen;
  for (u8 mode : {kModeAdv, kModeNovel, kModeNovel2, kModeSystem, kModeDemo}) {
    targets.scriptMode = mode;
    targets.updates = 0, targets.contexts.clear();
    Run("wait", "0");
    // Pumps, then the input context read, or the screen updates when nothing was read.
    seen += std::to_string(targets.pumps) + ":" +
            std::to_string(targets.pumps ? *targets.contexts.begin() : targets.updates) + " ";
  }
  EXPECT_EQ(seen, "0:1 0:1 0:1 5:2 5:0 ");
}

}  // namespace
}  // namespace lyraban
