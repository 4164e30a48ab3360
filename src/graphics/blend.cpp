#include "graphics/blend.h"

#include <algorithm>
#include <cstdint>

#include "base/strings.h"
#include "graphics/blend_bytes.h"
#include "graphics/blend_ops.h"
#include "graphics/draw_internal.h"
#include "graphics/pixel.h"

namespace lyraban {

namespace {

using namespace blendops;

template <class Op, bool kAlpha>
inline u8 Apply(int d, int s, int a) {
  if constexpr (!kAlpha) {
    return static_cast<u8>(Op::F(d, s));
  } else if constexpr (Op::kPrescale) {
    return static_cast<u8>(Op::F(d, Mul255(s, a)));
  } else {
    return static_cast<u8>(Lerp(d, Op::F(d, s), a));
  }
}

template <class Op, bool kAlpha>
void BlendBytesScalar(u8* d, const u8* s, std::size_t size, int a) {
  for (std::size_t i = 0; i < size; ++i) d[i] = Apply<Op, kAlpha>(d[i], s[i], a);
}

#ifdef LYRABAN_BLEND_SSE2
// Sixteen bytes at a time in two halves of eight 16-bit lanes; returns how
// many bytes were done (the rest, under sixteen, is left to the caller).
template <class Op, bool kAlpha>
std::size_t BlendBytesSse2(u8* d, const u8* s, std::size_t size, int a) {
  const V zero = _mm_setzero_si128();
  const V alpha = Splat(a);
  auto half = [&](V dv, V sv) {
    if constexpr (!kAlpha)
      return Op::Vec(dv, sv);
    else if constexpr (Op::kPrescale)
      return Op::Vec(dv, Mul255V(sv, alpha));
    else
      return LerpV(dv, Op::Vec(dv, sv), alpha);
  };
  std::size_t i = 0;
  for (; i + 16 <= size; i += 16) {
    const V dv = _mm_loadu_si128(reinterpret_cast<const V*>(d + i));
    const V sv = _mm_loadu_si128(reinterpret_cast<const V*>(s + i));
    const V lo = half(_mm_unpacklo_epi8(dv, zero), _mm_unpacklo_epi8(sv, zero));
    const V hi = half(_mm_unpackhi_epi8(dv, zero), _mm_unpackhi_epi8(sv, zero));
    _mm_storeu_si128(reinterpret_cast<V*>(d + i), _mm_packus_epi16(lo, hi));
  }
  return i;
}
#endif

template <class Op, bool kAlpha>
void BlendBytes(u8* d, const u8* s, std::size_t size, int a) {
  std::size_t done = 0;
#ifdef LYRABAN_BLEND_SSE2
  // A picture drawn onto itself goes byte by byte, so that each byte reads
  // what the bytes before it left, as it always did.
  const auto dAt = reinterpret_cast<std::uintptr_t>(d), sAt = reinterpret_cast<std::uintptr_t>(s);
  if (dAt >= sAt + size || sAt >= dAt + size) done = BlendBytesSse2<Op, kAlpha>(d, s, size, a);
#endif
  BlendBytesScalar<Op, kAlpha>(d + done, s + done, size - done, a);
}

// One family: destination and source formats (1, 3 or 4 bytes) and whether
// an opacity applies. A 4-byte destination's alpha byte is left alone.
template <int DB, int SB, bool kOpacity, class Op>
void BlendLoop(const draw::Span& span, int opacity) {
  constexpr bool kAlpha = SB == 4 || kOpacity;
  if constexpr (DB == SB && DB != 4) {
    // Grey onto grey and colour onto colour pair byte with byte.
    const std::size_t rowBytes = static_cast<std::size_t>(span.width) * DB;
    if (rowBytes == span.dstRowBytes && rowBytes == span.srcRowBytes) {
      BlendBytes<Op, kAlpha>(span.dst, span.src, rowBytes * static_cast<std::size_t>(span.height), opacity);
      return;
    }
    u8* d = span.dst;
    const u8* s = span.src;
    for (int row = 0; row < span.height; ++row, d += span.dstRowBytes, s += span.srcRowBytes)
      BlendBytes<Op, kAlpha>(d, s, rowBytes, opacity);
    return;
  }
  u8* dRow = span.dst;
  const u8* sRow = span.src;
  for (int row = 0; row < span.height; ++row, dRow += span.dstRowBytes, sRow += span.srcRowBytes) {
    u8* d = dRow;
    const u8* s = sRow;
    for (int i = 0; i < span.width; ++i, d += DB, s += SB) {
      int a = 255;
      if constexpr (SB == 4)
        a = kOpacity ? Mul255(opacity, s[0]) : s[0];
      else if constexpr (kOpacity)
        a = opacity;
      if constexpr (DB == 1) {
        const int value = SB == 1 ? s[0] : Luma(s[SB - 3], s[SB - 2], s[SB - 1]);
        d[0] = Apply<Op, kAlpha>(d[0], value, a);
      } else {
        constexpr int o = DB - 3;
        for (int c = 0; c < 3; ++c) {
          const int value = SB == 1 ? s[0] : s[SB - 3 + c];
          d[o + c] = Apply<Op, kAlpha>(d[o + c], value, a);
        }
      }
    }
  }
}

// Calls fn with the mode's formula type and gives its result; false for
// modes without a formula.
template <class Fn>
bool WithOp(BlendMode mode, Fn&& fn) {
  switch (mode) {
    case BlendMode::Normal:
      return fn(NormalOp{});
    case BlendMode::Add:
      return fn(AddOp{});
    case BlendMode::Sub:
      return fn(SubOp{});
    case BlendMode::Multi:
      return fn(MultiOp{});
    case BlendMode::Screen:
      return fn(ScreenOp{});
    case BlendMode::Overlay:
      return fn(OverlayOp{});
    case BlendMode::Dodge:
      return fn(DodgeOp{});
    case BlendMode::Burn:
      return fn(BurnOp{});
    case BlendMode::Darken:
      return fn(DarkenOp{});
    case BlendMode::Lighten:
      return fn(LightenOp{});
    case BlendMode::Difference:
      return fn(DifferenceOp{});
    case BlendMode::Exclusion:
      return fn(ExclusionOp{});
    case BlendMode::Hardlight:
      return fn(HardlightOp{});
    case BlendMode::Softlight:
      return fn(SoftlightOp{});
    default:
      return false;
  }
}

template <int DB, int SB, bool kOpacity>
bool DispatchMode(BlendMode mode, const draw::Span& span, int opacity) {
  return WithOp(mode, [&](auto op) {
    BlendLoop<DB, SB, kOpacity, decltype(op)>(span, opacity);
    return true;
  });
}

template <bool kOpacity>
bool DispatchFamily(int db, int sb, BlendMode mode, const draw::Span& span, int opacity) {
  switch (db * 8 + sb) {
    case 1 * 8 + 1:
      return DispatchMode<1, 1, kOpacity>(mode, span, opacity);
    case 1 * 8 + 3:
      return DispatchMode<1, 3, kOpacity>(mode, span, opacity);
    case 1 * 8 + 4:
      return DispatchMode<1, 4, kOpacity>(mode, span, opacity);
    case 3 * 8 + 1:
      return DispatchMode<3, 1, kOpacity>(mode, span, opacity);
    case 3 * 8 + 3:
      return DispatchMode<3, 3, kOpacity>(mode, span, opacity);
    case 3 * 8 + 4:
      return DispatchMode<3, 4, kOpacity>(mode, span, opacity);
    case 4 * 8 + 1:
      return DispatchMode<4, 1, kOpacity>(mode, span, opacity);
    case 4 * 8 + 3:
      return DispatchMode<4, 3, kOpacity>(mode, span, opacity);
    case 4 * 8 + 4:
      return DispatchMode<4, 4, kOpacity>(mode, span, opacity);
  }
  return false;
}

template <bool kOpacity>
bool BlendClipped(Surface& dst, const Surface& src, BlendMode mode, int x, int y, int w, int h, int sx, int sy,
                  int opacity) {
  return draw::ClipAndDraw(dst, src, x, y, w, h, sx, sy, [&](const draw::Span& span) {
    return DispatchFamily<kOpacity>(dst.bytesPerPixel(), src.bytesPerPixel(), mode, span, opacity);
  });
}

}  // namespace

std::optional<BlendMode> BlendModeFromKeyword(std::string_view keyword) {
  static constexpr std::string_view kNames[] = {"",           "Normal",    "Add",       "Sub",      "Multi",  "Div",
                                                "Screen",     "Overlay",   "Dodge",     "Burn",     "Darken", "Lighten",
                                                "Difference", "Exclusion", "Hardlight", "Softlight"};
  for (int i = 1; i < 16; ++i)
    if (EqualsNoCase(keyword, kNames[i])) return static_cast<BlendMode>(i);
  return std::nullopt;
}

bool Blend(Surface& dst, const Surface& src, BlendMode mode, int x, int y, int width, int height, int srcX, int srcY) {
  return BlendClipped<false>(dst, src, mode, x, y, width, height, srcX, srcY, 255);
}

bool BlendWithOpacity(Surface& dst, const Surface& src, BlendMode mode, int x, int y, int width, int height, int srcX,
                      int srcY, int opacity) {
  if (opacity < 1) return true;
  if (opacity >= 255) return Blend(dst, src, mode, x, y, width, height, srcX, srcY);
  return BlendClipped<true>(dst, src, mode, x, y, width, height, srcX, srcY, opacity);
}

bool BlendAll(Surface& dst, const Surface& src, BlendMode mode, int x, int y, int opacity) {
  return BlendWithOpacity(dst, src, mode, x, y, src.width(), src.height(), 0, 0, opacity);
}

int BlendChannel(BlendMode mode, int d, int s) {
  int result = -1;
  WithOp(mode, [&](auto op) {
    result = decltype(op)::F(d, s);
    return true;
  });
  return result;
}

bool BlendBytesWith(PixelPath path, BlendMode mode, u8* dst, const u8* src, std::size_t size, int opacity) {
  opacity = std::clamp(opacity, 1, 255);
  return WithOp(mode, [&](auto op) {
    using Op = decltype(op);
    std::size_t done = 0;
    if (path == PixelPath::Vector) {
#ifdef LYRABAN_BLEND_SSE2
      done = opacity == 255 ? BlendBytesSse2<Op, false>(dst, src, size, 255)
                            : BlendBytesSse2<Op, true>(dst, src, size, opacity);
#else
      return false;
#endif
    }
    if (opacity == 255)
      BlendBytesScalar<Op, false>(dst + done, src + done, size - done, 255);
    else
      BlendBytesScalar<Op, true>(dst + done, src + done, size - done, opacity);
    return true;
  });
}

void LerpBytes(u8* dst, const u8* src, std::size_t size, int opacity) {
  BlendBytes<NormalOp, true>(dst, src, size, opacity);
}

}  // namespace lyraban
