#include "base/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lyraban {

int OpenRegularFileForRead(const char* path) {
  // O_NONBLOCK keeps the open of a FIFO with no writer from waiting; for a
  // regular file it means nothing, and it is cleared before any read.
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::FILE* OpenRegularStreamForRead(const char* path) {
  const int fd = OpenRegularFileForRead(path);
  if (fd < 0) return nullptr;
  std::FILE* stream = ::fdopen(fd, "rb");
  if (!stream) ::close(fd);
  return stream;
}

}  // namespace lyraban
