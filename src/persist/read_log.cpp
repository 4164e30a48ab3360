#include "persist/read_log.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "persist/save_data_file.h"

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

ReadRangeSet ReadLog::MergeRanges(ReadRangeSet set) {
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
  return merged;
}

void ReadLog::InsertRange(ReadRangeSet& set, ReadRange range) {
  set.push_back(range);
  set = MergeRanges(std::move(set));
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
  damaged_ = false;
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
  if (damaged_) {
    // What could not be read stays beside the new log, for the player or a
    // tool to recover.
    std::error_code ec;
    std::filesystem::rename(file.PathOf(kReadLogFileName), file.PathOf(kDamagedReadLogFileName), ec);
    if (ec) {
      trace_.DebugTrace("壊れた既読ログを退避できないので書き換えません（%s）", kReadLogFileName);
      return false;
    }
    trace_.DebugTrace("壊れた既読ログを %s として残しました", kDamagedReadLogFileName);
    damaged_ = false;
  }
  if (!file.OpenForWrite(kReadLogFileName)) return false;
  file.Write(text);
  return file.Close();
}

bool ReadLog::LoadReadLog(const std::filesystem::path& saveFolder) {
  Clear();
  SaveDataFile file(saveFolder);
  if (!file.OpenForRead(kReadLogFileName)) return false;
  // A real log holds a few numbers per text block; a file far beyond that is
  // not read into memory, and it is kept aside before it is replaced.
  if (file.Size() > kMaxReadLogBytes) {
    trace_.DebugTrace("既読ログが大きすぎるので読みません（%s：%llu バイト）", kReadLogFileName,
                      static_cast<unsigned long long>(file.Size()));
    damaged_ = true;
    return true;
  }
  std::string text;
  if (!file.ReadRest(text)) {
    trace_.DebugTrace("既読ログを読みこめません（%s）", kReadLogFileName);
    damaged_ = true;
    return false;
  }
  file.Close();
  // The text normally ends at its one terminating NUL; a NUL anywhere else
  // is a damaged byte, which spoils only the line it is in.
  if (!text.empty() && text.back() == '\0') text.pop_back();
  std::map<std::string, ReadRangeSet> collectedSets;
  ReadRangeSet collected;
  std::size_t pos = 0;
  int lineNumber = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\r', pos);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + pos, end - pos);
    pos = end + 1;
    if (pos < text.size() && text[pos] == '\n') ++pos;
    ++lineNumber;
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    // As in text files, only the text's very end loses trailing blanks.
    if (end == text.size())
      while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    if (line.empty()) continue;
    if (line.find('\0') != std::string_view::npos) {
      trace_.DebugTrace("既読ログの行が不正です（%s:%d）", kReadLogFileName, lineNumber);
      damaged_ = true;
      continue;
    }
    if (line.front() == '\\') {
      ReadRange range;
      if (ParseRangeLine(line, range)) {
        collected.push_back(range);
      } else {
        trace_.DebugTrace("既読ログの行が不正です（%s:%d）", kReadLogFileName, lineNumber);
        damaged_ = true;
      }
      continue;
    }
    if (!collected.empty()) {
      ReadRangeSet& set = collectedSets[std::string(line)];
      set.insert(set.end(), collected.begin(), collected.end());
    }
    collected.clear();
  }
  if (!collected.empty()) {
    trace_.DebugTrace("既読ログの末尾にスクリプト名のない範囲があります（%s）", kReadLogFileName);
    damaged_ = true;
  }
  // Ranges are merged once per script, not once per line: a long log loads
  // in time proportional to its size.
  for (auto& [key, ranges] : collectedSets) scripts_[key] = MergeRanges(std::move(ranges));
  return true;
}

}  // namespace lyraban
