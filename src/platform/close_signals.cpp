#include "platform/close_signals.h"

#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lyraban::platform {

static_assert(sizeof(sigset_t) <= 128, "the kept mask holds a sigset_t");

CloseSignals::CloseSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigset_t previous;
  if (pthread_sigmask(SIG_BLOCK, &set, &previous) != 0) return;
  std::memcpy(previousMask_, &previous, sizeof previous);
  restoreMask_ = true;
  fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  if (fd_ < 0) {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    restoreMask_ = false;
  }
}

CloseSignals::~CloseSignals() {
  if (fd_ >= 0) close(fd_);
  if (restoreMask_) {
    // A signal still pending would act the moment it is unblocked; it was
    // already answered by the shut-down, so it is taken away first.
    sigset_t pending;
    sigset_t both;
    sigemptyset(&both);
    sigaddset(&both, SIGTERM);
    sigaddset(&both, SIGINT);
    if (sigpending(&pending) == 0) {
      const timespec none{0, 0};
      while ((sigismember(&pending, SIGTERM) || sigismember(&pending, SIGINT)) &&
             sigtimedwait(&both, nullptr, &none) > 0)
        sigpending(&pending);
    }
    sigset_t previous;
    std::memcpy(&previous, previousMask_, sizeof previous);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  }
}

bool CloseSignals::Pending() {
  sigset_t pending;
  if (sigpending(&pending) != 0) return false;
  return sigismember(&pending, SIGTERM) == 1 || sigismember(&pending, SIGINT) == 1;
}

bool CloseSignals::Take() {
  if (fd_ < 0) return false;
  bool any = false;
  signalfd_siginfo info;
  for (;;) {
    const ssize_t n = read(fd_, &info, sizeof info);
    if (n == static_cast<ssize_t>(sizeof info)) {
      any = true;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  return any;
}

}  // namespace lyraban::platform
