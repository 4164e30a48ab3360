#include "sound/ogg_stream.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "ogg_maker.h"

namespace lyraban {
namespace {

using Comments = std::vector<std::pair<std::string, std::string>>;

constexpr int kRate = 44100;
constexpr size_t kSecond = kRate * 4;  // bytes of one stereo second
// Three seconds whose levels tell them apart: quiet, loud, very quiet.
constexpr double kLevel[] = {4000 / 1.41421356, 16000 / 1.41421356, 1000 / 1.41421356};

std::vector<u8> ThreeSeconds(const Comments& comments = {}, int channels = 2, int rate = kRate) {
  return testing::EncodeOgg(channels, rate, testing::MakeTones(channels, rate, {{1.0, 4000}, {1.0, 16000}, {1.0, 1000}}),
                            comments);
}

// Level of the middle 80 % of second `s` of decoded stereo PCM.
double SecondLevel(const std::vector<u8>& pcm, int s) {
  return testing::RmsBytes(pcm, 2, static_cast<size_t>(s) * kRate + kRate / 10, kRate * 8 / 10);
}

TEST(OggStream, LoopPointsPlayTheStartOnceThenRepeatTheLoop) {
  OggStream stream;
  ASSERT_TRUE(stream.Open(ThreeSeconds({{"start", "44100"}, {"end", "88200"}})));
  EXPECT_EQ(stream.loopStart(), 44100);
  EXPECT_EQ(stream.loopEnd(), 88200);
  stream.SetLoop(true);
  std::vector<u8> pcm(kSecond * 5, 0xAA);
  EXPECT_TRUE(stream.Decode(pcm.data(), pcm.size()));
  EXPECT_NEAR(SecondLevel(pcm, 0), kLevel[0], kLevel[0] * 0.15);
  for (int s = 1; s < 5; ++s) EXPECT_NEAR(SecondLevel(pcm, s), kLevel[1], kLevel[1] * 0.15) << "second " << s;
  // The repeats are the same samples as the first pass through the loop.
  EXPECT_TRUE(std::equal(pcm.begin() + kSecond, pcm.begin() + 2 * kSecond, pcm.begin() + 4 * kSecond));
}

TEST(OggStream, LoopWrapsAtTheStreamEndWithoutAnEndComment) {
  // {comments, level expected in each of the seconds 2, 3 and 4}
  const struct {
    Comments comments;
    int levels[3];
  } cases[] = {{{{"start", "44100"}}, {2, 1, 2}}, {{}, {2, 0, 1}}};
  for (const auto& c : cases) {
    OggStream stream;
    ASSERT_TRUE(stream.Open(ThreeSeconds(c.comments)));
    EXPECT_EQ(stream.loopEnd(), 0);
    stream.SetLoop(true);
    std::vector<u8> pcm(kSecond * 5);
    EXPECT_TRUE(stream.Decode(pcm.data(), pcm.size()));
    for (int s = 2; s < 5; ++s)
      EXPECT_NEAR(SecondLevel(pcm, s), kLevel[c.levels[s - 2]], kLevel[c.levels[s - 2]] * 0.3) << s;
  }
}

TEST(OggStream, EndsWithSilenceWhenNotLoopingOrTheLoopIsEmpty) {
  // The loop end stops even a non-looping stream; a loop whose start lies
  // after its end must end instead of spinning.
  const struct {
    Comments comments;
    bool loop;
    size_t soundBytes;
  } cases[] = {{{{"end", "44100"}}, false, kSecond},
               {{}, false, 3 * kSecond},
               {{{"start", "88200"}, {"end", "44100"}}, true, kSecond}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.soundBytes);
    OggStream stream;
    ASSERT_TRUE(stream.Open(ThreeSeconds(c.comments)));
    stream.SetLoop(c.loop);
    std::vector<u8> pcm(c.soundBytes + kSecond, 0xAA);
    EXPECT_FALSE(stream.Decode(pcm.data(), pcm.size()));
    EXPECT_NEAR(SecondLevel(pcm, 0), kLevel[0], kLevel[0] * 0.15);
    EXPECT_TRUE(std::all_of(pcm.begin() + c.soundBytes, pcm.end(), [](u8 b) { return b == 0; }));
    EXPECT_FALSE(stream.Decode(pcm.data(), 64));
  }
}

TEST(OggStream, MonoHalfRateFormatAndCommentsReadLikeDecimalIntegers) {
  OggStream stream;
  ASSERT_TRUE(stream.Open(ThreeSeconds({{"START", " 123abc"}, {"end", "x9"}}, 1, 22050)));
  EXPECT_EQ(stream.loopStart(), 123);  // names ignore case, digits stop at the first non-digit
  EXPECT_EQ(stream.loopEnd(), 0);
  EXPECT_EQ(stream.channels(), 1);
  EXPECT_EQ(stream.rate(), 22050);
  EXPECT_EQ(stream.TotalSamples(), 3 * 22050);
  std::vector<u8> pcm(3 * 22050 * 2);
  EXPECT_TRUE(stream.Decode(pcm.data(), pcm.size()));
  EXPECT_NEAR(testing::RmsBytes(pcm, 1, 22050 + 2205, 17640), kLevel[1], kLevel[1] * 0.15);
}

TEST(OggStream, DamagedInputIsRejectedOrEndsTheDecode) {
  const auto whole = ThreeSeconds();
  OggStream stream;
  EXPECT_FALSE(stream.Open({}));
  EXPECT_FALSE(stream.Open(std::vector<u8>(5000, 0x4F)));
  EXPECT_FALSE(stream.Open(std::vector<u8>(whole.begin(), whole.begin() + 40)));  // inside the first header
  EXPECT_FALSE(stream.isOpen());
  std::vector<u8> pcm(kSecond * 8, 0xAA);
  EXPECT_FALSE(stream.Decode(pcm.data(), 16));
  EXPECT_EQ(pcm[0], 0);

  if (stream.Open(std::vector<u8>(whole.begin(), whole.begin() + whole.size() / 2))) {
    stream.SetLoop(true);
    stream.Decode(pcm.data(), pcm.size());  // must come back; looping a cut file repeats what is there
  }
  auto scrambled = whole;
  for (size_t i = scrambled.size() / 3; i < scrambled.size(); i += 7) scrambled[i] ^= 0x5A;
  if (stream.Open(scrambled)) {
    EXPECT_FALSE(stream.Decode(pcm.data(), kSecond * 4));
  }
}

}  // namespace
}  // namespace lyraban
