#pragma once

namespace lyraban::platform {

// SIGTERM and SIGINT as a request to end the program, the way a confirmed
// close ends it: the signals are blocked and read from a descriptor, so they
// never cut the process short, and the main loop takes them at its next pump
// and shuts down in order (the read-text log and the rest are written).
//
// Create it on the main thread before any other thread starts: threads
// inherit the blocked set, so no thread gets the signals' default action.
class CloseSignals {
 public:
  CloseSignals();
  ~CloseSignals();
  CloseSignals(const CloseSignals&) = delete;
  CloseSignals& operator=(const CloseSignals&) = delete;

  // False when the descriptor could not be made (the signals then keep
  // their default action).
  bool active() const { return fd_ >= 0; }
  // True when a signal arrived since the last call; never blocks.
  bool Take();
  // True while SIGTERM or SIGINT waits to be taken, without taking it: for
  // modal loops of the platform (the quit question) that must give way.
  static bool Pending();

 private:
  int fd_ = -1;
  bool restoreMask_ = false;
  unsigned char previousMask_[128] = {};  // the caller's sigset_t, restored at the end
};

}  // namespace lyraban::platform
