#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "base/types.h"
#include "resources/text_lines.h"

namespace lyraban {

class ReadLog;
class Resources;
class ScriptOutline;

// What the interpreter does with a line is decided by its first byte (the
// splitter has already removed leading blanks).
enum class LineKind : u8 {
  Blank,       // empty line: ends the current text block
  Comment,     // ';'
  Label,       // '#name'
  BlockOpen,   // '{'
  BlockClose,  // '}'
  Assignment,  // '?name = expression'
  Command,     // '.KEYWORD arguments'
  Text,        // scenario text, optionally 'speaker:words'
};

LineKind ClassifyLine(std::string_view line);

// A command line cut into its keyword and arguments. One extra '.' after the
// leading one is skipped ("..CASE 1" reads as ".CASE 1"); the keyword is the
// longest run without blanks, '(' or digits, so ".wait100" is "wait" + "100".
struct CommandParts {
  std::string_view keyword;
  std::string_view arguments;
};
CommandParts SplitCommand(std::string_view line);

// A text block split at its first ':' into speaker and words; without a colon
// there is no speaker.
struct SpeakerText {
  bool hasSpeaker = false;
  std::string_view speaker;
  std::string_view words;
};
SpeakerText SplitSpeaker(std::string_view block);

// One loaded script with its execution position. A program owns the program
// it has called (`Child`), so the running scripts form a chain from the root.
class ScriptProgram {
 public:
  // Scripts are read from folder "script" of `resources`; `readLog` learns
  // which script is current whenever one is loaded.
  ScriptProgram(Resources& resources, ReadLog& readLog);
  ~ScriptProgram();
  ScriptProgram(const ScriptProgram&) = delete;
  ScriptProgram& operator=(const ScriptProgram&) = delete;

  // Clears, then reads `name`. On failure the program stays cleared.
  bool Load(std::string_view name);
  // Empties every field and frees the child chain.
  void Clear();
  // False past the last line (never an empty stand-in).
  bool GetLine(u32 index, std::string_view& text) const;
  u32 LineCount() const;

  // A new empty program that shares this one's resources and read log, and
  // this one's script texts when it loads the same script.
  std::unique_ptr<ScriptProgram> MakeChild() const;

  // The block structure of the loaded text, made when first asked for and
  // shared with the callers in the chain that hold the same text.
  const ScriptOutline& Outline() const;

  std::string Name;
  std::string PendingText;
  u32 NextLine = 0;
  u32 ResumeLine = 0;
  i32 CaseID = 0;
  bool CaseEnable = false;
  TextLines Lines;
  std::unique_ptr<ScriptProgram> Child;

 private:
  Resources& resources_;
  ReadLog& readLog_;
  const ScriptProgram* parent_ = nullptr;  // the caller, which owns this program
  mutable std::shared_ptr<const ScriptOutline> outline_;
};

}  // namespace lyraban
