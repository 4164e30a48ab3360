#include "sound/sound.h"

#include <algorithm>

#include "base/strings.h"
#include "persist/save_archive.h"
#include "persist/user_settings.h"
#include "resources/resources.h"

namespace lyraban {

namespace {

// Whole-file sounds are short; a length beyond this (about 25 minutes of
// 44.1 kHz stereo) comes from a damaged or lying file.
constexpr i64 kMaxWholeBytes = i64{256} << 20;

}  // namespace

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
}

void SoundSystem::SetVoice(bool enabled, int volume) {
  voice_.enabled = enabled;
  voice_.volume = volume;
  if (!enabled) StopVoice();
  mixer_.SetVolume(voice_.buffer, VolumeToAttenuation(volume));
}

void SoundSystem::SetEnv(bool enabled, int volume) {
  env_.enabled = enabled;
  env_.volume = volume;
  if (enabled)
    PlayEnv(std::string(nameENV_));
  else
    StopEnv(true);
  mixer_.SetVolume(env_.buffer, VolumeToAttenuation(volume));
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
}

// --- whole-file channels ---------------------------------------------------

Mixer::BufferId SoundSystem::LoadWhole(const char* folder, std::string_view name) {
  if (!output_ || name.empty()) return 0;
  std::vector<u8> bytes;
  if (!resources_.ReadWholeResource(folder, name, bytes)) return 0;
  OggStream stream;
  if (!stream.Open(std::move(bytes))) {
    trace_.DebugTrace("Oggを開けない（%s\\%s）", folder, name);
    return 0;
  }
  // The sample count comes from the file's last page and may be anything:
  // bound it before multiplying.
  const i64 frameBytes = i64{stream.channels()} * 2;
  const i64 samples = stream.TotalSamples();
  if (samples > kMaxWholeBytes / frameBytes) {
    trace_.DebugTrace("Oggが長すぎる（%s\\%s）", folder, name);
    return 0;
  }
  const i64 size = samples * frameBytes;
  std::vector<u8> pcm(static_cast<size_t>(size));
  if (!pcm.empty()) stream.Decode(pcm.data(), pcm.size());
  if (stream.faulted()) {
    trace_.DebugTrace("Oggの復号中にデコーダが異常終了した（%s\\%s：壊れたヘッダ）", folder, name);
    return 0;
  }
  const Mixer::BufferId buffer = mixer_.CreateBuffer(stream.channels(), stream.rate(), std::move(pcm));
  if (!buffer) TraceUnplayable(folder, name, stream);
  return buffer;
}

void SoundSystem::TraceUnplayable(const char* folder, std::string_view name, const OggStream& stream) {
  trace_.DebugTrace("Oggを再生できない（%s\\%s：%d Hz、%d チャンネル）", folder, name, stream.rate(),
                    stream.channels());
}

void SoundSystem::Release(SoundChannel& channel) {
  mixer_.Release(channel.buffer);
  channel.buffer = 0;
}

bool SoundSystem::PlaySE(std::string_view name) {
  Release(se_);
  if (!se_.enabled) return true;
  se_.buffer = LoadWhole("se", name);
  if (!se_.buffer) return false;
  mixer_.SetVolume(se_.buffer, VolumeToAttenuation(se_.volume));
  return mixer_.Play(se_.buffer, false);
}

bool SoundSystem::PlayVoice(std::string_view path) {
  Release(voice_);
  if (!voice_.enabled) return true;
  voice_.buffer = LoadWhole("voice", path);
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
  env_.buffer = LoadWhole("env", name);
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
  std::vector<u8> bytes;
  if (!resources_.ReadWholeResource("bgm", name, bytes)) return false;
  if (!music_.Open(std::move(bytes))) {
    trace_.DebugTrace("Oggを開けない（bgm\\%s）", name);
    return false;
  }
  music_.SetLoop(loop);
  std::vector<u8> pcm(kMusicBufferBytes);
  music_.Decode(pcm.data(), pcm.size());
  if (music_.faulted()) {
    trace_.DebugTrace("Oggの復号中にデコーダが異常終了した（bgm\\%s：壊れたヘッダ）", name);
    music_.Close();
    return false;
  }
  bgm_.buffer = mixer_.CreateBuffer(music_.channels(), music_.rate(), std::move(pcm));
  if (!bgm_.buffer) {
    TraceUnplayable("bgm", name, music_);
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
