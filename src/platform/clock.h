#pragma once
#include "base/types.h"

namespace lyraban::platform {

// The millisecond clock that every wait and animation measures. It is a u32
// counter that wraps, like the system's millisecond timer.
class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary origin.
  virtual u32 Now() = 0;
  // Called by the main thread's waits: gives up the processor for `ms`.
  virtual void Sleep(u32 ms) = 0;
  // Called by worker threads (music streaming): blocks for about `ms` of this
  // clock's time, or until `Wake` is called. Never advances the clock itself.
  virtual void WaitOnWorker(u32 ms) = 0;
  // Releases every worker blocked in WaitOnWorker (used when stopping).
  virtual void Wake() = 0;

  // For a clock that only the main thread moves (headless runs), which keeps
  // workers in lock-step with it; a real clock ignores these. The main thread
  // calls WorkerStarting just before it starts a thread that will call
  // WaitOnWorker, and that thread calls WorkerEnding as its last use of the
  // clock. SettleWorkers (main thread) returns once every such worker is
  // waiting or has ended.
  virtual void WorkerStarting() {}
  virtual void WorkerEnding() {}
  virtual void SettleWorkers() {}
};

}  // namespace lyraban::platform
