#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/pack_keystream.h"

namespace lyraban {
namespace {

std::vector<u8> Stream(u32 seed, size_t n) {
  PackKeystream ks(seed);
  std::vector<u8> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = ks.Next(0);
  return out;
}

// Expected bytes were worked out by hand from the sequence x(k) = seed * 69069^k
// and the tempering with this format's masks, outside this code base.
TEST(PackKeystream, KnownAnswers) {
  const std::vector<u8> base = Stream(kPackBaseSeed, 1249);
  const std::vector<u8> first = {0xC7, 0x63, 0xBC, 0xFF, 0xC8, 0x64, 0x2B, 0xAE};
  EXPECT_EQ(std::vector<u8>(base.begin(), base.begin() + 8), first);
  EXPECT_EQ(base[623], 0x37);  // last slot of the first table
  EXPECT_EQ(base[624], 0xE7);  // first byte after the refill from slot 623
  EXPECT_EQ(base[625], 0x55);
  EXPECT_EQ(base[1248], 0x0B);  // first byte after the second refill

  // Entry data with scramble code 1 uses its own seed.
  const std::vector<u8> code1 = {0xE3, 0x8C, 0xCA, 0xB2};
  EXPECT_EQ(Stream(kPackBaseSeed + 1, 4), code1);
}

TEST(PackKeystream, ScrambleIsItsOwnInverseAndContinuesAcrossPieces) {
  std::string plain(2000, '\0');
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<char>(i * 7 + 3);

  std::string whole = plain;
  PackKeystream(kPackBaseSeed + 9).Apply(whole.data(), whole.size());
  EXPECT_NE(whole, plain);

  // The same state consumed in uneven pieces, across a refill, gives the same bytes.
  std::string pieces = plain;
  PackKeystream ks(kPackBaseSeed + 9);
  ks.Apply(pieces.data(), 1);
  ks.Apply(pieces.data() + 1, 622);
  ks.Apply(pieces.data() + 623, 3);
  ks.Apply(pieces.data() + 626, pieces.size() - 626);
  EXPECT_EQ(pieces, whole);

  PackKeystream(kPackBaseSeed + 9).Apply(whole.data(), whole.size());
  EXPECT_EQ(whole, plain);

  // Seeding again restarts the stream.
  PackKeystream again(kPackBaseSeed);
  for (int i = 0; i < 700; ++i) again.Next(0);
  again.Seed(kPackBaseSeed);
  EXPECT_EQ(again.Next(0), 0xC7);
}

}  // namespace
}  // namespace lyraban
