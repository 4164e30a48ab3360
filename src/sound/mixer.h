#pragma once
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "base/types.h"
#include "platform/audio.h"

namespace lyraban {

// Hundredths of a decibel for a volume of 0..100: silence below 1, otherwise
// 2000 * log10(v / 100) rounded, kept within -10000..0.
i32 VolumeToAttenuation(int volume);
// Linear gain of an attenuation in hundredths of a decibel (0 at -10000).
float AttenuationToGain(i32 attenuation);

// Sound buffers and the software mix that plays them. Each buffer holds 16-bit
// PCM in its own format with a play cursor in bytes, plays once or loops, and
// is scaled by its attenuation; the mix sums every playing buffer with
// saturation into 44,100 Hz stereo. All calls are safe from any thread: the
// device thread mixes while the main and music threads create, fill, start and
// stop buffers.
class Mixer {
 public:
  using BufferId = u32;  // 0 is never a buffer

  explicit Mixer(platform::AudioConverterFactory& converters);
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;

  // A stopped buffer at cursor 0 holding `pcm` (whole frames only are kept).
  // 0 when the format is unusable.
  BufferId CreateBuffer(int channels, int rate, std::vector<u8> pcm);
  void Release(BufferId id);
  // Overwrites bytes inside the buffer; false outside it or for no buffer.
  bool Write(BufferId id, size_t offset, const u8* bytes, size_t count);
  bool Play(BufferId id, bool looping);
  void Stop(BufferId id);
  bool SetPosition(BufferId id, size_t byteOffset);
  // The play cursor in bytes, or nothing for no buffer.
  std::optional<size_t> GetPosition(BufferId id) const;
  bool IsPlaying(BufferId id) const;
  void SetVolume(BufferId id, i32 attenuation);
  std::optional<i32> GetVolume(BufferId id) const;
  struct Format {
    int channels;
    int rate;
    size_t bytes;
  };
  std::optional<Format> GetFormat(BufferId id) const;
  size_t bufferCount() const;

  // A stream: output-format frames queued by a producer and played once, in
  // order, as they arrive; silence while it is starved. Stop and SetVolume
  // work as for buffers.
  BufferId CreateStream();
  bool QueueStream(BufferId id, const i16* samples, size_t frames);
  // Frames queued and not yet played, and frames played since creation.
  size_t StreamQueued(BufferId id) const;
  u64 StreamPlayed(BufferId id) const;

  // Fills `frames` output frames with the sum of the playing buffers.
  void Mix(i16* out, size_t frames);

 private:
  struct Buffer {
    int channels = 0;
    int rate = 0;
    std::vector<u8> pcm;
    size_t cursor = 0;
    bool playing = false;
    bool looping = false;
    bool draining = false;  // converter flushed after a one-shot ended
    bool stream = false;    // pcm is a queue read from `cursor`
    u64 played = 0;         // stream frames played
    i32 attenuation = 0;
    float gain = 1.0f;
    std::unique_ptr<platform::AudioConverter> converter;  // null: already output format
  };

  void Render(Buffer& buffer, i16* out, size_t frames);
  void RenderDirect(Buffer& buffer, i16* out, size_t frames);
  void RenderConverted(Buffer& buffer, i16* out, size_t frames);
  void RenderStream(Buffer& buffer, i16* out, size_t frames);

  platform::AudioConverterFactory& converters_;
  mutable std::mutex mutex_;
  std::map<BufferId, Buffer> buffers_;
  BufferId nextId_ = 1;
  std::vector<i32> sum_;
  std::vector<i16> one_;
  std::vector<i16> feed_;
};

}  // namespace lyraban
