#include "graphics/blend.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "graphics/pixel.h"

namespace lyraban {
namespace {

using M = BlendMode;

// Destination byte d under source byte s, through the 3 ← 3 opaque family.
int BlendOne(BlendMode mode, int d, int s) {
  Surface dst, src;
  dst.Create(3, 1, 1);
  src.Create(3, 1, 1);
  std::memset(dst.pixels(), d, 3);
  std::memset(src.pixels(), s, 3);
  EXPECT_TRUE(Blend(dst, src, mode, 0, 0, 1, 1, 0, 0));
  return dst.pixels()[0];
}

TEST(BlendModes, Extremes) {
  EXPECT_EQ(BlendOne(M::Add, 100, 200), 255);
  EXPECT_EQ(BlendOne(M::Sub, 100, 200), 0);
  EXPECT_EQ(BlendOne(M::Multi, 77, 255), 77);
  EXPECT_EQ(BlendOne(M::Multi, 77, 0), 0);
  EXPECT_EQ(BlendOne(M::Screen, 77, 0), 77);
  EXPECT_EQ(BlendOne(M::Screen, 77, 255), 255);
  EXPECT_EQ(BlendOne(M::Dodge, 0, 255), 0);
  EXPECT_EQ(BlendOne(M::Dodge, 1, 255), 255);
  EXPECT_EQ(BlendOne(M::Dodge, 100, 128), 200);
  EXPECT_EQ(BlendOne(M::Burn, 254, 0), 0);
  EXPECT_EQ(BlendOne(M::Burn, 255, 0), 255);
  EXPECT_EQ(BlendOne(M::Hardlight, 255, 255), 254);
  EXPECT_EQ(BlendOne(M::Hardlight, 200, 0), 0);
  EXPECT_EQ(BlendOne(M::Exclusion, 0, 0), 1);
  EXPECT_EQ(BlendOne(M::Exclusion, 0, 255), 254);
  EXPECT_EQ(BlendOne(M::Darken, 90, 40), 40);
  EXPECT_EQ(BlendOne(M::Lighten, 90, 40), 90);
  EXPECT_EQ(BlendOne(M::Difference, 40, 90), 50);
  EXPECT_EQ(BlendOne(M::Normal, 40, 90), 90);
  EXPECT_EQ(BlendOne(M::Overlay, 0, 255), 0);
  EXPECT_EQ(BlendOne(M::Overlay, 255, 0), 255);
  EXPECT_EQ(BlendOne(M::Softlight, 255, 0), 255);
  // Every mode's result is a byte for every input pair.
  for (int mode = 1; mode <= 15; ++mode) {
    if (mode == 5) continue;
    for (int d = 0; d < 256; ++d)
      for (int s = 0; s < 256; ++s) {
        const int r = BlendChannel(static_cast<M>(mode), d, s);
        ASSERT_TRUE(r >= 0 && r <= 255) << mode << ": " << d << "," << s << " -> " << r;
      }
  }
}

TEST(BlendModes, KeywordsIgnoreCase) {
  EXPECT_EQ(BlendModeFromKeyword("softlight"), M::Softlight);
  EXPECT_EQ(BlendModeFromKeyword("DIV"), M::Div);
  EXPECT_EQ(BlendModeFromKeyword("Normal"), M::Normal);
  EXPECT_FALSE(BlendModeFromKeyword("Soft").has_value());
  EXPECT_FALSE(BlendModeFromKeyword("").has_value());
}

TEST(BlendModes, ModesAndFormatsWithoutLoopsFail) {
  Surface dst, src, greyAlpha;
  dst.Create(3, 2, 2);
  src.Create(3, 2, 2);
  greyAlpha.Create(2, 2, 2);
  std::memset(dst.pixels(), 5, dst.ByteSize());
  std::memset(src.pixels(), 9, src.ByteSize());
  for (int mode : {0, 5, 16, 255}) EXPECT_FALSE(BlendAll(dst, src, static_cast<M>(mode), 0, 0, 255)) << mode;
  EXPECT_FALSE(BlendAll(dst, greyAlpha, M::Add, 0, 0, 255));
  EXPECT_FALSE(BlendAll(greyAlpha, src, M::Add, 0, 0, 255));
  EXPECT_FALSE(BlendAll(dst, Surface(), M::Add, 0, 0, 255));
  EXPECT_EQ(std::vector<u8>(dst.pixels(), dst.pixels() + 12), std::vector<u8>(12, 5));
  // Opacity 0 and a wholly clipped draw succeed without drawing.
  EXPECT_TRUE(BlendAll(dst, src, M::Add, 0, 0, 0));
  EXPECT_TRUE(BlendAll(dst, src, M::Add, 2, 0, 255));
  EXPECT_EQ(std::vector<u8>(dst.pixels(), dst.pixels() + 12), std::vector<u8>(12, 5));
}

// Per-pixel reference written straight from the family table: source value,
// effective alpha, prescaled or faded result, alpha byte untouched.
void ReferenceBlend(Surface& dst, const Surface& src, M mode, int x, int y, int opacity) {
  const int db = dst.bytesPerPixel(), sb = src.bytesPerPixel();
  for (int sy = 0; sy < src.height(); ++sy) {
    for (int sx = 0; sx < src.width(); ++sx) {
      const int dx = x + sx, dy = y + sy;
      if (dx < 0 || dy < 0 || dx >= dst.width() || dy >= dst.height()) continue;
      const u8* s = src.Row(sy) + sx * sb;
      u8* d = dst.Row(dy) + dx * db;
      bool hasAlpha = opacity < 255 || sb == 4;
      int a = sb == 4 ? s[0] : 255;
      if (opacity < 255) a = Mul255(opacity, a);
      for (int c = 0; c < (db == 1 ? 1 : 3); ++c) {
        int value;
        if (db == 1)
          value = sb == 1 ? s[0] : Luma(s[sb - 3], s[sb - 2], s[sb - 1]);
        else
          value = sb == 1 ? s[0] : s[sb - 3 + c];
        u8& out = d[db == 1 ? 0 : db - 3 + c];
        if (!hasAlpha) {
          out = static_cast<u8>(BlendChannel(mode, out, value));
        } else if (mode == M::Add || mode == M::Sub || mode == M::Dodge || mode == M::Difference) {
          out = static_cast<u8>(BlendChannel(mode, out, Mul255(value, a)));
        } else {
          out = static_cast<u8>(Lerp(out, BlendChannel(mode, out, value), a));
        }
      }
    }
  }
}

Surface RandomSurface(int bpp, int w, int h, std::mt19937& random) {
  Surface s;
  s.Create(bpp, w, h);
  for (std::size_t i = 0; i < s.ByteSize(); ++i) s.pixels()[i] = static_cast<u8>(random());
  // Some fully transparent and fully opaque pixels in every alpha image.
  if (bpp == 4)
    for (std::size_t i = 0; i < s.ByteSize(); i += 4 * 3) s.pixels()[i] = (i / 12) % 2 ? 0 : 255;
  return s;
}

TEST(BlendFamilies, AllEighteenMatchTheReference) {
  std::mt19937 random(2024);
  for (int db : {1, 3, 4}) {
    for (int sb : {1, 3, 4}) {
      for (int mode = 1; mode <= 15; ++mode) {
        if (mode == 5) continue;
        for (int opacity : {255, 1, 100, 254}) {
          const Surface src = RandomSurface(sb, 9, 7, random);
          const Surface base = RandomSurface(db, 8, 6, random);
          Surface fast, reference;
          AssignSurface(fast, base);
          AssignSurface(reference, base);
          const int x = static_cast<int>(random() % 7) - 3, y = static_cast<int>(random() % 5) - 2;
          ASSERT_TRUE(BlendAll(fast, src, static_cast<M>(mode), x, y, opacity));
          ReferenceBlend(reference, src, static_cast<M>(mode), x, y, opacity);
          ASSERT_EQ(std::vector<u8>(fast.pixels(), fast.pixels() + fast.ByteSize()),
                    std::vector<u8>(reference.pixels(), reference.pixels() + reference.ByteSize()))
              << db << " <- " << sb << " mode " << mode << " opacity " << opacity << " at " << x << "," << y;
          if (db == 4) {
            for (std::size_t i = 0; i < fast.ByteSize(); i += 4) ASSERT_EQ(fast.pixels()[i], base.pixels()[i]);
          }
        }
      }
    }
  }
}

TEST(BlendFamilies, TransparentSourceChangesNothing) {
  Surface src, dst;
  src.Create(4, 2, 2);
  dst.Create(3, 2, 2);
  for (std::size_t i = 0; i < src.ByteSize(); ++i) src.pixels()[i] = i % 4 == 0 ? 0 : static_cast<u8>(i * 37);
  for (std::size_t i = 0; i < dst.ByteSize(); ++i) dst.pixels()[i] = static_cast<u8>(i * 11);
  const std::vector<u8> before(dst.pixels(), dst.pixels() + dst.ByteSize());
  for (int mode = 1; mode <= 15; ++mode) {
    if (mode == 5) continue;
    ASSERT_TRUE(BlendAll(dst, src, static_cast<M>(mode), 0, 0, 255));
    ASSERT_TRUE(BlendAll(dst, src, static_cast<M>(mode), 0, 0, 77));
    EXPECT_EQ(std::vector<u8>(dst.pixels(), dst.pixels() + dst.ByteSize()), before) << mode;
  }
}

TEST(BlendFamilies, PartlyOutsideIsClippedLikeBlit) {
  Surface dst, src;
  dst.Create(1, 4, 1);
  src.Create(1, 3, 1);
  std::memset(dst.pixels(), 10, 4);
  const u8 values[3] = {1, 2, 3};
  std::memcpy(src.pixels(), values, 3);
  ASSERT_TRUE(Blend(dst, src, M::Add, -1, 0, 3, 1, 0, 0));
  EXPECT_EQ(std::vector<u8>(dst.pixels(), dst.pixels() + 4), (std::vector<u8>{12, 13, 10, 10}));
  ASSERT_TRUE(Blend(dst, src, M::Add, 2, 0, 3, 1, -1, 0));
  EXPECT_EQ(std::vector<u8>(dst.pixels(), dst.pixels() + 4), (std::vector<u8>{12, 13, 10, 11}));
}

}  // namespace
}  // namespace lyraban
