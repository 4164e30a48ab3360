#include "core/frame_stats.h"

#include <time.h>

#include <cstdio>
#include <utility>

namespace lyraban {

u64 ThreadCpuNanoseconds() {
  timespec ts{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts) != 0) return 0;
  return static_cast<u64>(ts.tv_sec) * 1'000'000'000u + static_cast<u64>(ts.tv_nsec);
}

FrameStats::FrameStats(std::string path) : path_(std::move(path)), partPath_(path_ + ".part") {
  file_ = std::fopen(partPath_.c_str(), "w");
  lastCpuNs_ = ThreadCpuNanoseconds();
}

FrameStats::~FrameStats() { Close(); }

void FrameStats::FramePresented(u32 clockMs) {
  if (!file_) return;
  const u64 now = ThreadCpuNanoseconds();
  const u64 spent = now >= lastCpuNs_ ? now - lastCpuNs_ : 0;
  std::fprintf(file_, "%u %llu.%03llu\n", clockMs, static_cast<unsigned long long>(spent / 1'000'000u),
               static_cast<unsigned long long>(spent / 1'000u % 1'000u));
  // The line's own cost belongs to no frame.
  lastCpuNs_ = ThreadCpuNanoseconds();
}

void FrameStats::Close() {
  if (!file_) return;
  const bool written = std::fflush(file_) == 0 && !std::ferror(file_);
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (written && closed)
    std::rename(partPath_.c_str(), path_.c_str());
  else
    std::remove(partPath_.c_str());
}

}  // namespace lyraban
