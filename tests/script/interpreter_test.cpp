#include "script/interpreter.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "persist/read_log.h"
#include "persist/save_archive.h"
#include "platform/headless/virtual_clock.h"
#include "resources/resources.h"
#include "script/flags.h"
#include "script/program.h"
#include "script/script_host.h"
#include "script/script_state.h"
#include "script/tag_runner.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

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

// Records every host call in order as "name:arg:arg".
class RecordingHost : public ScriptHost {
 public:
  // clang-format off
  // A runaway script ends the test instead of hanging it.
  bool PumpMessages() override { return !quit && ++pumps <= 1000000; }
  bool PumpInput() override { return !quit; }  bool IsSkipping() override { return skipping; }
  void SetRunModeNormal() override { skipping = false, Log("run-normal"); }
  bool SkipAllText() override { return skipAll; }
  void ShowScriptText(std::string_view text, bool read, u8 mode) override {
    Log("text", text, read ? "read" : "new", std::to_string(mode));
  }
  void ClearPage() override { Log("clear"); }  void MarkBacklogPage() override { Log("backlog"); }
  void SetMessageMode(u8 mode) override { Log("mode", std::to_string(mode)); }
  void BeginChoices() override { Log("choices"); }  i32 RunChoice() override { return Log("run-choice"), answer; }
  void AddChoice(i32 n, std::string_view text) override { Log("choice", std::to_string(n), text); }
  bool PrepareMap(std::string_view name) override { return Log("map", name), mapAvailable; }
  void AddMapPlace(i32 n, std::string_view icon, std::string_view place, bool on) override {
    Log("place", std::to_string(n), icon, place, on ? "on" : "off");
  }
  i32 RunMap() override { return Log("run-map"), answer; }  void UpdateCaption() override { Log("caption"); }
  void RequestClose() override { Log("close"), quit = true; }  // as if the player confirmed
  // clang-format on

  template <class... Args>
  void Log(std::string_view name, const Args&... args) {
    events.emplace_back(name);
    ((events.back().append(":").append(args)), ...);
  }
  // Events that start with `prefix`, in order.
  Events Only(std::string_view prefix) const {
    Events out;
    for (const std::string& e : events)
      if (e.starts_with(prefix)) out.push_back(e);
    return out;
  }

  Events events;
  u64 pumps = 0;
  bool quit = false, skipping = false, skipAll = false, mapAvailable = false;
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

TEST_F(InterpreterTest, ProgramLoadSplitsLinesResetsEveryFieldAndFailsClean) {
  ScriptProgram program{resources, readLog};
  dir.Write("data/script/start.txt", "  \t.bgm x\r\nabc   \r\n\r\n;c\rlast   ");
  dir.Write("data/script/lf.txt", "one\ntwo\n");  // a line feed alone does not end a line
  ASSERT_TRUE(resources.OpenDataFolder(dir.str()));
  program.NextLine = program.ResumeLine = program.CaseID = program.CaseEnable = 1;
  program.PendingText = "pending";
  program.Child = program.MakeChild();
  ASSERT_TRUE(program.Load("start.txt"));
  EXPECT_EQ(program.NextLine + program.ResumeLine + program.CaseID + program.CaseEnable, 0u);
  EXPECT_TRUE(program.PendingText.empty() && !program.Child);
  std::string lines;
  std::string_view line;
  for (u32 i = 0; program.GetLine(i, line); ++i) lines.append(line).append("|");
  EXPECT_EQ(lines, ".bgm x|abc   ||;c|last|");
  EXPECT_EQ(readLog.currentKey(), "start");
  ASSERT_TRUE(program.Load("lf.txt"));
  EXPECT_EQ(program.LineCount(), 1u);
  EXPECT_FALSE(program.Load("missing.txt"));
  EXPECT_TRUE(program.Name.empty());
  EXPECT_EQ(program.LineCount(), 0u);

  // Freed level by level, a chain this long would overflow the stack.
  ScriptProgram* tail = &program;
  for (int i = 0; i < 200000; ++i) tail = (tail->Child = tail->MakeChild()).get();
  program.Clear();
  EXPECT_EQ(program.Child, nullptr);
}

// Control flow whose whole effect shows in the tag calls and the traced
// failures (a failed line is reported 1-based at the position reached; a
// missing callee is no failure).
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
    {"call returns, load replaces, exit ends", {".a", ".CALL sub.txt", ".b", ".CALL missing.txt", ".c"}, 1,
      {"a()", "in()", "other()", "b()", "c()"}, {}},
    {"a failed load leaves the program cleared", {".LOAD gone.txt", ".never"}, 1, {}, {"エラー（:0）"}},
  };
  // clang-format on
  Script("sub.txt", {".in", ".LOAD other.txt", ".never"});
  Script("other.txt", {".other", ".EXIT", ".never"});
  for (const FlowCase& c : cases) {
    SCOPED_TRACE(c.name);
    Script("start.txt", c.lines);
    calls.clear();
    traces.clear();
    host.quit = false;
    host.answer = c.answer;
    ASSERT_TRUE(RunFresh());
    EXPECT_EQ(calls, c.calls);
    std::erase_if(traces, [](const std::string& t) { return !t.starts_with("エラー（"); });
    EXPECT_EQ(traces, c.traces);
  }
}

TEST_F(InterpreterTest, TextBlocksJoinAndAreHandedOverBeforeTheLineThatEndsThem) {
  Script("start.txt", {"Aya:one", "two", ".wait 500", "alone", "", "x", "; c", "y"});
  hook = [&](std::string_view, std::string_view) { return host.Only("text").size() == 1; };
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(host.Only("text"), (Events{"text:Aya:one/two:new:0", "text:alone:new:0", "text:x:new:0"}));
  EXPECT_TRUE(traces.empty());                          // the tag saw its text already shown
  EXPECT_TRUE(interp.RootProgram.PendingText.empty());  // "y" is dropped with the program
}

TEST_F(InterpreterTest, UnreadTextStopsSkip) {
  Script("start.txt", {"first", "", "#loop", "twice", "?n = n + 1", ".IF n < 2", ".GOTO loop"});
  host.skipping = true;
  ASSERT_TRUE(RunFresh());
  // The GOTO committed the stretch, so the second pass counts as read.
  EXPECT_EQ(host.Only("text"), (Events{"text:first:new:0", "text:twice:new:0", "text:twice:read:0"}));
  EXPECT_EQ(host.Only("run-normal").size(), 1u);
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
  EXPECT_EQ(host.Only("backlog").size(), 3u);  // novel text marks no page
}

TEST_F(InterpreterTest, HugeNestedBlockIsSkippedWithoutRecursion) {
  std::string text = ".IF 0\r\n";
  for (int i = 0; i < 200000; ++i) text += "{\r\n.never\r\n";
  for (int i = 0; i < 200000; ++i) text += "}\r\n";
  dir.Write("data/script/start.txt", text + ".ELSE\r\n.after\r\n");
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(calls, (Events{"after()"}));
}

TEST_F(InterpreterTest, ChoicesKeepTheirNumbersWhenHiddenAndMapsSkipHiddenPlaces) {
  Script("start.txt",
         {".SELECT", "Left", "", "; no", "Middle zero", "Right 1", ".CASE 3", ".right", ".ENDSEL", ".SELECT town extra",
          "i1 home", "i2 shop zero", "i3 park 1 zero", "i4 sea 1 1", ".CASE 4", ".sea", ".ENDSEL"});
  interp.ScriptMode = kModeNovel;  // choices turn the page back to adv
  hook = [&](std::string_view, std::string_view) { return host.mapAvailable = true, host.answer = 4; };
  host.answer = 3;
  ASSERT_TRUE(RunFresh());
  EXPECT_EQ(host.Only("choice"), (Events{"choices", "choice:1:Left", "choice:3:Right"}));
  EXPECT_EQ(host.Only("place"), (Events{"place:1:i1:home:on", "place:3:i3:park:off", "place:4:i4:sea:on"}));
  EXPECT_EQ(host.Only("run-"), (Events{"run-choice", "run-map"}));
  EXPECT_EQ(host.Only("m"), (Events{"mode:0", "map:town"}));
  EXPECT_EQ(calls, (Events{"right()", "sea()"}));
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

TEST_F(InterpreterTest, RestartsUnwindEveryCallAndRunsStartOver) {
  Script("start.txt", {".date", ".CALL a.txt", ".never"});
  Script("a.txt", {".CALL b.txt", ".never"});
  Script("b.txt", {".title", ".never"});
  hook = [&](std::string_view keyword, std::string_view) {
    return keyword != "title" || (interp.RequestGameRestart(), true);
  };
  ASSERT_TRUE(RunFresh() && RunStep());
  EXPECT_EQ(calls, (Events{"date()", "title()", "date()", "title()"}));
  EXPECT_EQ(host.events, (Events{"caption", "clear", "caption", "clear"}));
  EXPECT_EQ(interp.RootProgram.Child, nullptr);
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
  ASSERT_TRUE(SaveArchive(saved).ExchangeString("Name2", name));
  EXPECT_EQ(name, "b.txt");
  EXPECT_FALSE(saved.Contains("Name3"));
  // Resume after the CALL, at the CALL, after the page break.
  EXPECT_EQ(Value<u32>(saved, "StackCount") * 1000 + Value<u32>(saved, "Line0") * 100 +
                Value<u32>(saved, "Line1") * 10 + Value<u32>(saved, "Line2"),
            3262u);
  EXPECT_EQ(Value<i32>(saved, "CaseID1") * 100 + Value<u8>(saved, "CaseEnable1") * 10 + Value<u8>(saved, "CaseEnable0"),
            210);
  EXPECT_EQ(Value<u8>(saved, "ScriptMode"), kModeNovel);

  // Loading unwinds the running chain; the next run resumes the saved one.
  calls.clear();
  interp.ChapterName.clear();
  interp.ScriptMode = kModeAdv;
  host.events.clear();
  SerializeScriptState(interp, saved);
  EXPECT_TRUE(interp.RestartRequested);
  EXPECT_EQ(interp.ChapterName, "第一章");
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
  after(1000);  // the 59 s were folded away
  after(30000);
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
  interp.ChapterDate = "date";
  interp.ScriptMode = kModeDemo;
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

}  // namespace
}  // namespace lyraban
