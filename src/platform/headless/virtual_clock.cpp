#include "platform/headless/virtual_clock.h"

#include <algorithm>
#include <cstdio>

namespace lyraban::platform {

void VirtualClock::Advance(u32 ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  const u64 target = ticks_ + ms;
  // A worker started or woken since the last advance takes its step at the
  // current time, before any of this time passes.
  SettleLocked(lock);
  do {
    // Stop at the earliest deadline on the way, so the audio the listeners
    // mix up to it is exactly what the worker sees when it wakes.
    u64 step = target;
    for (const Waiter* waiter : waiters_) step = std::min(step, waiter->deadline);
    const u32 before = static_cast<u32>(ticks_);
    ticks_ = step;
    now_.store(static_cast<u32>(step), std::memory_order_release);
    lock.unlock();
    for (auto& listener : listeners_) listener(before, static_cast<u32>(step) - before);
    lock.lock();
    for (size_t i = 0; i < waiters_.size();) {
      if (waiters_[i]->deadline <= ticks_)
        ReleaseLocked(waiters_[i]);  // removes it from waiters_
      else
        ++i;
    }
    changed_.notify_all();
    SettleLocked(lock);
  } while (ticks_ != target);
}

void VirtualClock::AddListener(std::function<void(u32, u32)> listener) { listeners_.push_back(std::move(listener)); }

void VirtualClock::SetStuckWorkerTimeout(std::chrono::milliseconds timeout) {
  std::lock_guard<std::mutex> lock(mutex_);
  stuckTimeout_ = timeout;
}

void VirtualClock::WaitOnWorker(u32 ms) {
  if (ms == 0) return;
  std::unique_lock<std::mutex> lock(mutex_);
  Waiter self{ticks_ + ms};
  waiters_.push_back(&self);
  changed_.notify_all();  // Advance may be waiting for this worker to settle
  changed_.wait(lock, [&] { return self.released; });
}

void VirtualClock::Wake() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    while (!waiters_.empty()) ReleaseLocked(waiters_.back());
  }
  changed_.notify_all();
}

void VirtualClock::WorkerStarting() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++registered_;
}

void VirtualClock::WorkerEnding() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (registered_ > 0) --registered_;
  }
  changed_.notify_all();
}

void VirtualClock::SettleWorkers() {
  std::unique_lock<std::mutex> lock(mutex_);
  SettleLocked(lock);
}

void VirtualClock::SettleLocked(std::unique_lock<std::mutex>& lock) {
  if (!lockStep_.load()) return;
  // Every registered worker is either waiting (in waiters_) or has ended.
  const auto settled = [&] { return static_cast<size_t>(registered_) <= waiters_.size(); };
  if (changed_.wait_for(lock, stuckTimeout_, settled)) return;
  lockStep_.store(false);
  std::fprintf(stderr, "virtual clock: a worker neither waited nor ended in %lld ms; time now runs without it\n",
               static_cast<long long>(stuckTimeout_.count()));
}

void VirtualClock::ReleaseLocked(Waiter* waiter) {
  waiter->released = true;
  waiters_.erase(std::find(waiters_.begin(), waiters_.end(), waiter));
}

}  // namespace lyraban::platform
