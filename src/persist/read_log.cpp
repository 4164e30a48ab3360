#include "persist/read_log.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "persist/save_data_file.h"
#include "resources/text_lines.h"

namespace lyraban {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// One number of a range line, blanks before it allowed.
bool ParseNumber(std::string_view& rest, i32& value) {
  std::size_t p = 0;
  while (p < rest.size() && IsBlank(rest[p])) ++p;
  const auto result = std::from_chars(rest.data() + p, rest.data() + rest.size(), value);
  if (result.ec != std::errc()) return false;
  rest.remove_prefix(static_cast<std::size_t>(result.ptr - rest.data()));
  return true;
}

// "\first last": true with the range when the line holds two numbers that
// make a sensible range.
bool ParseRangeLine(std::string_view line, ReadRange& range) {
  std::string_view rest = line.substr(1);
  if (!ParseNumber(rest, range.first)) return false;
  if (rest.empty() || !IsBlank(rest.front())) return false;
  if (!ParseNumber(rest, range.last)) return false;
  return range.first >= 0 && range.first <= range.last;
}

}  // namespace

std::string ReadLog::ScriptKey(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

void ReadLog::InsertRange(ReadRangeSet& set, ReadRange range) {
  set.push_back(range);
  std::sort(set.begin(), set.end(), [](const ReadRange& a, const ReadRange& b) { return a.first < b.first; });
  // Walk upward, joining every range that starts at or before the end of
  // the one being built; ranges that only touch stay separate.
  ReadRangeSet merged;
  for (const ReadRange& r : set) {
    if (!merged.empty() && r.first <= merged.back().last) {
      merged.back().last = std::max(merged.back().last, r.last);
    } else {
      merged.push_back(r);
    }
  }
  std::reverse(merged.begin(), merged.end());
  set = std::move(merged);
}

bool ReadLog::IsRead(i32 key) {
  if (pendingFirst_ == -1) pendingFirst_ = key;
  if (key > pendingLast_) pendingLast_ = key;
  // The set runs from the greatest first downward: the first range whose
  // first is <= key is the one with the greatest such first.
  const auto it =
      std::partition_point(working_.begin(), working_.end(), [key](const ReadRange& r) { return r.first > key; });
  return it != working_.end() && key <= it->last;
}

void ReadLog::CommitPending() {
  if (pendingFirst_ >= 0 && pendingLast_ >= 0) InsertRange(working_, {pendingFirst_, pendingLast_});
  pendingFirst_ = -1;
  pendingLast_ = -1;
}

void ReadLog::Flush() {
  CommitPending();
  if (!currentKey_.empty() && !working_.empty()) scripts_[currentKey_] = working_;
}

void ReadLog::SetCurrentScript(std::string_view name) {
  Flush();
  if (name.empty()) return;
  std::string key = ScriptKey(name);
  if (scriptEntered_) scriptEntered_(key);
  currentKey_ = std::move(key);
  const auto it = scripts_.find(currentKey_);
  working_ = it != scripts_.end() ? it->second : ReadRangeSet();
}

void ReadLog::Clear() {
  scripts_.clear();
  currentKey_.clear();
  working_.clear();
  pendingFirst_ = -1;
  pendingLast_ = -1;
}

bool ReadLog::SaveReadLog(const std::filesystem::path& saveFolder) {
  Flush();
  std::string text;
  char line[32];
  for (const auto& [key, ranges] : scripts_) {
    for (const ReadRange& r : ranges) {
      const int n = std::snprintf(line, sizeof line, "\\%d %d\r", r.first, r.last);
      text.append(line, static_cast<std::size_t>(n));
    }
    text += key;
    text += '\r';
  }
  text.push_back('\0');
  SaveDataFile file(saveFolder);
  if (!file.OpenForWrite(kReadLogFileName)) return false;
  file.Write(text);
  return file.Close();
}

bool ReadLog::LoadReadLog(const std::filesystem::path& saveFolder) {
  Clear();
  SaveDataFile file(saveFolder);
  if (!file.OpenForRead(kReadLogFileName)) return false;
  std::string text;
  if (!file.ReadRest(text)) {
    trace_.DebugTrace("既読ログを読みこめません（%s）", kReadLogFileName);
    return false;
  }
  file.Close();
  // Split as text resources are; the text ends at its terminating NUL.
  TextLines lines;
  SplitTextLines(lines, text);
  ReadRangeSet collected;
  for (std::size_t i = 0; i < lines.LineCount(); ++i) {
    const std::string_view line = lines.Line(i);
    const int lineNumber = static_cast<int>(i + 1);
    if (line.empty()) continue;
    if (line.front() == '\\') {
      ReadRange range;
      if (ParseRangeLine(line, range)) {
        InsertRange(collected, range);
      } else {
        trace_.DebugTrace("既読ログの行が不正です（%s:%d）", kReadLogFileName, lineNumber);
      }
      continue;
    }
    if (!collected.empty()) scripts_[std::string(line)] = std::move(collected);
    collected.clear();
  }
  return true;
}

}  // namespace lyraban
