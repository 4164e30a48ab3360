#pragma once
#include <atomic>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/trace.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "sound/mixer.h"
#include "sound/ogg_stream.h"
#include "sound/sound_ahead.h"

namespace lyraban {

class Resources;
class SaveArchive;
struct UserSettings;

// Switch and volume of one of the four channels, and its current buffer.
struct SoundChannel {
  bool enabled = true;
  int volume = 50;  // 0..100
  Mixer::BufferId buffer = 0;
};

// Music is streamed through a looping buffer of two halves; the sound thread
// refills the half that has just finished playing.
constexpr size_t kMusicBufferBytes = 882000;
constexpr size_t kMusicHalfBytes = kMusicBufferBytes / 2;

// The four sound channels (music, ambience, effects, voices), their mixer and
// the music streaming thread. Every operation runs on the main thread; only
// the music refill and fade run on the sound thread.
class SoundSystem {
 public:
  SoundSystem(Resources& resources, platform::Clock& clock, platform::AudioConverterFactory& converters, Trace& trace);
  ~SoundSystem();
  SoundSystem(const SoundSystem&) = delete;
  SoundSystem& operator=(const SoundSystem&) = delete;

  // Opens the output device, which then pulls from the mixer. On failure the
  // channels stay idle and every play fails quietly.
  bool Start(platform::AudioOutput& output);
  // Stops every channel (names cleared) and closes the device.
  void Shutdown();
  bool started() const { return output_ != nullptr; }
  // Where sounds decoded ahead are taken from (null: decode on the spot).
  // It must outlive the sound system's plays.
  void SetAhead(SoundAhead* ahead) {
    ahead_ = ahead;
    TellAhead();
  }

  // Applies the channel switches and volumes, in the order voice, se, env, bgm.
  void ApplyUserSettings(const UserSettings& settings);
  void SetSE(bool enabled, int volume);
  void SetVoice(bool enabled, int volume);
  void SetEnv(bool enabled, int volume);
  void SetBGM(bool enabled, int volume);

  bool PlayBGM(std::string_view name, bool loop);
  void FadeBGM();
  void StopBGM(bool keepName = false);
  bool PlayEnv(std::string_view name);
  void StopEnv(bool keepName = false);
  bool PlaySE(std::string_view name);
  void StopSE();
  bool PlayVoice(std::string_view path);
  void StopVoice();

  // Puts back the names music and ambience should be playing (after the
  // configuration dialog played other things): a channel playing anything
  // else stops, and the settings applied next resume the names.
  void RestoreNames(std::string_view bgm, bool loop, std::string_view env);

  bool IsBGMPlaying() const;
  bool IsEnvPlaying() const;
  bool IsVoicePlaying() const;

  // The "Data_Sound" section. Reading stops every channel first and resumes
  // the saved ambience and music.
  void SerializeSound(SaveArchive& archive);

  const std::string& nameBGM() const { return nameBGM_; }
  const std::string& nameENV() const { return nameENV_; }
  const std::string& voiceFolder() const { return pathVO_; }
  bool loopBGM() const { return loopBGM_; }
  bool fading() const { return fading_.load(); }
  const SoundChannel& bgm() const { return bgm_; }
  const SoundChannel& env() const { return env_; }
  const SoundChannel& se() const { return se_; }
  const SoundChannel& voice() const { return voice_; }
  Mixer& mixer() { return mixer_; }
  // Whether the sound thread exists; and how many refill steps it has run.
  bool musicThreadRunning() const { return thread_.joinable(); }
  u64 musicSteps() const { return musicSteps_.load(); }

 private:
  Mixer::BufferId LoadWhole(SoundAhead::Kind kind, std::string_view name);
  // Says why a stream the decoder opened cannot be played (its rate or
  // channel count).
  void TraceUnplayable(const char* folder, std::string_view name, int rate, int channels);
  void Release(SoundChannel& channel);
  // Lets the decode-ahead worker skip what would not be played.
  void TellAhead();
  bool StartMusic(std::string_view name, bool loop);
  void StopMusic();
  void MusicThread();
  void RefillStep();
  void FadeStep();

  Resources& resources_;
  platform::Clock& clock_;
  Trace& trace_;
  Mixer mixer_;
  platform::AudioOutput* output_ = nullptr;
  SoundAhead* ahead_ = nullptr;

  SoundChannel bgm_, env_, se_, voice_;
  std::string nameBGM_;
  std::string nameENV_;
  std::string pathVO_;
  bool loopBGM_ = true;

  // Music: the decoder and buffer belong to the sound thread while it runs.
  OggStream music_;
  std::vector<u8> refill_;
  int lastHalf_ = 0;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> threadDone_{false};
  std::atomic<bool> fading_{false};
  std::atomic<u32> fadeStart_{0};
  std::atomic<int> musicVolume_{50};
  std::atomic<Mixer::BufferId> musicBuffer_{0};
  std::atomic<u64> musicSteps_{0};
};

}  // namespace lyraban
