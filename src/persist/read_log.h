#pragma once
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/trace.h"
#include "base/types.h"

namespace lyraban {

// Inclusive range of text keys (the line numbers that end text blocks).
struct ReadRange {
  i32 first = 0;
  i32 last = 0;
  bool operator==(const ReadRange&) const = default;
};

// Ranges of one script, ordered by first from the greatest to the smallest;
// after a commit no two of them overlap.
using ReadRangeSet = std::vector<ReadRange>;

inline constexpr const char* kReadLogFileName = "complete.log";
// Where a log that did not parse completely is kept when it is replaced.
inline constexpr const char* kDamagedReadLogFileName = "complete.log.bad";

// Which text blocks the player has seen, across all play-throughs, per
// script. Text first seen in the running stretch counts as unread until the
// stretch is committed, so a block becomes "read" only once the reader has
// moved past it by a jump or a script change.
class ReadLog {
 public:
  explicit ReadLog(Trace& trace) : trace_(trace) {}

  // Told the key of every script that becomes current (the flow chart
  // records story points through it).
  void SetScriptEnteredHandler(std::function<void(std::string_view key)> handler) {
    scriptEntered_ = std::move(handler);
  }

  // Flushes the running script, then makes `name` current (an empty name
  // only flushes). Names that differ only after their last '.' share a key.
  void SetCurrentScript(std::string_view name);
  // Extends the pending stretch by `key` and tells whether the key was read
  // before this stretch.
  bool IsRead(i32 key);
  // Adds the pending stretch to the current script's ranges.
  void CommitPending();
  // Commits and stores the current script's ranges in the record.
  void Flush();

  // Replaces the record by "complete.log" of the save folder; a missing
  // file leaves the log empty. False when there was no file to read. Every
  // readable record is kept; damaged lines are traced and skipped, and a
  // file beyond any real log's size is not read at all. Either way the file
  // counts as damaged: the next save first renames it to
  // "complete.log.bad", so the player's history is never silently lost.
  bool LoadReadLog(const std::filesystem::path& saveFolder);
  // Flushes and writes the whole record to "complete.log". Errors are
  // ignored by the caller; the result tells whether the file was written.
  bool SaveReadLog(const std::filesystem::path& saveFolder);

  // Empties the whole record and the running state.
  void Clear();

  // The script key of a file name: the name up to its last '.'.
  static std::string ScriptKey(std::string_view name);

  const std::map<std::string, ReadRangeSet>& scripts() const { return scripts_; }
  const std::string& currentKey() const { return currentKey_; }
  const ReadRangeSet& workingSet() const { return working_; }
  i32 pendingFirst() const { return pendingFirst_; }
  i32 pendingLast() const { return pendingLast_; }

  // Inserts a range into a set and merges overlapping ranges (touching
  // ranges stay apart). Exposed for the loader and for tests.
  static void InsertRange(ReadRangeSet& set, ReadRange range);
  // Sorts and merges a whole set at once, as InsertRange does.
  static ReadRangeSet MergeRanges(ReadRangeSet set);

  // Larger read logs are refused unread.
  static constexpr u64 kMaxReadLogBytes = u64{64} << 20;
  // Whether the loaded file had anything that could not be read.
  bool damaged() const { return damaged_; }

 private:
  Trace& trace_;
  std::function<void(std::string_view)> scriptEntered_;
  std::map<std::string, ReadRangeSet> scripts_;
  std::string currentKey_;
  ReadRangeSet working_;
  i32 pendingFirst_ = -1;
  i32 pendingLast_ = -1;
  bool damaged_ = false;
};

}  // namespace lyraban
