#include "platform/sdl/sdl_clock.h"

#include <SDL.h>

#include <chrono>

namespace lyraban::platform {

u32 SdlClock::Now() { return static_cast<u32>(SDL_GetTicks64()); }

void SdlClock::Sleep(u32 ms) { SDL_Delay(ms); }

void SdlClock::WaitOnWorker(u32 ms) {
  std::unique_lock lock(mutex_);
  const u64 generation = wakeGeneration_;
  wake_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return wakeGeneration_ != generation; });
}

void SdlClock::Wake() {
  {
    std::lock_guard lock(mutex_);
    ++wakeGeneration_;
  }
  wake_.notify_all();
}

}  // namespace lyraban::platform
