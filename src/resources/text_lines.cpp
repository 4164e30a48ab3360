#include "resources/text_lines.h"

#include <cstring>

namespace lyraban {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

bool TextLines::Split(std::string text) {
  Clear();
  if (text.empty()) return false;
  auto data = std::make_shared<Data>();
  std::string& buffer = data->buffer;
  std::vector<Span>& lines = data->lines;
  buffer = std::move(text);
  size_t end = std::strlen(buffer.c_str());
  data->cutAtNul = buffer.find_first_not_of('\0', end) != std::string::npos;
  // Files written on Linux hold no CR at all: they break at LF. A file with
  // any CR keeps the classic rule, where a lone LF stays inside its line.
  const char breakByte = buffer.find('\r') < end ? '\r' : '\n';
  size_t pos = 0;
  while (pos < end) {
    while (pos < end && IsBlank(buffer[pos])) ++pos;
    // Only the last line can lose trailing blanks: the others end at a CR.
    while (end > pos && IsBlank(buffer[end - 1])) --end;
    buffer[end] = '\0';
    const size_t brk = buffer.find(breakByte, pos);
    if (brk == std::string::npos || brk >= end) {
      lines.push_back({pos, end - pos});
      break;
    }
    lines.push_back({pos, brk - pos});
    buffer[brk] = '\0';
    pos = brk + 1;
    if (breakByte == '\r' && pos < end && buffer[pos] == '\n') ++pos;
  }
  data_ = std::move(data);
  return true;
}

void TextLines::Clear() { data_.reset(); }

bool TextLines::GetLine(size_t index, std::string& out) const {
  if (index >= LineCount()) return false;
  out.assign(Line(index));
  return true;
}

std::string_view TextLines::Line(size_t index) const {
  if (index >= LineCount()) return {};
  const Span& span = data_->lines[index];
  return std::string_view(data_->buffer.data() + span.start, span.length);
}

bool SplitTextLines(TextLines& lines, std::string_view text) {
  if (text.empty()) {
    lines.Clear();
    return false;
  }
  return lines.Split(std::string(text));
}

void TokenList::Split(std::string_view text) {
  text_.assign(text);
  tokens_.clear();
  size_t pos = 0;
  const size_t end = text_.size();
  while (true) {
    while (pos < end && IsBlank(text_[pos])) ++pos;
    if (pos >= end) break;
    const size_t start = pos;
    while (pos < end && !IsBlank(text_[pos])) ++pos;
    tokens_.push_back({start, pos - start});
  }
}

std::string_view TokenList::Token(i64 index) const {
  if (index < 0 || static_cast<u64>(index) >= tokens_.size()) return {};
  const Span& s = tokens_[static_cast<size_t>(index)];
  return std::string_view(text_.data() + s.start, s.length);
}

}  // namespace lyraban
