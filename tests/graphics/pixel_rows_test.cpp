#include "graphics/pixel_rows.h"

#include "graphics/blend.h"
#include "graphics/blend_bytes.h"
#include "graphics/pixel.h"
#include "surface_helpers.h"

namespace lyraban {
namespace {

using namespace gfxtest;

constexpr PixelPath kPaths[] = {PixelPath::Scalar, PixelPath::Vector};

// The alpha draw, pixel by pixel from the formulas.
Bytes ReferenceBlitAlpha(Bytes dst, const Bytes& src, int opacity) {
  for (std::size_t i = 0; i * 3 < dst.size(); ++i) {
    const int a = Mul255(src[i * 4], opacity);
    for (int c = 0; c < 3; ++c) dst[i * 3 + c] = static_cast<u8>(Lerp(dst[i * 3 + c], src[i * 4 + 1 + c], a));
  }
  return dst;
}

Bytes RandomBytes(std::size_t size, std::mt19937& random) {
  Bytes bytes(size);
  for (u8& b : bytes) b = static_cast<u8>(random());
  return bytes;
}

// Every row length around the vector steps, with clear, opaque and partial
// alpha, at full and partial opacity: both paths give the formulas' bytes
// and leave the byte after the row alone.
TEST(PixelRows, AlphaDrawMatchesTheFormulaOnEveryPath) {
  std::mt19937 random(7);
  for (int pixels = 0; pixels <= 40; ++pixels) {
    for (int opacity : {255, 1, 77, 128, 254}) {
      Bytes src = RandomBytes(static_cast<std::size_t>(pixels) * 4, random);
      for (int i = 0; i < pixels; i += 3) src[static_cast<std::size_t>(i) * 4] = i % 2 ? 0 : 255;
      // Runs of clear, opaque and mixed pixels, as pictures have them.
      if (pixels % 2)
        for (int i = 0; i < pixels; ++i)
          if (const int run = (i / 5 + pixels) % 3; run < 2) src[static_cast<std::size_t>(i) * 4] = run ? 255 : 0;
      const Bytes dst = RandomBytes(static_cast<std::size_t>(pixels) * 3, random);
      const Bytes want = ReferenceBlitAlpha(dst, src, opacity);
      for (PixelPath path : kPaths) {
        Bytes got = dst;
        got.push_back(0x5A);
        ASSERT_TRUE(BlitAlphaRowWith(path, got.data(), src.data(), pixels, opacity)) << "no SSSE3 on this machine";
        EXPECT_EQ(got.back(), 0x5A) << "wrote past the row of " << pixels;
        got.pop_back();
        ASSERT_EQ(got, want) << pixels << " pixels at opacity " << opacity << " path " << int(path);
      }
    }
  }
}

// Fills of every pixel size with an alpha byte or none; lengths cover the
// 48-byte step and its tails.
TEST(PixelRows, FadeFillMatchesTheFormulaOnEveryPath) {
  std::mt19937 random(11);
  const u8 value[4] = {255, 30, 140, 250};
  for (int bpp = 1; bpp <= 4; ++bpp) {
    const int first = bpp % 2 == 0 ? 1 : 0;
    for (int pixels : {0, 1, 15, 16, 17, 24, 47, 48, 49, 100}) {
      for (int opacity : {1, 127, 254}) {
        const Bytes row = RandomBytes(static_cast<std::size_t>(pixels) * bpp, random);
        Bytes want = row;
        for (std::size_t i = 0; i < want.size(); ++i) {
          const int c = static_cast<int>(i % bpp);
          want[i] = static_cast<u8>(c < first ? AlphaUnion(opacity, want[i]) : Lerp(want[i], value[c], opacity));
        }
        for (PixelPath path : kPaths) {
          Bytes got = row;
          got.push_back(0x5A);
          ASSERT_TRUE(FillRowWith(path, got.data(), pixels, bpp, value, first, opacity));
          EXPECT_EQ(got.back(), 0x5A) << "wrote past the row of " << pixels;
          got.pop_back();
          ASSERT_EQ(got, want) << bpp << " bytes, " << pixels << " pixels, opacity " << opacity << " path "
                               << int(path);
        }
      }
    }
  }
}

// Through the drawing calls: a clipped draw (rows shorter than the
// surfaces) of wide pictures lands exactly as the formulas say, with or
// without an opacity.
TEST(PixelRows, ClippedWideDrawsMatchTheFormulas) {
  std::mt19937 random(3);
  const Surface actor = RandomSurface(4, 45, 6, random), plain = RandomSurface(3, 45, 6, random);
  for (int opacity : {255, 90}) {
    const Surface base = RandomSurface(3, 40, 5, random);
    Surface drawn = Make(3, 40, 5, BytesOf(base)), faded = Make(3, 40, 5, BytesOf(base));
    ASSERT_TRUE(BlitWithOpacity(drawn, actor, -3, -1, opacity));
    ASSERT_TRUE(BlitWithOpacity(faded, plain, 2, 1, opacity));
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 40; ++x)
        for (int c = 0; c < 3; ++c) {
          const int d = base.Row(y)[x * 3 + c];
          int want = d;
          if (y + 1 < 6 && x + 3 < 45) {
            const u8* s = actor.Row(y + 1) + (x + 3) * 4;
            want = Lerp(d, s[1 + c], Mul255(s[0], opacity));
          }
          ASSERT_EQ(drawn.Row(y)[x * 3 + c], want) << "alpha draw at " << x << "," << y << " opacity " << opacity;
          want = d;
          if (y >= 1 && x >= 2)
            want = opacity == 255 ? plain.Row(y - 1)[(x - 2) * 3 + c]
                                  : Lerp(d, plain.Row(y - 1)[(x - 2) * 3 + c], opacity);
          ASSERT_EQ(faded.Row(y)[x * 3 + c], want) << "plain draw at " << x << "," << y << " opacity " << opacity;
        }
  }
}

// A picture drawn onto itself, a few pixels along: each byte reads what the
// bytes before it left, on the screen's wide rows as on narrow ones.
TEST(PixelRows, APictureFadedOntoItselfReadsWhatItWrote) {
  std::mt19937 random(17);
  const Surface original = RandomSurface(3, 40, 3, random);
  for (int opacity : {90, 255}) {
    Surface surface = Make(3, 40, 3, BytesOf(original));
    Bytes want = BytesOf(original);
    for (int y = 0; y < 3; ++y)
      for (int x = 2; x < 40; ++x)
        for (int c = 0; c < 3; ++c) {
          const std::size_t at = (static_cast<std::size_t>(y) * 40 + x) * 3 + c, from = at - 6;
          want[at] = static_cast<u8>(Lerp(want[at], BlendChannel(BlendMode::Screen, want[at], want[from]), opacity));
        }
    ASSERT_TRUE(BlendWithOpacity(surface, surface, BlendMode::Screen, 2, 0, 38, 3, 0, 0, opacity));
    EXPECT_EQ(BytesOf(surface), want) << "opacity " << opacity;
  }
}

}  // namespace
}  // namespace lyraban
