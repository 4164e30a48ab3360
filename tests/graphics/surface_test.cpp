#include "graphics/surface.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "graphics/pixel.h"

namespace lyraban {
namespace {

Surface Make(int bpp, int w, int h, std::vector<u8> bytes) {
  Surface s;
  EXPECT_TRUE(s.Create(bpp, w, h));
  EXPECT_EQ(bytes.size(), s.ByteSize());
  std::memcpy(s.pixels(), bytes.data(), bytes.size());
  return s;
}

std::vector<u8> Bytes(const Surface& s) { return std::vector<u8>(s.pixels(), s.pixels() + s.ByteSize()); }

TEST(PixelMath, Extremes) {
  EXPECT_EQ(Mul255(255, 255), 255);
  EXPECT_EQ(Mul255(128, 255), 128);
  EXPECT_EQ(Mul255(0, 255), 0);
  EXPECT_EQ(AlphaUnion(128, 128), 192);
  EXPECT_EQ(Luma(0, 0, 0), 0);
  EXPECT_EQ(Luma(255, 255, 255), 254);  // the weights sum to 255, not 256
  EXPECT_EQ(Luma(0, 0, 255), 75);
  EXPECT_EQ(Luma(255, 0, 0), 28);
  for (int x = 0; x < 256; ++x) {
    for (int y = 0; y < 256; ++y) {
      // x·y/255 rounded half up, from the real quotient.
      ASSERT_EQ(Mul255(x, y), (2 * x * y + 255) / 510) << x << "," << y;
      ASSERT_EQ(Lerp(x, y, 0), x);
      ASSERT_EQ(Lerp(x, y, 255), y);
      const int mid = Lerp(x, y, 128);
      ASSERT_GE(mid, std::min(x, y));
      ASSERT_LE(mid, std::max(x, y));
      ASSERT_EQ(AlphaUnion(x, y), AlphaUnion(y, x));
      ASSERT_GE(AlphaUnion(x, y), std::max(x, y));
    }
    EXPECT_EQ(AlphaUnion(0, x), x);
    EXPECT_EQ(AlphaUnion(255, x), 255);
  }
}

TEST(SurfaceStorage, CreateAssignRelease) {
  Surface s;
  EXPECT_FALSE(s.Create(0, 4, 4));
  EXPECT_FALSE(s.Create(5, 4, 4));
  EXPECT_FALSE(s.Create(3, 0, 4));
  EXPECT_FALSE(s.Create(4, 16384, 16384));  // a gigabyte is never a picture
  EXPECT_FALSE(s.HasPixels());
  for (int bpp = 1; bpp <= 4; ++bpp) {
    ASSERT_TRUE(s.Create(bpp, 7, 3));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(s.pixels()) % 8, 0u);
    EXPECT_EQ(s.stride(), 7);
    EXPECT_EQ(s.ByteSize(), 21u * bpp);
  }
  Surface copy;
  std::memset(s.pixels(), 9, s.ByteSize());
  AssignSurface(copy, s);
  EXPECT_EQ(Bytes(copy), Bytes(s));
  EXPECT_EQ(copy.bytesPerPixel(), 4);
  AssignSurface(copy, copy);
  EXPECT_EQ(Bytes(copy), Bytes(s));
  Surface empty;
  AssignSurface(copy, empty);
  EXPECT_FALSE(copy.HasPixels());

  ImageSurface image;
  image.SetName("x.png");
  ASSERT_TRUE(image.Create(1, 1, 1));
  ReleaseSurface(image);
  EXPECT_TRUE(image.name().empty());
  EXPECT_EQ(image.width(), 0);
}

TEST(IsOpaqueAt, FormatsAndBounds) {
  const Surface grey = Make(1, 2, 1, {0, 0});
  const Surface colour = Make(3, 1, 1, {0, 0, 0});
  const Surface greyAlpha = Make(2, 2, 1, {0, 9, 1, 9});
  const Surface rgba = Make(4, 2, 1, {0, 9, 9, 9, 255, 0, 0, 0});
  EXPECT_TRUE(IsOpaqueAt(grey, 1, 0));
  EXPECT_TRUE(IsOpaqueAt(colour, 0, 0));
  EXPECT_FALSE(IsOpaqueAt(colour, 1, 0));
  EXPECT_FALSE(IsOpaqueAt(colour, -1, 0));
  EXPECT_FALSE(IsOpaqueAt(greyAlpha, 0, 0));
  EXPECT_TRUE(IsOpaqueAt(greyAlpha, 1, 0));
  EXPECT_FALSE(IsOpaqueAt(rgba, 0, 0));
  EXPECT_TRUE(IsOpaqueAt(rgba, 1, 0));
  EXPECT_FALSE(IsOpaqueAt(Surface(), 0, 0));
}

// One source pixel of each format over one destination pixel of each format,
// with the expected bytes worked out by hand from the formulas. Source colour
// (b, g, r) = (10, 20, 30) whose luma is 21, grey 40, alpha 128; destination
// colour (200, 100, 0), grey 200, alpha 64.
TEST(Blit, AllSixteenFormatPairs) {
  const std::vector<u8> sources[5] = {{}, {40}, {128, 40}, {10, 20, 30}, {128, 10, 20, 30}};
  const std::vector<u8> destinations[5] = {{}, {200}, {64, 200}, {200, 100, 0}, {64, 200, 100, 0}};
  const std::vector<u8> expected[5][5] = {
      {},
      {{}, {40}, {120}, {21}, {110}},
      {{}, {255, 40}, {160, 120}, {255, 21}, {160, 110}},
      {{}, {40, 40, 40}, {120, 70, 20}, {10, 20, 30}, {105, 60, 15}},
      {{}, {255, 40, 40, 40}, {160, 120, 70, 20}, {255, 10, 20, 30}, {160, 105, 60, 15}},
  };
  for (int d = 1; d <= 4; ++d) {
    for (int s = 1; s <= 4; ++s) {
      Surface dst = Make(d, 1, 1, destinations[d]);
      const Surface src = Make(s, 1, 1, sources[s]);
      ASSERT_TRUE(BlitAll(dst, src, 0, 0));
      EXPECT_EQ(Bytes(dst), expected[d][s]) << d << " <- " << s;
      // With full opacity the opacity draw is the same draw.
      Surface again = Make(d, 1, 1, destinations[d]);
      ASSERT_TRUE(BlitWithOpacity(again, src, 0, 0, 255));
      EXPECT_EQ(Bytes(again), expected[d][s]) << d << " <- " << s;
    }
  }
  Surface dst = Make(3, 1, 1, {1, 2, 3});
  EXPECT_FALSE(BlitAll(dst, Surface(), 0, 0));
  EXPECT_FALSE(BlitAll(*std::make_unique<Surface>(), dst, 0, 0));
}

TEST(Blit, AlphaExtremesOnColour) {
  Surface dst = Make(3, 2, 1, {1, 2, 3, 4, 5, 6});
  const Surface src = Make(4, 2, 1, {0, 90, 91, 92, 255, 70, 71, 72});
  ASSERT_TRUE(BlitAll(dst, src, 0, 0));
  EXPECT_EQ(Bytes(dst), (std::vector<u8>{1, 2, 3, 70, 71, 72}));
}

// A destination row of 0..n-1 markers makes the drawn columns visible.
TEST(Blit, Clipping) {
  Surface src;
  ASSERT_TRUE(src.Create(1, 100, 1));
  for (int i = 0; i < 100; ++i) src.pixels()[i] = static_cast<u8>(i);
  Surface dst;
  ASSERT_TRUE(dst.Create(1, 50, 1));
  std::memset(dst.pixels(), 255, 50);
  ASSERT_TRUE(BlitAll(dst, src, -10, 0));
  for (int i = 0; i < 50; ++i) EXPECT_EQ(dst.pixels()[i], i + 10);

  std::memset(dst.pixels(), 255, 50);
  // A negative source x moves the start right and shortens the width.
  ASSERT_TRUE(Blit(dst, src, 0, 0, 20, 1, -5, 0));
  for (int i = 0; i < 50; ++i) EXPECT_EQ(dst.pixels()[i], i >= 5 && i < 20 ? i - 5 : 255) << i;

  std::memset(dst.pixels(), 255, 50);
  ASSERT_TRUE(BlitAll(dst, src, 45, 0));  // only five columns fit
  for (int i = 0; i < 50; ++i) EXPECT_EQ(dst.pixels()[i], i >= 45 ? i - 45 : 255) << i;

  std::memset(dst.pixels(), 255, 50);
  EXPECT_TRUE(BlitAll(dst, src, 50, 0));
  EXPECT_TRUE(BlitAll(dst, src, -100, 0));
  EXPECT_TRUE(BlitAll(dst, src, 0, 1));
  EXPECT_TRUE(BlitAll(dst, src, 0, -1));
  EXPECT_TRUE(Blit(dst, src, 0, 0, -3, 1, 0, 0));
  EXPECT_TRUE(Blit(dst, src, 0, 0, 5, 1, 100, 0));
  EXPECT_TRUE(BlitAll(dst, src, INT32_MIN, INT32_MIN));
  EXPECT_TRUE(Blit(dst, src, INT32_MAX, 0, INT32_MAX, 1, INT32_MIN, 0));
  EXPECT_EQ(Bytes(dst), std::vector<u8>(50, 255));
}

TEST(Blit, TwoDimensionalClipUsesTheRightRows) {
  Surface src;
  ASSERT_TRUE(src.Create(3, 4, 4));
  for (std::size_t i = 0; i < src.ByteSize(); ++i) src.pixels()[i] = static_cast<u8>(i);
  Surface dst;
  ASSERT_TRUE(dst.Create(3, 3, 3));
  std::memset(dst.pixels(), 0, dst.ByteSize());
  ASSERT_TRUE(BlitAll(dst, src, -1, -2));
  // Destination (0, 0) shows source (1, 2); (2, 1) shows (3, 3).
  EXPECT_EQ(dst.Row(0)[0], (2 * 4 + 1) * 3);
  EXPECT_EQ(dst.Row(1)[6], (3 * 4 + 3) * 3);
  EXPECT_EQ(dst.Row(2)[0], 0);
}

TEST(BlitAnchored, AnchorCodes) {
  Surface src;
  ASSERT_TRUE(src.Create(1, 5, 3));
  const int expected[10][2] = {{10, 20}, {5, 20},  {8, 20}, {10, 17}, {5, 17},
                               {8, 17},  {10, 19}, {5, 19}, {8, 19},  {10, 20}};
  for (int anchor = 0; anchor < 10; ++anchor) {
    int x = 10, y = 20;
    ApplyAnchor(src, anchor, x, y);
    EXPECT_EQ(x, expected[anchor][0]) << anchor;
    EXPECT_EQ(y, expected[anchor][1]) << anchor;
  }
  // Anchor 5 puts the bottom centre at (x, y).
  Surface dst;
  ASSERT_TRUE(dst.Create(1, 9, 9));
  std::memset(dst.pixels(), 0, dst.ByteSize());
  std::memset(src.pixels(), 7, src.ByteSize());
  ASSERT_TRUE(BlitAnchored(dst, src, 4, 5, 5));
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x) EXPECT_EQ(dst.Row(y)[x], (x >= 2 && x < 7 && y >= 2 && y < 5) ? 7 : 0) << x << "," << y;
}

TEST(BlitWithOpacity, BlendsEveryPairAndUnitesAlpha) {
  Surface dst = Make(4, 1, 1, {64, 200, 100, 0});
  const Surface opaque = Make(3, 1, 1, {10, 20, 30});
  EXPECT_TRUE(BlitWithOpacity(dst, opaque, 0, 0, 0));
  EXPECT_EQ(Bytes(dst), (std::vector<u8>{64, 200, 100, 0}));
  ASSERT_TRUE(BlitWithOpacity(dst, opaque, 0, 0, 128));
  EXPECT_EQ(Bytes(dst), (std::vector<u8>{160, 105, 60, 15}));
  // A source alpha is scaled by the opacity: 255 · 128 / 255 = 128 again.
  Surface dst2 = Make(4, 1, 1, {64, 200, 100, 0});
  ASSERT_TRUE(BlitWithOpacity(dst2, Make(4, 1, 1, {255, 10, 20, 30}), 0, 0, 128));
  EXPECT_EQ(Bytes(dst2), (std::vector<u8>{160, 105, 60, 15}));
  // Grey onto grey, which a plain blit copies, moves halfway here.
  Surface grey = Make(1, 1, 1, {200});
  ASSERT_TRUE(BlitWithOpacity(grey, Make(1, 1, 1, {40}), 0, 0, 128));
  EXPECT_EQ(Bytes(grey), std::vector<u8>{120});
  EXPECT_FALSE(BlitWithOpacity(grey, Surface(), 0, 0, 128));
}

TEST(FillRect, FormatsClippingAndOpacity) {
  Surface colour = Make(3, 3, 1, {0, 0, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_TRUE(FillRect(colour, 30, 20, 10, -1, 0, 3, 5));
  EXPECT_EQ(Bytes(colour), (std::vector<u8>{10, 20, 30, 10, 20, 30, 0, 0, 0}));
  Surface grey = Make(2, 2, 1, {0, 0, 0, 0});
  ASSERT_TRUE(FillRect(grey, 30, 20, 10, 1, 0, 9, 9));
  EXPECT_EQ(Bytes(grey), (std::vector<u8>{0, 0, 255, 21}));
  Surface rgba = Make(4, 1, 1, {64, 200, 100, 0});
  EXPECT_TRUE(FillRectWithOpacity(rgba, 30, 20, 10, 0, 0, 1, 1, 0));
  ASSERT_TRUE(FillRectWithOpacity(rgba, 30, 20, 10, 0, 0, 1, 1, 128));
  EXPECT_EQ(Bytes(rgba), (std::vector<u8>{160, 105, 60, 15}));
  Surface one = Make(1, 1, 1, {200});
  ASSERT_TRUE(FillRectWithOpacity(one, 30, 20, 10, 0, 0, 1, 1, 300));
  EXPECT_EQ(Bytes(one), std::vector<u8>{21});
  EXPECT_TRUE(FillRect(one, 0, 0, 0, 1, 0, 1, 1));
  EXPECT_EQ(Bytes(one), std::vector<u8>{21});
  Surface empty;
  EXPECT_FALSE(FillRect(empty, 0, 0, 0, 0, 0, 1, 1));
}

TEST(ScreenBuffers, CopyAndFill) {
  ScreenBuffers screen;
  ASSERT_TRUE(screen.Create(5, 3));
  for (Surface* s : {&screen.FrontBuffer(), &screen.ComposedBuffer(), &screen.PreviousBuffer()}) {
    EXPECT_EQ(s->bytesPerPixel(), 3);
    EXPECT_EQ(s->width(), 5);
  }
  ASSERT_TRUE(FillScreen(screen.ComposedBuffer(), 3, 2, 1));
  ASSERT_TRUE(CopyScreen(screen.FrontBuffer(), screen.ComposedBuffer()));
  for (std::size_t i = 0; i < 45; ++i) EXPECT_EQ(screen.FrontBuffer().pixels()[i], 1 + i % 3) << i;
  Surface other;
  ASSERT_TRUE(other.Create(3, 4, 3));
  EXPECT_FALSE(CopyScreen(other, screen.FrontBuffer()));
  EXPECT_FALSE(CopyScreen(screen.FrontBuffer(), Surface()));
  screen.Release();
  EXPECT_FALSE(screen.FrontBuffer().HasPixels());
}

std::vector<u8> Numbered(int count) {
  std::vector<u8> v(count);
  for (int i = 0; i < count; ++i) v[i] = static_cast<u8>(i + 1);
  return v;
}

TEST(RotateBlit, TurnsAndScale) {
  const Surface src = Make(1, 3, 3, Numbered(9));
  Surface dst = Make(1, 3, 3, std::vector<u8>(9, 0));
  ASSERT_TRUE(RotateBlit(dst, src, 1, 1, 1, 1, 0.0, 1.0));
  EXPECT_EQ(Bytes(dst), Numbered(9));
  ASSERT_TRUE(RotateBlit(dst, src, 1, 1, 1, 1, 0.5, 0.0));  // a bad scale means 1
  EXPECT_EQ(Bytes(dst), (std::vector<u8>{9, 8, 7, 6, 5, 4, 3, 2, 1}));
  ASSERT_TRUE(RotateBlit(dst, src, 1, 1, 1, 1, 0.25, 1.0));
  // dst(x, y) = src(1 - (y - 1), 1 + (x - 1)).
  EXPECT_EQ(Bytes(dst), (std::vector<u8>{3, 6, 9, 2, 5, 8, 1, 4, 7}));

  // Twice the size: every source pixel becomes a 2 × 2 block.
  const Surface small = Make(1, 2, 2, {1, 2, 3, 4});
  Surface big = Make(1, 4, 4, std::vector<u8>(16, 0));
  ASSERT_TRUE(RotateBlit(big, small, 0, 0, 0, 0, 0.0, 2.0));
  EXPECT_EQ(Bytes(big), (std::vector<u8>{1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4}));

  // Pixels that map outside the source stay as they were.
  Surface wide = Make(1, 4, 1, {9, 9, 9, 9});
  ASSERT_TRUE(RotateBlit(wide, Make(1, 2, 1, {1, 2}), 0, 0, 0, 0, 0.0, 1.0));
  EXPECT_EQ(Bytes(wide), (std::vector<u8>{1, 2, 9, 9}));

  // Conversions: alpha source onto colour, colour onto grey; grey-alpha unsupported.
  Surface colour = Make(3, 1, 1, {200, 100, 0});
  ASSERT_TRUE(RotateBlit(colour, Make(4, 1, 1, {128, 10, 20, 30}), 0, 0, 0, 0, 0.0, 1.0));
  EXPECT_EQ(Bytes(colour), (std::vector<u8>{105, 60, 15}));
  Surface grey = Make(1, 1, 1, {0});
  ASSERT_TRUE(RotateBlit(grey, Make(3, 1, 1, {10, 20, 30}), 0, 0, 0, 0, 0.0, 1.0));
  EXPECT_EQ(Bytes(grey), std::vector<u8>{21});
  EXPECT_FALSE(RotateBlit(grey, Make(2, 1, 1, {1, 1}), 0, 0, 0, 0, 0.0, 1.0));
  EXPECT_TRUE(RotateBlit(grey, src, 0, 0, 0, 0, 0.0, 1e-300));  // absurd scales do not overflow
}

TEST(ScaleDown, AreaAverages) {
  // 4 × 2 → 2 × 1: each destination pixel averages a 2 × 2 block.
  Surface src = Make(3, 4, 2, std::vector<u8>(24, 0));
  const u8 values[8] = {10, 20, 30, 40, 50, 60, 70, 80};
  for (int i = 0; i < 8; ++i) std::memset(src.pixels() + i * 3, values[i], 3);
  Surface dst = Make(3, 2, 1, std::vector<u8>(6, 0));
  ASSERT_TRUE(ScaleDown(dst, src));
  EXPECT_EQ(Bytes(dst), (std::vector<u8>{35, 35, 35, 55, 55, 55}));

  // Same size is a copy; uneven ratios keep a uniform colour exact.
  Surface same = Make(3, 4, 2, std::vector<u8>(24, 0));
  ASSERT_TRUE(ScaleDown(same, src));
  EXPECT_EQ(Bytes(same), Bytes(src));
  Surface uniform;
  ASSERT_TRUE(uniform.Create(3, 53, 41));
  FillScreen(uniform, 200, 150, 7);
  for (auto [w, h] : {std::pair{7, 5}, {10, 10}, {52, 40}, {1, 1}, {3, 41}}) {
    Surface out;
    ASSERT_TRUE(out.Create(3, w, h));
    ASSERT_TRUE(ScaleDown(out, uniform));
    for (std::size_t i = 0; i < out.ByteSize(); i += 3)
      ASSERT_EQ((std::vector<u8>{out.pixels()[i], out.pixels()[i + 1], out.pixels()[i + 2]}),
                (std::vector<u8>{7, 150, 200}))
          << w << "x" << h;
  }
  Surface grey = Make(1, 1, 1, {0});
  EXPECT_FALSE(ScaleDown(grey, src));
  EXPECT_FALSE(ScaleDown(dst, Surface()));
}

}  // namespace
}  // namespace lyraban
