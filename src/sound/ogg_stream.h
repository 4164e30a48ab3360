#pragma once
#include <memory>
#include <vector>

#include "base/types.h"

namespace lyraban {

// One Ogg Vorbis file held whole in memory and decoded to 16-bit signed
// little-endian PCM, with the loop points of its "start" and "end" comments
// (in samples per channel).
class OggStream {
 public:
  OggStream();
  ~OggStream();
  OggStream(const OggStream&) = delete;
  OggStream& operator=(const OggStream&) = delete;

  // Takes the file's bytes. False (and closed) when the decoder rejects them.
  bool Open(std::vector<u8> fileBytes);
  void Close();
  bool isOpen() const;
  // Trades decoders and all with `other` (an opened stream changes hands
  // between threads this way).
  void Swap(OggStream& other) noexcept;
  // The size of the file the open stream holds.
  size_t FileBytes() const;

  // Fills `dst` with `bytes` of PCM, wrapping to the loop start at the end of
  // the stream (or at the loop end) while looping. The rest of the
  // destination is silence when the stream ends; the result is then false.
  bool Decode(u8* dst, size_t bytes);

  void SetLoop(bool loop) { loop_ = loop; }
  bool loop() const { return loop_; }
  int channels() const { return channels_; }
  int rate() const { return rate_; }
  i64 loopStart() const { return loopStart_; }
  i64 loopEnd() const { return loopEnd_; }
  // Samples per channel in the whole stream; 0 when unknown or negative.
  i64 TotalSamples();
  // Whether the decoding library faulted (a division by zero on a damaged
  // setup header) on this stream; it then decodes nothing more.
  bool faulted() const { return faulted_; }

 private:
  struct Decoder;
  std::unique_ptr<Decoder> decoder_;
  int channels_ = 0;
  int rate_ = 0;
  bool loop_ = false;
  bool faulted_ = false;
  i64 loopStart_ = 0;
  i64 loopEnd_ = 0;
};

}  // namespace lyraban
