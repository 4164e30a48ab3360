#include "graphics/blend.h"

#include "graphics/blend_bytes.h"
#include "graphics/pixel.h"
#include "surface_helpers.h"

namespace lyraban {
namespace {

using namespace gfxtest;
using M = BlendMode;

// Formulas at their extremes stay bytes; modes and formats without loops fail.
TEST(BlendModes, FormulasExtremesAndUnsupportedModes) {
  struct Case {
    M mode;
    int d, s, want;
  } cases[] = {
      {M::Add, 100, 200, 255},     {M::Sub, 100, 200, 0},    {M::Multi, 77, 255, 77},
      {M::Multi, 77, 0, 0},        {M::Screen, 77, 0, 77},   {M::Screen, 77, 255, 255},
      {M::Dodge, 0, 255, 0},       {M::Dodge, 1, 255, 255},  {M::Dodge, 100, 128, 200},
      {M::Burn, 254, 0, 0},        {M::Burn, 255, 0, 255},   {M::Hardlight, 255, 255, 254},
      {M::Hardlight, 200, 0, 0},   {M::Exclusion, 0, 0, 1},  {M::Exclusion, 0, 255, 254},
      {M::Darken, 90, 40, 40},     {M::Lighten, 90, 40, 90}, {M::Difference, 40, 90, 50},
      {M::Normal, 40, 90, 90},     {M::Overlay, 0, 255, 0},  {M::Overlay, 255, 0, 255},
      {M::Softlight, 255, 0, 255}, {M::Div, 1, 1, -1},       {M::None, 1, 1, -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(BlendChannel(c.mode, c.d, c.s), c.want) << int(c.mode) << ": " << c.d << "," << c.s;
  for (int mode = 1; mode <= 15; ++mode) {
    if (mode == 5) continue;
    for (int d = 0; d < 256; ++d)
      for (int s = 0; s < 256; ++s) {
        const int r = BlendChannel(static_cast<M>(mode), d, s);
        ASSERT_TRUE(r >= 0 && r <= 255) << mode << ": " << d << "," << s << " -> " << r;
      }
  }
  Surface dst = Make(3, 2, 2, {5, 5, 5}), src = Make(3, 2, 2, {9, 9, 9}), greyAlpha = Make(2, 2, 2, {0, 0});
  for (int mode : {0, 5, 16, 255}) EXPECT_FALSE(BlendAll(dst, src, static_cast<M>(mode), 0, 0, 255)) << mode;
  EXPECT_FALSE(BlendAll(dst, greyAlpha, M::Add, 0, 0, 255) || BlendAll(greyAlpha, src, M::Add, 0, 0, 255) ||
               BlendAll(dst, Surface(), M::Add, 0, 0, 255));
  // Opacity 0 and a wholly clipped draw succeed without drawing.
  EXPECT_TRUE(BlendAll(dst, src, M::Add, 0, 0, 0) && BlendAll(dst, src, M::Add, 2, 0, 255));
  EXPECT_EQ(BytesOf(dst), Bytes(12, 5));
}

// Per-pixel reference written straight from the family table: source value,
// effective alpha, prescaled or faded result, alpha byte untouched.
void ReferenceBlend(Surface& dst, const Surface& src, M mode, int x, int y, int opacity) {
  const int db = dst.bytesPerPixel(), sb = src.bytesPerPixel();
  const bool prescale = mode == M::Add || mode == M::Sub || mode == M::Dodge || mode == M::Difference;
  for (int sy = 0; sy < src.height(); ++sy) {
    for (int sx = 0; sx < src.width(); ++sx) {
      const int dx = x + sx, dy = y + sy;
      if (dx < 0 || dy < 0 || dx >= dst.width() || dy >= dst.height()) continue;
      const u8* s = src.Row(sy) + sx * sb;
      u8* d = dst.Row(dy) + dx * db;
      const int a = Mul255(opacity, sb == 4 ? s[0] : 255);
      for (int c = 0; c < (db == 1 ? 1 : 3); ++c) {
        const int value = sb == 1 ? s[0] : db == 1 ? Luma(s[sb - 3], s[sb - 2], s[sb - 1]) : s[sb - 3 + c];
        u8& out = d[db == 1 ? 0 : db - 3 + c];
        const bool plain = opacity == 255 && sb != 4;
        out = static_cast<u8>(plain      ? BlendChannel(mode, out, value)
                              : prescale ? BlendChannel(mode, out, Mul255(value, a))
                                         : Lerp(out, BlendChannel(mode, out, value), a));
      }
    }
  }
}

TEST(BlendFamilies, AllEighteenMatchTheReference) {
  std::mt19937 random(2024);
  for (int db : {1, 3, 4}) {
    for (int sb : {1, 3, 4}) {
      for (int mode = 1; mode <= 15; ++mode) {
        if (mode == 5) continue;
        for (int opacity : {255, 1, 100, 254}) {
          const Surface src = RandomSurface(sb, 9, 7, random), base = RandomSurface(db, 8, 6, random);
          Surface fast = Make(db, 8, 6, BytesOf(base)), reference = Make(db, 8, 6, BytesOf(base));
          const int x = static_cast<int>(random() % 7) - 3, y = static_cast<int>(random() % 5) - 2;
          ASSERT_TRUE(BlendAll(fast, src, static_cast<M>(mode), x, y, opacity));
          ReferenceBlend(reference, src, static_cast<M>(mode), x, y, opacity);
          ASSERT_EQ(BytesOf(fast), BytesOf(reference))
              << db << " <- " << sb << " mode " << mode << " opacity " << opacity << " at " << x << "," << y;
          for (std::size_t i = 0; db == 4 && i < fast.ByteSize(); i += 4) ASSERT_EQ(fast.pixels()[i], base.pixels()[i]);
        }
      }
    }
  }
}

// Every destination and source byte pair, in every mode and at opacities
// that exercise each rounding path, gives the same byte on every path as the
// formula does; odd lengths leave tails for the scalar code.
TEST(BlendPaths, EveryBytePairMatchesTheFormula) {
  std::vector<u8> dst0, src;
  for (int d = 0; d < 256; ++d)
    for (int s = 0; s < 256; ++s) dst0.push_back(static_cast<u8>(d)), src.push_back(static_cast<u8>(s));
  dst0.push_back(7), src.push_back(250);  // one byte past a multiple of 16
  for (int mode = 1; mode <= 15; ++mode) {
    if (mode == 5) continue;
    const M m = static_cast<M>(mode);
    const bool prescale = m == M::Add || m == M::Sub || m == M::Dodge || m == M::Difference;
    for (int opacity : {255, 1, 2, 100, 128, 200, 254}) {
      for (PixelPath path : {PixelPath::Scalar, PixelPath::Vector}) {
        std::vector<u8> dst = dst0;
        if (!BlendBytesWith(path, m, dst.data(), src.data(), dst.size(), opacity)) {
          EXPECT_EQ(path, PixelPath::Vector) << "the scalar path always runs";
          continue;
        }
        for (std::size_t i = 0; i < dst.size(); ++i) {
          const int d = dst0[i], s = src[i];
          const int want = opacity == 255 ? BlendChannel(m, d, s)
                           : prescale     ? BlendChannel(m, d, Mul255(s, opacity))
                                          : Lerp(d, BlendChannel(m, d, s), opacity);
          ASSERT_EQ(dst[i], want) << "mode " << mode << " opacity " << opacity << " path " << int(path) << " d " << d
                                  << " s " << s;
        }
      }
    }
  }
  std::vector<u8> one = {1};
  EXPECT_FALSE(BlendBytesWith(PixelPath::Scalar, M::Div, one.data(), one.data(), 1, 255));
}

}  // namespace
}  // namespace lyraban
