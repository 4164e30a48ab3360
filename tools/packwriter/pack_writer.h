#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"

namespace lyraban {

// Builds resource archives: entries in the order they were added, names
// scrambled with one keystream over the whole directory, each entry's data
// scrambled with its own keystream seeded at the base seed plus its code
// (code 0 stores the bytes plain).
class PackWriter {
 public:
  struct Entry {
    std::string name;  // as stored: backslash separators, game code page
    std::string data;  // plain bytes
    u8 scrambleCode = 0;
  };

  // False (with error()) for an empty name or one longer than 255 bytes.
  bool AddFile(std::string name, std::string_view bytes, u8 scrambleCode = 0);

  // The whole archive in memory. False when the entries do not fit the
  // format's 32-bit offsets.
  bool Build(u32 priority, std::string& out);
  // Writes to a temporary name beside `path`, then renames it into place.
  bool Write(const std::string& path, u32 priority);

  const std::vector<Entry>& entries() const { return entries_; }
  const std::string& error() const { return error_; }

 private:
  std::vector<Entry> entries_;
  std::string error_;
};

}  // namespace lyraban
