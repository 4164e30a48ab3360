#include "script/program.h"

#include "persist/read_log.h"
#include "resources/resources.h"
#include "script/script_outline.h"

namespace lyraban {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool EndsKeyword(char c) { return IsBlank(c) || c == '(' || (c >= '0' && c <= '9'); }
}  // namespace

LineKind ClassifyLine(std::string_view line) {
  if (line.empty()) return LineKind::Blank;
  switch (line[0]) {
    case '\0':
      return LineKind::Blank;
    case ';':
      return LineKind::Comment;
    case '#':
      return LineKind::Label;
    case '{':
      return LineKind::BlockOpen;
    case '}':
      return LineKind::BlockClose;
    case '?':
      return LineKind::Assignment;
    case '.':
      return LineKind::Command;
    default:
      return LineKind::Text;
  }
}

CommandParts SplitCommand(std::string_view line) {
  size_t pos = 0;
  if (pos < line.size() && line[pos] == '.') ++pos;
  if (pos < line.size() && line[pos] == '.') ++pos;
  const size_t start = pos;
  while (pos < line.size() && !EndsKeyword(line[pos])) ++pos;
  CommandParts parts;
  parts.keyword = line.substr(start, pos - start);
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  parts.arguments = line.substr(pos);
  return parts;
}

SpeakerText SplitSpeaker(std::string_view block) {
  SpeakerText result;
  const size_t colon = block.find(':');
  if (colon == std::string_view::npos) {
    result.words = block;
    return result;
  }
  result.hasSpeaker = true;
  result.speaker = block.substr(0, colon);
  result.words = block.substr(colon + 1);
  return result;
}

ScriptProgram::ScriptProgram(Resources& resources, ReadLog& readLog) : resources_(resources), readLog_(readLog) {}

ScriptProgram::~ScriptProgram() {
  // Unlink the chain from the tail end so a long chain is freed without one
  // destructor frame per level.
  while (Child) {
    std::unique_ptr<ScriptProgram> next = std::move(Child->Child);
    Child = std::move(next);
  }
}

bool ScriptProgram::Load(std::string_view requested) {
  // The name may point into this program's own lines (a LOAD line), which
  // Clear frees.
  const std::string name(requested);
  Clear();
  // A script the chain already holds (a self-CALL, a recursion) shares its
  // immutable text instead of reading another copy per level.
  for (const ScriptProgram* p = parent_; p; p = p->parent_) {
    if (p->Name == name && !p->Lines.empty()) {
      Lines = p->Lines;
      Name = name;
      readLog_.SetCurrentScript(Name);
      return true;
    }
  }
  // An empty script is a valid script that ends at once.
  bool empty = false;
  if (!resources_.LoadTextLines(Lines, "script", name, empty)) {
    Clear();
    return false;
  }
  Name = name;
  readLog_.SetCurrentScript(Name);
  return true;
}

void ScriptProgram::Clear() {
  Name.clear();
  PendingText.clear();
  NextLine = 0;
  ResumeLine = 0;
  CaseID = 0;
  CaseEnable = false;
  while (Child) {
    std::unique_ptr<ScriptProgram> next = std::move(Child->Child);
    Child = std::move(next);
  }
  Lines.Clear();
  outline_.reset();
}

bool ScriptProgram::GetLine(u32 index, std::string_view& text) const {
  if (index >= Lines.LineCount()) return false;
  text = Lines.Line(index);
  return true;
}

u32 ScriptProgram::LineCount() const { return static_cast<u32>(Lines.LineCount()); }

const ScriptOutline& ScriptProgram::Outline() const {
  if (outline_ && outline_->LineCount() == Lines.LineCount()) return *outline_;
  outline_.reset();
  for (const ScriptProgram* p = parent_; p && !outline_; p = p->parent_)
    if (p->outline_ && p->Lines.SameText(Lines)) outline_ = p->outline_;
  if (!outline_) {
    outline_ = std::make_shared<const ScriptOutline>(Lines);
    // A recursion deeper in the chain would otherwise outline the same text
    // again at every level.
    for (const ScriptProgram* p = parent_; p; p = p->parent_)
      if (!p->outline_ && p->Lines.SameText(Lines)) p->outline_ = outline_;
  }
  return *outline_;
}

std::unique_ptr<ScriptProgram> ScriptProgram::MakeChild() const {
  auto child = std::make_unique<ScriptProgram>(resources_, readLog_);
  child->parent_ = this;
  return child;
}

}  // namespace lyraban
