// The script state of a saved game ("Data_Script"): the input is the section
// itself, or a container that holds it under that key. Whatever the reader
// takes must write and read back to the same state; then the chain it asks
// for is rebuilt and run for a while over a few real scripts, the way a
// loaded game resumes.
#include "script/script_state.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "persist/read_log.h"
#include "persist/save_archive.h"
#include "platform/headless/virtual_clock.h"
#include "resources/resources.h"
#include "script/flags.h"
#include "script/interpreter.h"
#include "script/quiet_host.h"

using namespace lyraban;

namespace {

// A host that lets a bounded number of lines run, then quits.
class ShortRun final : public QuietHost {
 public:
  bool PumpMessages() override { return ++pumps_ <= 400; }
  bool PumpInput() override { return pumps_ <= 400; }
  i32 RunChoice() override { return 2; }

 private:
  int pumps_ = 0;
};

// What the section restores: the interpreter's texts, minutes and mode and
// the chain waiting to be rebuilt.
struct State {
  std::string date, name;
  u32 minutes = 0;
  u8 mode = 0;
  std::vector<CallFrame> frames;
  bool operator==(const State&) const = default;
};

struct Scripts {
  Trace& trace = fuzz::QuietTrace();
  Resources resources{trace};
  ReadLog readLog{trace};
  FlagStore flags{trace, {}};
  NoTags tags;
  ShortRun host;
  platform::VirtualClock clock;
  Interpreter interp{resources, readLog, flags, tags, host, clock, trace};

  explicit Scripts(const std::filesystem::path& game) { resources.OpenDataFolder(game.string()); }

  State Read(SaveArchive& section) {
    SerializeScriptState(interp, section);
    if (!interp.RestartRequested) std::abort();  // a load always unwinds the running scripts
    return State{interp.ChapterDate, interp.ChapterName, interp.GetPlayMinutes(), interp.ScriptMode,
                 interp.PendingRestore};
  }
};

// Writes `state` as the engine saves it: from a running chain of programs.
std::string Write(const State& state, const std::filesystem::path& game) {
  Scripts s(game);
  s.interp.ChapterDate = state.date;
  s.interp.ChapterName = state.name;
  s.interp.SetPlayMinutes(state.minutes);
  s.interp.ScriptMode = state.mode;
  ScriptProgram* program = &s.interp.RootProgram;
  for (size_t i = 0; i < state.frames.size(); ++i) {
    if (i > 0) program = (program->Child = program->MakeChild()).get();
    program->Name = state.frames[i].Name;
    program->ResumeLine = state.frames[i].Line;
    program->CaseID = state.frames[i].CaseID;
    program->CaseEnable = state.frames[i].CaseEnable;
  }
  SaveArchive writer;
  SerializeScriptState(s.interp, writer);
  return writer.bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto game = fuzz::ScratchFolder() / "state";
  static const bool made = [&] {
    fuzz::WriteFile(game / "data" / "script" / "start.txt",
                    ".x\r\nwords\r\n.SELECT\r\nA\r\nB\r\n.CASE 1\r\n{\r\n.y\r\n}\r\n.CASE 2\r\n.CALL a.txt\r\n"
                    ".ENDSEL\r\n}\r\n.ELSE\r\n.GOTO #none\r\n");
    fuzz::WriteFile(game / "data" / "script" / "a.txt",
                    "text\r\n.\r\n.IF 1\r\n.z\r\n.ELSE\r\n.w\r\n.CASE 2\r\n.LOAD start.txt\r\n");
    return true;
  }();
  (void)made;

  SaveArchive outer;
  outer.OpenForReading(fuzz::AsText(data, size));
  SaveArchive nested;
  const bool inside = outer.Contains("Data_Script") && outer.ExchangeArchive("Data_Script", nested);
  SaveArchive& section = inside ? nested : outer;

  Scripts loaded(game);
  loaded.interp.ChapterDate = "before";
  loaded.interp.ScriptMode = 3;
  const State state = loaded.Read(section);

  // The writer always writes the root program, so "no frames" comes back
  // as one empty root frame, which resumes the same way (nothing to run).
  State expected = state;
  if (expected.frames.empty()) expected.frames.emplace_back();
  const std::string bytes = Write(state, game);
  SaveArchive again;
  again.OpenForReading(bytes);
  const State back = Scripts(game).Read(again);
  if (!(back == expected)) std::abort();
  // And the written form is a fixed point.
  if (Write(back, game) != bytes) std::abort();

  // The restore path: rebuild the chain and let it run.
  loaded.interp.RunGameStep();
  return 0;
}
