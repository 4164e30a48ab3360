#include "graphics/surface.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "graphics/blend_bytes.h"
#include "graphics/draw_internal.h"
#include "graphics/pixel.h"
#include "graphics/pixel_rows.h"

namespace lyraban {

namespace {

// New storage for `bytes` of pixels, with slack so the first pixel starts on
// an 8-byte boundary; that first pixel, or null.
u8* AllocatePixels(std::size_t bytes, std::shared_ptr<u8[]>& storage) {
  storage.reset(new (std::nothrow) u8[bytes + 7]);
  if (!storage) return nullptr;
  const auto address = reinterpret_cast<std::uintptr_t>(storage.get());
  return storage.get() + ((8 - (address & 7)) & 7);
}

}  // namespace

Surface::Surface(Surface&& other) noexcept { *this = std::move(other); }

Surface& Surface::operator=(Surface&& other) noexcept {
  if (this == &other) return *this;
  storage_ = std::move(other.storage_);
  pixels_ = other.pixels_;
  bytesPerPixel_ = other.bytesPerPixel_;
  width_ = other.width_;
  height_ = other.height_;
  stride_ = other.stride_;
  edits_ = std::max(edits_, other.edits_) + 1;
  ++other.edits_;
  other.pixels_ = nullptr;
  other.bytesPerPixel_ = other.width_ = other.height_ = other.stride_ = 0;
  return *this;
}

bool Surface::Create(int bytesPerPixel, int width, int height) {
  Surface::Release();
  ++edits_;
  if (bytesPerPixel < 1 || bytesPerPixel > 4 || width < 1 || height < 1) return false;
  if (width > kMaxSurfaceSide || height > kMaxSurfaceSide) return false;
  const std::size_t bytes = static_cast<std::size_t>(width) * height * bytesPerPixel;
  if (bytes > kMaxSurfaceBytes) return false;
  pixels_ = AllocatePixels(bytes, storage_);
  if (!pixels_) return false;
  bytesPerPixel_ = bytesPerPixel;
  width_ = width;
  height_ = height;
  stride_ = width;
  return true;
}

void Surface::ShareFrom(const Surface& other) {
  if (this == &other) return;
  Surface::Release();
  storage_ = other.storage_;
  pixels_ = other.pixels_;
  bytesPerPixel_ = other.bytesPerPixel_;
  width_ = other.width_;
  height_ = other.height_;
  stride_ = other.stride_;
}

void Surface::Unshare() {
  const std::size_t bytes = static_cast<std::size_t>(stride_) * height_ * bytesPerPixel_;
  std::shared_ptr<u8[]> copy;
  u8* const pixels = AllocatePixels(bytes, copy);
  // Short of memory the pixels stay shared: what is shared is a decoded
  // picture nothing draws into, so this path only guards against change.
  if (!pixels) return;
  std::memcpy(pixels, pixels_, bytes);
  storage_ = std::move(copy);
  pixels_ = pixels;
}

void Surface::Release() {
  ++edits_;
  storage_.reset();
  pixels_ = nullptr;
  bytesPerPixel_ = width_ = height_ = stride_ = 0;
}

void ImageSurface::Release() {
  Surface::Release();
  name_.clear();
}

bool CreateSurface(Surface& surface, int bytesPerPixel, int width, int height) {
  return surface.Create(bytesPerPixel, width, height);
}

void ReleaseSurface(Surface& surface) { surface.Release(); }

Surface& AssignSurface(Surface& target, const Surface& source) {
  if (&target == &source) return target;
  if (!source.HasPixels()) {
    target.Release();
    return target;
  }
  if (target.ByteSize() != source.ByteSize() || target.bytesPerPixel() != source.bytesPerPixel() ||
      target.width() != source.width() || !target.HasPixels()) {
    if (!target.Create(source.bytesPerPixel(), source.width(), source.height())) return target;
  }
  std::memcpy(target.pixels(), source.pixels(), source.ByteSize());
  return target;
}

bool IsOpaqueAt(const Surface& surface, int x, int y) {
  if (!surface.HasPixels() || x < 0 || y < 0 || x >= surface.width() || y >= surface.height()) return false;
  const int bpp = surface.bytesPerPixel();
  if (bpp == 1 || bpp == 3) return true;
  return surface.Row(y)[static_cast<std::size_t>(x) * bpp] != 0;
}

namespace {

// One loop per format pair. Sources with alpha (or any source when an
// opacity applies) blend with Lerp and unite the destination alpha; the
// others write the converted value. The format pair is a template argument,
// so the inner loop holds no format dispatch.
template <int DB, int SB, bool kOpacity>
void BlitLoop(const draw::Span& span, int opacity) {
  constexpr bool kSrcAlpha = (SB == 2 || SB == 4);
  constexpr bool kBlend = kSrcAlpha || kOpacity;
  u8* dRow = span.dst;
  const u8* sRow = span.src;
  // The screen's common cases run on the row kernels: pictures with alpha
  // onto colour, and plain pictures faded onto their own format.
  if constexpr (DB == 3 && SB == 4) {
    for (int row = 0; row < span.height; ++row, dRow += span.dstRowBytes, sRow += span.srcRowBytes)
      BlitAlphaRow(dRow, sRow, span.width, kOpacity ? opacity : 255);
    return;
  } else if constexpr (kOpacity && DB == SB && DB != 2 && DB != 4) {
    const std::size_t rowBytes = static_cast<std::size_t>(span.width) * DB;
    for (int row = 0; row < span.height; ++row, dRow += span.dstRowBytes, sRow += span.srcRowBytes)
      LerpBytes(dRow, sRow, rowBytes, opacity);
    return;
  }
  for (int row = 0; row < span.height; ++row, dRow += span.dstRowBytes, sRow += span.srcRowBytes) {
    u8* d = dRow;
    const u8* s = sRow;
    for (int i = 0; i < span.width; ++i, d += DB, s += SB) {
      int a = 255;
      if constexpr (kSrcAlpha)
        a = kOpacity ? Mul255(s[0], opacity) : s[0];
      else if constexpr (kOpacity)
        a = opacity;
      // Clear pixels leave the destination as it is (Lerp by 0 and the
      // union with 0 change nothing); pictures are mostly clear around
      // their shapes, and this keeps drawing them cheap.
      if constexpr (kBlend)
        if (a == 0) continue;
      if constexpr (DB <= 2) {
        int value;
        if constexpr (SB <= 2)
          value = s[SB - 1];
        else
          value = Luma(s[SB - 3], s[SB - 2], s[SB - 1]);
        if constexpr (kBlend)
          d[DB - 1] = static_cast<u8>(Lerp(d[DB - 1], value, a));
        else
          d[DB - 1] = static_cast<u8>(value);
      } else {
        for (int c = 0; c < 3; ++c) {
          const int value = SB <= 2 ? s[SB - 1] : s[SB - 3 + c];
          if constexpr (kBlend)
            d[DB - 3 + c] = static_cast<u8>(Lerp(d[DB - 3 + c], value, a));
          else
            d[DB - 3 + c] = static_cast<u8>(value);
        }
      }
      if constexpr (DB == 2 || DB == 4) d[0] = static_cast<u8>(kBlend ? AlphaUnion(a, d[0]) : 255);
    }
  }
}

void CopyRows(const draw::Span& span, int bytesPerPixel) {
  const std::size_t rowBytes = static_cast<std::size_t>(span.width) * bytesPerPixel;
  if (rowBytes == span.dstRowBytes && rowBytes == span.srcRowBytes) {
    std::memmove(span.dst, span.src, rowBytes * span.height);
    return;
  }
  u8* d = span.dst;
  const u8* s = span.src;
  for (int row = 0; row < span.height; ++row, d += span.dstRowBytes, s += span.srcRowBytes)
    std::memmove(d, s, rowBytes);
}

template <bool kOpacity>
bool DispatchBlit(int db, int sb, const draw::Span& span, int opacity) {
#define LYRABAN_PAIR(D, S)                   \
  case D * 8 + S:                            \
    BlitLoop<D, S, kOpacity>(span, opacity); \
    return true;
  switch (db * 8 + sb) {
    LYRABAN_PAIR(1, 1)
    LYRABAN_PAIR(1, 2)
    LYRABAN_PAIR(1, 3)
    LYRABAN_PAIR(1, 4)
    LYRABAN_PAIR(2, 1)
    LYRABAN_PAIR(2, 2)
    LYRABAN_PAIR(2, 3)
    LYRABAN_PAIR(2, 4)
    LYRABAN_PAIR(3, 1)
    LYRABAN_PAIR(3, 2)
    LYRABAN_PAIR(3, 3)
    LYRABAN_PAIR(3, 4)
    LYRABAN_PAIR(4, 1)
    LYRABAN_PAIR(4, 2)
    LYRABAN_PAIR(4, 3)
    LYRABAN_PAIR(4, 4)
  }
#undef LYRABAN_PAIR
  return false;
}

}  // namespace

bool Blit(Surface& dst, const Surface& src, int x, int y, int width, int height, int srcX, int srcY) {
  const int db = dst.bytesPerPixel();
  const int sb = src.bytesPerPixel();
  return draw::ClipAndDraw(dst, src, x, y, width, height, srcX, srcY, [&](const draw::Span& span) {
    if (db == sb && (db == 1 || db == 3)) {
      CopyRows(span, db);
      return true;
    }
    return DispatchBlit<false>(db, sb, span, 255);
  });
}

bool BlitAll(Surface& dst, const Surface& src, int x, int y) {
  return Blit(dst, src, x, y, src.width(), src.height(), 0, 0);
}

void ApplyAnchor(const Surface& src, int anchor, int& x, int& y) {
  if (anchor < 0 || anchor > 8) return;
  switch (anchor % 3) {
    case 1:
      x -= src.width();
      break;
    case 2:
      x -= src.width() / 2;
      break;
  }
  switch (anchor / 3) {
    case 1:
      y -= src.height();
      break;
    case 2:
      y -= src.height() / 2;
      break;
  }
}

bool BlitAnchored(Surface& dst, const Surface& src, int x, int y, int anchor) {
  ApplyAnchor(src, anchor, x, y);
  return BlitAll(dst, src, x, y);
}

bool BlitWithOpacity(Surface& dst, const Surface& src, int x, int y, int opacity) {
  if (opacity < 1) return true;
  if (opacity >= 255) return BlitAll(dst, src, x, y);
  return draw::ClipAndDraw(dst, src, x, y, src.width(), src.height(), 0, 0, [&](const draw::Span& span) {
    return DispatchBlit<true>(dst.bytesPerPixel(), src.bytesPerPixel(), span, opacity);
  });
}

namespace {

// Clips a fill to the surface; false when nothing is left.
bool ClipFill(const Surface& surface, int& x, int& y, int& w, int& h) {
  i64 X = x, Y = y, W = w, H = h;
  if (X < 0) W += X, X = 0;
  if (Y < 0) H += Y, Y = 0;
  W = std::min(W, i64{surface.width()} - X);
  H = std::min(H, i64{surface.height()} - Y);
  if (W < 1 || H < 1) return false;
  x = static_cast<int>(X), y = static_cast<int>(Y), w = static_cast<int>(W), h = static_cast<int>(H);
  return true;
}

bool Fill(Surface& surface, u8 red, u8 green, u8 blue, int x, int y, int w, int h, int opacity) {
  if (!surface.HasPixels()) return false;
  if (!ClipFill(surface, x, y, w, h)) return true;
  const int bpp = surface.bytesPerPixel();
  const bool blend = opacity < 255;
  const int grey = Luma(blue, green, red);
  u8 value[4];
  int colourBytes = 0;
  switch (bpp) {
    case 1:
      value[0] = static_cast<u8>(grey);
      colourBytes = 1;
      break;
    case 2:
      value[0] = 255, value[1] = static_cast<u8>(grey);
      colourBytes = 1;
      break;
    case 3:
      value[0] = blue, value[1] = green, value[2] = red;
      colourBytes = 3;
      break;
    case 4:
      value[0] = 255, value[1] = blue, value[2] = green, value[3] = red;
      colourBytes = 3;
      break;
  }
  const int first = bpp - colourBytes;  // index of the first grey or colour byte
  for (int row = 0; row < h; ++row) {
    u8* p = surface.Row(y + row) + static_cast<std::size_t>(x) * bpp;
    if (!blend) {
      if (bpp == 1) {
        std::memset(p, value[0], w);
        continue;
      }
      for (int i = 0; i < w; ++i, p += bpp) std::memcpy(p, value, bpp);
      continue;
    }
    FillRow(p, w, bpp, value, first, opacity);
  }
  return true;
}

}  // namespace

bool FillRect(Surface& surface, u8 red, u8 green, u8 blue, int x, int y, int width, int height) {
  return Fill(surface, red, green, blue, x, y, width, height, 255);
}

bool FillRectWithOpacity(Surface& surface, u8 red, u8 green, u8 blue, int x, int y, int width, int height,
                         int opacity) {
  if (opacity < 1) return true;
  return Fill(surface, red, green, blue, x, y, width, height, std::min(opacity, 255));
}

bool CopyScreen(Surface& dst, const Surface& src) {
  if (!dst.HasPixels() || !src.HasPixels() || dst.ByteSize() != src.ByteSize()) return false;
  if (&dst != &src) std::memcpy(dst.pixels(), src.pixels(), src.ByteSize());
  return true;
}

void ZeroBytes(u8* bytes, std::size_t size) {
  // Whole pages in the middle are handed back to the system instead of
  // written: they read as zeros again, and until something draws on them
  // they take no memory. A screen cleared to black before a movie or at
  // start-up stays out of resident memory until it is used.
  static const std::size_t kPage = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  constexpr std::size_t kWorthIt = 64 * 1024;
  const auto start = reinterpret_cast<std::uintptr_t>(bytes);
  const std::uintptr_t first = (start + kPage - 1) / kPage * kPage;
  const std::uintptr_t last = (start + size) / kPage * kPage;
  if (kPage > 0 && size >= kWorthIt && last > first &&
      madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED) == 0) {
    std::memset(bytes, 0, first - start);
    std::memset(reinterpret_cast<u8*>(last), 0, start + size - last);
    return;
  }
  std::memset(bytes, 0, size);
}

bool FillScreen(Surface& surface, u8 red, u8 green, u8 blue) {
  if (!surface.HasPixels()) return false;
  if (surface.bytesPerPixel() != 3) return FillRect(surface, red, green, blue, 0, 0, surface.width(), surface.height());
  if ((red | green | blue) == 0) {
    ZeroBytes(surface.pixels(), surface.ByteSize());
    return true;
  }
  // Three 32-bit words hold four pixels; the storage is 8-byte aligned.
  const u8 pattern[12] = {blue, green, red, blue, green, red, blue, green, red, blue, green, red};
  u8* p = surface.pixels();
  const std::size_t total = surface.ByteSize();
  std::size_t i = 0;
  for (; i + 12 <= total; i += 12) std::memcpy(p + i, pattern, 12);
  for (; i < total; ++i) p[i] = pattern[i % 3];
  return true;
}

namespace {

template <int DB, int SB>
void RotatePixel(u8* d, const u8* s) {
  if constexpr (DB == 1) {
    if constexpr (SB == 1)
      d[0] = s[0];
    else if constexpr (SB == 3)
      d[0] = static_cast<u8>(Luma(s[0], s[1], s[2]));
    else
      d[0] = static_cast<u8>(Lerp(d[0], Luma(s[1], s[2], s[3]), s[0]));
  } else {
    constexpr int o = DB - 3;  // first colour byte of the destination
    if constexpr (SB == 1) {
      d[o] = d[o + 1] = d[o + 2] = s[0];
    } else if constexpr (SB == 3) {
      d[o] = s[0], d[o + 1] = s[1], d[o + 2] = s[2];
    } else {
      for (int c = 0; c < 3; ++c) d[o + c] = static_cast<u8>(Lerp(d[o + c], s[1 + c], s[0]));
    }
    if constexpr (DB == 4) d[0] = static_cast<u8>(SB == 4 ? AlphaUnion(s[0], d[0]) : 255);
  }
}

template <int DB, int SB>
void RotateLoop(Surface& dst, const Surface& src, int cx, int cy, int sx, int sy, i64 S, i64 C) {
  // Source position in 10-bit fixed point, stepped incrementally.
  i64 rowU = -i64{cx} * C + i64{cy} * S + i64{sx} * 1024;
  i64 rowV = -i64{cx} * S - i64{cy} * C + i64{sy} * 1024;
  const int sw = src.width(), sh = src.height();
  for (int y = 0; y < dst.height(); ++y, rowU -= S, rowV += C) {
    u8* d = dst.Row(y);
    i64 u = rowU, v = rowV;
    for (int x = 0; x < dst.width(); ++x, u += C, v += S, d += DB) {
      const i64 px = u >> 10, py = v >> 10;
      if (px < 0 || py < 0 || px >= sw || py >= sh) continue;
      RotatePixel<DB, SB>(d, src.Row(static_cast<int>(py)) + px * SB);
    }
  }
}

}  // namespace

bool RotateBlit(Surface& dst, const Surface& src, int dstCenterX, int dstCenterY, int srcCenterX, int srcCenterY,
                double turns, double scale) {
  if (!dst.HasPixels() || !src.HasPixels()) return false;
  if (!(scale > 0.0)) scale = 1.0;
  const double theta = turns * 2.0 * 3.14159265358979323846;
  // Clamped so that absurd scales cannot overflow the fixed-point steps.
  auto fixed = [](double value) -> i64 {
    if (!std::isfinite(value)) return 0;
    return static_cast<i64>(std::clamp(std::trunc(value), -16777216.0, 16777216.0));
  };
  const i64 S = fixed(std::sin(theta) * 1024.0 / scale);
  const i64 C = fixed(std::cos(theta) * 1024.0 / scale);
  const int a = dstCenterX, b = dstCenterY, c = srcCenterX, d = srcCenterY;
  switch (dst.bytesPerPixel() * 8 + src.bytesPerPixel()) {
    case 1 * 8 + 1:
      RotateLoop<1, 1>(dst, src, a, b, c, d, S, C);
      return true;
    case 1 * 8 + 3:
      RotateLoop<1, 3>(dst, src, a, b, c, d, S, C);
      return true;
    case 1 * 8 + 4:
      RotateLoop<1, 4>(dst, src, a, b, c, d, S, C);
      return true;
    case 3 * 8 + 1:
      RotateLoop<3, 1>(dst, src, a, b, c, d, S, C);
      return true;
    case 3 * 8 + 3:
      RotateLoop<3, 3>(dst, src, a, b, c, d, S, C);
      return true;
    case 3 * 8 + 4:
      RotateLoop<3, 4>(dst, src, a, b, c, d, S, C);
      return true;
    case 4 * 8 + 1:
      RotateLoop<4, 1>(dst, src, a, b, c, d, S, C);
      return true;
    case 4 * 8 + 3:
      RotateLoop<4, 3>(dst, src, a, b, c, d, S, C);
      return true;
    case 4 * 8 + 4:
      RotateLoop<4, 4>(dst, src, a, b, c, d, S, C);
      return true;
  }
  return false;
}

bool ScaleDown(Surface& dst, const Surface& src) {
  if (!dst.HasPixels() || !src.HasPixels() || dst.bytesPerPixel() != 3 || src.bytesPerPixel() != 3) return false;
  const i64 W = src.width(), H = src.height(), w = dst.width(), h = dst.height();
  const i64 fx = (w * 256) / W, fy = (h * 256) / H;
  const i64 rx = (W * 256) / w, ry = (H * 256) / h;
  // Weight of source column (or row) s inside destination column x whose span is s0..s1.
  auto weight = [](i64 s, i64 s0, i64 s1, i64 x, i64 f) -> i64 {
    if (s == s1) return (x + 1) * 256 - s * f;
    if (s == s0) return (s + 1) * f - ((s * f) & ~i64{0xFF});
    return f;
  };
  for (i64 y = 0; y < h; ++y) {
    const i64 y0 = std::max<i64>((y * ry) >> 8, 0);
    const i64 y1 = std::min<i64>((((y + 1) * ry + 128) >> 8) - 1, H - 1);
    u8* d = dst.Row(static_cast<int>(y));
    for (i64 x = 0; x < w; ++x, d += 3) {
      const i64 x0 = std::max<i64>((x * rx) >> 8, 0);
      const i64 x1 = std::min<i64>((((x + 1) * rx + 128) >> 8) - 1, W - 1);
      i64 sum[3] = {0, 0, 0};
      i64 total = 0;
      for (i64 sy = y0; sy <= y1; ++sy) {
        const i64 wy = weight(sy, y0, y1, y, fy);
        const u8* s = src.Row(static_cast<int>(sy)) + x0 * 3;
        for (i64 sx = x0; sx <= x1; ++sx, s += 3) {
          const i64 wgt = weight(sx, x0, x1, x, fx) * wy;
          sum[0] += wgt * s[0];
          sum[1] += wgt * s[1];
          sum[2] += wgt * s[2];
          total += wgt;
        }
      }
      // An empty or weightless span (extreme enlargements) has no average.
      for (int c = 0; c < 3; ++c) d[c] = static_cast<u8>(total != 0 ? sum[c] / total : 0);
    }
  }
  return true;
}

bool ScreenBuffers::Create(int width, int height) {
  Release();
  if (!front_.Create(3, width, height) || !composed_.Create(3, width, height) || !previous_.Create(3, width, height)) {
    Release();
    return false;
  }
  width_ = width;
  height_ = height;
  return true;
}

void ScreenBuffers::Release() {
  front_.Release();
  composed_.Release();
  previous_.Release();
  width_ = height_ = 0;
}

}  // namespace lyraban
