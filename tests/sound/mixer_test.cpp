#include "sound/mixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "ogg_maker.h"
#include "platform/headless/virtual_audio.h"
#include "platform/sdl/sdl_audio.h"
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
  const std::pair<int, i32> cases[] = {{50, -602}, {10, -2000}, {1, -4000}, {3, -3046} /* rounded, not cut */,
                                       {100, 0},   {250, 0},    {0, -10000}, {-5, -10000}};
  for (const auto& [volume, attenuation] : cases) EXPECT_EQ(VolumeToAttenuation(volume), attenuation) << volume;
  EXPECT_FLOAT_EQ(AttenuationToGain(0), 1.0f);
  EXPECT_FLOAT_EQ(AttenuationToGain(-10000), 0.0f);
  EXPECT_NEAR(AttenuationToGain(-602), 0.5, 0.001);
  EXPECT_NEAR(AttenuationToGain(-2000), 0.1, 1e-6);
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
  ASSERT_TRUE(a && b && c);
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
  const auto d = mixer_.CreateBuffer(2, 44100, Constant(100, -20000));
  mixer_.Play(d, false);
  EXPECT_EQ(Mix(1)[0], -32768);
}

TEST_F(MixerTest, OneShotStopsAtItsEndAndLoopingWraps) {
  const auto once = mixer_.CreateBuffer(2, 44100, Constant(10, 1000));
  mixer_.Play(once, false);
  auto out = Mix(16);
  EXPECT_EQ(out[19], 1000);
  EXPECT_EQ(out[20], 0);
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
  EXPECT_FALSE(mixer_.Write(id, 13, bytes, 4));
  EXPECT_FALSE(mixer_.Write(id, SIZE_MAX, bytes, 4));
  mixer_.Release(id);
  EXPECT_FALSE(mixer_.Play(id, false));
  EXPECT_EQ(mixer_.bufferCount(), 0u);
  EXPECT_EQ(mixer_.CreateBuffer(0, 44100, {}), 0u);
  EXPECT_EQ(mixer_.CreateBuffer(2, 10, {}), 0u);
  const auto empty = mixer_.CreateBuffer(2, 44100, {});
  mixer_.Play(empty, true);  // nothing to loop over
  EXPECT_FALSE(mixer_.IsPlaying(empty));
  EXPECT_EQ(Mix(2), std::vector<i16>(4, 0));
}

TEST_F(MixerTest, MonoHalfRateIsResampledToStereoOutput) {
  const auto id = mixer_.CreateBuffer(1, 22050, Bytes(testing::MakeTones(1, 22050, {{1.0, 8000, 300}})));
  mixer_.Play(id, false);
  std::vector<i16> out;
  for (int i = 0; i < 100 && mixer_.IsPlaying(id); ++i) {
    const auto chunk = Mix(1024);
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
  EXPECT_FALSE(mixer_.IsPlaying(id));
  size_t last = 0;
  for (size_t f = 0; f < out.size() / 2; ++f) {
    EXPECT_EQ(out[f * 2], out[f * 2 + 1]);
    if (out[f * 2] != 0) last = f;
  }
  EXPECT_NEAR(static_cast<double>(last), 44100.0, 200.0);  // one second at the output rate
  EXPECT_NEAR(testing::Rms(out.data(), 2, 4410, 35280), 8000 / std::sqrt(2.0), 300);
}

TEST(VirtualAudio, PullsExactlyTheFramesThatVirtualTimePlays) {
  platform::VirtualClock clock;
  platform::VirtualAudioOutput output(clock);
  u64 pulled = 0;
  clock.Advance(100);  // closed: nothing is pulled
  ASSERT_TRUE(output.Open([&](i16*, size_t frames) { pulled += frames; }));
  for (int i = 0; i < 1000; ++i) clock.Advance(1);
  EXPECT_EQ(pulled, 44100u);
  for (int i = 0; i < 3; ++i) clock.Advance(3);  // 9 ms = 396.9 frames
  EXPECT_EQ(pulled, 44100u + 396u);
  clock.Advance(1);
  EXPECT_EQ(pulled, 44100u + 441u);
  output.Close();
  clock.Advance(50);
  EXPECT_EQ(pulled, 44541u);
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
  auto at = [&](size_t offset, size_t size) {
    u32 v = 0;
    std::memcpy(&v, wav.data() + offset, size);
    return v;
  };
  // RIFF size, channels, rate, bits, data size; then the samples as mixed.
  EXPECT_EQ(at(4, 4), 36u + 882 * 4);
  EXPECT_EQ(at(22, 2), 2u);
  EXPECT_EQ(at(24, 4), 44100u);
  EXPECT_EQ(at(34, 2), 16u);
  EXPECT_EQ(at(40, 4), 882u * 4);
  EXPECT_EQ(at(44 + 1000 * 2, 2), 1000u);
  EXPECT_FALSE(std::filesystem::exists(path.string() + ".tmp"));
}

}  // namespace
}  // namespace lyraban
