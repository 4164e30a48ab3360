// The sound system over virtual time, and sound files that lie about
// themselves: each of those fails with a word in the trace and never ends
// the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <thread>

#include "ogg_maker.h"
#include "persist/user_settings.h"
#include "platform/headless/virtual_audio.h"
#include "platform/sdl/sdl_audio.h"
#include "resources/resources.h"
#include "sound/ogg_stream.h"
#include "sound/sound.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

using testing::EncodeOgg;
using testing::MakeTones;

constexpr double kSine = 0.70710678;

std::vector<u8> Sound(int channels, int rate, double seconds = 0.3, double amplitude = 8000) {
  return EncodeOgg(channels, rate, MakeTones(channels, rate, {{seconds, amplitude}}));
}

// Sounds shared by every test, encoded once.
const std::map<std::string, std::vector<u8>>& Sounds() {
  static const auto sounds = [] {
    std::map<std::string, std::vector<u8>> m = {
        {"bgm/loop.ogg", EncodeOgg(2, 44100, MakeTones(2, 44100, {{1.0, 4000}, {1.0, 16000}, {1.0, 1000}}),
                                   {{"start", "44100"}, {"end", "88200"}})},
        {"bgm/m01.ogg", Sound(2, 44100, 1.0)},
        {"bgm/mono.ogg", Sound(1, 22050, 1.0)},
        {"se/hit.ogg", Sound(2, 44100)},
        {"voice/ch1/a001.ogg", Sound(1, 22050)},
        {"env/rain.ogg", Sound(2, 44100, 0.5, 2000)},
        {"bgm/bad.ogg", std::vector<u8>(3000, 0x4F)},
    };
    const auto& whole = m["bgm/m01.ogg"];
    m["se/cut.ogg"].assign(whole.begin(), whole.begin() + whole.size() / 3);
    return m;
  }();
  return sounds;
}

// Ogg pages carry a CRC over the whole page; an edited page needs a new one
// or the demuxer drops it before the decoder sees the edit.
u32 OggCrc(const u8* data, size_t size) {
  u32 crc = 0;
  for (size_t i = 0; i < size; ++i) {
    crc ^= u32{data[i]} << 24;
    for (int b = 0; b < 8; ++b) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

struct Page {
  size_t start, size;
};

std::vector<Page> Pages(const std::vector<u8>& file) {
  std::vector<Page> pages;
  for (size_t at = 0; at + 27 <= file.size();) {
    const size_t segments = file[at + 26];
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i) body += file[at + 27 + i];
    pages.push_back({at, 27 + segments + body});
    at += 27 + segments + body;
  }
  return pages;
}

// Writes `value` little-endian over `bytes` bytes at `at`, inside `page`,
// and gives the page its new CRC.
void Patch(std::vector<u8>& file, const Page& page, size_t at, u64 value, int bytes) {
  for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<u8>(value >> (8 * i));
  for (int i = 0; i < 4; ++i) file[page.start + 22 + i] = 0;
  const u32 crc = OggCrc(file.data() + page.start, page.size);
  for (int i = 0; i < 4; ++i) file[page.start + 22 + i] = static_cast<u8>(crc >> (8 * i));
}

class SoundSystemTest : public ::testing::Test {
 protected:
  SoundSystemTest() {
    trace_.SetSink([this](std::string_view m) { messages_.emplace_back(m); });
    for (const auto& [name, bytes] : Sounds()) Put(name, bytes);
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
  void Put(const std::string& name, const std::vector<u8>& bytes) {
    dir_.Write("data/" + name, std::string(bytes.begin(), bytes.end()));
  }
  // Whether a traced line holds `text`; the lines traced when not.
  ::testing::AssertionResult Traced(std::string_view text) const {
    for (const auto& m : messages_)
      if (m.find(text) != std::string::npos) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << "no traced line holds " << text << "; traced:";
    for (const auto& m : messages_) failure << "\n" << m;
    return failure;
  }
  i32 MusicVolume() { return sound_.mixer().GetVolume(sound_.bgm().buffer).value_or(1); }
  bool MusicPlays() { return sound_.mixer().IsPlaying(sound_.bgm().buffer); }

  testing::TempDir dir_;
  Trace trace_;
  std::vector<std::string> messages_;
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

// The last page's granule position is the stream's length; an absurd one
// must be refused before it is turned into a buffer size.
TEST_F(SoundSystemTest, AnAbsurdSampleCountIsRefusedWithoutOverflow) {
  const std::pair<const char*, u64> granules[] = {
      {"largest", 0x7FFFFFFFFFFFFFFFull}, {"2^62", u64{1} << 62}, {"just over the cap", u64{1} << 27}};
  for (const auto& [label, granule] : granules) {
    SCOPED_TRACE(label);
    // Long enough for several audio pages: the length is the last page's
    // granule less the first page's.
    std::vector<u8> file = Sound(2, 44100, 3.0);
    // The last page that ends a packet (a granule position other than -1).
    const std::vector<Page> pages = Pages(file);
    const Page last = *std::find_if(pages.rbegin(), pages.rend(), [&](const Page& p) {
      return std::any_of(&file[p.start + 6], &file[p.start + 14], [](u8 b) { return b != 0xFF; });
    });
    Patch(file, last, last.start + 6, granule, 8);
    const std::string name = std::string("long") + label + ".ogg";
    Put("se/" + name, file);
    messages_.clear();
    EXPECT_FALSE(sound_.PlaySE(name));
    EXPECT_TRUE(Traced("Oggが長すぎる"));
  }
}

// A rate the mixer cannot take plays nothing, but says so.
TEST_F(SoundSystemTest, AnUnsupportedSampleRateIsTraced) {
  std::vector<u8> file = Sound(1, 22050);
  const Page first = Pages(file).front();
  // The identification header: packet type, "vorbis", version (4), channels
  // (1), then the rate (4, little-endian).
  Patch(file, first, first.start + 27 + file[first.start + 26] + 12, 500, 4);
  Put("se/slow.ogg", file);
  Put("bgm/slow.ogg", file);
  messages_.clear();
  EXPECT_FALSE(sound_.PlaySE("slow.ogg"));
  EXPECT_TRUE(Traced("500 Hz"));
  messages_.clear();
  EXPECT_FALSE(sound_.PlayBGM("slow.ogg", true));
  EXPECT_TRUE(Traced("bgm\\slow.ogg：500 Hz"));
}

// A setup header whose damage the library does not catch makes it divide by
// zero in its first audio packet: the fault is contained, the sound refused
// with a word in the trace, and the program goes on.
TEST_F(SoundSystemTest, ADecoderDivisionByZeroIsContained) {
  const std::string file = testing::ReadFileBytes(std::string(LYRABAN_SOURCE_DIR) +
                                                  "/fuzz/regressions/ogg_stream/"
                                                  "vorbis-setup-zero-dimension-partition-book.ogg");
  ASSERT_FALSE(file.empty());
  const std::vector<u8> bytes(file.begin(), file.end());
  Put("se/broken.ogg", bytes);
  Put("bgm/broken.ogg", bytes);
  EXPECT_FALSE(sound_.PlaySE("broken.ogg"));
  EXPECT_TRUE(Traced("se\\broken.ogg：壊れたヘッダ"));
  EXPECT_FALSE(sound_.PlayBGM("broken.ogg", true));
  EXPECT_TRUE(Traced("bgm\\broken.ogg：壊れたヘッダ"));

  // The stream itself: opened, then broken at the first decode, for good.
  OggStream stream;
  ASSERT_TRUE(stream.Open(bytes));
  std::vector<u8> pcm(4096, 0xAA);
  EXPECT_FALSE(stream.Decode(pcm.data(), pcm.size()));
  EXPECT_TRUE(stream.faulted());
  EXPECT_EQ(std::count(pcm.begin(), pcm.end(), 0), 4096) << "what was not decoded is silence";
  EXPECT_FALSE(stream.Decode(pcm.data(), pcm.size()));
  // A good stream opened afterwards decodes normally.
  ASSERT_TRUE(stream.Open(Sound(1, 22050)));
  EXPECT_FALSE(stream.faulted());
  EXPECT_TRUE(stream.Decode(pcm.data(), pcm.size()));
}

}  // namespace
}  // namespace lyraban
