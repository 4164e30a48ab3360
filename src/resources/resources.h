#pragma once
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/trace.h"
#include "base/types.h"
#include "resources/archive.h"
#include "resources/pack_keystream.h"
#include "resources/text_lines.h"

namespace lyraban {

// One open resource: an archive entry or a loose file, positioned at its
// first byte. Closes its stream when destroyed; movable, not copyable.
class PackFile {
 public:
  PackFile() = default;
  PackFile(PackFile&&) noexcept = default;
  PackFile& operator=(PackFile&&) noexcept = default;

  bool IsOpen() const { return static_cast<bool>(stream_); }
  const std::string& resolvedName() const { return resolvedName_; }
  u32 size() const { return size_; }
  u8 scrambleCode() const { return scrambleCode_; }
  // Whether the file really holds `size` bytes from the resource's start.
  bool IsComplete() const { return available_ >= size_; }

 private:
  friend class Resources;
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };

  std::string resolvedName_;
  std::unique_ptr<std::FILE, Closer> stream_;
  u32 size_ = 0;
  u8 scrambleCode_ = 0;
  u64 available_ = 0;  // bytes in the file from the resource's first byte
  PackKeystream keystream_;
};

// The data folder and the directory of every archive in it. Resource names
// are game text in the trace's code page.
//
// Inside archives names keep their backslashes. A name that is in no archive
// is read as a loose file below the data folder: backslashes become slashes
// and each path component is matched without regard to ASCII letter case
// (an exact match first), as on Windows file systems. A name that contains a
// colon or starts with "/" is a full path, opened as given.
class Resources {
 public:
  explicit Resources(Trace& trace) : trace_(trace) {}

  // Data folder = game folder + "/data/". An empty game folder means the
  // program's own folder; "./data/" when that cannot be found. Then opens
  // "system.dat" (its result is ignored). Always true.
  bool OpenDataFolder(std::string_view gameFolder = {});
  // Clears the directory and opens every regular file of the data folder
  // whose name ends in ".dat" (ASCII letter case ignored), in byte order of
  // the file names, so that between equal priorities the later name wins.
  // False only when there is no such file.
  bool OpenAllArchives();
  bool OpenArchive(const std::string& path, const std::string& fileName);

  bool OpenResource(PackFile& file, std::string_view folder, std::string_view name);
  // Reads the next `count` bytes, unscrambling them. False for a null
  // destination, a zero count or a short read.
  bool ReadResource(PackFile& file, void* dst, u32 count);
  void CloseResource(PackFile& file);

  // Reads a whole resource. Fails (with the read diagnostic) when the file
  // does not hold as many bytes as the entry claims, so a lying size never
  // turns into a large allocation, and (traced) when it is larger than any
  // game needs. An empty resource gives false.
  static constexpr u32 kMaxWholeResourceBytes = u32{256} << 20;
  bool ReadWholeResource(std::string_view folder, std::string_view name, std::vector<u8>& out);
  bool ReadWholeResource(std::string_view folder, std::string_view name, std::string& out);
  bool LoadTextLines(TextLines& lines, std::string_view folder, std::string_view name);

  const std::string& dataFolder() const { return dataFolder_; }
  ResourceDirectory& directory() { return directory_; }
  const ResourceDirectory& directory() const { return directory_; }

 private:
  void Diagnose(const char* errorText, const PackFile& file, u32 size, u8 scrambleCode);
  std::string FindLooseFile(const std::string& resolvedName) const;
  template <class Buffer>
  bool ReadWhole(std::string_view folder, std::string_view name, Buffer& out);

  Trace& trace_;
  std::string dataFolder_;
  ResourceDirectory directory_;
};

}  // namespace lyraban
