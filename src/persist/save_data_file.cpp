#include "persist/save_data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "base/regular_file.h"

namespace lyraban {

SaveDataFile::SaveDataFile(std::filesystem::path saveFolder) : folder_(std::move(saveFolder)) {}

SaveDataFile::~SaveDataFile() { Close(); }

std::filesystem::path SaveDataFile::PathOf(std::string_view name) const {
  return folder_ / std::filesystem::path(std::string(name));
}

bool SaveDataFile::IsOpen() const { return mode_ != Mode::Closed; }

bool SaveDataFile::OpenForWrite(std::string_view name) {
  Close();
  std::error_code ignored;
  std::filesystem::create_directory(folder_, ignored);
  if (!pending_.Create(PathOf(name))) return false;
  keystream_.Seed(kSaveDataSeed);
  mode_ = Mode::Write;
  return true;
}

bool SaveDataFile::OpenForUpdate(std::string_view name) {
  Close();
  if (!pending_.CreateFromExisting(PathOf(name))) return false;
  keystream_.Seed(kSaveDataSeed);
  mode_ = Mode::Write;
  return true;
}

bool SaveDataFile::OpenForRead(std::string_view name) {
  Close();
  const int fd = OpenRegularFileForRead(PathOf(name).c_str());
  if (fd < 0) return false;
  readFd_ = fd;
  keystream_.Seed(kSaveDataSeed);
  mode_ = Mode::Read;
  return true;
}

bool SaveDataFile::Write(const void* bytes, std::size_t count) {
  if (mode_ != Mode::Write) return false;
  // Scramble through a bounded scratch block; the caller's bytes stay as
  // they are.
  const auto* in = static_cast<const u8*>(bytes);
  std::vector<u8> block(count < 65536 ? count : 65536);
  bool ok = true;
  while (count > 0) {
    const std::size_t n = count < block.size() ? count : block.size();
    for (std::size_t i = 0; i < n; ++i) block[i] = keystream_.Next(in[i]);
    ok = pending_.Write(block.data(), n) && ok;
    in += n;
    count -= n;
  }
  return ok;
}

bool SaveDataFile::Read(void* bytes, std::size_t count) {
  if (mode_ != Mode::Read) return false;
  auto* out = static_cast<u8*>(bytes);
  std::size_t got = 0;
  while (got < count) {
    const ssize_t n = ::read(readFd_, out + got, count - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  keystream_.Apply(out, got);
  return got == count;
}

bool SaveDataFile::ReadRest(std::string& out) {
  out.clear();
  if (mode_ != Mode::Read) return false;
  const off_t at = ::lseek(readFd_, 0, SEEK_CUR);
  const u64 size = Size();
  if (at < 0 || static_cast<u64>(at) > size) return false;
  // The length comes from the file system, not from the file's content, so
  // it is bounded by what is really on disk; a file that shrinks meanwhile
  // just gives a short read.
  out.resize(static_cast<std::size_t>(size - static_cast<u64>(at)));
  const bool ok = Read(out.data(), out.size());
  if (!ok) out.clear();
  return ok;
}

u64 SaveDataFile::Size() const {
  if (mode_ == Mode::Write) return pending_.Size();
  struct stat st {};
  if (mode_ != Mode::Read || ::fstat(readFd_, &st) != 0) return 0;
  return static_cast<u64>(st.st_size);
}

bool SaveDataFile::Close() {
  bool ok = true;
  if (mode_ == Mode::Write) ok = pending_.Commit();
  if (readFd_ >= 0) ::close(readFd_);
  readFd_ = -1;
  mode_ = Mode::Closed;
  return ok;
}

}  // namespace lyraban
