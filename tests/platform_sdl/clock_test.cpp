#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/sdl/sdl_clock.h"

namespace lyraban::platform {
namespace {

using Steady = std::chrono::steady_clock;

long long MsSince(Steady::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count();
}

TEST(SdlClock, SleepAndWorkerTimeoutTakeRealTime) {
  SdlClock clock;
  const u32 before = clock.Now();
  const auto start = Steady::now();
  clock.Sleep(30);
  EXPECT_GE(MsSince(start), 29);
  clock.WaitOnWorker(30);
  EXPECT_GE(MsSince(start), 58);
  // The counter follows wall time (generously, for a loaded machine).
  const u32 moved = ElapsedMs(before, clock.Now());
  EXPECT_GE(moved, 58u);
  EXPECT_LT(moved, 5000u);
}

TEST(SdlClock, WakeReleasesEveryWaitingWorker) {
  SdlClock clock;
  std::atomic<int> done{0};
  const auto start = Steady::now();
  std::thread a([&] {
    clock.WaitOnWorker(60000);
    ++done;
  });
  std::thread b([&] {
    clock.WaitOnWorker(60000);
    ++done;
  });
  // Wake until both have come out; a wake before a worker started waiting
  // must not be its only chance.
  while (done.load() < 2 && MsSince(start) < 10000) {
    clock.Wake();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  a.join();
  b.join();
  EXPECT_EQ(done.load(), 2);
  EXPECT_LT(MsSince(start), 10000);
}

}  // namespace
}  // namespace lyraban::platform
