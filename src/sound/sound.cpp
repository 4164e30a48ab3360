#include "sound/sound.h"

#include <algorithm>

#include "base/strings.h"
#include "persist/save_archive.h"
#include "persist/user_settings.h"
#include "resources/resources.h"

namespace lyraban {

SoundSystem::SoundSystem(Resources& resources, platform::Clock& clock, platform::AudioConverterFactory& converters,
                         Trace& trace)
    : resources_(resources), clock_(clock), trace_(trace), mixer_(converters) {}

SoundSystem::~SoundSystem() { Shutdown(); }

bool SoundSystem::Start(platform::AudioOutput& output) {
  Shutdown();
  if (!output.Open([this](i16* out, size_t frames) { mixer_.Mix(out, frames); })) {
    trace_.DebugTrace("サウンド出力を開けない");
    return false;
  }
  output_ = &output;
  TellAhead();
  return true;
}

void SoundSystem::Shutdown() {
  StopSE();
  StopVoice();
  StopEnv(false);
  StopBGM(false);
  if (output_) {
    output_->Close();
    output_ = nullptr;
  }
  TellAhead();
}

void SoundSystem::ApplyUserSettings(const UserSettings& settings) {
  SetVoice(settings.VoiceEnabled != 0, settings.VoiceVolume);
  SetSE(settings.SeEnabled != 0, settings.SeVolume);
  SetEnv(settings.EnvEnabled != 0, settings.EnvVolume);
  SetBGM(settings.BgmEnabled != 0, settings.BgmVolume);
}

void SoundSystem::SetSE(bool enabled, int volume) {
  se_.enabled = enabled;
  se_.volume = volume;
  if (!enabled) StopSE();
  mixer_.SetVolume(se_.buffer, VolumeToAttenuation(volume));
  TellAhead();
}

void SoundSystem::SetVoice(bool enabled, int volume) {
  voice_.enabled = enabled;
  voice_.volume = volume;
  if (!enabled) StopVoice();
  mixer_.SetVolume(voice_.buffer, VolumeToAttenuation(volume));
  TellAhead();
}

void SoundSystem::SetEnv(bool enabled, int volume) {
  env_.enabled = enabled;
  env_.volume = volume;
  if (enabled)
    PlayEnv(std::string(nameENV_));
  else
    StopEnv(true);
  mixer_.SetVolume(env_.buffer, VolumeToAttenuation(volume));
  TellAhead();
}

void SoundSystem::SetBGM(bool enabled, int volume) {
  bgm_.enabled = enabled;
  bgm_.volume = volume;
  musicVolume_.store(volume);
  if (enabled)
    PlayBGM(std::string(nameBGM_), loopBGM_);
  else
    StopBGM(true);
  if (fading_.load())
    FadeStep();
  else
    mixer_.SetVolume(bgm_.buffer, VolumeToAttenuation(volume));
  TellAhead();
}

// --- whole-file channels ---------------------------------------------------

Mixer::BufferId SoundSystem::LoadWhole(SoundAhead::Kind kind, std::string_view name) {
  if (!output_ || name.empty()) return 0;
  const char* folder = SoundAhead::Folder(kind);
  WholeSound sound;
  if (!ahead_ || !ahead_->TakeWhole(kind, name, sound)) {
    std::vector<u8> bytes;
    if (!resources_.ReadWholeResource(folder, name, bytes)) return 0;
    switch (DecodeWholeSound(std::move(bytes), sound)) {
      case SoundDecode::Ok:
        break;
      case SoundDecode::OpenFailed:
        trace_.DebugTrace("Oggを開けない（%s\\%s）", folder, name);
        return 0;
      case SoundDecode::TooLong:
        trace_.DebugTrace("Oggが長すぎる（%s\\%s）", folder, name);
        return 0;
      case SoundDecode::Faulted:
        trace_.DebugTrace("Oggの復号中にデコーダが異常終了した（%s\\%s：壊れたヘッダ）", folder, name);
        return 0;
    }
  }
  const int channels = sound.channels, rate = sound.rate;
  const Mixer::BufferId buffer = mixer_.CreateBuffer(channels, rate, std::move(sound.pcm));
  if (!buffer) TraceUnplayable(folder, name, rate, channels);
  return buffer;
}

void SoundSystem::TraceUnplayable(const char* folder, std::string_view name, int rate, int channels) {
  trace_.DebugTrace("Oggを再生できない（%s\\%s：%d Hz、%d チャンネル）", folder, name, rate, channels);
}

void SoundSystem::TellAhead() {
  if (!ahead_) return;
  SoundAhead::Channels channels;
  channels.music = output_ && bgm_.enabled;
  channels.env = output_ && env_.enabled;
  channels.se = output_ && se_.enabled;
  channels.voice = output_ && voice_.enabled;
  if (bgm_.buffer) channels.playingMusic = nameBGM_;
  ahead_->SetChannels(std::move(channels));
}

void SoundSystem::Release(SoundChannel& channel) {
  mixer_.Release(channel.buffer);
  channel.buffer = 0;
}

bool SoundSystem::PlaySE(std::string_view name) {
  Release(se_);
  if (!se_.enabled) return true;
  se_.buffer = LoadWhole(SoundAhead::Kind::Se, name);
  if (!se_.buffer) return false;
  mixer_.SetVolume(se_.buffer, VolumeToAttenuation(se_.volume));
  return mixer_.Play(se_.buffer, false);
}

bool SoundSystem::PlayVoice(std::string_view path) {
  Release(voice_);
  if (!voice_.enabled) return true;
  voice_.buffer = LoadWhole(SoundAhead::Kind::Voice, path);
  if (!voice_.buffer) return false;
  mixer_.SetVolume(voice_.buffer, VolumeToAttenuation(voice_.volume));
  return mixer_.Play(voice_.buffer, false);
}

void SoundSystem::StopSE() { Release(se_); }
void SoundSystem::StopVoice() { Release(voice_); }

bool SoundSystem::PlayEnv(std::string_view name) {
  if (EqualsNoCase(name, nameENV_) && IsEnvPlaying()) return true;
  StopEnv(false);
  nameENV_ = std::string(name);
  if (!env_.enabled || name.empty()) return true;
  env_.buffer = LoadWhole(SoundAhead::Kind::Env, name);
  if (!env_.buffer) return false;
  mixer_.SetVolume(env_.buffer, VolumeToAttenuation(env_.volume));
  return mixer_.Play(env_.buffer, true);
}

void SoundSystem::StopEnv(bool keepName) {
  if (!keepName) nameENV_.clear();
  Release(env_);
}

void SoundSystem::RestoreNames(std::string_view bgm, bool loop, std::string_view env) {
  if (!EqualsNoCase(bgm, nameBGM_) || !IsBGMPlaying()) {
    StopBGM();
    nameBGM_ = std::string(bgm);
    loopBGM_ = loop;
  }
  if (!EqualsNoCase(env, nameENV_) || !IsEnvPlaying()) {
    StopEnv();
    nameENV_ = std::string(env);
  }
}

bool SoundSystem::IsEnvPlaying() const { return env_.buffer && mixer_.IsPlaying(env_.buffer); }
bool SoundSystem::IsVoicePlaying() const { return voice_.buffer && mixer_.IsPlaying(voice_.buffer); }
bool SoundSystem::IsBGMPlaying() const { return bgm_.buffer && mixer_.IsPlaying(bgm_.buffer) && !fading_.load(); }

// --- music -------------------------------------------------------------------

bool SoundSystem::PlayBGM(std::string_view name, bool loop) {
  if (EqualsNoCase(name, nameBGM_) && IsBGMPlaying()) return true;
  StopBGM(false);
  nameBGM_ = std::string(name);
  loopBGM_ = loop;
  if (!bgm_.enabled || name.empty()) return true;
  return StartMusic(name, loop);
}

void SoundSystem::FadeBGM() {
  fadeStart_.store(clock_.Now());
  fading_.store(true);
  nameBGM_.clear();
}

void SoundSystem::StopBGM(bool keepName) {
  if (!keepName) nameBGM_.clear();
  StopMusic();
}

bool SoundSystem::StartMusic(std::string_view name, bool loop) {
  StopMusic();
  if (!output_) return false;
  std::vector<u8> pcm;
  if (!ahead_ || !ahead_->TakeMusic(name, loop, music_, pcm)) {
    std::vector<u8> bytes;
    if (!resources_.ReadWholeResource("bgm", name, bytes)) return false;
    switch (OpenMusic(std::move(bytes), loop, kMusicBufferBytes, music_, pcm)) {
      case SoundDecode::Ok:
      case SoundDecode::TooLong:
        break;
      case SoundDecode::OpenFailed:
        trace_.DebugTrace("Oggを開けない（bgm\\%s）", name);
        return false;
      case SoundDecode::Faulted:
        trace_.DebugTrace("Oggの復号中にデコーダが異常終了した（bgm\\%s：壊れたヘッダ）", name);
        return false;
    }
  }
  bgm_.buffer = mixer_.CreateBuffer(music_.channels(), music_.rate(), std::move(pcm));
  if (!bgm_.buffer) {
    TraceUnplayable("bgm", name, music_.rate(), music_.channels());
    music_.Close();
    return false;
  }
  mixer_.SetPosition(bgm_.buffer, 0);
  mixer_.SetVolume(bgm_.buffer, VolumeToAttenuation(bgm_.volume));
  mixer_.Play(bgm_.buffer, true);
  musicBuffer_.store(bgm_.buffer);
  lastHalf_ = 0;
  threadDone_.store(false);
  running_.store(true);
  clock_.WorkerStarting();
  try {
    thread_ = std::thread([this] { MusicThread(); });
  } catch (...) {
    clock_.WorkerEnding();
    throw;
  }
  // A headless clock lets the thread take its first step before the main
  // thread goes on, so that step sees the same state on every run.
  clock_.SettleWorkers();
  TellAhead();
  return true;
}

void SoundSystem::StopMusic() {
  fading_.store(false);
  running_.store(false);
  if (thread_.joinable()) {
    // A wake that comes before the thread starts waiting is lost, so keep
    // waking it until it has seen that it must end.
    while (!threadDone_.load()) {
      clock_.Wake();
      std::this_thread::yield();
    }
    thread_.join();
  }
  musicBuffer_.store(0);
  Release(bgm_);
  music_.Close();
  TellAhead();
}

void SoundSystem::MusicThread() {
  while (running_.load()) {
    RefillStep();
    musicSteps_.fetch_add(1);
    if (!running_.load()) break;
    clock_.WaitOnWorker(100);
  }
  clock_.WorkerEnding();
  threadDone_.store(true);
}

void SoundSystem::RefillStep() {
  if (fading_.load()) FadeStep();
  const Mixer::BufferId buffer = musicBuffer_.load();
  const auto position = mixer_.GetPosition(buffer);
  if (!position) return;
  const int half = *position >= kMusicHalfBytes ? 1 : 0;
  if (half == lastHalf_) return;
  lastHalf_ = half;
  // Refill the half that has just finished while the other one plays.
  const size_t offset = half == 1 ? 0 : kMusicHalfBytes;
  refill_.resize(kMusicHalfBytes);
  if (running_.load())
    music_.Decode(refill_.data(), refill_.size());
  else
    std::fill(refill_.begin(), refill_.end(), u8{0});
  mixer_.Write(buffer, offset, refill_.data(), refill_.size());
}

void SoundSystem::FadeStep() {
  const Mixer::BufferId buffer = musicBuffer_.load();
  const i64 attenuation =
      static_cast<i64>(VolumeToAttenuation(musicVolume_.load())) - ElapsedMs(fadeStart_.load(), clock_.Now());
  if (attenuation >= -9999)
    mixer_.SetVolume(buffer, static_cast<i32>(std::min<i64>(attenuation, 0)));
  else
    mixer_.Stop(buffer);
}

// --- saving --------------------------------------------------------------------

void SoundSystem::SerializeSound(SaveArchive& archive) {
  if (archive.IsWriting()) {
    i32 loop = loopBGM_ ? 1 : 0;
    archive.ExchangeString("NameENV", nameENV_);
    archive.ExchangeString("NameBGM", nameBGM_);
    archive.ExchangeString("PathVO", pathVO_);
    archive.Exchange("LoopBGM", loop);
    return;
  }
  StopVoice();
  StopSE();
  StopBGM(false);
  StopEnv(false);
  std::string env, music;
  i32 loop = 1;
  archive.ExchangeString("NameENV", env);
  archive.ExchangeString("NameBGM", music);
  archive.ExchangeString("PathVO", pathVO_);
  archive.Exchange("LoopBGM", loop);
  PlayEnv(env);
  PlayBGM(music, loop != 0);
}

}  // namespace lyraban
