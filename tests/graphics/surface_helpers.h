#pragma once
// Small builders shared by the graphics tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "graphics/png.h"
#include "graphics/surface.h"

namespace lyraban::gfxtest {

using Bytes = std::vector<u8>;

inline Bytes BytesOf(const Surface& s) { return Bytes(s.pixels(), s.pixels() + s.ByteSize()); }

// A surface holding `bytes` in memory order, or every pixel set to one pixel's
// bytes when `bytes` holds exactly one.
inline Surface Make(int bpp, int w, int h, const Bytes& bytes) {
  Surface s;
  EXPECT_TRUE(s.Create(bpp, w, h));
  const bool solid = bytes.size() == static_cast<std::size_t>(bpp);
  EXPECT_TRUE(solid || bytes.size() == s.ByteSize()) << "wrong byte count for a " << w << "x" << h << " surface";
  for (std::size_t i = 0; i < s.ByteSize(); ++i) s.pixels()[i] = bytes.at(solid ? i % bpp : i);  // throws if short
  return s;
}

// A 3-byte picture with three equal bytes per value: grey.
inline Bytes Grey3(const Bytes& values) {
  Bytes out;
  for (u8 v : values) out.insert(out.end(), 3, v);
  return out;
}

// Random bytes; alpha images also get fully transparent and opaque pixels.
inline Surface RandomSurface(int bpp, int w, int h, std::mt19937& random) {
  Surface s = Make(bpp, w, h, Bytes(bpp, 0));
  for (std::size_t i = 0; i < s.ByteSize(); ++i) s.pixels()[i] = static_cast<u8>(random());
  for (std::size_t i = 0; bpp == 4 && i < s.ByteSize(); i += 12) s.pixels()[i] = (i / 12) % 2 ? 0 : 255;
  return s;
}

inline std::string PngOf(const Surface& s) {
  std::string bytes;
  EXPECT_TRUE(EncodePng(s, bytes));
  return bytes;
}

}  // namespace lyraban::gfxtest
