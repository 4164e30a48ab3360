#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/clock.h"

namespace lyraban::platform {

// A clock that moves only when the main thread sleeps or presents a frame, so
// headless runs are deterministic and every timed wait ends without real time
// passing.
//
// Workers run in lock-step with it: a worker registered with WorkerStarting
// that waits in WaitOnWorker is woken exactly when time reaches its deadline,
// and Advance does not move past that moment until the worker has waited
// again or ended. So what a worker does (refilling the music stream, stepping
// a fade) lands at the same point of the mixed audio on every run. Only one
// thread (the main thread) may advance the clock. A thread that waits without
// being registered still wakes once its time has passed, but is not waited
// for, and while it waits it stands in for a registered one: every thread
// that waits on this clock should be registered.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(u32 start = 0) : ticks_(start), now_(start) {}

  u32 Now() override { return now_.load(std::memory_order_acquire); }
  void Sleep(u32 ms) override { Advance(ms); }
  void WaitOnWorker(u32 ms) override;
  void Wake() override;
  void WorkerStarting() override;
  void WorkerEnding() override;
  void SettleWorkers() override;

  // Moves time forward and runs the listeners (for example the virtual audio
  // device, which consumes the samples that this much time plays), stopping
  // at every worker's deadline to let that worker take its step.
  void Advance(u32 ms);
  // Listener called with (old time, elapsed ms) after every advance; an
  // advance that passes workers' deadlines calls it once per piece between
  // them, the pieces adding up to the whole.
  void AddListener(std::function<void(u32, u32)> listener);

  // How long Advance waits in real time for a registered worker that neither
  // waits nor ends (a stuck or busy worker) before it gives up lock-step for
  // good and lets time run free, as if no worker were registered: a run that
  // loses determinism beats a run that hangs.
  void SetStuckWorkerTimeout(std::chrono::milliseconds timeout);
  bool lockStep() const { return lockStep_.load(); }

 private:
  struct Waiter {
    u64 deadline;
    bool released = false;
  };
  // Blocks until every registered worker is waiting or has ended.
  void SettleLocked(std::unique_lock<std::mutex>& lock);
  void ReleaseLocked(Waiter* waiter);

  std::mutex mutex_;
  std::condition_variable changed_;
  // Time as a counter that never wraps, so deadlines compare simply; now_ is
  // its low 32 bits, readable without the lock.
  u64 ticks_;
  std::atomic<u32> now_;
  std::vector<Waiter*> waiters_;  // threads blocked in WaitOnWorker, not yet released
  int registered_ = 0;            // workers started and not yet ended
  std::atomic<bool> lockStep_{true};
  std::chrono::milliseconds stuckTimeout_{20000};
  std::vector<std::function<void(u32, u32)>> listeners_;
};

}  // namespace lyraban::platform
