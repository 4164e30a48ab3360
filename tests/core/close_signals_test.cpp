#include "platform/close_signals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "test_game.h"

namespace lyraban {
namespace {

using testing::TestGame;

bool Blocked(int signal) {
  sigset_t now;
  pthread_sigmask(SIG_BLOCK, nullptr, &now);
  return sigismember(&now, signal) == 1;
}

TEST(CloseSignals, SignalsAreTakenOnceAndTheMaskComesBackAfterwards) {
  ASSERT_FALSE(Blocked(SIGTERM));
  {
    platform::CloseSignals signals;
    ASSERT_TRUE(signals.active());
    EXPECT_TRUE(Blocked(SIGTERM));
    EXPECT_TRUE(Blocked(SIGINT));
    EXPECT_FALSE(signals.Take());
    EXPECT_FALSE(platform::CloseSignals::Pending());
    // Two signals before one look are one request.
    raise(SIGTERM);
    raise(SIGINT);
    EXPECT_TRUE(platform::CloseSignals::Pending());
    EXPECT_TRUE(platform::CloseSignals::Pending()) << "looking does not take it";
    EXPECT_TRUE(signals.Take());
    EXPECT_FALSE(platform::CloseSignals::Pending());
    EXPECT_FALSE(signals.Take());
    // One left pending at the end must not kill the process once unblocked.
    raise(SIGTERM);
  }
  EXPECT_FALSE(Blocked(SIGTERM));
  EXPECT_FALSE(Blocked(SIGINT));
}

#ifdef LYRABAN_PATH
// The program's blocked signals, from /proc; false once it has ended.
bool ChildBlocks(pid_t pid, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("SigBlk:", 0) != 0) continue;
    const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
    return (mask >> (signal - 1)) & 1;
  }
  return false;
}

// A headless run that would wait for a click for ever, ended by a signal:
// shut-down writes the read-text log and the exit status is 0.
TEST(CloseSignals, SignalEndsAHeadlessRunAsAConfirmedClose) {
  for (int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : "SIGINT");
    TestGame game;
    game.Script("waiting for a click\r\n");
    const std::filesystem::path log = game.dir.path() / "save" / "complete.log";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Quiet: the child's output would mix with the test's.
      freopen("/dev/null", "w", stderr);
      execl(LYRABAN_PATH, LYRABAN_PATH, "--headless", game.dir.str().c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    // Signalled only once the program has taken the signals over; before
    // that their default action would end it without a shut-down.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!ChildBlocks(child, signal) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(ChildBlocks(child, signal)) << "the program never blocked the signal";
    ASSERT_EQ(kill(child, signal), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(std::filesystem::exists(log));
  }
}
#endif

}  // namespace
}  // namespace lyraban
