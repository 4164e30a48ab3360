#pragma once
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>

#include "base/types.h"

namespace lyraban {

// A key/value container kept as one byte string. Each entry is a u32 key
// length, the key bytes, a u32 value length and the value bytes, back to
// back with no count or padding. One `Exchange…` call serves both
// directions, so every section writes and reads its state with one routine:
// while writing it appends the variable, while reading it fills it.
class SaveArchive {
 public:
  // Longest key accepted when indexing, and longest string value read.
  static constexpr u32 kMaxKeyLength = 0x100000;
  static constexpr u32 kMaxStringLength = 0x100000;

  // A new archive is empty and writing.
  SaveArchive() = default;

  // Becomes a reading archive over a copy of `bytes` and indexes it. A
  // damaged tail is dropped: the entries before the damage stay readable.
  void OpenForReading(std::string_view bytes);
  // Becomes an empty writing archive.
  void OpenForWriting();

  bool IsWriting() const { return writing_; }
  const std::string& bytes() const { return bytes_; }
  // Number of entries the reading index holds.
  std::size_t EntryCount() const { return index_.size(); }
  bool Contains(std::string_view key) const { return index_.find(key) != index_.end(); }

  // Raw bytes of a fixed size. Reading fills `variable` only when the key
  // is present and its stored length is exactly `size`, so a value whose
  // size changed never overwrites memory.
  bool ExchangeBytes(std::string_view key, void* variable, std::size_t size);

  // Text stored with one NUL after it. Reading accepts values up to
  // kMaxStringLength bytes and takes the text up to the first NUL.
  bool ExchangeString(std::string_view key, std::string& text);

  // A nested container. Reading gives `inner` the value's bytes and its own
  // index; a missing key gives an empty reading container, so every read
  // from it fails and keeps the current values.
  bool ExchangeArchive(std::string_view key, SaveArchive& inner);

  // Integers and other plain values, little-endian as in memory here.
  template <class T>
  bool Exchange(std::string_view key, T& value) {
    static_assert(std::is_trivially_copyable_v<T> && !std::is_pointer_v<T>);
    return ExchangeBytes(key, &value, sizeof(T));
  }

 private:
  void Append(std::string_view key, const void* value, std::size_t size);
  // The value bytes of `key` while reading, or false.
  bool Find(std::string_view key, std::string_view& value) const;

  bool writing_ = true;
  std::string bytes_;
  // key -> position of the entry's value length
  std::map<std::string, std::size_t, std::less<>> index_;
};

}  // namespace lyraban
