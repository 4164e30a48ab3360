// The cross-fade kernels. Both formulas keep every intermediate below 65536
// (255·255 + 0 for the plain one, 255·256 for the saturating one), so 16-bit
// lanes compute them exactly and every path here matches the byte formula bit
// for bit.
#include <algorithm>

#include "graphics/transition.h"
#include "graphics/transition_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define LYRABAN_X86 1
#endif

namespace lyraban {
namespace {

// out = (new·a + old·b) >> 8 per byte.
void WeighScalar(u8* dst, const u8* newer, const u8* older, std::size_t size, unsigned a, unsigned b) {
  for (std::size_t i = 0; i < size; ++i) dst[i] = static_cast<u8>((newer[i] * a + older[i] * b) >> 8);
}

#ifdef LYRABAN_X86
std::size_t WeighSse2(u8* dst, const u8* newer, const u8* older, std::size_t size, unsigned a, unsigned b) {
  const __m128i wa = _mm_set1_epi16(static_cast<short>(a));
  const __m128i wb = _mm_set1_epi16(static_cast<short>(b));
  const __m128i zero = _mm_setzero_si128();
  std::size_t i = 0;
  for (; i + 16 <= size; i += 16) {
    const __m128i n = _mm_loadu_si128(reinterpret_cast<const __m128i*>(newer + i));
    const __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(older + i));
    __m128i lo =
        _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(n, zero), wa), _mm_mullo_epi16(_mm_unpacklo_epi8(o, zero), wb));
    __m128i hi =
        _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(n, zero), wa), _mm_mullo_epi16(_mm_unpackhi_epi8(o, zero), wb));
    lo = _mm_srli_epi16(lo, 8);
    hi = _mm_srli_epi16(hi, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(lo, hi));
  }
  return i;
}

__attribute__((target("avx2"))) std::size_t WeighAvx2(u8* dst, const u8* newer, const u8* older, std::size_t size,
                                                      unsigned a, unsigned b) {
  const __m256i wa = _mm256_set1_epi16(static_cast<short>(a));
  const __m256i wb = _mm256_set1_epi16(static_cast<short>(b));
  const __m256i zero = _mm256_setzero_si256();
  std::size_t i = 0;
  // Unpack and pack both work within 128-bit halves, so byte order survives.
  for (; i + 32 <= size; i += 32) {
    const __m256i n = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(newer + i));
    const __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(older + i));
    __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(n, zero), wa),
                                  _mm256_mullo_epi16(_mm256_unpacklo_epi8(o, zero), wb));
    __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(n, zero), wa),
                                  _mm256_mullo_epi16(_mm256_unpackhi_epi8(o, zero), wb));
    lo = _mm256_srli_epi16(lo, 8);
    hi = _mm256_srli_epi16(hi, 8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_packus_epi16(lo, hi));
  }
  return i;
}

__attribute__((target("avx512bw"))) std::size_t WeighAvx512(u8* dst, const u8* newer, const u8* older, std::size_t size,
                                                            unsigned a, unsigned b) {
  const __m512i wa = _mm512_set1_epi16(static_cast<short>(a));
  const __m512i wb = _mm512_set1_epi16(static_cast<short>(b));
  const __m512i zero = _mm512_setzero_si512();
  std::size_t i = 0;
  for (; i + 64 <= size; i += 64) {
    const __m512i n = _mm512_loadu_si512(newer + i);
    const __m512i o = _mm512_loadu_si512(older + i);
    __m512i lo = _mm512_add_epi16(_mm512_mullo_epi16(_mm512_unpacklo_epi8(n, zero), wa),
                                  _mm512_mullo_epi16(_mm512_unpacklo_epi8(o, zero), wb));
    __m512i hi = _mm512_add_epi16(_mm512_mullo_epi16(_mm512_unpackhi_epi8(n, zero), wa),
                                  _mm512_mullo_epi16(_mm512_unpackhi_epi8(o, zero), wb));
    lo = _mm512_srli_epi16(lo, 8);
    hi = _mm512_srli_epi16(hi, 8);
    _mm512_storeu_si512(dst + i, _mm512_packus_epi16(lo, hi));
  }
  return i;
}
#endif

void Weigh(u8* dst, const u8* newer, const u8* older, std::size_t size, unsigned a, unsigned b) {
  std::size_t done = 0;
#ifdef LYRABAN_X86
  if (__builtin_cpu_supports("avx512bw"))
    done = WeighAvx512(dst, newer, older, size, a, b);
  else if (__builtin_cpu_supports("avx2"))
    done = WeighAvx2(dst, newer, older, size, a, b);
  else
    done = WeighSse2(dst, newer, older, size, a, b);
#endif
  WeighScalar(dst + done, newer + done, older + done, size - done, a, b);
}

}  // namespace

bool WeighWith(CrossFadePath path, u8* dst, const u8* newer, const u8* older, std::size_t size, unsigned a,
               unsigned b) {
  std::size_t done = 0;
  switch (path) {
    case CrossFadePath::Scalar:
      break;
    case CrossFadePath::Sse2:
#ifdef LYRABAN_X86
      done = WeighSse2(dst, newer, older, size, a, b);
      break;
#else
      return false;
#endif
    case CrossFadePath::Avx2:
#ifdef LYRABAN_X86
      if (!__builtin_cpu_supports("avx2")) return false;
      done = WeighAvx2(dst, newer, older, size, a, b);
      break;
#else
      return false;
#endif
    case CrossFadePath::Avx512:
#ifdef LYRABAN_X86
      if (!__builtin_cpu_supports("avx512bw")) return false;
      done = WeighAvx512(dst, newer, older, size, a, b);
      break;
#else
      return false;
#endif
  }
  WeighScalar(dst + done, newer + done, older + done, size - done, a, b);
  return true;
}

namespace {

unsigned LimitT(int t) { return static_cast<unsigned>(std::clamp(t, 0, 255)); }

}  // namespace

void CrossFadeBytes(u8* dst, const u8* newer, const u8* older, std::size_t size, int t) {
  const unsigned a = LimitT(t);
  Weigh(dst, newer, older, size / 4 * 4, a, 255 - a);
}

void CrossFadeBytesSaturating(u8* dst, const u8* newer, const u8* older, std::size_t size, int t) {
  // The sum never exceeds 255·256, so the saturation of the 64-bit loop this
  // mirrors never engages and a plain shift gives the same bytes.
  const unsigned a = LimitT(t);
  Weigh(dst, newer, older, size / 8 * 8, a, 256 - a);
}

bool CrossFade(Surface& dst, const Surface& newer, const Surface& older, int t, bool saturating) {
  if (!dst.HasPixels() || !newer.HasPixels() || !older.HasPixels()) return false;
  if (dst.bytesPerPixel() != 3 || newer.bytesPerPixel() != 3 || older.bytesPerPixel() != 3) return false;
  if (dst.ByteSize() != newer.ByteSize() || dst.ByteSize() != older.ByteSize()) return false;
  if (saturating)
    CrossFadeBytesSaturating(dst.pixels(), newer.pixels(), older.pixels(), dst.ByteSize(), t);
  else
    CrossFadeBytes(dst.pixels(), newer.pixels(), older.pixels(), dst.ByteSize(), t);
  return true;
}

}  // namespace lyraban
