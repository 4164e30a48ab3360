// Lines that run, but not as their author probably meant: the outline that
// finds them, the notes the trace gets for them (once per line), and the
// tag arguments that are clamped or ignored. The lines themselves must run
// exactly as they always did.
#include "script/script_notes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "persist/read_log.h"
#include "persist/user_settings.h"
#include "platform/headless/virtual_clock.h"
#include "resources/resources.h"
#include "resources/text_lines.h"
#include "script/flags.h"
#include "script/interpreter.h"
#include "script/program.h"
#include "script/script_host.h"
#include "script/script_outline.h"
#include "script/tag_runner.h"
#include "script/tags.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

using Lines = std::vector<std::string>;

TextLines Split(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  TextLines split;
  SplitTextLines(split, text);
  return split;
}

// One letter per line: C a `}` that closes nothing, O a `{` never closed,
// E an ELSE right after an IF's line or block, c a SELECT's choice, S a
// CASE or ENDSEL line that a SELECT's cases reach, . anything else.
std::string Roles(const ScriptOutline& outline) {
  std::string roles;
  for (size_t i = 0; i < outline.LineCount(); ++i) {
    char c = '.';
    if (outline.UnmatchedClose(i)) c = 'C';
    if (outline.UnclosedOpen(i)) c = 'O';
    if (outline.ElseAfterIf(i)) c = 'E';
    if (outline.Choice(i)) c = 'c';
    if (outline.OfSelect(i)) c = 'S';
    roles += c;
  }
  return roles;
}

TEST(ScriptOutline, RolesOfTheLines) {
  const struct {
    const char* name;
    Lines lines;
    const char* roles;
  } cases[] = {
      {"braces pair as a stack", {"}", "{", "{ x", "}", "}", "}", "{"}, "C....CO"},
      {"else after an if's block or line, in any spelling",
       {".IF a", "{", "x", "}", ".ELSE", "y", ".ELSE", ".if b", "z", ".else ", "..ELSE", "w"},
       "....E....E.."},
      {"an if at the end governs nothing", {".ELSE", ".IF 1"}, ".."},
      {"choices, cases, blocks and endsel",
       {".SELECT", "A", "", "; c", "B x", ".CASE 1", "{", ".ENDSEL", "}", ".case 2", ".x", ".ENDSEL ;", ".ENDSEL",
        ".ENDSEL", ".CASE 3"},
       ".c..cS...S.SS.."},
      {"a select among the choices shares their cases",
       {".SELECT", ".SELECT", "A", ".CASE 1", ".x", ".ENDSEL"},
       ".ccS.S"},
      {"choices that reach the end", {".SELECT", "A", "B"}, ".cc"},
      {"cases cut short by the next select",
       {".SELECT", "A", ".CASE 1", ".x", ".SELECT", "B", ".CASE 1", ".y", ".ENDSEL"},
       ".cS..cS.S"},
      {"a case whose block never closes", {".SELECT", "A", ".CASE 1", "{", ".ENDSEL"}, ".cS O."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string want = c.roles;
    std::erase(want, ' ');
    EXPECT_EQ(Roles(ScriptOutline(Split(c.lines))), want);
  }
}

TEST(ScriptOutline, GovernedEndFollowsTheInterpretersSkip) {
  const ScriptOutline outline(Split({".IF 1", "{", "{", "}", "}", "}", ".x", "{"}));
  const size_t none = ScriptOutline::kNone;
  // {start, end}: a `{` runs to its `}`, any other line (a `}` too) is alone.
  const std::pair<size_t, size_t> cases[] = {{1, 5}, {2, 4}, {3, 4}, {5, 6}, {6, 7}, {7, none}, {8, none}, {99, none}};
  for (const auto& [start, end] : cases) EXPECT_EQ(outline.GovernedEnd(start), end) << "from line index " << start;
}

// Inputs that a rescan per line would make quadratic: deep braces, and a
// long run of SELECTs that all share one list of choices and its cases.
TEST(ScriptOutline, LongScriptsTakeOnePass) {
  Lines lines;
  for (int i = 0; i < 100000; ++i) lines.push_back("{");
  for (int i = 0; i < 100000; ++i) lines.push_back("}");
  for (int i = 0; i < 100000; ++i) lines.push_back(".SELECT");
  for (int i = 0; i < 100000; ++i) lines.push_back(".CASE 1");
  lines.push_back(".ENDSEL");
  const ScriptOutline outline(Split(lines));
  EXPECT_EQ(outline.GovernedEnd(0), 200000u);
  EXPECT_TRUE(outline.Choice(200001) && outline.Choice(299999) && !outline.Choice(200000));
  // Each .CASE governs the line after it, here the next .CASE.
  EXPECT_TRUE(outline.OfSelect(300000) && outline.OfSelect(399998) && outline.OfSelect(400000));
}

// The interpreter over loose scripts, a host that lets lines run and a tag
// runner that records "keyword(arguments)".
class NotesTest : public ::testing::Test, public TagRunner, public ScriptHost {
 protected:
  NotesTest() {
    trace.SetSink([this](std::string_view m) { traces.emplace_back(m); });
    auto local = std::make_unique<FlagStore::Names>(), none = std::make_unique<FlagStore::Names>();
    (*local)[0] = "n";
    flags.SetDefinitions(*local, *none, *none);
  }
  void Script(const char* name, const Lines& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    dir.Write(std::string("data/script/") + name, text);
  }
  // Runs start.txt afresh; gives the traces other than failed lines.
  std::vector<std::string> Run() {
    if (!opened) opened = resources.OpenDataFolder(dir.str());
    calls.clear(), traces.clear();
    interpreter->RequestGameRestart();
    EXPECT_TRUE(interpreter->RunGameStep());
    std::erase_if(traces, [](const std::string& t) { return t.starts_with("エラー（"); });
    return traces;
  }

  bool RunTag(std::string_view keyword, std::string_view arguments) override {
    calls.push_back(std::string(keyword) + "(" + std::string(arguments) + ")");
    return true;
  }
  // clang-format off
  bool PumpMessages() override { return ++pumps < 100000; }  bool PumpInput() override { return true; }
  bool IsSkipping() override { return false; }  void SetRunModeNormal() override {}
  bool SkipAllText() override { return false; }  void ShowScriptText(std::string_view, bool, u8) override {}
  void ClearPage() override {}  void SetMessageMode(u8) override {}  void MarkBacklogPage() override {}
  void BeginChoices() override {}  void AddChoice(i32, std::string_view) override {}
  i32 RunChoice() override { return answer; }  bool PrepareMap(std::string_view) override { return false; }
  void AddMapPlace(i32, std::string_view, std::string_view, bool) override {}  i32 RunMap() override { return answer; }
  void UpdateCaption() override {}  void RequestClose() override {}
  // clang-format on

  testing::TempDir dir;
  Trace trace;
  std::vector<std::string> traces, calls;
  Resources resources{trace};
  ReadLog readLog{trace};
  FlagStore flags{trace, {}};
  platform::VirtualClock clock;
  // Notes are once per line for an interpreter's life: a case that
  // rewrites start.txt takes a new one.
  std::unique_ptr<Interpreter> interpreter = NewInterpreter();
  std::unique_ptr<Interpreter> NewInterpreter() {
    return std::make_unique<Interpreter>(resources, readLog, flags, *this, *this, clock, trace);
  }
  bool opened = false;
  int pumps = 0;
  i32 answer = 1;
};

TEST_F(NotesTest, StrayLinesRunAsBeforeAndAreNotedWithFileAndLine) {
  const std::string close = "対応する { のない }（start.txt:", open = "閉じられない {（start.txt:";
  const std::string strayElse = "対応する .IF のない .ELSE（start.txt:",
                    strayCase = "対応する .SELECT のない .CASE（start.txt:";
  const std::string strayEnd = "対応する .SELECT のない .ENDSEL（start.txt:";
  const std::string sep(Trace::kReasonSeparator);
  const struct {
    const char* name;
    Lines lines;
    std::vector<std::string> calls, notes;
  } cases[] = {
      {"braces that match nothing are ignored",
       {".a", "}", ".b", "{", ".c"},
       {"a()", "b()", "c()"},
       {close + "2）" + sep + "no { is open here: the line is ignored",
        open + "4）" + sep + "no } after it closes it: the line is ignored"}},
      {"an else after no if skips its line",
       {".a", ".ELSE", ".no", ".b"},
       {"a()", "b()"},
       {strayElse + "2）" + sep + "it follows no line or block of an .IF: it skips the line or block after it"}},
      {"a case after no select skips to the endsel, which does nothing",
       {".CASE 1", ".no", ".ENDSEL", ".x"},
       {"x()"},
       {strayCase + "1）" + sep +
            "no .SELECT leads to it: unless the last choice is still unmatched, it skips to the next .CASE or .ENDSEL",
        strayEnd + "3）" + sep + "no .SELECT leads to it: it does nothing"}},
      {"an else that a false if does not take, for a blank after it",
       {".IF 0", ".no", ".ELSE ", ".no", ".b"},
       {"b()"},
       {"この .ELSE は .IF に続かない（start.txt:3）" + sep +
        "only a line that is exactly .ELSE is taken when the .IF is false: this one runs as ELSE and skips its line "
        "or block too"}},
      {"structure as written is never noted",
       {".IF 0",   "{", ".no", "}", ".ELSE",   "{", ".y",   "}", ".IF 1",   ".t", ".ELSE",  ".no", ".SELECT", "A", "B",
        ".CASE 1", "{", ".no", "}", ".CASE 2", "{", ".two", "}", ".ENDSEL", "{",  ".block", "}",   ".end"},
       {"y()", "t()", "two()", "block()", "end()"},
       {}},
  };
  answer = 2;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Script("start.txt", c.lines);
    interpreter = NewInterpreter();
    EXPECT_EQ(Run(), c.notes);
    EXPECT_EQ(calls, c.calls);
  }
}

TEST_F(NotesTest, ALineIsNotedOnceHoweverOftenItRuns) {
  Script("start.txt", {"#top", "}", "?n = n + 1", ".IF n < 5", ".GOTO top", ".CALL sub.txt", ".CALL sub.txt"});
  Script("sub.txt", {".ENDSEL"});
  EXPECT_EQ(Run(),
            (std::vector<std::string>{"対応する { のない }（start.txt:2） — no { is open here: the line is ignored",
                                      "対応する .SELECT のない .ENDSEL（sub.txt:1） — no .SELECT leads to it: "
                                      "it does nothing"}));
  EXPECT_EQ(flags.GetFlag("n"), 5);
  // Nor again when the game starts over.
  EXPECT_EQ(Run(), std::vector<std::string>{});
}

TEST(ScriptNotes, ASilentTraceTakesNoNotesAndEachLineHasOne) {
  Trace silent;
  ScriptNotes notes(silent);
  EXPECT_FALSE(notes.Enabled());
  // A note to a silent trace is dropped, and does not use up the line.
  notes.AtLine("start.txt", 1, "x（%s:%d）");
  EXPECT_TRUE(notes.First("start.txt", 1));
  EXPECT_FALSE(notes.First("start.txt", 1));
  EXPECT_TRUE(notes.First("other.txt", 1));
}

TEST_F(NotesTest, ANoteLeavesAReasonNotedForAnotherMessageInPlace) {
  ScriptNotes notes(trace);
  trace.Because("the reason of the next failure");
  notes.AtLine("start.txt", 7, "注意（%s:%d） — %s", std::string("why"));
  EXPECT_EQ(traces, std::vector<std::string>{"注意（start.txt:7） — why"});
  EXPECT_EQ(trace.pendingReason(), "the reason of the next failure");
  trace.ClearReason();
}

// A self-calling script shares one outline along the chain, whichever level
// asks first.
TEST_F(NotesTest, ACallChainOfOneScriptSharesItsOutline) {
  Script("rec.txt", {"{", "}"});
  ASSERT_TRUE(resources.OpenDataFolder(dir.str()));
  ScriptProgram root{resources, readLog};
  ASSERT_TRUE(root.Load("rec.txt"));
  ScriptProgram* child = (root.Child = root.MakeChild()).get();
  ASSERT_TRUE(child->Load("rec.txt"));
  ScriptProgram* grandchild = (child->Child = child->MakeChild()).get();
  ASSERT_TRUE(grandchild->Load("rec.txt"));
  const ScriptOutline* deepest = &grandchild->Outline();
  EXPECT_EQ(&root.Outline(), deepest);
  EXPECT_EQ(&child->Outline(), deepest);
  // Another script in the chain has its own.
  Script("other.txt", {"}"});
  ASSERT_TRUE(child->Load("other.txt"));
  EXPECT_NE(&child->Outline(), deepest);
  EXPECT_TRUE(child->Outline().UnmatchedClose(0));
}

// The tag table with targets that record the calls the notes are about.
class NoteTargets final : public TagTargets {
 public:
  // clang-format off
  void ClearAllLayers() override {}  void ResetLayer(int l) override { Log("reset", l); }
  bool SetLayerImage(int l, std::string_view) override { return Log("image", l), l >= 0 && l < 10; }
  bool ApplyLayerDefinition(int, int) override { return true; }  void ResetLayerAnchor(int) override {}
  void SetLayerX(int l, int x) override { Log("x", l, x); }  void SetLayerY(int l, int y) override { Log("y", l, y); }
  void SetNextFadeDuration(int ms) override { Log("fade", ms); }  void UpdateScreen() override {}
  void PresentScreen() override {}  void ClearScreenSurfaces() override {}
  void Flash(int count, Rgb c) override { Log("flash", count, c.g); }
  void Shake(int ax, int, int, int, int ms) override { Log("shake", ax, ms); }
  void Wipe(std::string_view, int ms) override { Log("wipe", ms); }
  void FadeWipe(std::string_view, int ms) override { Log("fadewipe", ms); }
  void ShowTestImage(const std::array<int, 8>&) override {}
  void PlayBGM(std::string_view, bool loop) override { Log("bgm", loop); }  void FadeBGM() override {}
  void StopBGM() override {}  void PlayEnv(std::string_view) override {}  void StopEnv() override {}
  void PlaySE(std::string_view) override {}  void StopSE() override {}
  void PlayVoice(std::string_view) override { Log("voice", 1); }  void SetPendingVoice(std::string_view) override {}
  bool PumpInput(u8, bool) override { return false; }  u8 PendingCommand() override { return 0; }
  void ClearPendingInput() override {}  bool IsSkipping() override { return false; }
  bool IsAutoMode() override { return false; }  void RunSaveLoadScreen(SaveLoadMode) override { Log("screen", 1); }
  void RunConfigDialog() override { Log("config", 1); }  void SetMessageMode(u8 m) override { Log("mode", m); }
  void ClockEvent(std::string_view, std::string_view) override {}  void FlowReset() override {}
  void FlowNewRoute() override {}  u8 ScriptMode() override { return kModeAdv; }
  void SetChapterDate(std::string_view) override {}  void SetChapterName(std::string_view) override {}
  void UpdateCaption() override {}  void PlayMovie(std::string_view) override {}
  // clang-format on
  template <class... Args>
  void Log(const char* op, const Args&... args) {
    calls += (calls.empty() ? "" : " ") + std::string(op);
    ((calls += " " + std::to_string(args)), ...);
  }
  std::string calls;
};

TEST(TagNotes, ClampedAndIgnoredArgumentsAreNotedAndStillDoWhatTheyDid) {
  Trace trace;
  FlagStore flags{trace, {}};
  UserSettings settings{};
  settings.MaleVoices = settings.FemaleVoices = 1;
  platform::VirtualClock clock;
  NoteTargets targets;
  TagTable tags(targets, flags, settings, clock);
  std::vector<std::string> notes;
  int heard = 0;
  tags.SetNoteHook([&](const std::vector<std::string>& n) { notes = n, ++heard; });
  const struct {
    const char* tag;
    const char* arguments;
    const char* calls;
    std::vector<std::string> notes;
  } cases[] = {
      {"fade", "70000", "fade 60000", {".fade 70000 ms is outside 0 to 60000: 60000 is used"}},
      {"fade", "-5", "fade 0", {".fade -5 ms is outside 0 to 60000: 0 is used"}},
      {"fade", "300", "fade 300", {}},
      {"fadein", "0", "fade 500", {".fadein 0 is not a positive time: 500 ms is used"}},
      {"fadein", "", "fade 500", {}},
      {"fadein", "90000", "fade 90000", {".fadein 90000 ms: the cross-fade is cut to 60000 ms, the wait is not"}},
      {"fadeout", "snow -3", "image 0 fade 500", {".fadeout -3 is not a positive time: 500 ms is used"}},
      {"fadeout", "snow", "image 0 fade 500", {}},
      {"wipe",
       "rule 0 soft",
       "wipe 500",
       {".wipe 0 is not a positive time: 500 ms is used", ".wipe: soft is ignored (only fade may follow the time)"}},
      {"wipe", "rule fade", "fadewipe 500", {}},
      {"img", "12 100", "x 12 100", {".img layer 12 is outside 0 to 9: nothing changes"}},
      {"img", "10", "reset 10", {".img layer 10 is outside 0 to 9: nothing changes"}},
      {"img",
       "1 10 20 30 pos0 pos6 pos5",
       "x 1 10 y 1 20 x 1 665 y 1 480",
       {".img: the number 30 after x and y is ignored", ".img pos0 is not one of pos1 to pos5: ignored",
        ".img pos6 is not one of pos1 to pos5: ignored"}},
      {"flash", "20", "flash 20 255", {".flash count 20 is outside 1 to 10: 10 is used"}},
      {"flash",
       "mauve 0",
       "flash 0 255",
       {".flash mauve is not a colour of the table: white is used", ".flash count 0 is outside 1 to 10: 1 is used"}},
      {"flash", "RED", "flash 0 0", {}},
      {"shake",
       "wobble",
       "shake 20 1000",
       {".shake wobble is not a preset (slow, big, small, xonly, yonly, once): the default is used"}},
      {"shake", "Big", "shake 40 1500", {}},
      {"mode", "Wait", "", {".mode Wait does nothing: adv, novel, novel2, system or demo"}},
      {"mode", "NOVEL", "mode 1", {}},
      {"system", "quit", "", {".system quit does nothing: load, save or config"}},
      {"bgm", "m01 once", "bgm 1", {".bgm: once is not noloop, the music loops"}},
      {"bgm", "m01 NoLoop", "bgm 0", {}},
      {"voice", "ak_1 softly", "voice 1", {".voice: softly is not ghost, the voice plays"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.tag) + " " + c.arguments);
    targets.calls.clear(), notes.clear(), heard = 0;
    EXPECT_TRUE(tags.RunTag(c.tag, c.arguments));
    EXPECT_EQ(targets.calls, c.calls);
    EXPECT_EQ(notes, c.notes);
    EXPECT_EQ(heard, c.notes.empty() ? 0 : 1) << "all notes of a line arrive together";
  }
  // A tag that fails says why through the trace instead; its notes are not
  // heard, so the failed line is reported once.
  tags.SetTrace(&trace);
  trace.SetSink([](std::string_view) {});
  notes.clear(), heard = 0;
  EXPECT_FALSE(tags.RunTag("img", "12 hero.png"));
  EXPECT_EQ(trace.pendingReason(), "img: layer 12 is outside 0 to 9");
  EXPECT_EQ(heard, 0);
}

}  // namespace
}  // namespace lyraban
