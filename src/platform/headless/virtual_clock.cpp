#include "platform/headless/virtual_clock.h"

namespace lyraban::platform {

void VirtualClock::Advance(u32 ms) {
  u32 before;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    before = now_.load(std::memory_order_relaxed);
    now_.store(before + ms, std::memory_order_release);
  }
  changed_.notify_all();
  for (auto& listener : listeners_) listener(before, ms);
}

void VirtualClock::AddListener(std::function<void(u32, u32)> listener) { listeners_.push_back(std::move(listener)); }

void VirtualClock::WaitOnWorker(u32 ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  const u32 start = now_.load(std::memory_order_relaxed);
  const u64 generation = wakeGeneration_;
  changed_.wait(lock, [&] {
    return wakeGeneration_ != generation || ElapsedMs(start, now_.load(std::memory_order_relaxed)) >= ms;
  });
}

void VirtualClock::Wake() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++wakeGeneration_;
  }
  changed_.notify_all();
}

}  // namespace lyraban::platform
