#include "script/interpreter.h"

#include <limits>

#include "base/strings.h"
#include "persist/read_log.h"
#include "platform/clock.h"
#include "resources/resources.h"
#include "script/flags.h"
#include "script/script_host.h"
#include "script/script_outline.h"
#include "script/tag_runner.h"
#include "script/tags.h"

namespace lyraban {

namespace {

constexpr const char* kStartScript = "start.txt";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool StartsWithNoCase(std::string_view line, std::string_view prefix) {
  return line.size() >= prefix.size() && EqualsNoCase(line.substr(0, prefix.size()), prefix);
}

// Cuts the next blank-separated word off `text`; empty when none is left.
std::string_view NextWord(std::string_view& text) {
  size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  const size_t start = pos;
  while (pos < text.size() && !IsBlank(text[pos])) ++pos;
  std::string_view word = text.substr(start, pos - start);
  text = text.substr(pos);
  return word;
}

}  // namespace

Interpreter::Interpreter(Resources& resources, ReadLog& readLog, FlagStore& flags, TagRunner& tags, ScriptHost& host,
                         platform::Clock& clock, Trace& trace)
    : RootProgram(resources, readLog),
      readLog_(readLog),
      flags_(flags),
      tags_(tags),
      host_(host),
      clock_(clock),
      trace_(trace),
      playClockStart_(clock.Now()) {}

bool Interpreter::RunGameStep() {
  RestartRequested = false;
  if (!PrepareRun()) return false;
  return RunProgram(RootProgram);
}

bool Interpreter::PrepareRun() {
  host_.UpdateCaption();
  if (!PendingRestore.empty()) {
    // A chain deeper than CALL can build would only fail at its bound.
    if (PendingRestore.size() > kMaxCallDepth + 1) PendingRestore.resize(kMaxCallDepth + 1);
    ScriptProgram* target = &RootProgram;
    for (const CallFrame& frame : PendingRestore) {
      // A frame whose script is gone leaves its program empty; it then ends
      // at once and its caller goes on.
      target->Load(frame.Name);
      target->NextLine = frame.Line;
      target->CaseID = frame.CaseID;
      target->CaseEnable = frame.CaseEnable;
      target->Child = target->MakeChild();
      target = target->Child.get();
    }
    SetMessageMode(ScriptMode);
    host_.ClearPage();
    PendingRestore.clear();
    return true;
  }
  ChapterDate.clear();
  ChapterName.clear();
  if (!RootProgram.Load(kStartScript)) return false;
  host_.FlowPass(kStartScript);
  host_.ClearPage();
  return true;
}

bool Interpreter::RunProgram(ScriptProgram& program) {
  readLog_.SetCurrentScript(program.Name);
  std::string_view line;
  while (host_.PumpMessages()) {
    // Only right after a rebuild: the saved callee resumes before its caller.
    if (program.Child) RunCall(program, {});
    if (RestartRequested) {
      readLog_.Flush();
      return true;
    }
    if (!program.GetLine(program.NextLine, line)) break;
    ++program.NextLine;
    trace_.SetScriptLine(program.Name, static_cast<int>(program.NextLine));
    host_.LookAhead(program);
    if (ExecuteLine(program, line)) continue;
    if (!host_.PumpInput()) break;
    trace_.DebugTrace("エラー（%s:%d）", program.Name, static_cast<int>(program.NextLine));
  }
  readLog_.Flush();
  program.Clear();
  return true;
}

bool Interpreter::ExecuteLine(ScriptProgram& program, std::string_view line) {
  switch (ClassifyLine(line)) {
    case LineKind::Text:
      if (!program.PendingText.empty()) program.PendingText.push_back('/');
      program.PendingText.append(line);
      return true;
    case LineKind::Blank:
    case LineKind::Comment:
    case LineKind::Label:
      FlushText(program);
      return true;
    case LineKind::BlockOpen:
    case LineKind::BlockClose:
      FlushText(program);
      NoteStrayLine(program, ClassifyLine(line), {});
      return true;
    case LineKind::Command: {
      FlushText(program);
      if (RestartRequested) return true;
      const CommandParts parts = SplitCommand(line);
      return RunCommand(program, parts.keyword, parts.arguments);
    }
    case LineKind::Assignment:
      FlushText(program);
      if (RestartRequested) return true;
      return flags_.Assign(line.substr(1));
  }
  return true;
}

void Interpreter::FlushText(ScriptProgram& program) {
  if (program.PendingText.empty()) return;
  // The block's key is the 1-based number of the line that ended it.
  const bool read = readLog_.IsRead(static_cast<i32>(program.NextLine));
  if (!read && !host_.SkipAllText() && host_.IsSkipping()) host_.SetRunModeNormal();
  host_.ShowScriptText(program.PendingText, read, ScriptMode);
  program.PendingText.clear();
  if (ScriptMode != kModeNovel && ScriptMode != kModeNovel2) {
    program.ResumeLine = program.NextLine - 1;
    host_.MarkBacklogPage();
  }
}

bool Interpreter::RunCommand(ScriptProgram& program, std::string_view keyword, std::string_view arguments) {
  if (keyword.empty()) {
    // "." or "..": page break; a restored game resumes after it.
    program.ResumeLine = program.NextLine;
    host_.MarkBacklogPage();
    host_.ClearPage();
    return true;
  }
  if (EqualsNoCase(keyword, "IF")) return RunIf(program, arguments);
  if (EqualsNoCase(keyword, "ELSE")) {
    NoteStrayLine(program, LineKind::Command, keyword);
    return SkipGoverned(program);
  }
  if (EqualsNoCase(keyword, "GOTO")) return RunGoto(program, arguments);
  if (EqualsNoCase(keyword, "CALL")) return RunCall(program, arguments);
  if (EqualsNoCase(keyword, "LOAD")) {
    // The arguments point into the lines that Load frees.
    const std::string name(arguments);
    if (!program.Load(name)) {
      trace_.Because("LOAD: script %s could not be read", name);
      return false;
    }
    host_.FlowPass(name);
    return true;
  }
  if (EqualsNoCase(keyword, "SELECT")) return RunSelect(program, arguments);
  if (EqualsNoCase(keyword, "CASE")) {
    NoteStrayLine(program, LineKind::Command, keyword);
    return RunCase(program, arguments);
  }
  if (EqualsNoCase(keyword, "ENDSEL")) {
    NoteStrayLine(program, LineKind::Command, keyword);
    return true;
  }
  if (EqualsNoCase(keyword, "EXIT")) {
    program.Lines.Clear();
    return true;
  }
  if (EqualsNoCase(keyword, "QUIT")) {
    // Failing the line sends the run through the input pump, which sees the
    // quit once the player has confirmed it.
    host_.RequestClose();
    trace_.Because("QUIT: the game was not closed");
    return false;
  }
  if (keyword == ".") {
    // "...": page break that a restored game repeats.
    host_.ClearPage();
    program.ResumeLine = program.NextLine - 1;
    host_.MarkBacklogPage();
    return true;
  }
  if (tags_.RunTag(keyword, arguments)) return true;
  if (!IsTagName(keyword)) ExplainUnknownTag(trace_, keyword);
  return false;
}

bool Interpreter::SkipGoverned(ScriptProgram& program) {
  readLog_.CommitPending();
  int depth = 0;
  std::string_view line;
  while (program.GetLine(program.NextLine, line)) {
    ++program.NextLine;
    if (!line.empty()) {
      if (line[0] == '{') {
        ++depth;
      } else if (line[0] == '}') {
        --depth;
      }
    }
    if (depth < 1) return true;
  }
  trace_.Because(depth > 0 ? "the file ends before the block's closing }"
                           : "the file ends where a line or block should follow");
  return false;
}

bool Interpreter::RunIf(ScriptProgram& program, std::string_view condition) {
  if (flags_.EvaluateExpression(condition) != 0) return true;
  if (!SkipGoverned(program)) return false;
  std::string_view next;
  if (!program.GetLine(program.NextLine, next)) {
    trace_.Because("the file ends right after the skipped .IF block");
    return false;
  }
  // Only the exact word: ".ELSE " with a blank runs as ELSE and skips its block.
  if (EqualsNoCase(next, ".ELSE")) {
    ++program.NextLine;
  } else if (notes_.Enabled() && ClassifyLine(next) == LineKind::Command &&
             EqualsNoCase(SplitCommand(next).keyword, "ELSE")) {
    notes_.AtLine(program.Name, static_cast<int>(program.NextLine + 1),
                  "この .ELSE は .IF に続かない（%s:%d） — only a line that is exactly .ELSE is taken when the .IF is "
                  "false: this one runs as ELSE and skips its line or block too");
  }
  return true;
}

bool Interpreter::RunGoto(ScriptProgram& program, std::string_view label) {
  readLog_.CommitPending();
  if (!label.empty() && label[0] == '#') label.remove_prefix(1);
  const u32 count = program.LineCount();
  for (u32 index = 0; index < count; ++index) {
    const std::string_view line = program.Lines.Line(index);
    if (line.size() == label.size() + 1 && line[0] == '#' && line.substr(1) == label) {
      program.NextLine = index + 1;
      program.ResumeLine = index + 1;
      return true;
    }
  }
  trace_.Because("label #%s not found in %s", label, program.Name);
  return false;
}

bool Interpreter::RunCall(ScriptProgram& program, std::string_view name) {
  if (callDepth_ >= kMaxCallDepth) {
    trace_.DebugTrace("CALLの入れ子が深すぎます（%d段）：%s", static_cast<int>(callDepth_), name);
    program.Child.reset();
    return false;
  }
  if (!program.Child) program.Child = program.MakeChild();
  program.ResumeLine = program.NextLine;
  // A missing script leaves the child empty: it ends at once and the CALL
  // does nothing.
  if (!name.empty() && program.Child->Load(name)) host_.FlowPass(name);
  ++callDepth_;
  const bool result = RunProgram(*program.Child);
  --callDepth_;
  program.Child.reset();
  readLog_.SetCurrentScript(program.Name);
  return result;
}

bool Interpreter::RunSelect(ScriptProgram& program, std::string_view arguments) {
  readLog_.CommitPending();
  if (ScriptMode == kModeNovel || ScriptMode == kModeNovel2) SetMessageMode(kModeAdv);
  std::string_view rest = arguments;
  const std::string_view mapName = NextWord(rest);
  const bool onMap = !mapName.empty() && host_.PrepareMap(mapName);
  if (!onMap) host_.BeginChoices();

  // Numbers count every choice line, hidden ones too, so CASE numbers stay
  // fixed whatever the conditions offer.
  i32 count = 0;
  std::string_view line;
  while (program.GetLine(program.NextLine, line)) {
    if (StartsWithNoCase(line, ".CASE")) {
      program.CaseID = onMap ? host_.RunMap() : host_.RunChoice();
      program.CaseEnable = true;
      return true;
    }
    if (!line.empty() && line[0] != ';') {
      ++count;
      std::string_view words = line;
      if (onMap) {
        const std::string_view icon = NextWord(words);
        const std::string_view place = NextWord(words);
        const std::string_view offered = NextWord(words);
        const std::string_view pickable = NextWord(words);
        if (offered.empty() || flags_.EvaluateExpression(offered) != 0) {
          const bool enabled = pickable.empty() || flags_.EvaluateExpression(pickable) != 0;
          host_.AddMapPlace(count, icon, place, enabled);
        }
      } else {
        const std::string_view text = NextWord(words);
        const std::string_view condition = NextWord(words);
        if (condition.empty() || flags_.EvaluateExpression(condition) != 0) host_.AddChoice(count, text);
      }
    }
    ++program.NextLine;
  }
  trace_.Because("no .CASE follows the choices of .SELECT before the end of the file");
  return false;
}

bool Interpreter::RunCase(ScriptProgram& program, std::string_view numbers) {
  readLog_.CommitPending();
  if (program.CaseEnable) {
    size_t pos = 0;
    while (pos < numbers.size() && IsBlank(numbers[pos])) ++pos;
    while (pos < numbers.size() && IsDigit(numbers[pos])) {
      // Saturate: an absurdly long number simply matches nothing.
      i64 value = 0;
      while (pos < numbers.size() && IsDigit(numbers[pos])) {
        if (value <= std::numeric_limits<i32>::max()) value = value * 10 + (numbers[pos] - '0');
        ++pos;
      }
      if (value == program.CaseID) {
        program.CaseEnable = false;
        return true;
      }
      while (pos < numbers.size() && IsBlank(numbers[pos])) ++pos;
    }
  }
  std::string_view line;
  while (program.GetLine(program.NextLine, line)) {
    if (!line.empty() && line[0] == '{') {
      if (!SkipGoverned(program)) return false;
      continue;
    }
    if (StartsWithNoCase(line, ".CASE") || EqualsNoCase(line, ".ENDSEL")) return true;
    ++program.NextLine;
  }
  trace_.Because("no further .CASE and no .ENDSEL before the end of the file");
  return false;
}

void Interpreter::NoteStrayLine(const ScriptProgram& program, LineKind kind, std::string_view keyword) {
  if (!notes_.Enabled() || program.NextLine == 0) return;
  const size_t index = program.NextLine - 1;
  const ScriptOutline& outline = program.Outline();
  const int line = static_cast<int>(program.NextLine);
  if (kind == LineKind::BlockClose && outline.UnmatchedClose(index)) {
    notes_.AtLine(program.Name, line, "対応する { のない }（%s:%d） — no { is open here: the line is ignored");
  } else if (kind == LineKind::BlockOpen && outline.UnclosedOpen(index)) {
    notes_.AtLine(program.Name, line, "閉じられない {（%s:%d） — no } after it closes it: the line is ignored");
  } else if (kind == LineKind::Command && EqualsNoCase(keyword, "ELSE") && !outline.ElseAfterIf(index)) {
    notes_.AtLine(program.Name, line,
                  "対応する .IF のない .ELSE（%s:%d） — it follows no line or block of an .IF: it skips the line or "
                  "block after it");
  } else if (kind == LineKind::Command && EqualsNoCase(keyword, "CASE") && !outline.OfSelect(index)) {
    notes_.AtLine(program.Name, line,
                  "対応する .SELECT のない .CASE（%s:%d） — no .SELECT leads to it: unless the last choice is still "
                  "unmatched, it skips to the next .CASE or .ENDSEL");
  } else if (kind == LineKind::Command && EqualsNoCase(keyword, "ENDSEL") && !outline.OfSelect(index)) {
    notes_.AtLine(program.Name, line,
                  "対応する .SELECT のない .ENDSEL（%s:%d） — no .SELECT leads to it: it does nothing");
  }
}

void Interpreter::NoteTagArguments(const std::vector<std::string>& notes) {
  if (!notes_.Enabled() || notes.empty()) return;
  std::string all = notes.front();
  for (size_t i = 1; i < notes.size(); ++i) all.append("; ").append(notes[i]);
  notes_.AtLine(trace_.scriptName(), trace_.scriptLine(), "タグの引数をそのまま使えない（%s:%d） — %s", all);
}

void Interpreter::RequestGameRestart() {
  PendingRestore.clear();
  RestartRequested = true;
}

void Interpreter::RequestRestore(std::vector<CallFrame> frames) {
  PendingRestore = std::move(frames);
  RestartRequested = true;
}

void Interpreter::SetMessageMode(u8 mode) {
  ScriptMode = mode;
  host_.SetMessageMode(mode);
}

u32 Interpreter::GetPlayMinutes() { return ElapsedMs(playClockStart_, clock_.Now()) / 60000 + playMinutesBase_; }

void Interpreter::SetPlayMinutes(u32 minutes) {
  playMinutesBase_ = minutes;
  playClockStart_ = clock_.Now();
}

}  // namespace lyraban
