#include "graphics/pixel_rows.h"

#include <cstring>

#include "graphics/blend_ops.h"
#include "graphics/pixel.h"

#ifdef LYRABAN_BLEND_SSE2
#include <tmmintrin.h>
#endif

namespace lyraban {
namespace {

void BlitAlphaScalar(u8* d, const u8* s, int pixels, int opacity) {
  for (int i = 0; i < pixels; ++i, d += 3, s += 4) {
    const int a = opacity >= 255 ? s[0] : Mul255(s[0], opacity);
    // Clear pixels leave the destination as it is.
    if (a == 0) continue;
    for (int c = 0; c < 3; ++c) d[c] = static_cast<u8>(Lerp(d[c], s[1 + c], a));
  }
}

void FillScalar(u8* p, int pixels, int bpp, const u8* value, int first, int opacity) {
  for (int i = 0; i < pixels; ++i, p += bpp) {
    if (first == 1) p[0] = static_cast<u8>(AlphaUnion(opacity, p[0]));
    for (int c = first; c < bpp; ++c) p[c] = static_cast<u8>(Lerp(p[c], value[c], opacity));
  }
}

#ifdef LYRABAN_BLEND_SSE2
using namespace blendops;

// Writes the low 12 bytes of v: four colour pixels. A 16-byte store would
// overlap the next step's load, which then waits for the store to land.
inline void Store12(u8* d, __m128i v) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(d), v);
  const int last = _mm_cvtsi128_si32(_mm_srli_si128(v, 8));
  std::memcpy(d + 8, &last, 4);
}

// Four pixels per step: the source's colour and alpha bytes are shuffled
// into the destination's 12-byte layout. The destination is read 16 bytes
// at a time, so six pixels must remain. Returns the pixels done.
__attribute__((target("ssse3"))) int BlitAlphaSsse3(u8* d, const u8* s, int pixels, int opacity) {
  const __m128i colourOrder = _mm_setr_epi8(1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14, 15, -1, -1, -1, -1);
  const __m128i alphaOrder = _mm_setr_epi8(0, 0, 0, 4, 4, 4, 8, 8, 8, 12, 12, 12, -1, -1, -1, -1);
  const __m128i zero = _mm_setzero_si128();
  const V scale = Splat(opacity);
  const __m128i alphaBytes = _mm_set1_epi32(0xFF);
  int i = 0;
  for (; (i + 6) <= pixels; i += 4, d += 12, s += 16) {
    const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    // Pictures are mostly clear around their shapes and opaque inside:
    // clear pixels change nothing, opaque ones (at full opacity) are their
    // own colour, as Lerp by 0 and by 255 give.
    const __m128i alpha32 = _mm_and_si128(sv, alphaBytes);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(alpha32, _mm_setzero_si128())) == 0xFFFF) continue;
    const __m128i colour = _mm_shuffle_epi8(sv, colourOrder);
    if (opacity >= 255 && _mm_movemask_epi8(_mm_cmpeq_epi32(alpha32, alphaBytes)) == 0xFFFF) {
      Store12(d, colour);
      continue;
    }
    const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
    const __m128i alpha = _mm_shuffle_epi8(sv, alphaOrder);
    V aLo = _mm_unpacklo_epi8(alpha, zero), aHi = _mm_unpackhi_epi8(alpha, zero);
    if (opacity < 255) aLo = Mul255V(aLo, scale), aHi = Mul255V(aHi, scale);
    const V lo = LerpV(_mm_unpacklo_epi8(dv, zero), _mm_unpacklo_epi8(colour, zero), aLo);
    const V hi = LerpV(_mm_unpackhi_epi8(dv, zero), _mm_unpackhi_epi8(colour, zero), aHi);
    Store12(d, _mm_packus_epi16(lo, hi));
  }
  return i;
}

// 48 bytes per step: a whole number of pixels of every size, so one set of
// per-byte targets and alpha masks serves every step. Returns the pixels
// done.
int FillSse2(u8* p, int pixels, int bpp, const u8* value, int first, int opacity) {
  alignas(16) u16 target[48], alphaMask[48];
  for (int k = 0; k < 48; ++k) {
    target[k] = value[k % bpp];
    alphaMask[k] = k % bpp < first ? 0xFFFF : 0;
  }
  const int step = 48 / bpp;
  const V zero = _mm_setzero_si128();
  const V a = Splat(opacity);
  int i = 0;
  for (; i + step <= pixels; i += step, p += 48) {
    for (int part = 0; part < 3; ++part) {
      u8* q = p + part * 16;
      const __m128i pv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
      V half[2] = {_mm_unpacklo_epi8(pv, zero), _mm_unpackhi_epi8(pv, zero)};
      for (int h = 0; h < 2; ++h) {
        const int k = part * 16 + h * 8;
        const V t = _mm_load_si128(reinterpret_cast<const __m128i*>(target + k));
        const V m = _mm_load_si128(reinterpret_cast<const __m128i*>(alphaMask + k));
        const V united = _mm_sub_epi16(_mm_add_epi16(a, half[h]), Mul255V(a, half[h]));
        half[h] = Select(m, united, LerpV(half[h], t, a));
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm_packus_epi16(half[0], half[1]));
    }
  }
  return i;
}

bool HasSsse3() { return __builtin_cpu_supports("ssse3"); }
#endif

}  // namespace

bool BlitAlphaRowWith(PixelPath path, u8* dst, const u8* src, int pixels, int opacity) {
  int done = 0;
  if (path == PixelPath::Vector) {
#ifdef LYRABAN_BLEND_SSE2
    if (!HasSsse3()) return false;
    done = BlitAlphaSsse3(dst, src, pixels, opacity);
#else
    return false;
#endif
  }
  BlitAlphaScalar(dst + done * 3, src + done * 4, pixels - done, opacity);
  return true;
}

void BlitAlphaRow(u8* dst, const u8* src, int pixels, int opacity) {
  if (!BlitAlphaRowWith(PixelPath::Vector, dst, src, pixels, opacity))
    BlitAlphaRowWith(PixelPath::Scalar, dst, src, pixels, opacity);
}

bool FillRowWith(PixelPath path, u8* row, int pixels, int bytesPerPixel, const u8* value, int firstColour,
                 int opacity) {
  int done = 0;
  if (path == PixelPath::Vector) {
#ifdef LYRABAN_BLEND_SSE2
    done = FillSse2(row, pixels, bytesPerPixel, value, firstColour, opacity);
#else
    return false;
#endif
  }
  FillScalar(row + static_cast<std::size_t>(done) * bytesPerPixel, pixels - done, bytesPerPixel, value, firstColour,
             opacity);
  return true;
}

void FillRow(u8* row, int pixels, int bytesPerPixel, const u8* value, int firstColour, int opacity) {
  if (!FillRowWith(PixelPath::Vector, row, pixels, bytesPerPixel, value, firstColour, opacity))
    FillRowWith(PixelPath::Scalar, row, pixels, bytesPerPixel, value, firstColour, opacity);
}

}  // namespace lyraban
