#include "platform/headless/virtual_audio.h"

#include <algorithm>
#include <mutex>

#include "platform/headless/audio_dump.h"

namespace lyraban::platform {

// Shared with the clock's listener, which cannot be removed and may outlive
// this device.
struct VirtualAudioOutput::State {
  std::mutex mutex;
  bool open = false;
  AudioSource source;
  u64 elapsedMs = 0;
  u64 framesPulled = 0;
  AudioDumpFile dump;
  bool capturing = false;
  std::vector<i16> captured;
  std::vector<i16> scratch;

  void Pull(u32 ms) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!open) return;
    elapsedMs += ms;
    const u64 target = elapsedMs * kAudioRate / 1000;
    while (framesPulled < target) {
      const size_t frames = static_cast<size_t>(std::min<u64>(target - framesPulled, 4096));
      scratch.assign(frames * kAudioChannels, 0);
      if (source) source(scratch.data(), frames);
      dump.Append(scratch.data(), frames);
      if (capturing) captured.insert(captured.end(), scratch.begin(), scratch.end());
      framesPulled += frames;
    }
  }
};

VirtualAudioOutput::VirtualAudioOutput(VirtualClock& clock) : state_(std::make_shared<State>()) {
  std::weak_ptr<State> weak = state_;
  clock.AddListener([weak](u32, u32 elapsedMs) {
    if (auto state = weak.lock()) state->Pull(elapsedMs);
  });
}

VirtualAudioOutput::~VirtualAudioOutput() { Close(); }

bool VirtualAudioOutput::Open(AudioSource source) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->source = std::move(source);
  state_->open = true;
  state_->elapsedMs = 0;
  state_->framesPulled = 0;
  return true;
}

void VirtualAudioOutput::Close() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->open = false;
  state_->source = nullptr;
  if (state_->dump.active()) state_->dump.Finish();
}

bool VirtualAudioOutput::RecordTo(const std::string& path) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->dump.Start(path);
}

bool VirtualAudioOutput::StopRecording() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->dump.Finish();
}

void VirtualAudioOutput::StartCapture() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->capturing = true;
  state_->captured.clear();
}

std::vector<i16> VirtualAudioOutput::TakeCaptured() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  std::vector<i16> out;
  out.swap(state_->captured);
  return out;
}

u64 VirtualAudioOutput::framesPulled() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->framesPulled;
}

}  // namespace lyraban::platform
