#include "platform/headless/audio_dump.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/audio.h"

namespace lyraban::platform {

namespace {

// A RIFF file cannot describe more than 4 GiB; later frames are dropped.
constexpr u64 kMaxDataBytes = 0xFFFFFFFFull - 36;

void PutU32(u8* p, u32 v) {
  p[0] = static_cast<u8>(v);
  p[1] = static_cast<u8>(v >> 8);
  p[2] = static_cast<u8>(v >> 16);
  p[3] = static_cast<u8>(v >> 24);
}

void PutU16(u8* p, u16 v) {
  p[0] = static_cast<u8>(v);
  p[1] = static_cast<u8>(v >> 8);
}

void MakeHeader(u8* h, u32 dataBytes) {
  std::memcpy(h, "RIFF", 4);
  PutU32(h + 4, 36 + dataBytes);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  PutU32(h + 16, 16);
  PutU16(h + 20, 1);  // PCM
  PutU16(h + 22, kAudioChannels);
  PutU32(h + 24, kAudioRate);
  PutU32(h + 28, kAudioRate * kAudioFrameBytes);
  PutU16(h + 32, kAudioFrameBytes);
  PutU16(h + 34, 16);
  std::memcpy(h + 36, "data", 4);
  PutU32(h + 40, dataBytes);
}

}  // namespace

AudioDumpFile::~AudioDumpFile() {
  if (file_) Finish();
}

bool AudioDumpFile::Start(const std::string& path) {
  if (file_) Finish();
  path_ = path;
  tempPath_ = path + ".tmp";
  dataBytes_ = 0;
  failed_ = false;
  file_ = std::fopen(tempPath_.c_str(), "wb");
  if (!file_) return false;
  u8 header[44];
  MakeHeader(header, 0);
  if (std::fwrite(header, 1, sizeof header, file_) != sizeof header) failed_ = true;
  return !failed_;
}

void AudioDumpFile::Append(const i16* samples, size_t frames) {
  if (!file_ || failed_ || frames == 0) return;
  u64 bytes = static_cast<u64>(frames) * kAudioFrameBytes;
  if (dataBytes_ + bytes > kMaxDataBytes) bytes = (kMaxDataBytes - dataBytes_) / kAudioFrameBytes * kAudioFrameBytes;
  if (bytes == 0) return;
  // WAV is little-endian; convert on big-endian hosts.
  std::vector<u8> le(static_cast<size_t>(bytes));
  for (size_t i = 0; i < le.size() / 2; ++i) PutU16(&le[i * 2], static_cast<u16>(samples[i]));
  if (std::fwrite(le.data(), 1, le.size(), file_) != le.size()) failed_ = true;
  dataBytes_ += bytes;
}

bool AudioDumpFile::Finish() {
  if (!file_) return false;
  u8 header[44];
  MakeHeader(header, static_cast<u32>(dataBytes_));
  if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(header, 1, sizeof header, file_) != sizeof header)
    failed_ = true;
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  if (failed_ || std::rename(tempPath_.c_str(), path_.c_str()) != 0) {
    std::remove(tempPath_.c_str());
    return false;
  }
  return true;
}

}  // namespace lyraban::platform
