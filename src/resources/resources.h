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

// Text files by their name, the same set that lyrapack converts: .txt, .img,
// .map, .ini and .def, in any letter case.
bool IsTextResourceName(std::string_view name);

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
  // True for an archive entry, false for a loose file.
  bool archived() const { return archived_; }
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
  bool archived_ = false;
  u64 available_ = 0;  // bytes in the file from the resource's first byte
  PackKeystream keystream_;
};

// The data folder and the directory of every archive in it. Resource names
// are game text in the trace's code page.
//
// Inside archives names keep their backslashes. A name that is in no archive
// is read as a loose file below the data folder: backslashes become slashes
// and each path component is matched without regard to ASCII letter case
// (an exact match first), as on Windows file systems; a component found in
// neither way is looked up again as its UTF-8 spelling, the same two ways,
// since file names on Linux are UTF-8. A name that contains a colon or starts
// with "/" is a full path, opened as given.
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
  // The same; in addition a loose text file (IsTextResourceName) written in
  // UTF-8 — it starts with a byte order mark, or it holds non-ASCII bytes
  // and all of it is well-formed UTF-8 — is converted to the game's code
  // page, as lyrapack --convert-text would have packed it. Archive entries
  // are never converted.
  bool ReadWholeResource(std::string_view folder, std::string_view name, std::string& out);
  // The same bytes for another thread: nothing is traced and nothing here
  // changes, so it may run beside the main thread's reads (not beside
  // opening archives).
  bool ReadWholeResourceQuietly(std::string_view folder, std::string_view name, std::string& out) const;
  bool LoadTextLines(TextLines& lines, std::string_view folder, std::string_view name);
  // The same, but an empty resource is a valid text without lines: it gives
  // true with `empty` set and no diagnostic (a script may be empty).
  bool LoadTextLines(TextLines& lines, std::string_view folder, std::string_view name, bool& empty);

  const std::string& dataFolder() const { return dataFolder_; }
  ResourceDirectory& directory() { return directory_; }
  const ResourceDirectory& directory() const { return directory_; }

 private:
  // The reads take the trace to write to, so that a quiet one can stand in.
  static void Diagnose(Trace& trace, const char* errorText, const PackFile& file, u32 size, u8 scrambleCode);
  bool Open(Trace& trace, PackFile& file, std::string_view folder, std::string_view name) const;
  static bool Read(Trace& trace, PackFile& file, void* dst, u32 count);
  static void Close(PackFile& file);
  std::string FindLooseFile(const std::string& resolvedName) const;
  // A NUL byte ends a text early; the author hears where.
  void TraceCutAtNul(const TextLines& lines, std::string_view folder, std::string_view name);
  // Whole text; a loose text file written in UTF-8 comes back in the game's
  // code page. `empty` (when given) tells an empty file from a missing one.
  bool ReadText(Trace& trace, std::string_view folder, std::string_view name, std::string& out, bool* empty) const;
  template <class Buffer>
  bool ReadWhole(Trace& trace, std::string_view folder, std::string_view name, Buffer& out, bool* empty = nullptr,
                 bool* archived = nullptr) const;

  Trace& trace_;
  std::string dataFolder_;
  ResourceDirectory directory_;
};

}  // namespace lyraban
