#include "platform/sdl/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "base/types.h"

namespace lyraban::platform {

namespace {

u64 Fnv1a(std::string_view bytes) {
  u64 h = 0xcbf29ce484222325ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  return h;
}

// The id is a byte string in the game's code page: keep what is safe in a
// file name and escape the rest, falling back to a hash for very long ids.
std::string FileStem(std::string_view productId) {
  std::string stem;
  for (unsigned char c : productId) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
        c == '.') {
      stem += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      stem += hex;
    }
  }
  if (stem.size() > 120) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(Fnv1a(productId)));
    stem = hex;
  }
  return stem;
}

// An abstract-namespace address derived from the lock file's path, so that
// the socket needs no file of its own and vanishes with the process.
socklen_t SocketAddress(const std::string& lockPath, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  char name[64];
  const int n =
      std::snprintf(name, sizeof name, "lyraban-instance-%016llx", static_cast<unsigned long long>(Fnv1a(lockPath)));
  std::memcpy(address.sun_path + 1, name, static_cast<size_t>(n));
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<size_t>(n));
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

SingleInstance::SingleInstance(std::string lockFolder) : folder_(std::move(lockFolder)) {
  if (folder_.empty()) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    folder_ = runtime && *runtime ? runtime : "/tmp";
  }
  if (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
}

SingleInstance::~SingleInstance() { Release(); }

std::string SingleInstance::LockPath(std::string_view productId) const {
  return folder_ + "/lyraban-" + FileStem(productId) + ".lock";
}

bool SingleInstance::Acquire(std::string_view productId) {
  Release();
  if (productId.empty()) return true;
  const std::string path = LockPath(productId);
  sockaddr_un address;
  const socklen_t addressLength = SocketAddress(path, address);

  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  // A folder we cannot write to must not keep the game from starting.
  if (fd < 0) return true;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error != EWOULDBLOCK) return true;
    // Another copy runs: ask it to come to the front.
    int knock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (knock >= 0) {
      if (::connect(knock, reinterpret_cast<const sockaddr*>(&address), addressLength) == 0) {
        const char message = 'R';
        [[maybe_unused]] ssize_t sent = ::send(knock, &message, 1, MSG_NOSIGNAL);
      }
      ::close(knock);
    }
    return false;
  }
  lockFd_ = fd;
  listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listenFd_ >= 0 && (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), addressLength) != 0 ||
                         ::listen(listenFd_, 4) != 0))
    CloseFd(listenFd_);  // still the only copy; it just cannot be raised
  return true;
}

void SingleInstance::Release() {
  CloseFd(listenFd_);
  // The file stays: removing it could let a third copy lock a fresh file
  // while a second still waits on the old one.
  CloseFd(lockFd_);
}

bool SingleInstance::TakeRaiseRequest() {
  if (listenFd_ < 0) return false;
  bool knocked = false;
  for (;;) {
    int peer = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer < 0) break;
    knocked = true;
    ::close(peer);
  }
  return knocked;
}

}  // namespace lyraban::platform
