#include "persist/save_archive.h"

#include <cstring>

namespace lyraban {

namespace {

u32 ReadU32(const std::string& bytes, std::size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
  return static_cast<u32>(p[0]) | static_cast<u32>(p[1]) << 8 | static_cast<u32>(p[2]) << 16 |
         static_cast<u32>(p[3]) << 24;
}

void AppendU32(std::string& bytes, u32 value) {
  const char b[4] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                     static_cast<char>((value >> 16) & 0xFF), static_cast<char>((value >> 24) & 0xFF)};
  bytes.append(b, 4);
}

}  // namespace

void SaveArchive::OpenForWriting() {
  writing_ = true;
  bytes_.clear();
  index_.clear();
}

void SaveArchive::OpenForReading(std::string_view bytes) {
  writing_ = false;
  bytes_.assign(bytes);
  index_.clear();
  const std::size_t end = bytes_.size();
  std::size_t p = 0;
  while (p < end) {
    if (end - p < 4) break;
    const u32 k = ReadU32(bytes_, p);
    if (k > kMaxKeyLength) break;
    if (end - p - 4 < k) break;
    const std::size_t valueLengthAt = p + 4 + k;
    if (end - valueLengthAt < 4) break;
    const u32 v = ReadU32(bytes_, valueLengthAt);
    // An entry whose value runs past the end is the damaged tail: drop it.
    if (end - valueLengthAt - 4 < v) break;
    // With two entries of one key the first is kept; the engine never
    // writes such a container.
    index_.emplace(bytes_.substr(p + 4, k), valueLengthAt);
    p = valueLengthAt + 4 + v;
  }
}

void SaveArchive::Append(std::string_view key, const void* value, std::size_t size) {
  AppendU32(bytes_, static_cast<u32>(key.size()));
  bytes_.append(key);
  AppendU32(bytes_, static_cast<u32>(size));
  if (size > 0) bytes_.append(static_cast<const char*>(value), size);
}

bool SaveArchive::Find(std::string_view key, std::string_view& value) const {
  const auto it = index_.find(key);
  if (it == index_.end()) return false;
  const u32 length = ReadU32(bytes_, it->second);
  value = std::string_view(bytes_).substr(it->second + 4, length);
  return true;
}

bool SaveArchive::ExchangeBytes(std::string_view key, void* variable, std::size_t size) {
  if (writing_) {
    Append(key, variable, size);
    return true;
  }
  std::string_view value;
  if (!Find(key, value) || value.size() != size) return false;
  if (size > 0) std::memcpy(variable, value.data(), size);
  return true;
}

bool SaveArchive::ExchangeString(std::string_view key, std::string& text) {
  if (writing_) {
    // The stored value is the text and one NUL.
    std::string stored = text;
    stored.push_back('\0');
    Append(key, stored.data(), stored.size());
    return true;
  }
  std::string_view value;
  if (!Find(key, value) || value.size() > kMaxStringLength) return false;
  text.assign(value.substr(0, value.find('\0')));
  return true;
}

bool SaveArchive::ExchangeArchive(std::string_view key, SaveArchive& inner) {
  if (writing_) {
    Append(key, inner.bytes_.data(), inner.bytes_.size());
    return true;
  }
  std::string_view value;
  if (!Find(key, value)) {
    inner.OpenForReading({});
    return false;
  }
  inner.OpenForReading(value);
  return true;
}

}  // namespace lyraban
