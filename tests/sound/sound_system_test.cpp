#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "ogg_maker.h"
#include "persist/user_settings.h"
#include "platform/headless/virtual_audio.h"
#include "platform/sdl/sdl_audio.h"
#include "resources/resources.h"
#include "sound/sound.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

using testing::EncodeOgg;
using testing::MakeTones;

constexpr double kSine = 0.70710678;

// Sounds shared by every test, encoded once.
const std::map<std::string, std::vector<u8>>& Sounds() {
  static const auto* sounds = [] {
    auto* m = new std::map<std::string, std::vector<u8>>;
    (*m)["bgm/loop.ogg"] = EncodeOgg(2, 44100, MakeTones(2, 44100, {{1.0, 4000}, {1.0, 16000}, {1.0, 1000}}),
                                     {{"start", "44100"}, {"end", "88200"}});
    (*m)["bgm/m01.ogg"] = EncodeOgg(2, 44100, MakeTones(2, 44100, {{1.0, 8000}}));
    (*m)["bgm/mono.ogg"] = EncodeOgg(1, 22050, MakeTones(1, 22050, {{1.0, 8000}}));
    (*m)["se/hit.ogg"] = EncodeOgg(2, 44100, MakeTones(2, 44100, {{0.3, 8000}}));
    (*m)["voice/ch1/a001.ogg"] = EncodeOgg(1, 22050, MakeTones(1, 22050, {{0.3, 8000}}));
    (*m)["env/rain.ogg"] = EncodeOgg(2, 44100, MakeTones(2, 44100, {{0.5, 2000}}));
    (*m)["bgm/bad.ogg"] = std::vector<u8>(3000, 0x4F);
    const auto& whole = (*m)["bgm/m01.ogg"];
    (*m)["se/cut.ogg"].assign(whole.begin(), whole.begin() + whole.size() / 3);
    return m;
  }();
  return *sounds;
}

class SoundSystemTest : public ::testing::Test {
 protected:
  SoundSystemTest() {
    for (const auto& [name, bytes] : Sounds()) dir_.Write("data/" + name, std::string(bytes.begin(), bytes.end()));
    resources_.OpenDataFolder(dir_.str());
    EXPECT_TRUE(sound_.Start(output_));
    output_.StartCapture();
  }

  // Moves virtual time on in 100 ms steps. After each step the sound thread
  // must have begun (and finished) a refill step that saw the new play
  // cursor; waking it repeatedly covers a thread that started waiting late.
  void Run(u32 ms) {
    for (u32 t = 0; t < ms; t += 100) {
      clock_.Advance(100);
      if (!sound_.musicThreadRunning()) continue;
      const u64 before = sound_.musicSteps();
      while (sound_.musicSteps() < before + 2) {
        clock_.Wake();
        std::this_thread::yield();
      }
    }
  }
  i32 MusicVolume() { return sound_.mixer().GetVolume(sound_.bgm().buffer).value_or(1); }
  bool MusicPlays() { return sound_.mixer().IsPlaying(sound_.bgm().buffer); }

  testing::TempDir dir_;
  Trace trace_;
  Resources resources_{trace_};
  platform::VirtualClock clock_{0xFFFFFF00u};  // fades must survive the clock wrapping
  platform::VirtualAudioOutput output_{clock_};
  platform::SdlAudioConverterFactory converters_;
  SoundSystem sound_{resources_, clock_, converters_, trace_};
};

TEST_F(SoundSystemTest, MusicLoopKeepsStreamingAcrossBufferHalves) {
  sound_.SetBGM(true, 100);
  ASSERT_TRUE(sound_.PlayBGM("loop.ogg", true));
  Run(11000);  // past four half switches of the 5 s buffer
  const auto out = output_.TakeCaptured();
  ASSERT_GE(out.size(), 11u * 44100 * 2);
  for (int s = 0; s < 11; ++s) {
    // The middle of each second: the start once, then the loop.
    const double level = (s ? 16000 : 4000) * kSine;
    EXPECT_NEAR(testing::Rms(out.data(), 2, s * 44100u + 4410, 35280), level, level * 0.15) << s;
  }
}

TEST_F(SoundSystemTest, SameMusicNameDoesNotRestartUntilFaded) {
  ASSERT_TRUE(sound_.PlayBGM("m01.ogg", true));
  Run(300);
  const auto position = sound_.mixer().GetPosition(sound_.bgm().buffer);
  ASSERT_TRUE(position && *position > 0);
  sound_.PlayBGM("M01.ogg", true);
  EXPECT_EQ(sound_.mixer().GetPosition(sound_.bgm().buffer), position);
  sound_.FadeBGM();
  EXPECT_FALSE(sound_.IsBGMPlaying());
  EXPECT_EQ(sound_.nameBGM(), "");
  sound_.PlayBGM("m01.ogg", false);
  EXPECT_EQ(sound_.mixer().GetPosition(sound_.bgm().buffer), 0u);
  EXPECT_FALSE(sound_.fading());
  EXPECT_TRUE(sound_.IsBGMPlaying());
}

TEST_F(SoundSystemTest, FadeLowersOneHundredthDecibelPerMillisecondThenStops) {
  sound_.SetBGM(true, 50);
  ASSERT_TRUE(sound_.PlayBGM("loop.ogg", true));
  EXPECT_EQ(MusicVolume(), -602);
  const u32 fadeStart = clock_.Now();
  sound_.FadeBGM();
  for (u32 ms : {1000u, 8300u}) {  // the first step crosses the wrap of the millisecond counter
    Run(ms);
    EXPECT_EQ(MusicVolume(), -602 - static_cast<i32>(ElapsedMs(fadeStart, clock_.Now())));
  }
  EXPECT_TRUE(MusicPlays());
  Run(200);
  EXPECT_FALSE(MusicPlays());
  EXPECT_TRUE(sound_.musicThreadRunning());  // stopped, but the thread lives until StopBGM
  sound_.StopBGM();
  EXPECT_FALSE(sound_.musicThreadRunning());
  EXPECT_EQ(sound_.mixer().bufferCount(), 0u);

  // Changing the settings during a fade ends the faded piece: it has no name to resume.
  ASSERT_TRUE(sound_.PlayBGM("loop.ogg", true));
  sound_.FadeBGM();
  Run(300);
  sound_.SetBGM(true, 100);
  EXPECT_FALSE(sound_.fading() || sound_.musicThreadRunning());
}

TEST_F(SoundSystemTest, StoppingMusicJoinsTheSleepingThread) {
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(sound_.PlayBGM(i % 2 ? "loop.ogg" : "m01.ogg", true));
    EXPECT_TRUE(sound_.musicThreadRunning());
    if (i % 3 == 0) Run(100);
    sound_.StopBGM();  // no virtual time passes: only the wake can end the wait
    EXPECT_FALSE(sound_.musicThreadRunning());
  }
  ASSERT_TRUE(sound_.PlayBGM("mono.ogg", true));  // left for the destructor to stop
  const auto format = sound_.mixer().GetFormat(sound_.bgm().buffer);
  ASSERT_TRUE(format);  // the music buffer takes the stream's own format
  EXPECT_EQ(format->channels * 100000 + format->rate, 122050);
  EXPECT_EQ(format->bytes, kMusicBufferBytes);
}

TEST_F(SoundSystemTest, OneShotsPlayOnceAndDamagedSoundsStaySilent) {
  ASSERT_TRUE(sound_.PlaySE("hit.ogg") && sound_.PlayVoice("ch1\\a001.ogg"));
  EXPECT_TRUE(sound_.IsVoicePlaying());
  Run(500);
  EXPECT_FALSE(sound_.IsVoicePlaying() || sound_.mixer().IsPlaying(sound_.se().buffer));
  const auto out = output_.TakeCaptured();
  EXPECT_GT(testing::Rms(out.data(), 2, 2000, 8000), 3000.0);
  EXPECT_EQ(testing::Rms(out.data(), 2, 16000, 4000), 0.0);

  EXPECT_FALSE(sound_.PlayBGM("bad.ogg", true));
  EXPECT_EQ(sound_.nameBGM(), "bad.ogg");
  EXPECT_FALSE(sound_.musicThreadRunning());
  EXPECT_FALSE(sound_.PlayVoice("nothing.ogg") || sound_.PlayEnv("nothing.ogg"));
  sound_.PlaySE("cut.ogg");  // decodes what is there, if anything
  Run(1500);
  EXPECT_FALSE(sound_.mixer().IsPlaying(sound_.se().buffer));
}

class FailingOutput final : public platform::AudioOutput {
 public:
  bool Open(platform::AudioSource) override { return false; }
  void Close() override {}
};

// Switched-off channels keep their names and come back when switched on.
TEST_F(SoundSystemTest, SettingsSwitchChannelsAndShutdownEndsAll) {
  UserSettings settings;
  ResetUserSettings(settings);
  settings.SeVolume = 10;
  settings.VoiceEnabled = settings.BgmEnabled = 0;
  sound_.ApplyUserSettings(settings);
  EXPECT_TRUE(sound_.PlayVoice("ch1\\a001.ogg") && sound_.PlaySE("hit.ogg"));
  EXPECT_FALSE(sound_.IsVoicePlaying());  // succeeds without sound
  EXPECT_EQ(sound_.mixer().GetVolume(sound_.se().buffer), -2000);
  sound_.PlayBGM("m01.ogg", true);
  EXPECT_FALSE(sound_.musicThreadRunning());
  sound_.SetBGM(true, 50);
  EXPECT_TRUE(sound_.IsBGMPlaying());
  sound_.SetBGM(false, 50);
  EXPECT_FALSE(sound_.musicThreadRunning());
  EXPECT_EQ(sound_.nameBGM(), "m01.ogg");
  ASSERT_TRUE(sound_.PlayEnv("rain.ogg"));
  sound_.SetEnv(false, 30);
  EXPECT_FALSE(sound_.IsEnvPlaying());
  sound_.SetEnv(true, 30);
  EXPECT_EQ(sound_.mixer().GetVolume(sound_.env().buffer), VolumeToAttenuation(30));
  Run(2000);  // ambience loops
  EXPECT_TRUE(sound_.IsEnvPlaying());

  sound_.SetBGM(true, 50);
  sound_.Shutdown();
  EXPECT_FALSE(sound_.started());
  EXPECT_EQ(sound_.nameBGM() + sound_.nameENV(), "");
  EXPECT_EQ(sound_.mixer().bufferCount(), 0u);
  FailingOutput failing;
  EXPECT_FALSE(sound_.Start(failing));
  EXPECT_FALSE(sound_.PlaySE("hit.ogg") || sound_.PlayBGM("m01.ogg", true));
  EXPECT_FALSE(sound_.musicThreadRunning());
}

}  // namespace
}  // namespace lyraban
