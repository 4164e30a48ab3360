#include "graphics/blend.h"

#include <algorithm>
#include <cstdlib>

#include "base/strings.h"
#include "graphics/draw_internal.h"
#include "graphics/pixel.h"

namespace lyraban {

namespace {

// One type per mode: F is the per-channel result; kPrescale marks the modes
// whose source is scaled by alpha instead of fading towards the result.
struct NormalOp {
  static constexpr bool kPrescale = false;
  static int F(int, int s) { return s; }
};
struct AddOp {
  static constexpr bool kPrescale = true;
  static int F(int d, int s) { return std::min(255, d + s); }
};
struct SubOp {
  static constexpr bool kPrescale = true;
  static int F(int d, int s) { return std::max(0, d - s); }
};
struct MultiOp {
  static constexpr bool kPrescale = false;
  static int F(int d, int s) { return Mul255(d, s); }
};
struct ScreenOp {
  static constexpr bool kPrescale = false;
  static int F(int d, int s) { return 255 - Mul255(255 - d, 255 - s); }
};
struct OverlayOp {
  static constexpr bool kPrescale = false;
  static int F(int d, int s) {
    const int t = 2 * s * (255 - d) + 128;
    return Mul255(d, d + ((t + (t >> 8)) >> 8));
  }
};
struct DodgeOp {
  static constexpr bool kPrescale = true;
  static int F(int d, int s) { return std::min(255, (d * 256) / (256 - s)); }
};
struct BurnOp {
  static constexpr bool kPrescale = false;
  static int F(int d, int s) { return std::clamp(255 - ((255 - d) * 256) / (s + 1), 0, 255); }
};
struct DarkenOp {
  static constexpr bool kPrescale = false;
  static int F(int d, int s) { return std::min(d, s); }
};
struct LightenOp {
  static constexpr bool kPrescale = false;
  static int F(int d, int s) { return std::max(d, s); }
};
struct DifferenceOp {
  static constexpr bool kPrescale = true;
  static int F(int d, int s) { return std::abs(d - s); }
};
struct ExclusionOp {
  static constexpr bool kPrescale = false;
  static int F(int d, int s) { return std::abs((((127 - d) * (127 - s)) >> 7) - 127); }
};
struct HardlightOp {
  static constexpr bool kPrescale = false;
  static int F(int d, int s) { return s < 128 ? (d * s) >> 7 : (32512 - (255 - d) * (255 - s)) >> 7; }
};
struct SoftlightOp {
  static constexpr bool kPrescale = false;
  static int F(int d, int s) { return Mul255(d, 255 - Mul255(255 - d, 255 - s)) + Mul255(255 - d, Mul255(d, s)); }
};

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

// One family: destination and source formats (1, 3 or 4 bytes) and whether
// an opacity applies. A 4-byte destination's alpha byte is left alone.
template <int DB, int SB, bool kOpacity, class Op>
void BlendLoop(const draw::Span& span, int opacity) {
  constexpr bool kAlpha = SB == 4 || kOpacity;
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

template <int DB, int SB, bool kOpacity>
bool DispatchMode(BlendMode mode, const draw::Span& span, int opacity) {
  switch (mode) {
    case BlendMode::Normal:
      BlendLoop<DB, SB, kOpacity, NormalOp>(span, opacity);
      return true;
    case BlendMode::Add:
      BlendLoop<DB, SB, kOpacity, AddOp>(span, opacity);
      return true;
    case BlendMode::Sub:
      BlendLoop<DB, SB, kOpacity, SubOp>(span, opacity);
      return true;
    case BlendMode::Multi:
      BlendLoop<DB, SB, kOpacity, MultiOp>(span, opacity);
      return true;
    case BlendMode::Screen:
      BlendLoop<DB, SB, kOpacity, ScreenOp>(span, opacity);
      return true;
    case BlendMode::Overlay:
      BlendLoop<DB, SB, kOpacity, OverlayOp>(span, opacity);
      return true;
    case BlendMode::Dodge:
      BlendLoop<DB, SB, kOpacity, DodgeOp>(span, opacity);
      return true;
    case BlendMode::Burn:
      BlendLoop<DB, SB, kOpacity, BurnOp>(span, opacity);
      return true;
    case BlendMode::Darken:
      BlendLoop<DB, SB, kOpacity, DarkenOp>(span, opacity);
      return true;
    case BlendMode::Lighten:
      BlendLoop<DB, SB, kOpacity, LightenOp>(span, opacity);
      return true;
    case BlendMode::Difference:
      BlendLoop<DB, SB, kOpacity, DifferenceOp>(span, opacity);
      return true;
    case BlendMode::Exclusion:
      BlendLoop<DB, SB, kOpacity, ExclusionOp>(span, opacity);
      return true;
    case BlendMode::Hardlight:
      BlendLoop<DB, SB, kOpacity, HardlightOp>(span, opacity);
      return true;
    case BlendMode::Softlight:
      BlendLoop<DB, SB, kOpacity, SoftlightOp>(span, opacity);
      return true;
    default:
      return false;
  }
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
  switch (mode) {
    case BlendMode::Normal:
      return NormalOp::F(d, s);
    case BlendMode::Add:
      return AddOp::F(d, s);
    case BlendMode::Sub:
      return SubOp::F(d, s);
    case BlendMode::Multi:
      return MultiOp::F(d, s);
    case BlendMode::Screen:
      return ScreenOp::F(d, s);
    case BlendMode::Overlay:
      return OverlayOp::F(d, s);
    case BlendMode::Dodge:
      return DodgeOp::F(d, s);
    case BlendMode::Burn:
      return BurnOp::F(d, s);
    case BlendMode::Darken:
      return DarkenOp::F(d, s);
    case BlendMode::Lighten:
      return LightenOp::F(d, s);
    case BlendMode::Difference:
      return DifferenceOp::F(d, s);
    case BlendMode::Exclusion:
      return ExclusionOp::F(d, s);
    case BlendMode::Hardlight:
      return HardlightOp::F(d, s);
    case BlendMode::Softlight:
      return SoftlightOp::F(d, s);
    default:
      return -1;
  }
}

}  // namespace lyraban
