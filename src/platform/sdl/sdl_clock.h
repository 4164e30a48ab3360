#pragma once
#include <condition_variable>
#include <mutex>

#include "platform/clock.h"

namespace lyraban::platform {

// Wall time: SDL's millisecond tick counter, truncated to 32 bits so it wraps
// like the system timer the engine's arithmetic expects.
class SdlClock final : public Clock {
 public:
  u32 Now() override;
  void Sleep(u32 ms) override;
  void WaitOnWorker(u32 ms) override;
  void Wake() override;

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  u64 wakeGeneration_ = 0;
};

}  // namespace lyraban::platform
