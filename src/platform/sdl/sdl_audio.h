#pragma once
#include <memory>

#include "platform/audio.h"

namespace lyraban::platform {

// Conversion through SDL's audio streams (resampling, channel mapping). Works
// without SDL's audio subsystem being started, so headless runs use it too.
class SdlAudioConverterFactory final : public AudioConverterFactory {
 public:
  std::unique_ptr<AudioConverter> Create(int channels, int rate) override;
};

// The default audio device, fed from SDL's callback thread.
class SdlAudioOutput final : public AudioOutput {
 public:
  SdlAudioOutput();
  ~SdlAudioOutput() override;
  SdlAudioOutput(const SdlAudioOutput&) = delete;
  SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

  bool Open(AudioSource source) override;
  void Close() override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace lyraban::platform
