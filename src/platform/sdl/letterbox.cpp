#include "platform/sdl/letterbox.h"

namespace lyraban::platform {

namespace {

i64 FloorDiv(i64 a, i64 b) {
  const i64 q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Maps through the centre of the window pixel, so that at whole scales every
// game pixel gets exactly its block and rounding never drifts at the edge.
i32 MapAxis(int point, int start, int extent, int game) {
  if (extent <= 0 || game <= 0) return point;
  return static_cast<i32>(FloorDiv((2 * static_cast<i64>(point - start) + 1) * game, 2 * static_cast<i64>(extent)));
}

}  // namespace

Viewport FitViewport(int outerWidth, int outerHeight, int gameWidth, int gameHeight) {
  Viewport v;
  if (outerWidth <= 0 || outerHeight <= 0) return v;
  if (gameWidth <= 0 || gameHeight <= 0) {
    v.width = outerWidth;
    v.height = outerHeight;
    return v;
  }
  const i64 ow = outerWidth, oh = outerHeight, gw = gameWidth, gh = gameHeight;
  if (ow * gh <= oh * gw) {
    // Width decides; bars above and below.
    v.width = outerWidth;
    v.height = static_cast<int>((ow * gh + gw / 2) / gw);
  } else {
    v.height = outerHeight;
    v.width = static_cast<int>((oh * gw + gh / 2) / gh);
  }
  if (v.width < 1) v.width = 1;
  if (v.height < 1) v.height = 1;
  v.x = (outerWidth - v.width) / 2;
  v.y = (outerHeight - v.height) / 2;
  return v;
}

void WindowToGame(const Viewport& view, int gameWidth, int gameHeight, int windowX, int windowY, i32& gameX,
                  i32& gameY) {
  gameX = MapAxis(windowX, view.x, view.width, gameWidth);
  gameY = MapAxis(windowY, view.y, view.height, gameHeight);
}

}  // namespace lyraban::platform
