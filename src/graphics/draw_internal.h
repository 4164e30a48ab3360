#pragma once
#include <algorithm>
#include <cstddef>

#include "base/types.h"
#include "graphics/surface.h"

namespace lyraban::draw {

// One clipped rectangle of a draw: destination and source starts, size and
// the byte step from one row to the next on either side.
struct Span {
  u8* dst = nullptr;
  const u8* src = nullptr;
  int width = 0;
  int height = 0;
  std::size_t dstRowBytes = 0;
  std::size_t srcRowBytes = 0;
};

enum class ClipResult { Fail, Empty, Draw };

// The clipping shared by every draw and blend. Computed in 64 bits so that
// extreme positions cannot overflow; results within range are unaffected.
inline ClipResult ClipDraw(Surface& dst, const Surface& src, int x, int y, int w, int h, int sx, int sy, Span& out) {
  if (!dst.HasPixels() || !src.HasPixels()) return ClipResult::Fail;
  i64 X = x, Y = y, W = w, H = h, SX = sx, SY = sy;
  if (SX < 0) X -= SX, W += SX, SX = 0;
  if (SY < 0) Y -= SY, H += SY, SY = 0;
  if (X < 0) W += X, SX -= X, X = 0;
  if (Y < 0) H += Y, SY -= Y, Y = 0;
  W = std::min({W, i64{dst.width()} - X, i64{src.width()} - SX});
  H = std::min({H, i64{dst.height()} - Y, i64{src.height()} - SY});
  if (W < 1 || H < 1) return ClipResult::Empty;
  const int db = dst.bytesPerPixel();
  const int sb = src.bytesPerPixel();
  out.dst = dst.pixels() + (static_cast<std::size_t>(Y) * dst.stride() + static_cast<std::size_t>(X)) * db;
  out.src = src.pixels() + (static_cast<std::size_t>(SY) * src.stride() + static_cast<std::size_t>(SX)) * sb;
  out.width = static_cast<int>(W);
  out.height = static_cast<int>(H);
  out.dstRowBytes = static_cast<std::size_t>(dst.stride()) * db;
  out.srcRowBytes = static_cast<std::size_t>(src.stride()) * sb;
  return ClipResult::Draw;
}

// Clips, then draws the span: false when either surface is empty, true
// (drawing nothing) when nothing of the source lands on the destination,
// else the draw's own result.
template <class DrawSpan>
bool ClipAndDraw(Surface& dst, const Surface& src, int x, int y, int w, int h, int sx, int sy, DrawSpan draw) {
  Span span;
  switch (ClipDraw(dst, src, x, y, w, h, sx, sy, span)) {
    case ClipResult::Fail:
      return false;
    case ClipResult::Empty:
      return true;
    case ClipResult::Draw:
      break;
  }
  return draw(span);
}

}  // namespace lyraban::draw
