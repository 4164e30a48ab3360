// Sounds decoded ahead on a worker against the same sounds decoded on the
// spot: the sound system must play the same bytes and trace the same lines
// either way, and what is held ahead stays within its budget.
#include "sound/sound_ahead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <thread>

#include "ogg_maker.h"
#include "platform/headless/virtual_audio.h"
#include "platform/headless/virtual_clock.h"
#include "platform/sdl/sdl_audio.h"
#include "resources/resources.h"
#include "sound/sound.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

using testing::EncodeOgg;
using testing::MakeTones;
using Kind = SoundAhead::Kind;

std::vector<u8> Sound(int channels, int rate, double seconds, double amplitude = 8000) {
  return EncodeOgg(channels, rate, MakeTones(channels, rate, {{seconds, amplitude}, {seconds, amplitude / 3, 660}}));
}

// The identification header's rate, rewritten (with the page's CRC) to one
// the mixer refuses; the stream still decodes.
std::vector<u8> WithRate(std::vector<u8> file, u32 rate) {
  const size_t header = 27 + file[26];
  for (int i = 0; i < 4; ++i) file[header + 12 + i] = static_cast<u8>(rate >> (8 * i));
  const size_t pageSize = header + file[27];
  for (int i = 0; i < 4; ++i) file[22 + i] = 0;
  u32 crc = 0;
  for (size_t i = 0; i < pageSize; ++i) {
    crc ^= u32{file[i]} << 24;
    for (int b = 0; b < 8; ++b) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  for (int i = 0; i < 4; ++i) file[22 + i] = static_cast<u8>(crc >> (8 * i));
  return file;
}

const std::map<std::string, std::vector<u8>>& Files() {
  static const auto files = [] {
    std::map<std::string, std::vector<u8>> m = {
        {"bgm/theme.ogg", EncodeOgg(2, 44100, MakeTones(2, 44100, {{3.0, 4000}, {4.0, 12000, 330}}),
                                    {{"start", "44100"}, {"end", "220500"}})},
        {"bgm/short.ogg", Sound(2, 44100, 1.0)},
        {"env/waves.ogg", Sound(2, 44100, 1.5, 3000)},
        {"se/door.ogg", Sound(2, 44100, 0.4)},
        {"voice/hikari/hk_001.ogg", Sound(1, 22050, 0.8)},
        {"se/garbage.ogg", std::vector<u8>(3000, 0x4F)},
        {"bgm/garbage.ogg", std::vector<u8>(3000, 0x4F)},
        {"se/slow.ogg", WithRate(Sound(1, 22050, 0.3), 500)},
        {"bgm/slow.ogg", WithRate(Sound(1, 22050, 0.3), 500)},
    };
    const std::string broken = testing::ReadFileBytes(std::string(LYRABAN_SOURCE_DIR) +
                                                      "/fuzz/regressions/ogg_stream/"
                                                      "vorbis-setup-zero-dimension-partition-book.ogg");
    m["env/broken.ogg"].assign(broken.begin(), broken.end());
    m["bgm/broken.ogg"].assign(broken.begin(), broken.end());
    return m;
  }();
  return files;
}

// One engine's worth of sound over the shared game folder: its own clock,
// output, trace and sound system, and, when asked, sounds decoded ahead.
struct Rig {
  explicit Rig(const std::string& folder, bool ahead, std::size_t budget = SoundAhead::kDefaultBudget) {
    trace.SetSink([this](std::string_view m) { messages.emplace_back(m); });
    resources.OpenDataFolder(folder);
    if (ahead) {
      sounds = std::make_unique<SoundAhead>(
          [this](const char* dir, std::string_view name, std::vector<u8>& bytes) {
            std::string text;
            if (!resources.ReadWholeResourceQuietly(dir, name, text)) return false;
            bytes.assign(text.begin(), text.end());
            return true;
          },
          budget);
      sound.SetAhead(sounds.get());
    }
    EXPECT_TRUE(sound.Start(output));
    output.StartCapture();
  }
  ~Rig() { sound.Shutdown(); }

  // Decodes `items` on a worker thread, as the decode-ahead worker does.
  void Prepare(const std::vector<SoundAhead::Item>& items) {
    sounds->SetWanted(items);
    std::thread worker([&] {
      for (const auto& item : items) sounds->Produce(item);
    });
    worker.join();
  }
  // Virtual time in 100 ms steps, each seen by the music thread.
  void Run(u32 ms) {
    for (u32 t = 0; t < ms; t += 100) {
      clock.Advance(100);
      if (!sound.musicThreadRunning()) continue;
      const u64 before = sound.musicSteps();
      while (sound.musicSteps() < before + 2) {
        clock.Wake();
        std::this_thread::yield();
      }
    }
  }

  Trace trace;
  std::vector<std::string> messages;
  Resources resources{trace};
  platform::VirtualClock clock{1000};
  platform::VirtualAudioOutput output{clock};
  platform::SdlAudioConverterFactory converters;
  std::unique_ptr<SoundAhead> sounds;
  SoundSystem sound{resources, clock, converters, trace};
};

class SoundAheadTest : public ::testing::Test {
 protected:
  SoundAheadTest() {
    for (const auto& [name, bytes] : Files()) dir_.Write("data/" + name, std::string(bytes.begin(), bytes.end()));
  }
  std::string folder() const { return dir_.str(); }
  testing::TempDir dir_;
};

// Every channel, the looping music well past its first buffer and a loop
// back: the output of the two rigs is the same, sample for sample, and the
// prepared sounds were the ones played.
TEST_F(SoundAheadTest, PreparedSoundsPlayTheSameBytesAsSoundsDecodedOnTheSpot) {
  Rig spot(folder(), false);
  Rig ahead(folder(), true);
  const std::vector<SoundAhead::Item> items = {{Kind::Music, "theme.ogg"},
                                               {Kind::Env, "waves.ogg"},
                                               {Kind::Voice, "hikari\\hk_001.ogg"},
                                               {Kind::Se, "door.ogg"},
                                               {Kind::MusicOnce, "short.ogg"}};
  ahead.Prepare(items);
  for (const auto& item : items) EXPECT_TRUE(ahead.sounds->Holds(item.kind, item.name)) << item.name;
  EXPECT_GT(ahead.sounds->HeldBytes(), 0u);

  const auto play = [](Rig& rig) {
    rig.sound.PlayBGM("theme.ogg", true);
    rig.sound.PlayEnv("waves.ogg");
    rig.sound.PlayVoice("hikari\\hk_001.ogg");
    rig.Run(300);
    rig.sound.PlaySE("door.ogg");
    rig.Run(11700);  // the 5 s buffer refilled, the loop taken
    rig.sound.PlayBGM("short.ogg", false);
    rig.Run(2000);
    return rig.output.TakeCaptured();
  };
  const std::vector<i16> expected = play(spot);
  const std::vector<i16> actual = play(ahead);
  ASSERT_EQ(actual.size(), expected.size());
  const auto differs = std::mismatch(actual.begin(), actual.end(), expected.begin());
  EXPECT_EQ(differs.first - actual.begin(), static_cast<std::ptrdiff_t>(actual.size())) << "the first different sample";
  EXPECT_GT(std::count_if(actual.begin(), actual.end(), [](i16 s) { return s > 1000; }), 44100)
      << "the sounds were heard";
  for (const auto& item : items) EXPECT_FALSE(ahead.sounds->Holds(item.kind, item.name)) << item.name << " was taken";
  EXPECT_EQ(ahead.sounds->HeldBytes(), 0u);
  EXPECT_EQ(ahead.messages, spot.messages);
}

// The decoders themselves: what the worker hands over equals a decode on
// the spot, and a handed-over music stream goes on decoding the same.
TEST(SoundAheadDecode, HandedOverResultsEqualDecodingOnTheSpot) {
  const std::vector<u8>& file = Files().at("env/waves.ogg");
  const std::vector<u8>& music = Files().at("bgm/theme.ogg");  // longer than the first buffer
  WholeSound a, b;
  ASSERT_EQ(DecodeWholeSound(file, a), SoundDecode::Ok);
  SoundAhead ahead(
      [&](const char* folder, std::string_view, std::vector<u8>& bytes) {
        bytes = std::string_view(folder) == "bgm" ? music : file;
        return true;
      },
      SoundAhead::kDefaultBudget);
  ahead.SetWanted({{Kind::Env, "w.ogg"}, {Kind::MusicOnce, "w.ogg"}});
  std::thread([&] {
    ahead.Produce({Kind::Env, "w.ogg"});
    ahead.Produce({Kind::MusicOnce, "w.ogg"});
  }).join();
  EXPECT_FALSE(ahead.TakeWhole(Kind::Se, "w.ogg", b)) << "another channel's sound is another sound";
  ASSERT_TRUE(ahead.TakeWhole(Kind::Env, "w.ogg", b));
  EXPECT_EQ(b.channels, a.channels);
  EXPECT_EQ(b.rate, a.rate);
  EXPECT_TRUE(b.pcm == a.pcm) << "PCM of " << b.pcm.size() << " and " << a.pcm.size() << " bytes differs";
  EXPECT_FALSE(ahead.TakeWhole(Kind::Env, "w.ogg", b)) << "taken once";

  OggStream spot, taken;
  std::vector<u8> spotPcm, takenPcm;
  ASSERT_EQ(OpenMusic(music, false, 65536, spot, spotPcm), SoundDecode::Ok);
  EXPECT_FALSE(ahead.TakeMusic("w.ogg", true, taken, takenPcm)) << "a looping play is another play";
  ASSERT_TRUE(ahead.TakeMusic("w.ogg", false, taken, takenPcm));
  EXPECT_EQ(takenPcm.size(), kMusicBufferBytes);
  spotPcm.resize(kMusicBufferBytes);
  spot.Decode(spotPcm.data() + 65536, kMusicBufferBytes - 65536);
  EXPECT_TRUE(takenPcm == spotPcm);
  std::vector<u8> spotMore(100000), takenMore(100000);
  spot.Decode(spotMore.data(), spotMore.size());
  taken.Decode(takenMore.data(), takenMore.size());
  EXPECT_TRUE(takenMore == spotMore) << "the stream goes on where the first buffer ended";
  EXPECT_FALSE(taken.loop());
}

// Each way a sound fails: the worker holds nothing, and the main thread
// fails the same way, with the same lines, as without decoding ahead.
TEST_F(SoundAheadTest, AFailingSoundFailsOnTheMainThreadWithTheSameTrace) {
  struct Case {
    const char* what;
    Kind kind;
    const char* name;
  };
  const Case cases[] = {
      {"missing", Kind::Se, "none.ogg"},
      {"not Ogg", Kind::Se, "garbage.ogg"},
      {"not Ogg, music", Kind::Music, "garbage.ogg"},
      {"decoder fault", Kind::Env, "broken.ogg"},
      {"decoder fault, music", Kind::Music, "broken.ogg"},
      {"a rate the mixer refuses (decodes, fails to play)", Kind::Se, "slow.ogg"},
      {"a rate the mixer refuses, music", Kind::Music, "slow.ogg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rig spot(folder(), false);
    Rig ahead(folder(), true);
    ahead.Prepare({{c.kind, c.name}});
    const bool decodes = std::string(c.name) == "slow.ogg";
    EXPECT_EQ(ahead.sounds->Holds(c.kind, c.name), decodes);
    EXPECT_TRUE(ahead.messages.empty()) << "the worker traced: " << ahead.messages.front();
    const auto play = [&](Rig& rig) {
      switch (c.kind) {
        case Kind::Se:
          return rig.sound.PlaySE(c.name);
        case Kind::Env:
          return rig.sound.PlayEnv(c.name);
        default:
          return rig.sound.PlayBGM(c.name, true);
      }
    };
    EXPECT_FALSE(play(spot));
    EXPECT_FALSE(play(ahead));
    EXPECT_FALSE(spot.messages.empty());
    EXPECT_EQ(ahead.messages, spot.messages);
  }
}

// Many sounds through a small budget: what is held never goes beyond it,
// what the latest request still names is not evicted for what comes after,
// a sound bigger than the budget is not held, and what a request no longer
// names gives way.
TEST(SoundAheadBudget, HeldSoundsStayWithinTheBudget) {
  const std::vector<u8> file = Sound(2, 44100, 0.25);  // 2 x 0.25 s: 88200 bytes of PCM
  WholeSound one;
  ASSERT_EQ(DecodeWholeSound(file, one), SoundDecode::Ok);
  const std::size_t size = one.pcm.size();
  const std::size_t budget = size * 3 + size / 2;
  SoundAhead ahead(
      [&](const char*, std::string_view name, std::vector<u8>& bytes) {
        bytes = file;
        if (name == "big.ogg") bytes = Sound(2, 44100, 1.0);
        return true;
      },
      budget);
  std::vector<SoundAhead::Item> first;
  for (int i = 0; i < 6; ++i) first.push_back({Kind::Se, "s" + std::to_string(i) + ".ogg"});
  first.push_back({Kind::Env, "big.ogg"});
  ahead.SetWanted(first);
  std::thread([&] {
    for (const auto& item : first) ahead.Produce(item);
  }).join();
  EXPECT_EQ(ahead.HeldBytes(), size * 3);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(ahead.Holds(Kind::Se, first[i].name), i < 3) << first[i].name;
  EXPECT_FALSE(ahead.Holds(Kind::Env, "big.ogg"));

  // The window moves on: the three held ones give way to what is named now.
  std::vector<SoundAhead::Item> second;
  for (int i = 10; i < 40; ++i) second.push_back({Kind::Voice, "v\\" + std::to_string(i) + ".ogg"});
  ahead.SetWanted(second);
  std::thread([&] {
    for (const auto& item : second) ahead.Produce(item);
  }).join();
  EXPECT_EQ(ahead.HeldBytes(), size * 3);
  EXPECT_TRUE(ahead.Holds(Kind::Voice, "v\\10.ogg"));
  EXPECT_FALSE(ahead.Holds(Kind::Se, "s0.ogg"));
  EXPECT_LE(ahead.PeakBytes(), budget);

  // A take makes room for the next one named.
  WholeSound taken;
  ASSERT_TRUE(ahead.TakeWhole(Kind::Voice, "v\\10.ogg", taken));
  EXPECT_TRUE(taken.pcm == one.pcm);
  ahead.Produce(second[3]);
  EXPECT_TRUE(ahead.Holds(Kind::Voice, "v\\13.ogg"));
  EXPECT_LE(ahead.PeakBytes(), budget);
}

// What the sound system would not play is not decoded: a channel switched
// off, and the music already playing under that name.
TEST_F(SoundAheadTest, ChannelsOffAndTheMusicPlayingAreNotPrepared) {
  Rig rig(folder(), true);
  rig.sound.SetSE(false, 50);
  ASSERT_TRUE(rig.sound.PlayBGM("theme.ogg", true));
  rig.Prepare({{Kind::Se, "door.ogg"}, {Kind::Music, "THEME.ogg"}, {Kind::Env, "waves.ogg"}});
  EXPECT_FALSE(rig.sounds->Holds(Kind::Se, "door.ogg"));
  EXPECT_FALSE(rig.sounds->Holds(Kind::Music, "THEME.ogg"));
  EXPECT_TRUE(rig.sounds->Holds(Kind::Env, "waves.ogg"));
  rig.sound.SetSE(true, 50);
  rig.sound.StopBGM();
  rig.Prepare({{Kind::Se, "door.ogg"}, {Kind::Music, "THEME.ogg"}});
  EXPECT_TRUE(rig.sounds->Holds(Kind::Se, "door.ogg"));
  EXPECT_TRUE(rig.sounds->Holds(Kind::Music, "THEME.ogg"));
}

}  // namespace
}  // namespace lyraban
