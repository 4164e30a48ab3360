#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "graphics/surface.h"

namespace lyraban {
namespace {

// Pages of [begin, end) that are resident now.
size_t ResidentPages(const u8* begin, const u8* end) {
  const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t first = (reinterpret_cast<uintptr_t>(begin) + page - 1) / page * page;
  const uintptr_t last = reinterpret_cast<uintptr_t>(end) / page * page;
  if (last <= first) return 0;
  std::vector<unsigned char> flags((last - first) / page);
  if (mincore(reinterpret_cast<void*>(first), last - first, flags.data()) != 0) return SIZE_MAX;
  size_t resident = 0;
  for (unsigned char f : flags) resident += f & 1;
  return resident;
}

TEST(ZeroBytesTest, ZeroesExactlyTheRangeAtAnySizeAndAlignment) {
  struct Case {
    size_t offset, size;
  };
  // Below and above the size where pages are handed back, aligned and not.
  const Case cases[] = {{0, 0}, {1, 1}, {3, 4095}, {0, 4096}, {5, 65535}, {0, 65536}, {7, 300001}, {4096, 1 << 20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "offset " << c.offset << ", size " << c.size);
    std::vector<u8> block(c.offset + c.size + 64, 0xAB);
    ZeroBytes(block.data() + c.offset, c.size);
    size_t wrongInside = 0;
    for (size_t i = c.offset; i < c.offset + c.size; ++i) wrongInside += block[i] != 0;
    EXPECT_EQ(wrongInside, 0u);
    for (size_t i = 0; i < c.offset; ++i) ASSERT_EQ(block[i], 0xAB) << "byte " << i << " before the range";
    for (size_t i = c.offset + c.size; i < block.size(); ++i) ASSERT_EQ(block[i], 0xAB) << "byte " << i << " after";
    // Written again afterwards, the memory holds what is written.
    if (c.size > 0) {
      block[c.offset + c.size / 2] = 7;
      EXPECT_EQ(block[c.offset + c.size / 2], 7);
    }
  }
}

TEST(ZeroBytesTest, AScreenClearedToBlackTakesNoMemoryUntilDrawnOn) {
  Surface screen;
  ASSERT_TRUE(screen.Create(3, 800, 600));
  ASSERT_TRUE(FillScreen(screen, 200, 100, 50));
  const u8* begin = screen.pixels();
  const u8* end = begin + screen.ByteSize();
  EXPECT_GT(ResidentPages(begin, end), 300u) << "a drawn screen is resident";

  ASSERT_TRUE(FillScreen(screen, 0, 0, 0));
  EXPECT_LE(ResidentPages(begin, end), 2u) << "a black screen gave its pages back";
  size_t notBlack = 0;
  for (const u8* p = begin; p < end; ++p) notBlack += *p != 0;
  EXPECT_EQ(notBlack, 0u);

  // Any other colour is written as before (bytes blue, green, red).
  ASSERT_TRUE(FillScreen(screen, 0, 0, 1));
  EXPECT_EQ(screen.Row(599)[799 * 3], 1);
  EXPECT_EQ(screen.Row(599)[799 * 3 + 2], 0);
}

}  // namespace
}  // namespace lyraban
