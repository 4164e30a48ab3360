#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/headless/virtual_clock.h"

namespace lyraban::platform {
namespace {

// What a worker saw when it woke: the clock, and how much time the clock's
// listener (standing in for the audio device) had been told about by then.
struct Step {
  u32 now;
  u64 heard;
  bool operator==(const Step&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Step& s) {
  return out << "{now " << s.now << ", heard " << s.heard << "}";
}

// A registered worker that records a step and waits `period` on the clock,
// like the music streaming thread, until it is told to stop.
class Worker {
 public:
  Worker(VirtualClock& clock, const std::atomic<u64>& heard, u32 period, bool parks = true)
      : clock_(clock), heard_(heard) {
    clock_.WorkerStarting();
    thread_ = std::thread([this, period, parks] {
      while (!stop_.load()) {
        {
          std::lock_guard<std::mutex> lock(mutex_);
          if (steps_.size() < 1000) steps_.push_back({clock_.Now(), heard_.load()});
        }
        if (parks) clock_.WaitOnWorker(period);
      }
      // Seen before the clock may move on without it.
      endedAt_.store(clock_.Now());
      ended_.store(true);
      clock_.WorkerEnding();
      done_.store(true);
    });
  }
  ~Worker() { Stop(); }
  // Stops the way the sound system does: a wake can come before the worker
  // waits, so wake until it has ended.
  void Stop() {
    stop_.store(true);
    while (!done_.load()) {
      clock_.Wake();
      std::this_thread::yield();
    }
    if (thread_.joinable()) thread_.join();
  }
  void AskToStop() { stop_.store(true); }
  bool done() const { return done_.load(); }
  bool ended() const { return ended_.load(); }
  u32 endedAt() const { return endedAt_.load(); }
  std::vector<Step> steps() {
    std::lock_guard<std::mutex> lock(mutex_);
    return steps_;
  }

 private:
  VirtualClock& clock_;
  const std::atomic<u64>& heard_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  std::atomic<bool> ended_{false};
  std::atomic<u32> endedAt_{0};
  std::mutex mutex_;
  std::vector<Step> steps_;
  std::thread thread_;
};

// A clock with a listener that adds up the time it is told has passed.
struct ListenedClock {
  explicit ListenedClock(u32 start) : clock(start) {
    clock.AddListener([this](u32 before, u32 elapsed) {
      if (before != static_cast<u32>(start_ + heard.load())) gaps.fetch_add(1);
      heard.fetch_add(elapsed);
    });
  }
  VirtualClock clock;
  u32 start_ = clock.Now();
  std::atomic<u64> heard{0};
  std::atomic<int> gaps{0};  // listener calls that did not start where the last ended
};

TEST(VirtualClockLockStep, WorkerWakesExactlyAtEachDeadlineHoweverTimeIsAdvanced) {
  struct Case {
    u32 start;
    u32 advanceBy;
  };
  // Time moved in steps smaller than, across, equal to and much larger than
  // the worker's period, and across the 32-bit wrap.
  for (const Case c : {Case{0, 1}, Case{0, 37}, Case{0, 100}, Case{0, 250}, Case{0, 1000}, Case{0xFFFFFF80u, 37},
                       Case{0xFFFFFF80u, 1000}}) {
    SCOPED_TRACE(testing::Message() << "start " << c.start << ", advancing by " << c.advanceBy);
    ListenedClock lc(c.start);
    std::vector<Step> steps;
    {
      Worker worker(lc.clock, lc.heard, 100);
      // No settling first: the advance itself must wait for the new thread.
      for (u32 t = 0; t < 1000; t += c.advanceBy) lc.clock.Advance(c.advanceBy);
      steps = worker.steps();
    }
    // The first step comes before any time passes; each further one exactly
    // at its deadline, after the listener has heard all time up to it and
    // nothing beyond.
    ASSERT_EQ(steps.size(), 11u);
    for (u32 i = 0; i <= 10; ++i) EXPECT_EQ(steps[i], (Step{c.start + 100 * i, 100u * i})) << "step " << i;
    const u64 total = (999 / c.advanceBy + 1) * static_cast<u64>(c.advanceBy);
    EXPECT_EQ(lc.heard.load(), total);
    EXPECT_EQ(lc.gaps.load(), 0);
    EXPECT_EQ(lc.clock.Now(), static_cast<u32>(c.start + total));
    EXPECT_TRUE(lc.clock.lockStep());
  }
}

TEST(VirtualClockLockStep, TwoWorkersWithDifferentPeriodsEachWakeAtTheirOwnDeadlines) {
  ListenedClock lc(0);
  Worker fast(lc.clock, lc.heard, 30);
  Worker slow(lc.clock, lc.heard, 70);
  lc.clock.Advance(210);
  const std::vector<Step> fastSteps = fast.steps(), slowSteps = slow.steps();
  ASSERT_EQ(fastSteps.size(), 8u);  // 0, 30, ..., 210
  ASSERT_EQ(slowSteps.size(), 4u);  // 0, 70, 140, 210
  for (u32 i = 0; i < fastSteps.size(); ++i) EXPECT_EQ(fastSteps[i], (Step{30 * i, 30u * i})) << "fast step " << i;
  for (u32 i = 0; i < slowSteps.size(); ++i) EXPECT_EQ(slowSteps[i], (Step{70 * i, 70u * i})) << "slow step " << i;
}

TEST(VirtualClockLockStep, SettleWaitsForANewWorkersFirstStepWithoutMovingTime) {
  ListenedClock lc(500);
  Worker worker(lc.clock, lc.heard, 100);
  lc.clock.SettleWorkers();
  EXPECT_EQ(worker.steps(), (std::vector<Step>{{500, 0}}));
  EXPECT_EQ(lc.clock.Now(), 500u);
}

TEST(VirtualClockLockStep, WakeReleasesAParkedWorkerEarlyAndTimeWaitsForItsNextWait) {
  ListenedClock lc(0);
  Worker worker(lc.clock, lc.heard, 100);
  lc.clock.Advance(40);
  lc.clock.Wake();  // the worker steps at 40, then waits until 140
  lc.clock.Advance(160);
  const std::vector<Step> steps = worker.steps();
  EXPECT_EQ(steps, (std::vector<Step>{{0, 0}, {40, 40}, {140, 140}}));
}

// The ways a worker leaves, none of which may leave the clock waiting.
TEST(VirtualClockLockStep, WorkersThatEndNeverHoldTimeBack) {
  ListenedClock lc(0);
  {
    // Ends before it ever waits (asked to stop before it started).
    lc.clock.WorkerStarting();
    std::thread quick([&] { lc.clock.WorkerEnding(); });
    lc.clock.Advance(100);
    quick.join();
  }
  {
    // Told to stop while parked, with no wake: it sees the request at its
    // next deadline, inside an advance, and ends there.
    Worker worker(lc.clock, lc.heard, 100);
    lc.clock.Advance(50);
    worker.AskToStop();
    lc.clock.Advance(1000);
    EXPECT_TRUE(worker.ended());
    EXPECT_EQ(worker.endedAt(), 200u);
    // Only its first step, at 100: at 200 it saw the request and ended.
    EXPECT_EQ(worker.steps(), (std::vector<Step>{{100, 100}}));
  }
  {
    // Stopped and joined from another thread while the main thread advances.
    auto worker = std::make_unique<Worker>(lc.clock, lc.heard, 10);
    std::thread stopper([&] { worker->Stop(); });
    for (int i = 0; i < 200; ++i) lc.clock.Advance(7);
    stopper.join();
    EXPECT_TRUE(worker->done());
  }
  EXPECT_EQ(lc.clock.Now(), 100u + 1050u + 1400u);
  EXPECT_TRUE(lc.clock.lockStep());
  lc.clock.Advance(100);  // nobody is registered any more
}

TEST(VirtualClockLockStep, AWorkerThatNeverWaitsCostsOneTimeoutThenTimeRunsFree) {
  ListenedClock lc(0);
  lc.clock.SetStuckWorkerTimeout(std::chrono::milliseconds(50));
  Worker busy(lc.clock, lc.heard, 0, /*parks=*/false);
  lc.clock.Advance(100);
  EXPECT_FALSE(lc.clock.lockStep());
  EXPECT_EQ(lc.clock.Now(), 100u);
  const auto before = std::chrono::steady_clock::now();
  for (int i = 0; i < 100; ++i) lc.clock.Advance(10);
  // A hundred more advances must not each wait out the timeout again.
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(2500));
  EXPECT_EQ(lc.clock.Now(), 1100u);
}

TEST(VirtualClockLockStep, UnregisteredWaitersStillWakeWhenTheirTimeHasPassed) {
  VirtualClock clock(0);
  clock.WaitOnWorker(0);  // no wait at all
  std::atomic<bool> woke{false};
  std::thread waiter([&] {
    clock.WaitOnWorker(100);
    woke.store(true);
  });
  // The waiter may not have begun waiting yet; time keeps moving until it wakes.
  for (int i = 0; i < 1000000 && !woke.load(); ++i) {
    clock.Advance(100);
    std::this_thread::yield();
  }
  waiter.join();
  EXPECT_TRUE(woke.load());
}

}  // namespace
}  // namespace lyraban::platform
