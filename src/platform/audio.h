#pragma once
#include <cstddef>
#include <functional>
#include <memory>

#include "base/types.h"

namespace lyraban::platform {

// Every output device plays 16-bit signed stereo at this rate; sources in
// other formats go through an AudioConverter first.
constexpr int kAudioRate = 44100;
constexpr int kAudioChannels = 2;
constexpr int kAudioFrameBytes = kAudioChannels * 2;

// Streaming converter from 16-bit PCM of one channel count and rate to the
// output format. Input goes in with Put; converted frames come out with Get.
class AudioConverter {
 public:
  virtual ~AudioConverter() = default;
  // Queues `frames` interleaved input frames. False when the converter failed.
  virtual bool Put(const i16* samples, size_t frames) = 0;
  // Marks the end of the input so that Get can drain what the filter holds.
  virtual void Flush() = 0;
  // Output frames ready to be taken.
  virtual size_t Available() const = 0;
  // Takes up to `frames` output frames; returns how many were written.
  virtual size_t Get(i16* out, size_t frames) = 0;
  // Drops everything queued (after a jump of the read position).
  virtual void Clear() = 0;
};

class AudioConverterFactory {
 public:
  virtual ~AudioConverterFactory() = default;
  // Null when the format cannot be converted.
  virtual std::unique_ptr<AudioConverter> Create(int channels, int rate) = 0;
};

// Fills `frames` interleaved output frames; called from the device's thread.
using AudioSource = std::function<void(i16* out, size_t frames)>;

// A device that pulls mixed frames from a source while it is open.
class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  virtual bool Open(AudioSource source) = 0;
  // Stops pulling; when it returns the source is no longer called.
  virtual void Close() = 0;
};

}  // namespace lyraban::platform
