#pragma once
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/types.h"
#include "persist/pending_file.h"
#include "resources/pack_keystream.h"

namespace lyraban {

// Seed of the keystream that scrambles every file of the save folder.
inline constexpr u32 kSaveDataSeed = 0x3C5A;

// One file of the save folder (save slots, flag files, the read-text log).
// Every byte is combined with the save keystream on its way to and from the
// disk; the keystream restarts at each open, so byte i of a file always meets
// keystream output i and a file is read or rewritten from its start.
//
// Writes go to a temporary file that Close renames over the real one, so a
// crash or a failed write never destroys what the player saved before.
class SaveDataFile {
 public:
  // `saveFolder` is the folder the names are relative to.
  explicit SaveDataFile(std::filesystem::path saveFolder);
  ~SaveDataFile();
  SaveDataFile(const SaveDataFile&) = delete;
  SaveDataFile& operator=(const SaveDataFile&) = delete;

  const std::filesystem::path& folder() const { return folder_; }
  std::filesystem::path PathOf(std::string_view name) const;

  // Creates the folder (one level, errors ignored) and starts a new, empty
  // file that replaces `name` on Close.
  bool OpenForWrite(std::string_view name);
  bool OpenForRead(std::string_view name);
  // Rewrites the start of an existing file, keeping the rest as it is.
  bool OpenForUpdate(std::string_view name);

  bool IsOpen() const;
  bool Write(const void* bytes, std::size_t count);
  bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
  // Reads exactly `count` bytes; false on a short read (the bytes that were
  // there are still delivered, unscrambled).
  bool Read(void* bytes, std::size_t count);
  // Reads everything from the current position to the end of the file.
  bool ReadRest(std::string& out);
  // The file's length in bytes (for a file being written, so far).
  u64 Size() const;
  // For files rewritten very often: Close renames without waiting for the
  // disk (see PendingFile::SetSyncOnCommit).
  void SetSyncOnClose(bool sync) { pending_.SetSyncOnCommit(sync); }
  // Closes the file; a written file is put in place here. False when a
  // written file could not be put in place (the old one is then kept).
  bool Close();

 private:
  enum class Mode { Closed, Read, Write };

  std::filesystem::path folder_;
  Mode mode_ = Mode::Closed;
  int readFd_ = -1;
  PendingFile pending_;
  PackKeystream keystream_{kSaveDataSeed};
};

}  // namespace lyraban
