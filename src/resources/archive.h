#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/strings.h"
#include "base/types.h"

namespace lyraban {

inline constexpr char kPackMagic[8] = {'L', 'Y', 'R', 'A', 'P', 'A', 'C', 'K'};
inline constexpr u32 kPackVersion = 203;
// magic, version, priority, count
inline constexpr size_t kPackHeaderSize = 20;

// One resource held by an archive, as merged into the directory.
struct PackEntry {
  std::string name;     // ASCII letters lowered; the directory key
  std::string archive;  // archive file name without folder
  u32 priority = 0;
  u32 offset = 0;
  u32 size = 0;
  u8 scrambleCode = 0;
};

// Hashes a name with ASCII letters folded, so that it agrees with
// EqualsNoCase and a lookup needs no folded copy of the name.
struct HashNoCase {
  using is_transparent = void;
  size_t operator()(std::string_view s) const {
    u64 h = 14695981039346656037ull;  // FNV-1a
    for (char c : s) h = (h ^ static_cast<unsigned char>(AsciiLower(c))) * 1099511628211ull;
    return static_cast<size_t>(h);
  }
};
struct EqualNoCase {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return EqualsNoCase(a, b); }
};

// The one index of every archive's entries. Names compare with ASCII letters
// folded (every byte, trail bytes of double-byte characters included). A
// hash table, so a lookup costs the same in a game of twenty thousand files
// as in one of twenty; its iteration order is unspecified, so whoever lists
// the entries sorts them.
class ResourceDirectory {
 public:
  // Keys are the names with ASCII letters lowered.
  using Map = std::unordered_map<std::string, PackEntry, HashNoCase, EqualNoCase>;

  const PackEntry* Find(std::string_view name) const;
  // Stores the entry unless one of the same name with a greater priority is
  // already there; equal priority replaces, so the archive merged later wins.
  // True when the entry was stored.
  bool Merge(PackEntry entry);
  void Clear() { entries_.clear(); }
  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const Map& entries() const { return entries_; }

 private:
  Map entries_;
};

struct PackHeader {
  u32 version = 0;
  u32 priority = 0;
  u32 count = 0;
};

// One directory record as stored, name unscrambled but not case-folded.
struct PackRecord {
  std::string name;
  u32 offset = 0;
  u32 size = 0;
  u8 scrambleCode = 0;
};

// Reads an archive's header and hands each directory record to `visit` in
// directory order. False when the file cannot be opened, the magic or version
// is wrong, a name length is zero or the file ends inside the directory;
// records handed over before the failure stay handed over. Memory use is
// bounded by one record whatever the header's count says.
bool ReadArchiveDirectory(const std::string& path, PackHeader& header, const std::function<void(PackRecord&&)>& visit);

// Parses one archive and merges its directory into `directory`. `fileName`
// (without folder) is what the entries remember to reopen the archive.
bool OpenArchive(ResourceDirectory& directory, const std::string& path, const std::string& fileName);

}  // namespace lyraban
