#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"

namespace lyraban {

// A whole text file split into lines in place. Lines end at CR or CR LF (a
// lone LF stays inside its line); a text without any CR ends its lines at LF
// instead, so files saved on Linux read as written. Leading spaces and tabs of every line are
// dropped, trailing ones only at the very end of the text. The text ends at
// its first NUL byte, as C strings do.
//
// The split text is immutable once made, so copies share it: copying a
// TextLines costs no memory however large the text is.
class TextLines {
 public:
  // Takes the bytes of a whole file and splits them. False (and empty) for
  // empty text; text that starts with NUL gives no lines but true.
  bool Split(std::string text);
  void Clear();

  size_t LineCount() const { return data_ ? data_->lines.size() : 0; }
  bool empty() const { return LineCount() == 0; }
  // Whether the text held a NUL byte before its end, which cut it there.
  bool cutAtNul() const { return data_ && data_->cutAtNul; }
  // Whether both hold the very same split text (one is a copy of the other).
  bool SameText(const TextLines& other) const { return data_ && data_ == other.data_; }
  // Copies line `index`; false past the last line.
  bool GetLine(size_t index, std::string& out) const;
  // The line without copying; empty past the last line. Valid while this
  // object or a copy of it still holds the text.
  std::string_view Line(size_t index) const;

 private:
  struct Span {
    size_t start;
    size_t length;
  };
  struct Data {
    std::string buffer;
    std::vector<Span> lines;
    bool cutAtNul = false;
  };
  std::shared_ptr<const Data> data_;
};

// Splits a string already in memory; false for an empty string.
bool SplitTextLines(TextLines& lines, std::string_view text);

// A private copy of one string split at spaces and tabs. Every token is a
// maximal run of other characters.
class TokenList {
 public:
  void Split(std::string_view text);
  size_t Count() const { return tokens_.size(); }
  // The token, or empty for an index out of range (negative included).
  std::string_view Token(i64 index) const;
  std::string_view operator[](i64 index) const { return Token(index); }

 private:
  struct Span {
    size_t start;
    size_t length;
  };
  std::string text_;
  std::vector<Span> tokens_;
};

inline void SplitTokens(TokenList& tokens, std::string_view text) { tokens.Split(text); }

}  // namespace lyraban
