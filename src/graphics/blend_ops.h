#pragma once
// The blend modes' formulas, once per byte (F) and, where the processor has
// them, once per eight 16-bit lanes (V). Every intermediate of V stays within
// 0..65535 for byte inputs, so the lanes give exactly the bytes F gives.
#include <algorithm>
#include <cstdlib>

#include "graphics/pixel.h"

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#define LYRABAN_BLEND_SSE2 1
#endif

namespace lyraban::blendops {

#ifdef LYRABAN_BLEND_SSE2
using V = __m128i;

inline V Splat(int value) { return _mm_set1_epi16(static_cast<short>(value)); }

// Mul255 per lane. For v = x·y + 128 below 65536, (v + (v >> 8)) >> 8 is
// the high half of v·257.
inline V Mul255V(V x, V y) { return _mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(x, y), Splat(128)), Splat(257)); }

inline V Invert(V x) { return _mm_sub_epi16(Splat(255), x); }

// Lerp per lane. The scalar form rounds a signed product with arithmetic
// shifts; split by the sign of s − d, each half is an unsigned product:
// upward it is Mul255, downward the ceiling-rounded mirror of it: the same
// (v + (v >> 8)) >> 8 step on v = (d − s)·a − 128 + 255 (at least 255, below
// 65536), taken as the high half of v·257.
inline V LerpV(V d, V s, V a) {
  const V up = Mul255V(_mm_subs_epu16(s, d), a);
  const V w = _mm_subs_epu16(_mm_mullo_epi16(_mm_subs_epu16(d, s), a), Splat(128));
  const V down = _mm_mulhi_epu16(_mm_add_epi16(w, Splat(255)), Splat(257));
  return _mm_sub_epi16(_mm_add_epi16(d, up), down);
}

// Lanes where `mask` is set take `a`, the others `b`.
inline V Select(V mask, V a, V b) { return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b)); }

// floor(n / q) per lane for n below 2^16 and q in 1..256: single precision
// holds both exactly and the quotient's rounding cannot reach the next
// integer (its distance from one is at least 1/q of a quotient below 2^16/q).
inline V DivideV(V n, V q) {
  const V zero = _mm_setzero_si128();
  const __m128i lo = _mm_cvttps_epi32(
      _mm_div_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(n, zero)), _mm_cvtepi32_ps(_mm_unpacklo_epi16(q, zero))));
  const __m128i hi = _mm_cvttps_epi32(
      _mm_div_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(n, zero)), _mm_cvtepi32_ps(_mm_unpackhi_epi16(q, zero))));
  // Quotients above 32767 saturate, which the callers clamp to 255 anyway.
  return _mm_packs_epi32(lo, hi);
}
#endif

// kPrescale marks the modes whose source is scaled by alpha instead of
// fading towards the result.
struct NormalOp {
  static constexpr bool kPrescale = false;
  static int F(int, int s) { return s; }
#ifdef LYRABAN_BLEND_SSE2
  static V Vec(V, V s) { return s; }
#endif
};
struct AddOp {
  static constexpr bool kPrescale = true;
  static int F(int d, int s) { return std::min(255, d + s); }
#ifdef LYRABAN_BLEND_SSE2
  static V Vec(V d, V s) { return _mm_min_epi16(_mm_add_epi16(d, s), Splat(255)); }
#endif
};
struct SubOp {
  static constexpr bool kPrescale = true;
  static int F(int d, int s) { return std::max(0, d - s); }
#ifdef LYRABAN_BLEND_SSE2
  static V Vec(V d, V s) { return _mm_subs_epu16(d, s); }
#endif
};
struct MultiOp {
  static constexpr bool kPrescale = false;
  static int F(int d, int s) { return Mul255(d, s); }
#ifdef LYRABAN_BLEND_SSE2
  static V Vec(V d, V s) { return Mul255V(d, s); }
#endif
};
struct ScreenOp {
  static constexpr bool kPrescale = false;
  static int F(int d, int s) { return 255 - Mul255(255 - d, 255 - s); }
#ifdef LYRABAN_BLEND_SSE2
  static V Vec(V d, V s) { return Invert(Mul255V(Invert(d), Invert(s))); }
#endif
};
struct OverlayOp {
  static constexpr bool kPrescale = false;
  static int F(int d, int s) {
    const int t = 2 * s * (255 - d) + 128;
    return Mul255(d, d + ((t + (t >> 8)) >> 8));
  }
#ifdef LYRABAN_BLEND_SSE2
  // t = 2y with y = s·(255 − d) + 64 needs 17 bits; with y = 128q + r,
  // (t + (t >> 8)) >> 8 is q + ((2r + q) >> 8), all within 16.
  static V Vec(V d, V s) {
    const V y = _mm_add_epi16(_mm_mullo_epi16(s, Invert(d)), Splat(64));
    const V q = _mm_srli_epi16(y, 7);
    const V r2 = _mm_slli_epi16(_mm_and_si128(y, Splat(127)), 1);
    const V half = _mm_add_epi16(q, _mm_srli_epi16(_mm_add_epi16(r2, q), 8));
    return Mul255V(d, _mm_add_epi16(d, half));
  }
#endif
};
struct DodgeOp {
  static constexpr bool kPrescale = true;
  static int F(int d, int s) { return std::min(255, (d * 256) / (256 - s)); }
#ifdef LYRABAN_BLEND_SSE2
  static V Vec(V d, V s) {
    return _mm_min_epi16(DivideV(_mm_slli_epi16(d, 8), _mm_sub_epi16(Splat(256), s)), Splat(255));
  }
#endif
};
struct BurnOp {
  static constexpr bool kPrescale = false;
  static int F(int d, int s) { return std::clamp(255 - ((255 - d) * 256) / (s + 1), 0, 255); }
#ifdef LYRABAN_BLEND_SSE2
  static V Vec(V d, V s) {
    const V q = _mm_min_epi16(DivideV(_mm_slli_epi16(Invert(d), 8), _mm_add_epi16(s, Splat(1))), Splat(255));
    return Invert(q);
  }
#endif
};
struct DarkenOp {
  static constexpr bool kPrescale = false;
  static int F(int d, int s) { return std::min(d, s); }
#ifdef LYRABAN_BLEND_SSE2
  static V Vec(V d, V s) { return _mm_min_epi16(d, s); }
#endif
};
struct LightenOp {
  static constexpr bool kPrescale = false;
  static int F(int d, int s) { return std::max(d, s); }
#ifdef LYRABAN_BLEND_SSE2
  static V Vec(V d, V s) { return _mm_max_epi16(d, s); }
#endif
};
struct DifferenceOp {
  static constexpr bool kPrescale = true;
  static int F(int d, int s) { return std::abs(d - s); }
#ifdef LYRABAN_BLEND_SSE2
  static V Vec(V d, V s) { return _mm_or_si128(_mm_subs_epu16(d, s), _mm_subs_epu16(s, d)); }
#endif
};
struct ExclusionOp {
  static constexpr bool kPrescale = false;
  static int F(int d, int s) { return std::abs((((127 - d) * (127 - s)) >> 7) - 127); }
#ifdef LYRABAN_BLEND_SSE2
  // Signed lanes: the product lies within −16256..16384.
  static V Vec(V d, V s) {
    const V k = Splat(127);
    const V x = _mm_sub_epi16(_mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(k, d), _mm_sub_epi16(k, s)), 7), k);
    return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x));
  }
#endif
};
struct HardlightOp {
  static constexpr bool kPrescale = false;
  static int F(int d, int s) { return s < 128 ? (d * s) >> 7 : (32512 - (255 - d) * (255 - s)) >> 7; }
#ifdef LYRABAN_BLEND_SSE2
  // Both halves are computed; the one a lane does not take may wrap.
  static V Vec(V d, V s) {
    const V dark = _mm_srli_epi16(_mm_mullo_epi16(d, s), 7);
    const V light = _mm_srli_epi16(_mm_sub_epi16(Splat(32512), _mm_mullo_epi16(Invert(d), Invert(s))), 7);
    return Select(_mm_cmpgt_epi16(s, Splat(127)), light, dark);
  }
#endif
};
struct SoftlightOp {
  static constexpr bool kPrescale = false;
  static int F(int d, int s) { return Mul255(d, 255 - Mul255(255 - d, 255 - s)) + Mul255(255 - d, Mul255(d, s)); }
#ifdef LYRABAN_BLEND_SSE2
  static V Vec(V d, V s) {
    const V id = Invert(d);
    return _mm_add_epi16(Mul255V(d, Invert(Mul255V(id, Invert(s)))), Mul255V(id, Mul255V(d, s)));
  }
#endif
};

}  // namespace lyraban::blendops
