#include "graphics/surface.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <utility>

#include "graphics/pixel.h"
#include "surface_helpers.h"

namespace lyraban {
namespace {

using namespace gfxtest;

TEST(SurfaceStorage, LimitsSizesAndAlignment) {
  Surface s;
  for (auto [bpp, w, h] : {std::array{0, 4, 4}, {5, 4, 4}, {3, 0, 4}, {1, 16385, 1}, {4, 16384, 16384}})
    EXPECT_FALSE(s.Create(bpp, w, h)) << bpp << " " << w << "x" << h;
  for (int bpp = 1; bpp <= 4; ++bpp) {
    ASSERT_TRUE(s.Create(bpp, 7, 3));
    EXPECT_TRUE(reinterpret_cast<std::uintptr_t>(s.pixels()) % 8 == 0 && s.ByteSize() == 21u * bpp) << bpp;
  }
}

// The edit count tells a drawn-into surface from an untouched one: every
// draw, writable access, new storage and move counts; reading does not.
TEST(SurfaceStorage, EditsCountDrawingsButNotReadings) {
  Surface dst, src;
  ASSERT_TRUE(dst.Create(3, 4, 4));
  ASSERT_TRUE(src.Create(4, 2, 2));
  std::memset(src.pixels(), 0, src.ByteSize());
  const Surface& reader = dst;
  u64 seen = dst.edits();
  const auto changed = [&] { return std::exchange(seen, dst.edits()) != dst.edits(); };
  (void)reader.pixels(), (void)reader.Row(2), (void)IsOpaqueAt(dst, 1, 1);
  EXPECT_FALSE(changed()) << "reading";
  Blit(src, dst, 0, 0, 2, 2, 0, 0);
  EXPECT_FALSE(changed()) << "being the source of a draw";
  EXPECT_TRUE((Blit(dst, src, 1, 1, 2, 2, 0, 0), changed())) << "an all-clear draw still counts";
  EXPECT_TRUE((FillRect(dst, 1, 2, 3, 0, 0, 1, 1), changed()));
  EXPECT_TRUE(((void)dst.Row(0), changed()));
  EXPECT_TRUE((dst.Create(3, 4, 4), changed())) << "new storage";
  Surface moved(std::move(dst));
  EXPECT_GT(moved.edits(), seen) << "the moved-to surface counts past the old one";
  EXPECT_TRUE(changed()) << "the moved-from surface";
  EXPECT_TRUE((dst.Release(), changed()));
}

// One source pixel of each format over one destination pixel of each format,
// with the expected bytes worked out by hand from the formulas. Source colour
// (b, g, r) = (10, 20, 30) whose luma is 21, grey 40, alpha 128; destination
// colour (200, 100, 0), grey 200, alpha 64. Fully clear source pixels leave
// the destination exactly as it was; fully opaque ones draw as the same
// colour without alpha would.
TEST(Blit, AllSixteenFormatPairsClearAndOpaquePixelsAndClipping) {
  const Bytes sources[5] = {{}, {40}, {128, 40}, {10, 20, 30}, {128, 10, 20, 30}};
  const Bytes destinations[5] = {{}, {200}, {64, 200}, {200, 100, 0}, {64, 200, 100, 0}};
  const Bytes expected[5][5] = {
      {},
      {{}, {40}, {120}, {21}, {110}},
      {{}, {255, 40}, {160, 120}, {255, 21}, {160, 110}},
      {{}, {40, 40, 40}, {120, 70, 20}, {10, 20, 30}, {105, 60, 15}},
      {{}, {255, 40, 40, 40}, {160, 120, 70, 20}, {255, 10, 20, 30}, {160, 105, 60, 15}},
  };
  for (int d = 1; d <= 4; ++d) {
    for (int s = 1; s <= 4; ++s) {
      Surface dst = Make(d, 1, 1, destinations[d]);
      ASSERT_TRUE(BlitAll(dst, Make(s, 1, 1, sources[s]), 0, 0));
      EXPECT_EQ(BytesOf(dst), expected[d][s]) << d << " <- " << s;
      if (s % 2) continue;
      // Alpha 0 then 255 over the same two pixels in one draw.
      Bytes pair = sources[s];
      pair[0] = 0, pair.insert(pair.end(), sources[s].begin(), sources[s].end()), pair[s] = 255;
      dst = Make(d, 2, 1, destinations[d]);
      ASSERT_TRUE(BlitAll(dst, Make(s, 2, 1, pair), 0, 0));
      Bytes want = destinations[d];
      want.insert(want.end(), expected[d][s - 1].begin(), expected[d][s - 1].end());
      EXPECT_EQ(BytesOf(dst), want) << d << " <- " << s << " clear, opaque";
    }
  }
  // A source row of 0..99 makes the drawn columns of a 50-wide row visible:
  // columns lo..hi-1 show source column i + shift, the rest keep 255.
  Bytes row(100);
  for (int i = 0; i < 100; ++i) row[i] = static_cast<u8>(i);
  const Surface src = Make(1, 100, 1, row);
  struct Case {
    int x, y, w, srcX, lo, hi, shift;
  } cases[] = {
      {-10, 0, 100, 0, 0, 50, 10},
      {0, 0, 20, -5, 5, 20, -5},
      {45, 0, 100, 0, 45, 50, -45},
      {50, 0, 100, 0, 0, 0, 0},
      {0, -1, 100, 0, 0, 0, 0},
      {0, 0, 5, 100, 0, 0, 0},
      {INT32_MIN, INT32_MIN, 100, 0, 0, 0, 0},
      {INT32_MAX, 0, INT32_MAX, INT32_MIN, 0, 0, 0},
  };
  for (const Case& c : cases) {
    Surface dst = Make(1, 50, 1, {255});
    ASSERT_TRUE(Blit(dst, src, c.x, c.y, c.w, 1, c.srcX, 0));
    for (int i = 0; i < 50; ++i)
      ASSERT_EQ(dst.pixels()[i], i >= c.lo && i < c.hi ? i + c.shift : 255) << c.x << "," << c.y << " col " << i;
  }
}

// Opacity scales the source alpha and unites with the destination alpha; an
// opacity past 255 is 255. Fills clip and write alpha 255.
TEST(BlitWithOpacity, AndFillRect) {
  const Bytes rgba = {64, 200, 100, 0}, blended = {160, 105, 60, 15};
  for (auto [src, opacity, want] : {std::tuple{Bytes{10, 20, 30}, 0, rgba},
                                    {Bytes{10, 20, 30}, 128, blended},
                                    {Bytes{255, 10, 20, 30}, 128, blended},
                                    {Bytes{0, 10, 20, 30}, 128, rgba}}) {
    Surface dst = Make(4, 1, 1, rgba);
    ASSERT_TRUE(BlitWithOpacity(dst, Make(static_cast<int>(src.size()), 1, 1, src), 0, 0, opacity));
    EXPECT_EQ(BytesOf(dst), want) << src.size() << " bytes at " << opacity;
  }
  Surface grey = Make(1, 1, 1, {200}), colour = Make(3, 3, 2, {0, 0, 0}), greyAlpha = Make(2, 2, 1, {0, 0});
  ASSERT_TRUE(FillRectWithOpacity(grey, 30, 20, 10, 0, 0, 1, 1, 300));
  ASSERT_TRUE(FillRect(colour, 30, 20, 10, -1, -1, 3, 2) && FillRect(greyAlpha, 30, 20, 10, 1, 0, 9, 9));
  EXPECT_EQ(BytesOf(grey), Bytes{21});
  EXPECT_EQ(BytesOf(colour), (Bytes{10, 20, 30, 10, 20, 30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(BytesOf(greyAlpha), (Bytes{0, 0, 255, 21}));
  EXPECT_FALSE(BlitWithOpacity(grey, Surface(), 0, 0, 128) || FillRect(greyAlpha = Surface(), 0, 0, 0, 0, 0, 1, 1));
}

TEST(RotateBlit, TurnsScaleAndFormats) {
  const Surface src = Make(1, 3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  Surface dst = Make(1, 3, 3, {0});
  for (auto [turns, scale, want] : {std::tuple{0.0, 1.0, Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}},
                                    {0.5, 0.0, Bytes{9, 8, 7, 6, 5, 4, 3, 2, 1}},  // a bad scale means 1
                                    {0.25, 1.0, Bytes{3, 6, 9, 2, 5, 8, 1, 4, 7}}}) {
    ASSERT_TRUE(RotateBlit(dst, src, 1, 1, 1, 1, turns, scale));
    EXPECT_EQ(BytesOf(dst), want) << turns;
  }
  // Grey-alpha is unsupported.
  Surface grey = Make(1, 1, 1, {0});
  EXPECT_FALSE(RotateBlit(grey, Make(2, 1, 1, {1, 1}), 0, 0, 0, 0, 0.0, 1.0));
  EXPECT_TRUE(RotateBlit(grey, src, 0, 0, 0, 0, 0.0, 1e-300));  // absurd scales do not overflow
}

// Every anchor code places a 5 x 3 source with the chosen point at (10, 10);
// halves round towards zero (5 / 2 = 2, 3 / 2 = 1) and codes outside 0..8
// leave the position alone.
TEST(BlitAnchored, EveryCodePutsItsPointAtThePosition) {
  const Surface src = Make(1, 5, 3, {255});
  // clang-format off
  const std::tuple<int, int, int> cases[] = {
      {0, 10, 10}, {1, 5, 10}, {2, 8, 10},   // top: left, right, centre
      {3, 10, 7},  {4, 5, 7},  {5, 8, 7},    // bottom
      {6, 10, 9},  {7, 5, 9},  {8, 8, 9},    // middle
      {9, 10, 10}, {-1, 10, 10}};
  // clang-format on
  for (auto [anchor, left, top] : cases) {
    Surface dst = Make(1, 20, 20, {0});
    ASSERT_TRUE(BlitAnchored(dst, src, 10, 10, anchor)) << anchor;
    int x0 = 99, y0 = 99, x1 = -1, y1 = -1;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x)
        if (dst.Row(y)[x]) x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
    EXPECT_EQ(std::tuple(x0, y0, x1 - x0 + 1, y1 - y0 + 1), std::tuple(left, top, 5, 3)) << "anchor " << anchor;
  }
}

// Downscaling against averages worked out by hand from the fixed-point
// weights: a halving averages each 2 x 2 block exactly; three columns into
// two weight the shared middle column by the 8-bit fractions (170 and 86
// for the first pixel, 340 and 172 for the second), and every byte of a
// pixel is averaged on its own.
TEST(ScaleDown, AveragesTheCoveredPixelsByTheirWeights) {
  Surface half = Make(3, 2, 2, {0, 0, 0});
  Bytes grid;
  for (int v = 10; v <= 160; v += 10) grid.insert(grid.end(), 3, static_cast<u8>(v));
  ASSERT_TRUE(ScaleDown(half, Make(3, 4, 4, grid)));
  EXPECT_EQ(BytesOf(half), Grey3({35, 55, 115, 135}));

  Surface two = Make(3, 2, 1, {0, 0, 0});
  ASSERT_TRUE(ScaleDown(two, Make(3, 3, 1, {0, 0, 0, 90, 90, 90, 210, 210, 210})));
  // (86 × 90) / 256 = 30; (340 × 90 + 172 × 210) / 512 = 130.
  EXPECT_EQ(BytesOf(two), Grey3({30, 130}));

  Surface one = Make(3, 1, 1, {0, 0, 0});
  ASSERT_TRUE(ScaleDown(one, Make(3, 2, 2, {10, 100, 200, 20, 110, 0, 30, 120, 50, 40, 130, 250})));
  EXPECT_EQ(BytesOf(one), (Bytes{25, 115, 125}));
  // Only whole 3-byte surfaces.
  Surface grey = Make(1, 1, 1, {0});
  EXPECT_FALSE(ScaleDown(grey, Make(3, 2, 2, {1, 2, 3})) || ScaleDown(one, Make(4, 2, 2, {1, 2, 3, 4})) ||
               ScaleDown(one, Surface()));
}

}  // namespace
}  // namespace lyraban
