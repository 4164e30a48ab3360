#include "resources/archive.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "base/regular_file.h"
#include "resources/pack_keystream.h"

namespace lyraban {

const PackEntry* ResourceDirectory::Find(std::string_view name) const {
  auto it = entries_.find(name);
  return it == entries_.end() ? nullptr : &it->second;
}

bool ResourceDirectory::Merge(PackEntry entry) {
  auto it = entries_.find(entry.name);
  if (it != entries_.end()) {
    if (it->second.priority > entry.priority) return false;
    it->second = std::move(entry);
    return true;
  }
  std::string key = ToAsciiLower(entry.name);
  entries_.emplace(std::move(key), std::move(entry));
  return true;
}

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool ReadBytes(std::FILE* f, void* dst, size_t n) { return std::fread(dst, 1, n, f) == n; }

bool ReadU32(std::FILE* f, u32& value) {
  u8 b[4];
  if (!ReadBytes(f, b, 4)) return false;
  value = static_cast<u32>(b[0]) | static_cast<u32>(b[1]) << 8 | static_cast<u32>(b[2]) << 16 |
          static_cast<u32>(b[3]) << 24;
  return true;
}

}  // namespace

bool ReadArchiveDirectory(const std::string& path, PackHeader& header, const std::function<void(PackRecord&&)>& visit) {
  FilePtr file(OpenRegularStreamForRead(path.c_str()));
  if (!file) return false;
  std::FILE* f = file.get();

  char magic[sizeof kPackMagic];
  if (!ReadBytes(f, magic, sizeof magic) || std::memcmp(magic, kPackMagic, sizeof magic) != 0) return false;
  if (!ReadU32(f, header.version) || header.version != kPackVersion) return false;
  if (!ReadU32(f, header.priority) || !ReadU32(f, header.count)) return false;

  PackKeystream names(kPackBaseSeed);
  // The count is not trusted for allocation: records are read one at a time
  // and a lying count simply ends in a short read.
  for (u32 i = 0; i < header.count; ++i) {
    u8 head[2];
    if (!ReadBytes(f, head, 2)) return false;
    if (head[1] == 0) return false;
    PackRecord record;
    record.scrambleCode = head[0];
    record.name.resize(head[1]);
    if (!ReadBytes(f, record.name.data(), record.name.size())) return false;
    names.Apply(record.name.data(), record.name.size());
    if (!ReadU32(f, record.offset) || !ReadU32(f, record.size)) return false;
    visit(std::move(record));
  }
  return true;
}

bool OpenArchive(ResourceDirectory& directory, const std::string& path, const std::string& fileName) {
  PackHeader header;
  return ReadArchiveDirectory(path, header, [&](PackRecord&& record) {
    PackEntry entry;
    entry.name = ToAsciiLower(record.name);
    entry.archive = fileName;
    entry.priority = header.priority;
    entry.offset = record.offset;
    entry.size = record.size;
    entry.scrambleCode = record.scrambleCode;
    directory.Merge(std::move(entry));
  });
}

}  // namespace lyraban
