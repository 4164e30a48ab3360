#pragma once
#include <cstddef>
#include <vector>

#include "base/types.h"

namespace lyraban {

class TextLines;

// The block structure of a script as its author wrote it: which braces pair
// up, where the line or block that an IF, ELSE or CASE governs ends, which
// ELSE lines follow an IF and which lines belong to a SELECT. The
// interpreter needs none of this to run (it walks blocks line by line, as
// the format says); it uses the outline to tell an author about lines that
// run outside the structure they were written for, and the game checker
// reports the same lines before the game runs. Built in one pass, whatever
// the nesting.
class ScriptOutline {
 public:
  static constexpr size_t kNone = static_cast<size_t>(-1);

  explicit ScriptOutline(const TextLines& lines);

  size_t LineCount() const { return flags_.size(); }

  // The index after the line or block governed by the line before `start`
  // (the interpreter's skip rule: a `{` line runs to its matching `}`, any
  // other line is alone), or kNone when the file ends first.
  size_t GovernedEnd(size_t start) const;

  // A `}` that closes no `{` before it.
  bool UnmatchedClose(size_t index) const { return Has(index, kUnmatchedClose); }
  // A `{` that no `}` after it closes.
  bool UnclosedOpen(size_t index) const { return Has(index, kUnclosedOpen); }
  // A command line whose keyword is ELSE, right after the line or block an
  // IF governs (only an exact ".ELSE" there is taken by a false IF).
  bool ElseAfterIf(size_t index) const { return Has(index, kElseAfterIf); }
  // A choice line of a SELECT (never run as a line).
  bool Choice(size_t index) const { return Has(index, kChoice); }
  // A .CASE or ENDSEL line that the cases of a SELECT reach.
  bool OfSelect(size_t index) const { return Has(index, kOfSelect); }

 private:
  enum : u8 {
    kUnmatchedClose = 1,
    kUnclosedOpen = 2,
    kElseAfterIf = 4,
    kChoice = 8,
    kOfSelect = 16,
    // Bookkeeping of the pass: lines already listed as a SELECT's choices,
    // and lines a walk over cases already stood on.
    kListed = 32,
    kWalked = 64,
    kOpen = 128,  // the line starts with `{`
  };
  bool Has(size_t index, u8 flag) const { return index < flags_.size() && (flags_[index] & flag) != 0; }

  std::vector<u8> flags_;
  // For a `{` line, the index of its `}` (kNoMatch when unclosed); unused
  // for other lines.
  static constexpr u32 kNoMatch = static_cast<u32>(-1);
  std::vector<u32> close_;
};

}  // namespace lyraban
