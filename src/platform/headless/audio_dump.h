#pragma once
#include <cstdio>
#include <string>

#include "base/types.h"

namespace lyraban::platform {

// Writes 16-bit stereo 44,100 Hz PCM to a WAV file as it arrives. The data
// goes to a temporary name and is renamed into place by Finish, so a run that
// dies leaves no half-written file under the real name.
class AudioDumpFile {
 public:
  AudioDumpFile() = default;
  ~AudioDumpFile();
  AudioDumpFile(const AudioDumpFile&) = delete;
  AudioDumpFile& operator=(const AudioDumpFile&) = delete;

  bool Start(const std::string& path);
  void Append(const i16* samples, size_t frames);
  // Completes the header and moves the file into place.
  bool Finish();
  bool active() const { return file_ != nullptr; }
  u64 frames() const { return dataBytes_ / 4; }

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  std::string tempPath_;
  u64 dataBytes_ = 0;
  bool failed_ = false;
};

}  // namespace lyraban::platform
