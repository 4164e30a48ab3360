#include "script/script_state.h"

#include <string>
#include <vector>

#include "persist/save_archive.h"
#include "script/interpreter.h"

namespace lyraban {

namespace {

std::string Key(const char* base, u32 index) { return base + std::to_string(index); }

void ExchangeFrame(SaveArchive& archive, u32 index, CallFrame& frame) {
  archive.ExchangeString(Key("Name", index), frame.Name);
  archive.Exchange(Key("Line", index), frame.Line);
  archive.Exchange(Key("CaseID", index), frame.CaseID);
  // One byte on disk whatever the size of bool here.
  u8 enable = frame.CaseEnable ? 1 : 0;
  if (archive.Exchange(Key("CaseEnable", index), enable)) frame.CaseEnable = enable != 0;
}

}  // namespace

void SerializeScriptState(Interpreter& interpreter, SaveArchive& archive) {
  // Both directions drop the running fraction of a minute.
  u32 minutes = interpreter.GetPlayMinutes();
  interpreter.SetPlayMinutes(minutes);

  archive.ExchangeString("ChapterDate", interpreter.ChapterDate);
  archive.ExchangeString("ChapterName", interpreter.ChapterName);
  if (archive.Exchange("PlayTime", minutes)) interpreter.SetPlayMinutes(minutes);
  archive.Exchange("ScriptMode", interpreter.ScriptMode);

  if (archive.IsWriting()) {
    u32 count = 0;
    for (const ScriptProgram* program = &interpreter.RootProgram; program; program = program->Child.get()) {
      CallFrame frame{program->Name, program->ResumeLine, program->CaseID, program->CaseEnable};
      ExchangeFrame(archive, count, frame);
      ++count;
    }
    archive.Exchange("StackCount", count);
    return;
  }

  interpreter.RequestGameRestart();
  // A file without a count restores no frames: the next run starts afresh.
  u32 count = 0;
  archive.Exchange("StackCount", count);
  // The interpreter never builds a deeper chain; a larger count is damage and
  // must not turn into a huge allocation or loop.
  const u32 limit = Interpreter::kMaxCallDepth + 1;
  if (count > limit) count = limit;
  std::vector<CallFrame> frames(count);
  for (u32 i = 0; i < count; ++i) ExchangeFrame(archive, i, frames[i]);
  interpreter.RequestRestore(std::move(frames));
}

}  // namespace lyraban
