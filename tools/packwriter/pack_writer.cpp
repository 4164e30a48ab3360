#include "packwriter/pack_writer.h"

#include <unistd.h>

#include <cstdio>

#include "resources/archive.h"
#include "resources/pack_keystream.h"

namespace lyraban {

namespace {

void PutU32(std::string& out, u32 value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

bool PackWriter::AddFile(std::string name, std::string_view bytes, u8 scrambleCode) {
  if (name.empty() || name.size() > 255) {
    error_ = "entry name must be 1 to 255 bytes long (" + std::to_string(name.size()) + " bytes): " + name;
    return false;
  }
  entries_.push_back(Entry{std::move(name), std::string(bytes), scrambleCode});
  return true;
}

bool PackWriter::Build(u32 priority, std::string& out) {
  u64 directorySize = 0;
  u64 dataSize = 0;
  for (const Entry& e : entries_) {
    directorySize += 2 + e.name.size() + 8;
    dataSize += e.data.size();
  }
  // Every offset and size must fit in 32 bits.
  if (kPackHeaderSize + directorySize + dataSize > 0xFFFFFFFFull || entries_.size() > 0xFFFFFFFFull) {
    error_ = "archive would exceed 4 GiB";
    return false;
  }
  out.clear();
  out.reserve(static_cast<size_t>(kPackHeaderSize + directorySize + dataSize));
  out.append(kPackMagic, sizeof kPackMagic);
  PutU32(out, kPackVersion);
  PutU32(out, priority);
  PutU32(out, static_cast<u32>(entries_.size()));

  PackKeystream names(kPackBaseSeed);
  u64 offset = kPackHeaderSize + directorySize;
  for (const Entry& e : entries_) {
    out.push_back(static_cast<char>(e.scrambleCode));
    out.push_back(static_cast<char>(e.name.size()));
    std::string name = e.name;
    names.Apply(name.data(), name.size());
    out += name;
    PutU32(out, static_cast<u32>(offset));
    PutU32(out, static_cast<u32>(e.data.size()));
    offset += e.data.size();
  }
  for (const Entry& e : entries_) {
    const size_t start = out.size();
    out += e.data;
    if (e.scrambleCode != 0) {
      PackKeystream data(kPackBaseSeed + e.scrambleCode);
      data.Apply(out.data() + start, e.data.size());
    }
  }
  return true;
}

bool PackWriter::Write(const std::string& path, u32 priority) {
  std::string bytes;
  if (!Build(priority, bytes)) return false;
  const std::string temp = path + ".tmp" + std::to_string(::getpid());
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) {
    error_ = "cannot create " + temp;
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    error_ = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace lyraban
