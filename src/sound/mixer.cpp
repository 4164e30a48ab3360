#include "sound/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace lyraban {

i32 VolumeToAttenuation(int volume) {
  if (volume < 1) return -10000;
  const long value = std::lround(2000.0 * std::log10(volume / 100.0));
  if (value < -9999) return -10000;
  if (value >= 0) return 0;
  return static_cast<i32>(value);
}

float AttenuationToGain(i32 attenuation) {
  if (attenuation <= -10000) return 0.0f;
  if (attenuation >= 0) return 1.0f;
  return static_cast<float>(std::pow(10.0, attenuation / 2000.0));
}

Mixer::Mixer(platform::AudioConverterFactory& converters) : converters_(converters) {}

Mixer::BufferId Mixer::CreateBuffer(int channels, int rate, std::vector<u8> pcm) {
  if (channels < 1 || channels > 8 || rate < 1000 || rate > 384000) return 0;
  Buffer buffer;
  buffer.channels = channels;
  buffer.rate = rate;
  const size_t block = static_cast<size_t>(channels) * 2;
  pcm.resize(pcm.size() / block * block);
  buffer.pcm = std::move(pcm);
  if (channels != platform::kAudioChannels || rate != platform::kAudioRate) {
    buffer.converter = converters_.Create(channels, rate);
    if (!buffer.converter) return 0;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  BufferId id = nextId_++;
  if (id == 0) id = nextId_++;  // after wrapping round
  buffers_[id] = std::move(buffer);
  return id;
}

void Mixer::Release(BufferId id) {
  std::unique_ptr<platform::AudioConverter> converter;
  std::vector<u8> pcm;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = buffers_.find(id);
    if (it == buffers_.end()) return;
    // Freed outside the lock so the device thread is not held up.
    converter = std::move(it->second.converter);
    pcm = std::move(it->second.pcm);
    buffers_.erase(it);
  }
}

bool Mixer::Write(BufferId id, size_t offset, const u8* bytes, size_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = buffers_.find(id);
  if (it == buffers_.end()) return false;
  std::vector<u8>& pcm = it->second.pcm;
  if (offset > pcm.size() || count > pcm.size() - offset) return false;
  if (count) std::memcpy(pcm.data() + offset, bytes, count);
  return true;
}

bool Mixer::Play(BufferId id, bool looping) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = buffers_.find(id);
  if (it == buffers_.end()) return false;
  Buffer& buffer = it->second;
  if (buffer.stream) {
    buffer.playing = true;
    return true;
  }
  buffer.looping = looping;
  if (buffer.cursor >= buffer.pcm.size() || buffer.draining) {
    buffer.cursor = 0;
    buffer.draining = false;
    if (buffer.converter) buffer.converter->Clear();
  }
  buffer.playing = !buffer.pcm.empty();
  return true;
}

void Mixer::Stop(BufferId id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = buffers_.find(id);
  if (it != buffers_.end()) it->second.playing = false;
}

bool Mixer::SetPosition(BufferId id, size_t byteOffset) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = buffers_.find(id);
  if (it == buffers_.end()) return false;
  Buffer& buffer = it->second;
  const size_t block = static_cast<size_t>(buffer.channels) * 2;
  buffer.cursor = std::min(byteOffset / block * block, buffer.pcm.size());
  buffer.draining = false;
  if (buffer.converter) buffer.converter->Clear();
  return true;
}

std::optional<size_t> Mixer::GetPosition(BufferId id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = buffers_.find(id);
  if (it == buffers_.end()) return std::nullopt;
  return it->second.cursor;
}

bool Mixer::IsPlaying(BufferId id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = buffers_.find(id);
  return it != buffers_.end() && it->second.playing;
}

void Mixer::SetVolume(BufferId id, i32 attenuation) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = buffers_.find(id);
  if (it == buffers_.end()) return;
  it->second.attenuation = std::clamp<i32>(attenuation, -10000, 0);
  it->second.gain = AttenuationToGain(it->second.attenuation);
}

std::optional<i32> Mixer::GetVolume(BufferId id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = buffers_.find(id);
  if (it == buffers_.end()) return std::nullopt;
  return it->second.attenuation;
}

std::optional<Mixer::Format> Mixer::GetFormat(BufferId id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = buffers_.find(id);
  if (it == buffers_.end()) return std::nullopt;
  return Format{it->second.channels, it->second.rate, it->second.pcm.size()};
}

size_t Mixer::bufferCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return buffers_.size();
}

void Mixer::Mix(i16* out, size_t frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  const size_t samples = frames * platform::kAudioChannels;
  sum_.assign(samples, 0);
  for (auto& [id, buffer] : buffers_) {
    if (!buffer.playing) continue;
    one_.assign(samples, 0);
    Render(buffer, one_.data(), frames);
    const float gain = buffer.gain;
    if (gain <= 0.0f) continue;  // silent, but the cursor has moved on
    if (gain >= 1.0f) {
      for (size_t i = 0; i < samples; ++i) sum_[i] += one_[i];
    } else {
      for (size_t i = 0; i < samples; ++i) sum_[i] += static_cast<i32>(std::lrint(one_[i] * gain));
    }
  }
  for (size_t i = 0; i < samples; ++i) out[i] = static_cast<i16>(std::clamp<i32>(sum_[i], -32768, 32767));
}

Mixer::BufferId Mixer::CreateStream() {
  Buffer buffer;
  buffer.channels = platform::kAudioChannels;
  buffer.rate = platform::kAudioRate;
  buffer.stream = true;
  std::lock_guard<std::mutex> lock(mutex_);
  BufferId id = nextId_++;
  if (id == 0) id = nextId_++;
  buffers_[id] = std::move(buffer);
  return id;
}

bool Mixer::QueueStream(BufferId id, const i16* samples, size_t frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = buffers_.find(id);
  if (it == buffers_.end() || !it->second.stream) return false;
  Buffer& buffer = it->second;
  // What has been played is dropped once it is the larger part, so the
  // queue holds about what is waiting.
  if (buffer.cursor > 0 && buffer.cursor >= buffer.pcm.size() / 2) {
    buffer.pcm.erase(buffer.pcm.begin(), buffer.pcm.begin() + static_cast<std::ptrdiff_t>(buffer.cursor));
    buffer.cursor = 0;
  }
  const u8* bytes = reinterpret_cast<const u8*>(samples);
  buffer.pcm.insert(buffer.pcm.end(), bytes, bytes + frames * platform::kAudioFrameBytes);
  return true;
}

size_t Mixer::StreamQueued(BufferId id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = buffers_.find(id);
  if (it == buffers_.end() || !it->second.stream) return 0;
  return (it->second.pcm.size() - it->second.cursor) / platform::kAudioFrameBytes;
}

u64 Mixer::StreamPlayed(BufferId id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = buffers_.find(id);
  return it == buffers_.end() ? 0 : it->second.played;
}

void Mixer::RenderStream(Buffer& buffer, i16* out, size_t frames) {
  const size_t n = std::min(frames, (buffer.pcm.size() - buffer.cursor) / platform::kAudioFrameBytes);
  if (n) std::memcpy(out, buffer.pcm.data() + buffer.cursor, n * platform::kAudioFrameBytes);
  buffer.cursor += n * platform::kAudioFrameBytes;
  buffer.played += n;
}

void Mixer::Render(Buffer& buffer, i16* out, size_t frames) {
  if (buffer.stream)
    RenderStream(buffer, out, frames);
  else if (buffer.converter)
    RenderConverted(buffer, out, frames);
  else
    RenderDirect(buffer, out, frames);
}

void Mixer::RenderDirect(Buffer& buffer, i16* out, size_t frames) {
  const size_t size = buffer.pcm.size();
  size_t done = 0;
  while (done < frames && buffer.playing) {
    if (buffer.cursor >= size) {
      if (buffer.looping && size > 0) {
        buffer.cursor = 0;
      } else {
        buffer.playing = false;
        break;
      }
    }
    const size_t n = std::min(frames - done, (size - buffer.cursor) / platform::kAudioFrameBytes);
    std::memcpy(out + done * platform::kAudioChannels, buffer.pcm.data() + buffer.cursor,
                n * platform::kAudioFrameBytes);
    buffer.cursor += n * platform::kAudioFrameBytes;
    done += n;
    if (buffer.cursor >= size && buffer.looping) buffer.cursor = 0;
  }
}

void Mixer::RenderConverted(Buffer& buffer, i16* out, size_t frames) {
  platform::AudioConverter& converter = *buffer.converter;
  const size_t block = static_cast<size_t>(buffer.channels) * 2;
  const size_t size = buffer.pcm.size();
  size_t done = 0;
  while (done < frames) {
    if (const size_t ready = converter.Available(); ready > 0) {
      const size_t got = converter.Get(out + done * platform::kAudioChannels, std::min(ready, frames - done));
      if (got == 0) break;
      done += got;
      continue;
    }
    if (buffer.draining || size == 0) {
      buffer.playing = false;
      buffer.draining = false;
      converter.Clear();
      return;
    }
    // Feed about as many source frames as the missing output needs, plus a
    // little for the resampler's look-ahead.
    const size_t wanted = (frames - done) * static_cast<size_t>(buffer.rate) / platform::kAudioRate + 64;
    if (buffer.cursor >= size) buffer.cursor = 0;
    const size_t n = std::min(wanted, (size - buffer.cursor) / block);
    feed_.resize(n * buffer.channels);
    std::memcpy(feed_.data(), buffer.pcm.data() + buffer.cursor, n * block);
    if (!converter.Put(feed_.data(), n)) {
      buffer.playing = false;
      converter.Clear();
      return;
    }
    buffer.cursor += n * block;
    if (buffer.cursor >= size) {
      if (buffer.looping) {
        buffer.cursor = 0;
      } else {
        converter.Flush();
        buffer.draining = true;
      }
    }
  }
}

}  // namespace lyraban
