#include "graphics/thumbnail.h"

#include <cstring>

namespace lyraban {

void MakeThumbnail(const Surface& screen, int width, int height, u8* out) {
  Surface small;
  if (width <= 0 || height <= 0 || !small.Create(3, width, height)) return;
  FillRect(small, 0, 0, 0, 0, 0, width, height);
  ScaleDown(small, screen);
  FillRect(small, 255, 255, 255, 0, 0, width, 1);
  FillRect(small, 255, 255, 255, 0, height - 1, width, 1);
  FillRect(small, 255, 255, 255, 0, 0, 1, height);
  FillRect(small, 255, 255, 255, width - 1, 0, 1, height);
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  for (int y = 0; y < height; ++y) std::memcpy(out + rowBytes * static_cast<std::size_t>(y), small.Row(y), rowBytes);
}

}  // namespace lyraban
