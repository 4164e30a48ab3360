#pragma once
#include <string>
#include <string_view>

#include "base/types.h"

namespace lyraban {

// The code page that a game's text is written in. Game strings stay bytes in
// this code page everywhere inside the engine; conversion happens only where
// text leaves for the outside world (fonts, caption, clipboard, trace).
// True when the text is well-formed UTF-8 (ASCII alone included).
bool IsValidUtf8(std::string_view text);

class CodePage {
 public:
  enum class Kind { Gbk, ShiftJis };

  explicit CodePage(Kind kind = Kind::Gbk) : kind_(kind) {}

  Kind kind() const { return kind_; }
  const char* IconvName() const;

  // True when the byte starts a double-byte character in this code page.
  bool IsLeadByte(u8 byte) const;

  // Invalid or truncated sequences become U+FFFD; never fails.
  std::string ToUtf8(std::string_view text) const;
  // Characters the code page cannot hold become '?'; never fails.
  std::string FromUtf8(std::string_view utf8) const;

  // One character code (a byte, or lead × 256 + trail) as a Unicode code
  // point; 0 when the code page has no such character.
  u32 CodeToUnicode(u32 code) const;
  // The code of the first character of a UTF-8 text in this code page; 0
  // when the code page cannot hold it.
  u32 CodeFromUtf8(std::string_view utf8) const;

 private:
  Kind kind_;
};

}  // namespace lyraban
