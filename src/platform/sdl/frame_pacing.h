#pragma once
#include <vector>

#include "base/types.h"

namespace lyraban::platform {

// How often frames may reach the screen: at most one per display refresh.
// The engine's loops have no frame clock of their own; the platform holds
// every frame turn to this pace, so a loop that draws as fast as it can
// still draws only as often as the display can show.
class FramePacer {
 public:
  static constexpr u32 kDefaultIntervalMs = 16;

  // From the display's refresh rate in Hz; 0 (unknown) gives 60 Hz.
  void SetRefreshRate(int hz);
  u32 intervalMs() const { return interval_; }

  // Milliseconds to wait at `now` before the next frame is due; 0 when it
  // is due already.
  u32 WaitBefore(u32 now) const;
  // A frame turn ended at `now` (shown, or found identical and not shown).
  void MarkTurn(u32 now);

 private:
  u32 interval_ = kDefaultIntervalMs;
  u32 lastTurn_ = 0;
  bool any_ = false;
};

// Keeps a copy of the frame on screen. A new frame is copied in only when it
// differs from the kept one in size or in any byte; the answer says whether
// it did, so that an identical frame is neither uploaded nor presented.
// `pixels` are width * 3 bytes per row at `pitch` bytes from row to row.
bool KeepFrameIfChanged(std::vector<u8>& kept, int& keptWidth, int& keptHeight, const u8* pixels, int width, int height,
                        int pitch);

}  // namespace lyraban::platform
