#pragma once
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/trace.h"

namespace lyraban {

// Notes for a game's author about script lines that run, but not as they
// were probably meant: a stray .ELSE, a brace that matches nothing, a tag
// value that is clamped or ignored. The line goes on exactly as the format
// says; the trace says so once per script line, however often it runs, and
// names the file and line.
class ScriptNotes {
 public:
  explicit ScriptNotes(Trace& trace) : trace_(trace) {}

  // Whether notes are wanted at all (a trace sink is set).
  bool Enabled() const { return trace_.Enabled(); }

  // Traces the note for `script` line `line` (1-based) unless that line
  // already had one. `format` takes the script and the line first, in the
  // style "…（%s:%d） — …".
  template <class... Args>
  void AtLine(std::string_view script, int line, const char* format, const Args&... args) {
    if (!Enabled() || !First(script, line)) return;
    // A reason noted for another message stays with that message.
    std::string pending = trace_.TakeReason();
    trace_.DebugTrace(format, script, line, args...);
    trace_.PutReason(std::move(pending));
  }

  // True the first time it is asked about this line of this script.
  bool First(std::string_view script, int line);

 private:
  Trace& trace_;
  // Per script, one bit per line: a bounded record whatever runs in a loop.
  std::map<std::string, std::vector<bool>, std::less<>> noted_;
};

}  // namespace lyraban
