#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "base/trace.h"
#include "base/types.h"
#include "script/program.h"
#include "script/script_notes.h"

namespace lyraban {

class FlagStore;
class ReadLog;
class Resources;
class ScriptHost;
class TagRunner;
namespace platform {
class Clock;
}

// Message window modes a script selects with the `mode` tag.
enum ScriptModeValue : u8 {
  kModeAdv = 0,
  kModeNovel = 1,
  kModeNovel2 = 2,
  kModeSystem = 3,
  kModeDemo = 4,
};

// One program of a saved call chain, outermost first.
struct CallFrame {
  std::string Name;
  u32 Line = 0;  // where the program resumes (its ResumeLine when saved)
  i32 CaseID = 0;
  bool CaseEnable = false;

  bool operator==(const CallFrame&) const = default;
};

// Runs scenario scripts line by line. It keeps no clock of its own: every wait
// happens inside the host and tag operations that lines call.
class Interpreter {
 public:
  // Every CALL nests one run of the script loop on the C++ stack, so nesting
  // is bounded: a CALL beyond this many levels below the root fails (traced)
  // instead of overflowing the stack. Deep enough for any real scenario.
  static constexpr u32 kMaxCallDepth = 1000;

  Interpreter(Resources& resources, ReadLog& readLog, FlagStore& flags, TagRunner& tags, ScriptHost& host,
              platform::Clock& clock, Trace& trace);

  // One run of the outer loop: clears the restart request, prepares the run
  // and runs the root program. False only when "start.txt" cannot be loaded.
  bool RunGameStep();
  // Rebuilds a pending saved chain, or loads "start.txt" afresh.
  bool PrepareRun();
  // The script loop: runs `program` to its end, a restart request or a quit.
  bool RunProgram(ScriptProgram& program);
  // Runs one line of `program`; false is a failed line.
  bool ExecuteLine(ScriptProgram& program, std::string_view line);

  // The next line starts over from "start.txt".
  void RequestGameRestart();
  // The next run rebuilds `frames` (outermost first) and resumes them.
  void RequestRestore(std::vector<CallFrame> frames);

  // Stores the mode and has the message window take its layout.
  void SetMessageMode(u8 mode);

  // Whole minutes played: those restored from a save plus those since the
  // play clock started.
  u32 GetPlayMinutes();
  // Starts the play clock afresh with `minutes` as the base (save and load
  // both fold the running minutes into the base this way).
  void SetPlayMinutes(u32 minutes);

  // Traces, once for the line being run, the arguments its tag clamped or
  // ignored (the tag table's notes).
  void NoteTagArguments(const std::vector<std::string>& notes);

  // Number of CALLs currently nested below the root.
  u32 CallDepth() const { return callDepth_; }

  ScriptProgram RootProgram;
  u8 ScriptMode = kModeAdv;
  bool RestartRequested = false;
  std::vector<CallFrame> PendingRestore;
  std::string ChapterDate;
  std::string ChapterName;

 private:
  bool RunCommand(ScriptProgram& program, std::string_view keyword, std::string_view arguments);
  void FlushText(ScriptProgram& program);
  bool SkipGoverned(ScriptProgram& program);
  bool RunIf(ScriptProgram& program, std::string_view condition);
  bool RunGoto(ScriptProgram& program, std::string_view label);
  bool RunCall(ScriptProgram& program, std::string_view name);
  bool RunSelect(ScriptProgram& program, std::string_view arguments);
  bool RunCase(ScriptProgram& program, std::string_view numbers);
  // Notes a brace, ELSE, CASE or ENDSEL line that runs outside the
  // structure it belongs to (the line itself runs as the format says).
  void NoteStrayLine(const ScriptProgram& program, LineKind kind, std::string_view keyword);

  ReadLog& readLog_;
  FlagStore& flags_;
  TagRunner& tags_;
  ScriptHost& host_;
  platform::Clock& clock_;
  Trace& trace_;
  ScriptNotes notes_{trace_};
  u32 callDepth_ = 0;
  u32 playMinutesBase_ = 0;
  u32 playClockStart_ = 0;
};

}  // namespace lyraban
