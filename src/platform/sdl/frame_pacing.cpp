#include "platform/sdl/frame_pacing.h"

#include <cstring>

#include "base/types.h"

namespace lyraban::platform {

void FramePacer::SetRefreshRate(int hz) {
  // Rates beyond 1000 Hz would round to no pacing at all; slow panels below
  // 20 Hz are treated as 20 Hz so that input never waits long.
  if (hz <= 0) {
    interval_ = kDefaultIntervalMs;
    return;
  }
  if (hz > 1000) hz = 1000;
  if (hz < 20) hz = 20;
  interval_ = static_cast<u32>(1000 / hz);
}

u32 FramePacer::WaitBefore(u32 now) const {
  if (!any_) return 0;
  const u32 elapsed = ElapsedMs(lastTurn_, now);
  return elapsed >= interval_ ? 0 : interval_ - elapsed;
}

void FramePacer::MarkTurn(u32 now) {
  lastTurn_ = now;
  any_ = true;
}

bool KeepFrameIfChanged(std::vector<u8>& kept, int& keptWidth, int& keptHeight, const u8* pixels, int width, int height,
                        int pitch) {
  if (!pixels || width <= 0 || height <= 0 || pitch < width * 3) return false;
  const size_t row = static_cast<size_t>(width) * 3;
  const size_t total = row * static_cast<size_t>(height);
  // The kept copy itself handed back in (a repaint) is not a new frame.
  if (pixels == kept.data() && width == keptWidth && height == keptHeight && kept.size() == total) return false;
  bool changed = width != keptWidth || height != keptHeight || kept.size() != total;
  if (!changed) {
    if (static_cast<size_t>(pitch) == row) {
      changed = std::memcmp(kept.data(), pixels, total) != 0;
    } else {
      for (int y = 0; y < height && !changed; ++y)
        changed =
            std::memcmp(kept.data() + row * static_cast<size_t>(y), pixels + static_cast<size_t>(pitch) * y, row) != 0;
    }
  }
  if (!changed) return false;
  kept.resize(total);
  for (int y = 0; y < height; ++y)
    std::memcpy(kept.data() + row * static_cast<size_t>(y), pixels + static_cast<size_t>(pitch) * y, row);
  keptWidth = width;
  keptHeight = height;
  return true;
}

}  // namespace lyraban::platform
