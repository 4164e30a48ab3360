#include "persist/pending_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/regular_file.h"

namespace lyraban {

namespace {

std::filesystem::path TempNameFor(const std::filesystem::path& target) {
  std::filesystem::path temp = target;
  temp += ".tmp";
  return temp;
}

bool WriteAll(int fd, const char* data, std::size_t count) {
  while (count > 0) {
    const ssize_t n = ::write(fd, data, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

PendingFile::~PendingFile() { Abandon(); }

bool PendingFile::Create(const std::filesystem::path& target) {
  Abandon();
  target_ = target;
  temp_ = TempNameFor(target);
  fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  failed_ = false;
  return fd_ >= 0;
}

bool PendingFile::CreateFromExisting(const std::filesystem::path& target) {
  Abandon();
  const int in = OpenRegularFileForRead(target.c_str());
  if (in < 0) return false;
  if (!Create(target)) {
    ::close(in);
    return false;
  }
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || (n > 0 && !WriteAll(fd_, buffer, static_cast<std::size_t>(n)))) {
      ::close(in);
      Abandon();
      return false;
    }
    if (n == 0) break;
  }
  ::close(in);
  if (::lseek(fd_, 0, SEEK_SET) != 0) {
    Abandon();
    return false;
  }
  return true;
}

bool PendingFile::Write(const void* bytes, std::size_t count) {
  if (fd_ < 0) return false;
  if (!WriteAll(fd_, static_cast<const char*>(bytes), count)) failed_ = true;
  return !failed_;
}

u64 PendingFile::Size() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
  return static_cast<u64>(st.st_size);
}

bool PendingFile::Commit() {
  if (fd_ < 0) return false;
  bool ok = !failed_ && (!sync_ || ::fsync(fd_) == 0);
  ok = (::close(fd_) == 0) && ok;
  fd_ = -1;
  if (ok) ok = ::rename(temp_.c_str(), target_.c_str()) == 0;
  if (!ok) ::unlink(temp_.c_str());
  return ok;
}

void PendingFile::Abandon() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  ::unlink(temp_.c_str());
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
  PendingFile file;
  if (!file.Create(path)) return false;
  file.Write(bytes.data(), bytes.size());
  return file.Commit();
}

}  // namespace lyraban
