#include "script/script_outline.h"

#include <string_view>

#include "base/strings.h"
#include "resources/text_lines.h"
#include "script/program.h"

namespace lyraban {

namespace {

bool StartsWithNoCase(std::string_view line, std::string_view prefix) {
  return line.size() >= prefix.size() && EqualsNoCase(line.substr(0, prefix.size()), prefix);
}

bool IsCommand(std::string_view line, std::string_view keyword) {
  return ClassifyLine(line) == LineKind::Command && EqualsNoCase(SplitCommand(line).keyword, keyword);
}

bool StartsCase(std::string_view line) { return StartsWithNoCase(line, ".CASE"); }

}  // namespace

ScriptOutline::ScriptOutline(const TextLines& lines)
    : flags_(lines.LineCount(), 0), close_(lines.LineCount(), kNoMatch) {
  const size_t count = flags_.size();
  // Braces pair up as a stack does; a `}` with nothing open closes nothing.
  std::vector<u32> open;
  for (size_t i = 0; i < count; ++i) {
    const std::string_view line = lines.Line(i);
    if (line.empty()) continue;
    if (line[0] == '{') {
      flags_[i] |= kOpen;
      open.push_back(static_cast<u32>(i));
    } else if (line[0] == '}') {
      if (open.empty()) {
        flags_[i] |= kUnmatchedClose;
      } else {
        close_[open.back()] = static_cast<u32>(i);
        open.pop_back();
      }
    }
  }
  for (u32 i : open) flags_[i] |= kUnclosedOpen;

  // The first .CASE line at or after each line: where a SELECT's choices end.
  std::vector<u32> nextCase(count + 1, kNoMatch);
  for (size_t i = count; i-- > 0;) nextCase[i] = StartsCase(lines.Line(i)) ? static_cast<u32>(i) : nextCase[i + 1];

  for (size_t i = 0; i < count; ++i) {
    const std::string_view line = lines.Line(i);
    if (IsCommand(line, "IF")) {
      const size_t end = GovernedEnd(i + 1);
      if (end < count && IsCommand(lines.Line(end), "ELSE")) flags_[end] |= kElseAfterIf;
      continue;
    }
    if (!IsCommand(line, "SELECT")) continue;
    const size_t firstCase = nextCase[i + 1] == kNoMatch ? count : nextCase[i + 1];
    // A SELECT among the choices of an earlier one shares its list and its
    // cases: both are marked already.
    for (size_t j = i + 1; j < firstCase && !(flags_[j] & kListed); ++j) {
      flags_[j] |= kListed;
      const std::string_view choice = lines.Line(j);
      if (!choice.empty() && choice[0] != ';') flags_[j] |= kChoice;
    }
    // The cases as the interpreter steps over them, up to the exact
    // ".ENDSEL"; a walk that reaches a line an earlier walk stood on goes
    // on as that one did.
    for (size_t j = firstCase; j < count && !(flags_[j] & kWalked);) {
      flags_[j] |= kWalked;
      const std::string_view at = lines.Line(j);
      if (StartsCase(at)) {
        flags_[j] |= kOfSelect;
        j = GovernedEnd(j + 1);
      } else if (EqualsNoCase(at, ".ENDSEL")) {
        flags_[j] |= kOfSelect;
        break;
      } else if (IsCommand(at, "ENDSEL")) {
        flags_[j] |= kOfSelect;  // runs as ENDSEL, though only the exact line ends the cases
        ++j;
      } else if (IsCommand(at, "SELECT")) {
        break;
      } else if (flags_[j] & kOpen) {
        j = GovernedEnd(j);
      } else {
        ++j;
      }
    }
  }
}

size_t ScriptOutline::GovernedEnd(size_t start) const {
  if (start >= flags_.size()) return kNone;
  if (!(flags_[start] & kOpen)) return start + 1;
  return close_[start] == kNoMatch ? kNone : close_[start] + size_t{1};
}

}  // namespace lyraban
