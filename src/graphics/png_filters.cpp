#include "graphics/png_filters.h"

#include <cstdlib>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#endif

namespace lyraban::png {

namespace {

inline u8 Paeth(int a, int b, int c) {
  const int pa = std::abs(b - c);
  const int pb = std::abs(a - c);
  const int pc = std::abs(a + b - 2 * c);
  if (pa <= pb && pa <= pc) return static_cast<u8>(a);
  return static_cast<u8>(pb <= pc ? b : c);
}

// The pixel size is a template argument so that the loops over the left
// neighbour unroll and carry no modulo or branch per byte.
template <int B>
void UnfilterRow(u8 type, u8* row, const u8* prior, std::size_t n) {
  switch (type) {
    case 1:
      for (std::size_t i = B; i < n; ++i) row[i] = static_cast<u8>(row[i] + row[i - B]);
      break;
    case 2:
      for (std::size_t i = 0; i < n; ++i) row[i] = static_cast<u8>(row[i] + prior[i]);
      break;
    case 3:
      for (std::size_t i = 0; i < B && i < n; ++i) row[i] = static_cast<u8>(row[i] + (prior[i] >> 1));
      for (std::size_t i = B; i < n; ++i) row[i] = static_cast<u8>(row[i] + ((prior[i] + row[i - B]) >> 1));
      break;
    case 4:
      for (std::size_t i = 0; i < B && i < n; ++i) row[i] = static_cast<u8>(row[i] + prior[i]);
      for (std::size_t i = B; i < n; ++i) row[i] = static_cast<u8>(row[i] + Paeth(row[i - B], prior[i], prior[i - B]));
      break;
    default:
      break;
  }
}

#ifdef __SSE2__
// Paeth one whole pixel at a time in 16-bit lanes: the byte loop is bound
// by the dependency on the left neighbour, and all channels of a pixel can
// be predicted together. Choosing the lane whose distance equals the
// smallest keeps the scalar tie order (left, then above, then above-left).
template <int B>
void PaethPixels(u8* row, const u8* prior, std::size_t n) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i low = _mm_set1_epi16(0xFF);
  auto load = [&](const u8* p) {
    u32 v = 0;
    std::memcpy(&v, p, B);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(v)), zero);
  };
  auto abs16 = [&](__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(zero, v)); };
  auto select = [](__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
  };
  __m128i a = zero, c = zero;
  for (std::size_t i = 0; i + B <= n; i += B) {
    const __m128i b = load(prior + i);
    const __m128i x = load(row + i);
    const __m128i toB = _mm_sub_epi16(b, c), toA = _mm_sub_epi16(a, c);
    const __m128i pa = abs16(toB), pb = abs16(toA), pc = abs16(_mm_add_epi16(toB, toA));
    const __m128i smallest = _mm_min_epi16(pa, _mm_min_epi16(pb, pc));
    const __m128i pickA = _mm_cmpeq_epi16(pa, smallest);
    const __m128i pickB = _mm_andnot_si128(pickA, _mm_cmpeq_epi16(pb, smallest));
    const __m128i predictor = select(pickA, a, select(pickB, b, c));
    const __m128i out = _mm_and_si128(_mm_add_epi16(x, predictor), low);
    const u32 packed = static_cast<u32>(_mm_cvtsi128_si32(_mm_packus_epi16(out, zero)));
    std::memcpy(row + i, &packed, B);
    a = out;
    c = b;
  }
}

template <int B>
void UnfilterRowSse2(u8 type, u8* row, const u8* prior, std::size_t n) {
  if (type == 4) {
    PaethPixels<B>(row, prior, n);
    return;
  }
  UnfilterRow<B>(type, row, prior, n);
}
#endif

// Reference: one generic loop with the pixel size as a run-time value.
void ReferenceUnfilter(int step, u8 type, u8* row, const u8* prior, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const int a = i >= static_cast<std::size_t>(step) ? row[i - step] : 0;
    const int b = prior[i];
    const int c = i >= static_cast<std::size_t>(step) ? prior[i - step] : 0;
    int add = 0;
    switch (type) {
      case 1:
        add = a;
        break;
      case 2:
        add = b;
        break;
      case 3:
        add = (a + b) >> 1;
        break;
      case 4:
        add = Paeth(a, b, c);
        break;
      default:
        break;
    }
    row[i] = static_cast<u8>(row[i] + add);
  }
}

template <int B>
void ReferenceUnfilterRow(u8 type, u8* row, const u8* prior, std::size_t n) {
  ReferenceUnfilter(B, type, row, prior, n);
}

void StoreGrey(u8* dst, const u8* src, u32 width) { std::memcpy(dst, src, width); }

void StoreGreyAlpha(u8* dst, const u8* src, u32 width) {
  for (u32 i = 0; i < width; ++i, dst += 2, src += 2) dst[0] = src[1], dst[1] = src[0];
}

void StoreRgb(u8* dst, const u8* src, u32 width) {
  for (u32 i = 0; i < width; ++i, dst += 3, src += 3) dst[0] = src[2], dst[1] = src[1], dst[2] = src[0];
}

void StoreRgba(u8* dst, const u8* src, u32 width) {
  for (u32 i = 0; i < width; ++i, dst += 4, src += 4) {
    u32 v;
    std::memcpy(&v, src, 4);
    v = __builtin_bswap32(v);
    std::memcpy(dst, &v, 4);
  }
}

#if defined(__x86_64__) || defined(__i386__)
// Five colour pixels per step: the shuffle reverses each 3-byte group and
// leaves the sixteenth byte as it is (the next step rewrites it), so a
// 16-byte store stays inside the row while six pixels remain.
__attribute__((target("ssse3"))) void StoreRgbSsse3(u8* dst, const u8* src, u32 width) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
  u32 i = 0;
  for (; i + 6 <= width; i += 5, dst += 15, src += 15)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                     _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src)), order));
  StoreRgb(dst, src, width - i);
}

__attribute__((target("ssse3"))) void StoreRgbaSsse3(u8* dst, const u8* src, u32 width) {
  const __m128i order = _mm_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
  u32 i = 0;
  for (; i + 4 <= width; i += 4, dst += 16, src += 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                     _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src)), order));
  StoreRgba(dst, src, width - i);
}

bool HasSsse3() { return __builtin_cpu_supports("ssse3"); }
#endif

}  // namespace

Unfilter UnfilterFor(int bytesPerPixel) {
  switch (bytesPerPixel) {
    case 1:
      return UnfilterRow<1>;
    case 2:
      return UnfilterRow<2>;
#ifdef __SSE2__
    case 3:
      return UnfilterRowSse2<3>;
    default:
      return UnfilterRowSse2<4>;
#else
    case 3:
      return UnfilterRow<3>;
    default:
      return UnfilterRow<4>;
#endif
  }
}

Unfilter ReferenceUnfilterFor(int bytesPerPixel) {
  switch (bytesPerPixel) {
    case 1:
      return ReferenceUnfilterRow<1>;
    case 2:
      return ReferenceUnfilterRow<2>;
    case 3:
      return ReferenceUnfilterRow<3>;
    default:
      return ReferenceUnfilterRow<4>;
  }
}

StoreRow StoreRowFor(int bytesPerPixel) {
#if defined(__x86_64__) || defined(__i386__)
  if (bytesPerPixel >= 3 && HasSsse3()) return bytesPerPixel == 3 ? StoreRgbSsse3 : StoreRgbaSsse3;
#endif
  return ReferenceStoreRowFor(bytesPerPixel);
}

StoreRow ReferenceStoreRowFor(int bytesPerPixel) {
  switch (bytesPerPixel) {
    case 1:
      return StoreGrey;
    case 2:
      return StoreGreyAlpha;
    case 3:
      return StoreRgb;
    default:
      return StoreRgba;
  }
}

}  // namespace lyraban::png
