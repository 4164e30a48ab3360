#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/headless/virtual_clock.h"

namespace lyraban::platform {

// An audio device driven by virtual time: every advance of the clock pulls
// exactly the frames that the elapsed milliseconds play (fractions of a frame
// carry over, so 10 ms steps and one 1000 ms step give the same count). It can
// record everything it pulls to a WAV file, or keep it in memory for tests.
class VirtualAudioOutput final : public AudioOutput {
 public:
  explicit VirtualAudioOutput(VirtualClock& clock);
  ~VirtualAudioOutput() override;
  VirtualAudioOutput(const VirtualAudioOutput&) = delete;
  VirtualAudioOutput& operator=(const VirtualAudioOutput&) = delete;

  bool Open(AudioSource source) override;
  void Close() override;

  // Records the mixed output into a WAV file until Close or StopRecording.
  bool RecordTo(const std::string& path);
  bool StopRecording();
  // Keeps the mixed output in memory (interleaved stereo samples).
  void StartCapture();
  std::vector<i16> TakeCaptured();
  // Frames pulled since Open.
  u64 framesPulled() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace lyraban::platform
