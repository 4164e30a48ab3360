#pragma once

namespace lyraban {

class Interpreter;
class SaveArchive;

// The "Data_Script" section of a saved game: chapter texts, play time, mode
// and the call chain. The archive's direction decides whether the state is
// written or read; reading queues the chain and requests a restart, so the
// running scripts unwind and the next run resumes the saved chain.
void SerializeScriptState(Interpreter& interpreter, SaveArchive& archive);

}  // namespace lyraban
