#pragma once
#include <cstdio>
#include <string>

#include "base/types.h"

namespace lyraban {

// Writes one line per presented frame: the frame's time on the engine's
// clock, then the processor time in milliseconds the calling (main) thread
// spent since the previous frame. The line itself is written after the
// reading and its cost left out of the next frame, so measuring does not
// inflate what is measured. The file is written beside its name and renamed
// into place when the statistics close.
class FrameStats {
 public:
  // Nothing is written when the file cannot be created; ok() tells.
  explicit FrameStats(std::string path);
  ~FrameStats();
  FrameStats(const FrameStats&) = delete;
  FrameStats& operator=(const FrameStats&) = delete;

  bool ok() const { return file_ != nullptr; }
  void FramePresented(u32 clockMs);
  // Flushes and renames the file into place; later frames are not written.
  void Close();

 private:
  std::string path_;
  std::string partPath_;
  std::FILE* file_ = nullptr;
  u64 lastCpuNs_ = 0;
};

// Processor time the calling thread has used, in nanoseconds.
u64 ThreadCpuNanoseconds();

}  // namespace lyraban
