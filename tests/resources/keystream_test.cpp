#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "resources/pack_keystream.h"

namespace lyraban {
namespace {

// Expected bytes were worked out by hand from the sequence x(k) = seed * 69069^k
// and the tempering with this format's masks, outside this code base.
TEST(PackKeystream, KnownAnswersAcrossRefills) {
  PackKeystream ks(kPackBaseSeed);
  std::vector<u8> base(1249);
  for (u8& b : base) b = ks.Next(0);
  EXPECT_EQ(std::vector<u8>(base.begin(), base.begin() + 8),
            (std::vector<u8>{0xC7, 0x63, 0xBC, 0xFF, 0xC8, 0x64, 0x2B, 0xAE}));
  EXPECT_EQ(base[623], 0x37);   // last slot of the first table
  EXPECT_EQ(base[624], 0xE7);   // first byte after the refill from slot 623
  EXPECT_EQ(base[1248], 0x0B);  // first byte after the second refill
  // Entry data with scramble code 1 uses its own seed; seeding again restarts.
  ks.Seed(kPackBaseSeed + 1);
  EXPECT_EQ(ks.Next(0x10), 0xE3 ^ 0x10);
  EXPECT_EQ(ks.Next(0), 0x8C);
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
  const size_t cuts[] = {0, 1, 623, 626, pieces.size()};
  for (size_t i = 0; i + 1 < std::size(cuts); ++i) ks.Apply(pieces.data() + cuts[i], cuts[i + 1] - cuts[i]);
  EXPECT_EQ(pieces, whole);
  PackKeystream(kPackBaseSeed + 9).Apply(whole.data(), whole.size());
  EXPECT_EQ(whole, plain);
}

}  // namespace
}  // namespace lyraban
