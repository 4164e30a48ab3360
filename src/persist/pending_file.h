#pragma once
#include <filesystem>
#include <string_view>

#include "base/types.h"

namespace lyraban {

// A file being written under a temporary name beside its target. Commit
// flushes it to disk and renames it over the target in one step, so a crash
// or a failed write never leaves a half-written file where the old one was.
class PendingFile {
 public:
  PendingFile() = default;
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Starts an empty temporary file for `target`.
  bool Create(const std::filesystem::path& target);
  // Starts a temporary copy of the existing `target`, positioned at its
  // first byte, so writes replace its start and leave the rest as it was.
  bool CreateFromExisting(const std::filesystem::path& target);

  bool IsOpen() const { return fd_ >= 0; }
  bool Write(const void* bytes, std::size_t count);
  // Current length of the temporary file.
  u64 Size() const;

  // Whether Commit waits until the data is on disk first (the default).
  // Without it a crash of the program still leaves the old or the new file
  // whole, thanks to the rename; only a crash of the whole system may not.
  void SetSyncOnCommit(bool sync) { sync_ = sync; }

  // Renames the temporary file into place; false (and the target untouched)
  // when any write failed or the rename did not happen.
  bool Commit();
  // Removes the temporary file; the target stays as it was.
  void Abandon();

 private:
  int fd_ = -1;
  bool failed_ = false;
  bool sync_ = true;
  std::filesystem::path target_;
  std::filesystem::path temp_;
};

// Writes `bytes` as the whole content of `path` through a PendingFile.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace lyraban
