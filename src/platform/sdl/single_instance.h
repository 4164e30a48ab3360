#pragma once
#include <string>
#include <string_view>

namespace lyraban::platform {

// Keeps a second copy of a game from running: the first copy holds an
// exclusive lock on a file named after the product id and listens on a local
// socket; a later copy finds the lock taken, knocks on the socket so that the
// first copy raises its window, and is told to quit.
class SingleInstance {
 public:
  // Lock files go into `lockFolder`; empty means $XDG_RUNTIME_DIR, or /tmp.
  explicit SingleInstance(std::string lockFolder = {});
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when this is the first copy for the id, or the id is empty. A
  // repeated call releases what an earlier call held first.
  bool Acquire(std::string_view productId);
  void Release();
  bool held() const { return lockFd_ >= 0; }

  // True when another copy has knocked since the last call; never blocks.
  bool TakeRaiseRequest();

  // The lock file used for an id (also names the socket).
  std::string LockPath(std::string_view productId) const;

 private:
  std::string folder_;
  int lockFd_ = -1;
  int listenFd_ = -1;
};

}  // namespace lyraban::platform
