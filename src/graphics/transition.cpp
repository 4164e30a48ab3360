#include "graphics/transition.h"

#include <algorithm>
#include <cmath>

#include "graphics/png.h"

namespace lyraban {

ScreenTransitions::ScreenTransitions(ScreenBuffers& screen, EffectHost& host, platform::Clock& clock)
    : screen_(screen), host_(host), clock_(clock) {}

void ScreenTransitions::SetNextFadeDuration(int ms) { pendingFade_ = std::clamp(ms, 0, kMaxFadeMs); }

void ScreenTransitions::UpdateScreen() {
  Surface& front = screen_.FrontBuffer();
  Surface& composed = screen_.ComposedBuffer();
  Surface& previous = screen_.PreviousBuffer();
  const u32 now = clock_.Now();
  const u8 mode = host_.ScriptMode();

  if (host_.LayersDirty()) {
    fadeDuration_ = pendingFade_ >= 0 ? pendingFade_ : kDefaultFadeMs;
    pendingFade_ = -1;
    // The fade starts from the last composition, not from a half-faded
    // front buffer, when a change arrives mid-fade.
    CopyScreen(previous, composed);
    host_.ComposeLayers(composed);
    fadeStart_ = now;
  } else if (mode == kEffectModeSystem || host_.FirstLayerIsMovie()) {
    // Nothing changed, but anime programs and movies still move.
    host_.ComposeLayers(composed);
  }

  const bool keepsFades = mode == kEffectModeSystem || mode == kEffectModeDemo;
  if ((!host_.ScreenEffectsEnabled() || host_.IsSkipping()) && !keepsFades) fadeDuration_ = 0;

  if (fadeDuration_ <= 0) {
    CopyScreen(front, composed);
    copiedComposition_ = composed.edits();
    return;
  }
  // Computed wide: a stall of hours then ends the fade instead of wrapping
  // the product into a negative step.
  const i64 t = static_cast<i64>(ElapsedMs(fadeStart_, now)) * 256 / fadeDuration_;
  if (t < 256) {
    CrossFade(front, composed, previous, static_cast<int>(t), mmx_);
  } else {
    CopyScreen(front, composed);
    copiedComposition_ = composed.edits();
    fadeDuration_ = 0;
  }
}

bool ScreenTransitions::Settled() {
  const u8 mode = host_.ScriptMode();
  return fadeDuration_ <= 0 && !host_.LayersDirty() && mode != kEffectModeSystem && !host_.FirstLayerIsMovie() &&
         screen_.ComposedBuffer().edits() == copiedComposition_;
}

void ScreenTransitions::ComposeNow() {
  host_.ComposeLayers(screen_.ComposedBuffer());
  fadeDuration_ = 0;
}

bool ScreenTransitions::BeginWipe(std::string_view rule, Surface& mask) {
  if (!host_.ScreenEffectsEnabled()) {
    CopyScreen(screen_.FrontBuffer(), screen_.ComposedBuffer());
    host_.PresentScreen();
    return false;
  }
  ComposeNow();
  const ResourceReader reader = [this](std::string_view folder, std::string_view name, std::string& bytes) {
    return host_.ReadResource(folder, name, bytes);
  };
  // Without a rule picture the new composition simply appears with the next
  // screen update.
  const TakeDecodedFn take = [this](std::string_view name, Surface& pixels) {
    return host_.TakeDecodedPicture(name, pixels);
  };
  return LoadScreenMask(reader, mask, rule, screen_.width(), screen_.height(), take) &&
         mask.ByteSize() == static_cast<std::size_t>(screen_.width()) * screen_.height() &&
         screen_.FrontBuffer().ByteSize() == mask.ByteSize() * 3 &&
         screen_.ComposedBuffer().ByteSize() == mask.ByteSize() * 3 &&
         screen_.PreviousBuffer().ByteSize() == mask.ByteSize() * 3;
}

u64 ScreenTransitions::WipeProgress(u32 start, int durationMs) {
  // A non-positive duration has nothing to show: the wipe is over at once.
  if (durationMs <= 0) return 1025;
  return static_cast<u64>(ElapsedMs(start, clock_.Now())) * 1024 / static_cast<u64>(durationMs);
}

void ScreenTransitions::Wipe(std::string_view rule, int durationMs) {
  Surface mask;
  if (!BeginWipe(rule, mask)) return;
  Surface& front = screen_.FrontBuffer();
  const Surface& composed = screen_.ComposedBuffer();
  const std::size_t pixels = mask.ByteSize();
  const u8* m = mask.pixels();
  const u32 start = clock_.Now();
  while (host_.PumpInput(false) && !host_.IsSkipping()) {
    const u64 p = WipeProgress(start, durationMs);
    if (p > 1024) break;
    const unsigned limit = static_cast<unsigned>(p / 4);
    u8* out = front.pixels();
    const u8* in = composed.pixels();
    for (std::size_t i = 0; i < pixels; ++i) {
      // Black (and the area outside the rule picture) switches at once,
      // in the first frame.
      if (m[i] < limit || m[i] == 0) {
        out[3 * i] = in[3 * i];
        out[3 * i + 1] = in[3 * i + 1];
        out[3 * i + 2] = in[3 * i + 2];
      }
    }
    host_.PresentScreen();
  }
  CopyScreen(front, composed);
  host_.PresentScreen();
}

void ScreenTransitions::FadeWipe(std::string_view rule, int durationMs) {
  Surface mask;
  if (!BeginWipe(rule, mask)) return;
  Surface& front = screen_.FrontBuffer();
  Surface& previous = screen_.PreviousBuffer();
  const Surface& composed = screen_.ComposedBuffer();
  CopyScreen(previous, front);
  const std::size_t pixels = mask.ByteSize();
  const u8* m = mask.pixels();
  const u32 start = clock_.Now();
  while (host_.PumpInput(false) && !host_.IsSkipping()) {
    const u64 p = WipeProgress(start, durationMs);
    if (p > 1024) break;
    // The band is 255 mask levels wide and slides from dark to light.
    const int shift = (static_cast<int>(p) - 512) >> 1;
    u8* out = front.pixels();
    const u8* nw = composed.pixels();
    const u8* old = previous.pixels();
    for (std::size_t i = 0; i < pixels; ++i) {
      const int v = m[i] - shift;
      u8* o = out + 3 * i;
      const u8* n = nw + 3 * i;
      const u8* d = old + 3 * i;
      if (v < 1) {
        o[0] = n[0], o[1] = n[1], o[2] = n[2];
      } else if (v > 255) {
        o[0] = d[0], o[1] = d[1], o[2] = d[2];
      } else {
        for (int c = 0; c < 3; ++c) {
          const int t = (d[c] - n[c]) * v + 128;
          o[c] = static_cast<u8>(n[c] + ((t + (t >> 8)) >> 8));
        }
      }
    }
    host_.PresentScreen();
  }
  CopyScreen(front, composed);
  CopyScreen(previous, composed);
  host_.PresentScreen();
}

void ScreenTransitions::Flash(int count, u8 red, u8 green, u8 blue) {
  count = std::clamp(count, 1, 10);
  for (int i = 0; i < count; ++i) {
    FillScreen(screen_.FrontBuffer(), red, green, blue);
    host_.PresentScreen();
    CopyScreen(screen_.FrontBuffer(), screen_.ComposedBuffer());
    host_.PresentScreen();
  }
}

void ScreenTransitions::Shake(int amplitudeX, int amplitudeY, int rateX, int rateY, int durationMs) {
  if (!host_.ScreenEffectsEnabled()) return;
  Surface& front = screen_.FrontBuffer();
  const Surface& composed = screen_.ComposedBuffer();
  const u32 start = clock_.Now();
  u32 e = 0;
  do {
    if (!host_.PumpInput(false) || host_.IsSkipping()) break;
    e = ElapsedMs(start, clock_.Now());
    int dx = 0, dy = 0;
    // A zero duration would make the angle 0/0; such a shake stays still.
    if (durationMs > 0) {
      dx = static_cast<int>(std::trunc(std::sin(double(e) * rateX / durationMs) * amplitudeX));
      dy = static_cast<int>(std::trunc(std::sin(double(e) * rateY / durationMs) * amplitudeY));
    }
    BlitAll(front, composed, dx, dy);
    host_.PresentScreen();
  } while (static_cast<i64>(e) <= durationMs);
  // Shown by whatever presents next.
  BlitAll(front, composed, 0, 0);
}

}  // namespace lyraban
