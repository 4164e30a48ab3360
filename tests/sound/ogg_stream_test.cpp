#include "sound/ogg_stream.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "ogg_maker.h"

namespace lyraban {
namespace {

using testing::EncodeOgg;
using testing::MakeTones;
using testing::RmsBytes;
using testing::ToneSegment;

constexpr int kRate = 44100;
constexpr size_t kSecond = kRate * 4;  // bytes of one stereo second

// Three seconds whose levels tell them apart: quiet, loud, very quiet.
std::vector<i16> ThreeSeconds(int channels = 2, int rate = kRate) {
  return MakeTones(channels, rate, {{1.0, 4000}, {1.0, 16000}, {1.0, 1000}});
}
constexpr double kLevel0 = 4000 / 1.41421356;
constexpr double kLevel1 = 16000 / 1.41421356;
constexpr double kLevel2 = 1000 / 1.41421356;

// Level of the middle 80 % of second `s` of decoded stereo PCM.
double SecondLevel(const std::vector<u8>& pcm, int s) {
  return RmsBytes(pcm, 2, static_cast<size_t>(s) * kRate + kRate / 10, kRate * 8 / 10);
}

bool AllZero(const std::vector<u8>& pcm, size_t from, size_t to) {
  return std::all_of(pcm.begin() + from, pcm.begin() + to, [](u8 b) { return b == 0; });
}

std::vector<u8> DecodeSeconds(OggStream& stream, int seconds, bool* result = nullptr) {
  std::vector<u8> pcm(kSecond * seconds, 0xAA);
  const bool filled = stream.Decode(pcm.data(), pcm.size());
  if (result) *result = filled;
  return pcm;
}

TEST(OggStreamLoop, LoopPointsPlayTheStartOnceThenRepeatTheLoop) {
  OggStream stream;
  ASSERT_TRUE(stream.Open(EncodeOgg(2, kRate, ThreeSeconds(), {{"start", "44100"}, {"end", "88200"}})));
  EXPECT_EQ(stream.loopStart(), 44100);
  EXPECT_EQ(stream.loopEnd(), 88200);
  stream.SetLoop(true);
  bool filled = false;
  const auto pcm = DecodeSeconds(stream, 5, &filled);
  EXPECT_TRUE(filled);
  EXPECT_NEAR(SecondLevel(pcm, 0), kLevel0, kLevel0 * 0.15);
  for (int s = 1; s < 5; ++s) EXPECT_NEAR(SecondLevel(pcm, s), kLevel1, kLevel1 * 0.15) << "second " << s;
  // The repeats are the same samples as the first pass through the loop.
  EXPECT_TRUE(std::equal(pcm.begin() + kSecond, pcm.begin() + 2 * kSecond, pcm.begin() + 2 * kSecond));
  EXPECT_TRUE(std::equal(pcm.begin() + kSecond, pcm.begin() + 2 * kSecond, pcm.begin() + 4 * kSecond));
}

TEST(OggStreamLoop, WithoutEndCommentTheLoopWrapsAtTheEndOfTheStream) {
  OggStream withStart;
  ASSERT_TRUE(withStart.Open(EncodeOgg(2, kRate, ThreeSeconds(), {{"start", "44100"}})));
  EXPECT_EQ(withStart.loopEnd(), 0);
  withStart.SetLoop(true);
  auto pcm = DecodeSeconds(withStart, 5);
  EXPECT_NEAR(SecondLevel(pcm, 2), kLevel2, kLevel2 * 0.3);
  EXPECT_NEAR(SecondLevel(pcm, 3), kLevel1, kLevel1 * 0.15);
  EXPECT_NEAR(SecondLevel(pcm, 4), kLevel2, kLevel2 * 0.3);

  OggStream noComments;
  ASSERT_TRUE(noComments.Open(EncodeOgg(2, kRate, ThreeSeconds())));
  noComments.SetLoop(true);
  pcm = DecodeSeconds(noComments, 4);
  EXPECT_NEAR(SecondLevel(pcm, 3), kLevel0, kLevel0 * 0.15);
}

TEST(OggStreamLoop, EndsWithSilenceWhenNotLooping) {
  OggStream stream;
  ASSERT_TRUE(stream.Open(EncodeOgg(2, kRate, ThreeSeconds(), {{"end", "44100"}})));
  bool filled = true;
  auto pcm = DecodeSeconds(stream, 2, &filled);
  EXPECT_FALSE(filled);
  EXPECT_NEAR(SecondLevel(pcm, 0), kLevel0, kLevel0 * 0.15);
  EXPECT_TRUE(AllZero(pcm, kSecond, pcm.size()));  // the loop end stops even a non-looping stream

  OggStream plain;
  ASSERT_TRUE(plain.Open(EncodeOgg(2, kRate, ThreeSeconds())));
  pcm = DecodeSeconds(plain, 4, &filled);
  EXPECT_FALSE(filled);
  EXPECT_TRUE(AllZero(pcm, 3 * kSecond, pcm.size()));
  EXPECT_FALSE(plain.Decode(pcm.data(), 64));
}

TEST(OggStreamLoop, AnEmptyLoopEndsInsteadOfSpinning) {
  OggStream stream;
  ASSERT_TRUE(stream.Open(EncodeOgg(2, kRate, ThreeSeconds(), {{"start", "88200"}, {"end", "44100"}})));
  stream.SetLoop(true);
  bool filled = true;
  const auto pcm = DecodeSeconds(stream, 3, &filled);
  EXPECT_FALSE(filled);
  EXPECT_NEAR(SecondLevel(pcm, 0), kLevel0, kLevel0 * 0.15);
  EXPECT_TRUE(AllZero(pcm, kSecond, pcm.size()));
}

TEST(OggStreamFormat, MonoAtHalfRateKeepsItsFormatAndLength) {
  OggStream stream;
  ASSERT_TRUE(stream.Open(EncodeOgg(1, 22050, ThreeSeconds(1, 22050))));
  EXPECT_EQ(stream.channels(), 1);
  EXPECT_EQ(stream.rate(), 22050);
  EXPECT_EQ(stream.TotalSamples(), 3 * 22050);
  std::vector<u8> pcm(3 * 22050 * 2);
  EXPECT_TRUE(stream.Decode(pcm.data(), pcm.size()));
  EXPECT_NEAR(RmsBytes(pcm, 1, 22050 + 2205, 17640), kLevel1, kLevel1 * 0.15);
}

TEST(OggStreamFormat, CommentValuesAreReadLikeDecimalIntegers) {
  OggStream stream;
  ASSERT_TRUE(stream.Open(EncodeOgg(2, kRate, ThreeSeconds(), {{"START", " 123abc"}, {"end", "x9"}})));
  EXPECT_EQ(stream.loopStart(), 123);  // comment names ignore case, digits stop at the first non-digit
  EXPECT_EQ(stream.loopEnd(), 0);
}

TEST(OggStreamDamage, GarbageAndEmptyInputAreRejected) {
  OggStream stream;
  EXPECT_FALSE(stream.Open({}));
  EXPECT_FALSE(stream.Open(std::vector<u8>(5000, 0x4F)));
  auto file = EncodeOgg(2, kRate, ThreeSeconds());
  file.resize(40);  // cut inside the first header page
  EXPECT_FALSE(stream.Open(file));
  EXPECT_FALSE(stream.isOpen());
  std::vector<u8> pcm(16, 0xAA);
  EXPECT_FALSE(stream.Decode(pcm.data(), pcm.size()));
  EXPECT_TRUE(AllZero(pcm, 0, pcm.size()));
}

TEST(OggStreamDamage, TruncatedOrScrambledAudioEndsTheDecode) {
  const auto whole = EncodeOgg(2, kRate, ThreeSeconds());
  auto truncated = whole;
  truncated.resize(whole.size() / 2);
  OggStream stream;
  if (stream.Open(truncated)) {
    stream.SetLoop(true);
    std::vector<u8> pcm(kSecond * 8);
    stream.Decode(pcm.data(), pcm.size());  // must come back; looping a cut file repeats what is there
  }
  auto scrambled = whole;
  for (size_t i = scrambled.size() / 3; i < scrambled.size(); i += 7) scrambled[i] ^= 0x5A;
  OggStream broken;
  if (broken.Open(scrambled)) {
    std::vector<u8> pcm(kSecond * 4);
    EXPECT_FALSE(broken.Decode(pcm.data(), pcm.size()));
  }
}

}  // namespace
}  // namespace lyraban
