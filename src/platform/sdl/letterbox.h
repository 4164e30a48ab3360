#pragma once
#include "base/types.h"

namespace lyraban::platform {

// Where the game picture goes inside a window (or screen) of another size:
// as large as fits with the aspect kept, centred, the rest black bars.
struct Viewport {
  int x = 0, y = 0, width = 0, height = 0;
};

Viewport FitViewport(int outerWidth, int outerHeight, int gameWidth, int gameHeight);

// A window point back to game pixels. Points in the bars land outside
// 0 … game size − 1, as a cursor outside the client area would.
void WindowToGame(const Viewport& view, int gameWidth, int gameHeight, int windowX, int windowY, i32& gameX,
                  i32& gameY);

}  // namespace lyraban::platform
