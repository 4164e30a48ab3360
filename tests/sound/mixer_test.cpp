#include "sound/mixer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ogg_maker.h"
#include "platform/headless/virtual_audio.h"
#include "platform/sdl/sdl_audio.h"
#include "sound/ogg_stream.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

std::vector<u8> Bytes(const std::vector<i16>& samples) {
  std::vector<u8> bytes(samples.size() * 2);
  std::memcpy(bytes.data(), samples.data(), bytes.size());
  return bytes;
}

std::vector<u8> Constant(size_t frames, i16 value) { return Bytes(std::vector<i16>(frames * 2, value)); }

TEST(VolumeLaw, PercentagesBecomeHundredthsOfADecibel) {
  // {volume, attenuation, its gain}; 3 % is rounded, not cut.
  const std::tuple<int, i32, double> cases[] = {{50, -602, 0.5},     {10, -2000, 0.1}, {1, -4000, 0.01},
                                                {3, -3046, 0.02999}, {100, 0, 1},      {250, 0, 1},
                                                {0, -10000, 0},      {-5, -10000, 0}};
  for (const auto& [volume, attenuation, gain] : cases) {
    EXPECT_EQ(VolumeToAttenuation(volume), attenuation) << volume;
    EXPECT_NEAR(AttenuationToGain(attenuation), gain, gain * 0.002) << volume;
  }
}

class MixerTest : public ::testing::Test {
 protected:
  std::vector<i16> Mix(size_t frames) {
    std::vector<i16> out(frames * 2, 0x1234);
    mixer_.Mix(out.data(), frames);
    return out;
  }
  platform::SdlAudioConverterFactory converters_;
  Mixer mixer_{converters_};
};

TEST_F(MixerTest, SumsPlayingBuffersWithGainAndSaturation) {
  const auto a = mixer_.CreateBuffer(2, 44100, Constant(100, 30000));
  const auto b = mixer_.CreateBuffer(2, 44100, Constant(100, 20000));
  const auto c = mixer_.CreateBuffer(2, 44100, Constant(100, -30000));
  const auto d = mixer_.CreateBuffer(2, 44100, Constant(100, -20000));
  ASSERT_TRUE(a && b && c && d);
  EXPECT_EQ(Mix(4), std::vector<i16>(8, 0));  // nothing plays yet
  mixer_.Play(a, false);
  mixer_.Play(b, false);
  EXPECT_EQ(Mix(4), std::vector<i16>(8, 32767));
  mixer_.SetVolume(a, -602);
  mixer_.SetVolume(b, -602);
  EXPECT_NEAR(Mix(1)[0], 25000, 5);
  mixer_.Play(c, false);
  mixer_.SetVolume(a, 0);
  mixer_.SetVolume(b, -10000);  // silent
  EXPECT_EQ(Mix(1)[1], 0);
  mixer_.Stop(a);
  mixer_.Play(d, false);
  EXPECT_EQ(Mix(1)[0], -32768);
}

TEST_F(MixerTest, OneShotStopsAtItsEndAndLoopingWraps) {
  const auto once = mixer_.CreateBuffer(2, 44100, Constant(10, 1000));
  mixer_.Play(once, false);
  const auto out = Mix(1024);
  EXPECT_EQ(out[19] * 10 + out[20], 10000);
  EXPECT_FALSE(mixer_.IsPlaying(once));
  EXPECT_EQ(mixer_.GetPosition(once), 40u);

  const auto loop = mixer_.CreateBuffer(2, 44100, Bytes({100, 100, 200, 200, 300, 300, 400, 400}));
  mixer_.SetPosition(loop, 9);  // rounded down to a whole frame
  mixer_.Play(loop, true);
  EXPECT_EQ(Mix(6), (std::vector<i16>{300, 300, 400, 400, 100, 100, 200, 200, 300, 300, 400, 400}));
  EXPECT_TRUE(mixer_.IsPlaying(loop));
  EXPECT_EQ(mixer_.GetPosition(loop), 0u);
}

TEST_F(MixerTest, WritesStayInsideTheBufferAndBadBuffersAreRefused) {
  const auto id = mixer_.CreateBuffer(2, 44100, Constant(4, 0));
  const u8 bytes[4] = {1, 2, 3, 4};
  EXPECT_TRUE(mixer_.Write(id, 12, bytes, 4));
  EXPECT_FALSE(mixer_.Write(id, 13, bytes, 4) || mixer_.Write(id, SIZE_MAX, bytes, 4));
  mixer_.Release(id);
  EXPECT_FALSE(mixer_.Play(id, false));
  EXPECT_EQ(mixer_.bufferCount() + mixer_.CreateBuffer(0, 44100, {}) + mixer_.CreateBuffer(2, 10, {}), 0u);
  const auto empty = mixer_.CreateBuffer(2, 44100, {});
  mixer_.Play(empty, true);  // nothing to loop over
  EXPECT_FALSE(mixer_.IsPlaying(empty));
  EXPECT_EQ(Mix(2), std::vector<i16>(4, 0));
}

TEST_F(MixerTest, MonoHalfRateIsResampledToStereoOutput) {
  // Audio devices ask in chunks of many sizes; none may cut the sound short.
  for (size_t chunkFrames : {size_t{1024}, size_t{4096}, size_t{16384}}) {
    SCOPED_TRACE(chunkFrames);
    const auto id = mixer_.CreateBuffer(1, 22050, Bytes(testing::MakeTones(1, 22050, {{1.0, 8000, 300}})));
    mixer_.Play(id, false);
    std::vector<i16> out;
    while (mixer_.IsPlaying(id) && out.size() < 200000) {
      const auto chunk = Mix(chunkFrames);
      out.insert(out.end(), chunk.begin(), chunk.end());
    }
    size_t last = 0;
    for (size_t f = 0; f < out.size() / 2; ++f) {
      EXPECT_EQ(out[f * 2], out[f * 2 + 1]);
      if (out[f * 2] != 0) last = f;
    }
    EXPECT_NEAR(static_cast<double>(last), 44100.0, 200.0);  // one second at the output rate
    EXPECT_NEAR(testing::Rms(out.data(), 2, 4410, 35280), 8000 / std::sqrt(2.0), 300);
    mixer_.Release(id);
  }
}

TEST(VirtualAudio, PullsExactlyTheFramesThatVirtualTimePlays) {
  platform::VirtualClock clock;
  platform::VirtualAudioOutput output(clock);
  u64 pulled = 0;
  clock.Advance(100);  // closed: nothing is pulled
  ASSERT_TRUE(output.Open([&](i16*, size_t frames) { pulled += frames; }));
  auto advance = [&](int times, u32 ms) {
    for (int i = 0; i < times; ++i) clock.Advance(ms);
    return pulled;
  };
  EXPECT_EQ(advance(1000, 1), 44100u);
  EXPECT_EQ(advance(3, 3), 44496u);  // 9 ms more: 396.9 frames
  EXPECT_EQ(advance(1, 1), 44541u);
  output.Close();
  EXPECT_EQ(advance(1, 50), 44541u);
}

TEST(VirtualAudio, RecordsTheMixedOutputAsAWavFile) {
  testing::TempDir dir;
  const auto path = dir.path() / "out.wav";
  platform::VirtualClock clock;
  auto output = std::make_unique<platform::VirtualAudioOutput>(clock);
  ASSERT_TRUE(output->RecordTo(path.string()));
  i16 next = 0;
  output->Open([&](i16* out, size_t frames) {
    for (size_t i = 0; i < frames * 2; ++i) out[i] = next++;
  });
  clock.Advance(20);
  EXPECT_FALSE(std::filesystem::exists(path));  // not in place before it is complete
  output.reset();
  clock.Advance(20);  // the clock outlives the device safely
  const std::string wav = testing::ReadFileBytes(path);
  ASSERT_EQ(wav.size(), 44u + 882 * 4);
  EXPECT_EQ(wav.substr(0, 4) + wav.substr(8, 8) + wav.substr(36, 4), "RIFFWAVEfmt data");
  // {offset, size, value}: RIFF size, channels, rate, bits, data size; then the samples as mixed.
  const u32 fields[][3] = {{4, 4, 36 + 882 * 4}, {22, 2, 2},       {24, 4, 44100},
                           {34, 2, 16},          {40, 4, 882 * 4}, {44 + 1000 * 2, 2, 1000}};
  for (const auto& [offset, size, value] : fields) {
    u32 v = 0;
    std::memcpy(&v, wav.data() + offset, size);
    EXPECT_EQ(v, value) << offset;
  }
  EXPECT_FALSE(std::filesystem::exists(path.string() + ".tmp"));
}

using Comments = std::vector<std::pair<std::string, std::string>>;

constexpr size_t kRate = 44100;
// Three seconds whose levels tell them apart: quiet, loud, very quiet.
constexpr double kLevel[] = {4000 / 1.41421356, 16000 / 1.41421356, 1000 / 1.41421356};
constexpr int kSilent = -1;

std::vector<u8> ThreeSeconds(const Comments& comments = {}, int channels = 2, int rate = kRate) {
  return testing::EncodeOgg(channels, rate,
                            testing::MakeTones(channels, rate, {{1.0, 4000}, {1.0, 16000}, {1.0, 1000}}), comments);
}

bool Decode(OggStream& stream, std::vector<i16>& pcm) {
  return stream.Decode(reinterpret_cast<u8*>(pcm.data()), pcm.size() * 2);
}

// Which part of the sound each of five decoded seconds holds: the loop
// points play the start once then repeat the loop, the stream end wraps
// without an end comment, the loop end stops even a non-looping stream, and
// a loop whose start lies after its end ends instead of spinning.
TEST(OggStream, LoopPointsAndEndsTable) {
  const struct {
    Comments comments;
    bool loop;
    int parts[5];
  } cases[] = {{{{"start", "44100"}, {"end", "88200"}}, true, {0, 1, 1, 1, 1}},
               {{{"start", "44100"}}, true, {0, 1, 2, 1, 2}},
               {{}, true, {0, 1, 2, 0, 1}},
               {{{"end", "44100"}}, false, {0, kSilent, kSilent, kSilent, kSilent}},
               {{}, false, {0, 1, 2, kSilent, kSilent}},
               {{{"start", "88200"}, {"end", "44100"}}, true, {0, kSilent, kSilent, kSilent, kSilent}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.parts));
    OggStream stream;
    ASSERT_TRUE(stream.Open(ThreeSeconds(c.comments)));
    stream.SetLoop(c.loop);
    std::vector<i16> pcm(kRate * 2 * 5, 0x5555);
    EXPECT_EQ(Decode(stream, pcm), c.parts[4] != kSilent);
    for (size_t s = 0; s < 5; ++s) {
      const int part = c.parts[s];
      if (part == kSilent) {
        EXPECT_TRUE(
            std::all_of(pcm.begin() + s * kRate * 2, pcm.begin() + (s + 1) * kRate * 2, [](i16 v) { return v == 0; }));
      } else {
        // The middle 80 % of the second.
        EXPECT_NEAR(testing::Rms(pcm.data(), 2, s * kRate + kRate / 10, kRate * 8 / 10), kLevel[part],
                    kLevel[part] * 0.3);
      }
    }
    // A finished stream stays finished; the repeats of a loop are the same
    // samples as the first pass through it.
    EXPECT_TRUE(c.parts[4] == kSilent
                    ? !Decode(stream, pcm)
                    : c.parts[2] != 1 || std::equal(&pcm[kRate * 2], &pcm[kRate * 4], &pcm[kRate * 8]));
  }
}

TEST(OggStream, MonoHalfRateFormatAndCommentsReadLikeDecimalIntegers) {
  OggStream stream;
  ASSERT_TRUE(stream.Open(ThreeSeconds({{"START", " 123abc"}, {"end", "x9"}}, 1, 22050)));
  // Names ignore case, digits stop at the first non-digit.
  EXPECT_EQ(stream.loopStart() * 10 + stream.loopEnd(), 1230);
  EXPECT_EQ(stream.channels() * 100000 + stream.rate(), 122050);
  EXPECT_EQ(stream.TotalSamples(), 3 * 22050);
  std::vector<i16> pcm(3 * 22050);
  EXPECT_TRUE(Decode(stream, pcm));
  EXPECT_NEAR(testing::Rms(pcm.data(), 1, 22050 + 2205, 17640), kLevel[1], kLevel[1] * 0.15);
}

TEST(OggStream, DamagedInputIsRejectedOrEndsTheDecode) {
  const auto whole = ThreeSeconds();
  OggStream stream;
  EXPECT_FALSE(stream.Open({}));
  EXPECT_FALSE(stream.Open(std::vector<u8>(5000, 0x4F)));
  EXPECT_FALSE(stream.Open(std::vector<u8>(whole.begin(), whole.begin() + 40)));  // inside the first header
  EXPECT_FALSE(stream.isOpen());
  std::vector<i16> pcm(kRate * 16, 0x5555);
  EXPECT_FALSE(stream.Decode(reinterpret_cast<u8*>(pcm.data()), 16));
  EXPECT_EQ(pcm[0], 0);

  if (stream.Open(std::vector<u8>(whole.begin(), whole.begin() + whole.size() / 2))) {
    stream.SetLoop(true);
    Decode(stream, pcm);  // must come back; looping a cut file repeats what is there
  }
  auto scrambled = whole;
  for (size_t i = scrambled.size() / 3; i < scrambled.size(); i += 7) scrambled[i] ^= 0x5A;
  if (stream.Open(scrambled)) {
    EXPECT_FALSE(stream.Decode(reinterpret_cast<u8*>(pcm.data()), kRate * 16));
  }
}

// A stream plays what is queued, in order and once; starved it is silent
// and its played count stands still; compaction keeps the order.
TEST_F(MixerTest, StreamPlaysQueuedFramesOnceAndIsSilentWhenStarved) {
  const auto s = mixer_.CreateStream();
  ASSERT_NE(s, 0u);
  std::vector<i16> ramp;
  for (i16 i = 1; i <= 6; ++i) ramp.insert(ramp.end(), {i, static_cast<i16>(-i)});
  ASSERT_TRUE(mixer_.QueueStream(s, ramp.data(), 3));
  EXPECT_EQ(Mix(2), std::vector<i16>(4, 0)) << "played before Play";
  mixer_.Play(s, false);
  EXPECT_EQ(Mix(2), (std::vector<i16>{1, -1, 2, -2}));
  ASSERT_TRUE(mixer_.QueueStream(s, ramp.data() + 6, 3));  // drops the played part
  EXPECT_EQ(mixer_.StreamQueued(s), 4u);
  EXPECT_EQ(Mix(5), (std::vector<i16>{3, -3, 4, -4, 5, -5, 6, -6, 0, 0}));
  EXPECT_EQ(mixer_.StreamPlayed(s), 6u);
  EXPECT_EQ(Mix(3), std::vector<i16>(6, 0));
  EXPECT_EQ(mixer_.StreamPlayed(s), 6u) << "silence counted as played";
  EXPECT_TRUE(mixer_.IsPlaying(s)) << "a starved stream stopped for good";
  mixer_.SetVolume(s, -602);
  const i16 loud[2] = {10000, -10000};
  mixer_.QueueStream(s, loud, 1);
  EXPECT_NEAR(Mix(1)[0], 5000, 2);
  EXPECT_FALSE(mixer_.QueueStream(mixer_.CreateBuffer(2, 44100, Constant(4, 1)), loud, 1)) << "queued into a buffer";
}

}  // namespace
}  // namespace lyraban
