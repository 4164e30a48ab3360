#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/sdl/sdl_clock.h"

namespace lyraban::platform {
namespace {

long long MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

TEST(SdlClock, SleepAndWorkerTimeoutTakeRealTimeAndWakeReleasesEveryWorker) {
  SdlClock clock;
  const u32 before = clock.Now();
  auto start = std::chrono::steady_clock::now();
  clock.Sleep(30);
  EXPECT_GE(MsSince(start), 29);
  clock.WaitOnWorker(30);
  EXPECT_GE(MsSince(start), 58);
  // The counter follows wall time (generously, for a loaded machine).
  const u32 moved = ElapsedMs(before, clock.Now());
  EXPECT_TRUE(moved >= 58u && moved < 5000u) << moved;
  // Wake until both workers have come out; a wake before a worker started
  // waiting must not be its only chance.
  std::atomic<int> done{0};
  start = std::chrono::steady_clock::now();
  std::thread workers[2];
  for (auto& worker : workers) worker = std::thread([&] { clock.WaitOnWorker(60000), ++done; });
  while (done.load() < 2 && MsSince(start) < 10000) {
    clock.Wake();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  for (auto& worker : workers) worker.join();
  EXPECT_LT(MsSince(start), 10000);
}

}  // namespace
}  // namespace lyraban::platform
