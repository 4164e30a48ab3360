#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/clock.h"

namespace lyraban::platform {

// A clock that moves only when the main thread sleeps or presents a frame, so
// headless runs are deterministic and every timed wait ends without real time
// passing. Workers waiting on it wake as virtual time goes by.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(u32 start = 0) : now_(start) {}

  u32 Now() override { return now_.load(std::memory_order_acquire); }
  void Sleep(u32 ms) override { Advance(ms); }
  void WaitOnWorker(u32 ms) override;
  void Wake() override;

  // Moves time forward and runs the listeners (for example the virtual audio
  // device, which consumes the samples that this much time plays).
  void Advance(u32 ms);
  // Listener called with (old time, elapsed ms) after every advance.
  void AddListener(std::function<void(u32, u32)> listener);

 private:
  std::atomic<u32> now_;
  std::mutex mutex_;
  std::condition_variable changed_;
  u64 wakeGeneration_ = 0;
  std::vector<std::function<void(u32, u32)>> listeners_;
};

}  // namespace lyraban::platform
