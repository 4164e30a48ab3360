#include "platform/sdl/sdl_audio.h"

#include <SDL.h>

#include <cstring>

namespace lyraban::platform {

namespace {

class SdlAudioConverter final : public AudioConverter {
 public:
  explicit SdlAudioConverter(SDL_AudioStream* stream, int channels) : stream_(stream), channels_(channels) {}
  ~SdlAudioConverter() override { SDL_FreeAudioStream(stream_); }

  bool Put(const i16* samples, size_t frames) override {
    // SDL 2.26 loses the last stretch of a resampled stream at the flush
    // when single puts are large (about 1,000 frames and more); small
    // pieces come out whole.
    constexpr size_t kPieceFrames = 512;
    while (frames > 0) {
      const size_t n = frames < kPieceFrames ? frames : kPieceFrames;
      const size_t bytes = n * static_cast<size_t>(channels_) * sizeof(i16);
      if (SDL_AudioStreamPut(stream_, samples, static_cast<int>(bytes)) != 0) return false;
      samples += n * static_cast<size_t>(channels_);
      frames -= n;
    }
    return true;
  }
  void Flush() override { SDL_AudioStreamFlush(stream_); }
  size_t Available() const override {
    const int bytes = SDL_AudioStreamAvailable(stream_);
    return bytes > 0 ? static_cast<size_t>(bytes) / kAudioFrameBytes : 0;
  }
  size_t Get(i16* out, size_t frames) override {
    if (frames == 0) return 0;
    const int got = SDL_AudioStreamGet(stream_, out, static_cast<int>(frames * kAudioFrameBytes));
    return got > 0 ? static_cast<size_t>(got) / kAudioFrameBytes : 0;
  }
  void Clear() override { SDL_AudioStreamClear(stream_); }

 private:
  SDL_AudioStream* stream_;
  int channels_;
};

}  // namespace

std::unique_ptr<AudioConverter> SdlAudioConverterFactory::Create(int channels, int rate) {
  if (channels < 1 || channels > 8 || rate < 1000 || rate > 384000) return nullptr;
  SDL_AudioStream* stream =
      SDL_NewAudioStream(AUDIO_S16LSB, static_cast<Uint8>(channels), rate, AUDIO_S16LSB, kAudioChannels, kAudioRate);
  if (!stream) return nullptr;
  return std::make_unique<SdlAudioConverter>(stream, channels);
}

struct SdlAudioOutput::State {
  SDL_AudioDeviceID device = 0;
  bool subsystemStarted = false;
  AudioSource source;
};

SdlAudioOutput::SdlAudioOutput() : state_(std::make_unique<State>()) {}

SdlAudioOutput::~SdlAudioOutput() { Close(); }

bool SdlAudioOutput::Open(AudioSource source) {
  Close();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  state_->subsystemStarted = true;
  state_->source = std::move(source);

  SDL_AudioSpec wanted{};
  wanted.freq = kAudioRate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = kAudioChannels;
  wanted.samples = 1024;
  wanted.userdata = state_.get();
  wanted.callback = [](void* userdata, Uint8* stream, int length) {
    auto* state = static_cast<State*>(userdata);
    const size_t frames = static_cast<size_t>(length) / kAudioFrameBytes;
    std::memset(stream, 0, static_cast<size_t>(length));
    if (state->source) state->source(reinterpret_cast<i16*>(stream), frames);
  };
  // SDL converts to whatever the device really takes, so nothing may change.
  state_->device = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
  if (state_->device == 0) {
    Close();
    return false;
  }
  SDL_PauseAudioDevice(state_->device, 0);
  return true;
}

void SdlAudioOutput::Close() {
  if (state_->device != 0) {
    SDL_CloseAudioDevice(state_->device);  // waits for a running callback
    state_->device = 0;
  }
  state_->source = nullptr;
  if (state_->subsystemStarted) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    state_->subsystemStarted = false;
  }
}

}  // namespace lyraban::platform
