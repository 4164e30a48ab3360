#pragma once
#include <string>
#include <string_view>

#include "base/types.h"
#include "graphics/surface.h"
#include "platform/clock.h"

namespace lyraban {

// What the screen effects need from the subsystems above graphics. The engine
// implements it over its input, settings, interpreter, layers, resources and
// display; tests implement it with a recorder.
class EffectHost {
 public:
  virtual ~EffectHost() = default;

  // Shows the front buffer.
  virtual void PresentScreen() = 0;
  // Pumps input in the plain context, sleeping 1 ms when `yield` is set.
  // False once the program is quitting.
  virtual bool PumpInput(bool yield) = 0;
  // Skip mode, script-forced skip or the skip key held.
  virtual bool IsSkipping() = 0;
  // The interpreter's script mode (3 system, 4 demo).
  virtual u8 ScriptMode() = 0;
  // The player's "screen effects" preference.
  virtual bool ScreenEffectsEnabled() = 0;

  // Layers: whether a change awaits composing, composing them into the
  // screen-size buffer (which clears the dirty flag), and whether layer 0
  // shows a movie (its anime keeps running, so it is composed every frame).
  virtual bool LayersDirty() = 0;
  virtual void ComposeLayers(Surface& composed) = 0;
  virtual bool FirstLayerIsMovie() = 0;

  // Reads a whole resource file (rule pictures come from folder "img").
  virtual bool ReadResource(std::string_view folder, std::string_view name, std::string& bytes) = 0;
  // A rule picture decoded ahead of need (see LayerSet::SetDecodedSource).
  virtual bool TakeDecodedPicture(std::string_view /*name*/, Surface& /*pixels*/) { return false; }
};

inline constexpr u8 kEffectModeSystem = 3;
inline constexpr u8 kEffectModeDemo = 4;

inline constexpr int kDefaultFadeMs = 500;
inline constexpr int kMaxFadeMs = 60000;

// Blends `older` towards `newer` by t/256 into `dst`; t is limited to 0..255.
// All three are 3-byte surfaces of one size. Like the word-wise loops they
// reproduce, only whole 4-byte words (8-byte blocks with `saturating`) are
// written; the few bytes past the last whole one keep what `dst` held.
//   plain:      out = (new·t + old·(255 − t)) >> 8
//   saturating: out = min(255, (new·t + old·(256 − t)) >> 8)
// False (nothing drawn) for mismatched or empty surfaces.
bool CrossFade(Surface& dst, const Surface& newer, const Surface& older, int t, bool saturating = false);

// Byte-level forms of the two formulas over `size` bytes, the fastest path
// the processor allows; same rules for the tail as above.
void CrossFadeBytes(u8* dst, const u8* newer, const u8* older, std::size_t size, int t);
void CrossFadeBytesSaturating(u8* dst, const u8* newer, const u8* older, std::size_t size, int t);

// The automatic cross-fade between compositions and the scripted wipes,
// flashes and shakes, all on the engine's three screen buffers. One per
// engine.
class ScreenTransitions {
 public:
  ScreenTransitions(ScreenBuffers& screen, EffectHost& host, platform::Clock& clock);

  // The processor's MMX and the "EnableMMX" option together pick the
  // saturating cross-fade, which rounds one step differently.
  void SetMmxSwitch(bool on) { mmx_ = on; }
  bool mmxSwitch() const { return mmx_; }

  // The next layer change cross-fades over ms, clamped to 0..60000.
  void SetNextFadeDuration(int ms);
  // Once per frame of every waiting loop, before presenting: composes a
  // pending change and advances the running cross-fade into the front buffer.
  void UpdateScreen();
  // Composes at once; this change gets no cross-fade.
  void ComposeNow();

  // Hard-edged and soft-edged wipes from what is shown to the new
  // composition through a grey-scale rule picture: dark parts change first.
  void Wipe(std::string_view rule, int durationMs);
  void FadeWipe(std::string_view rule, int durationMs);
  // count (limited to 1..10) frames of a solid colour, each followed by the
  // composed picture.
  void Flash(int count, u8 red, u8 green, u8 blue);
  // Sways the picture by sines of the elapsed time for durationMs.
  void Shake(int amplitudeX, int amplitudeY, int rateX, int rateY, int durationMs);

  int pendingFadeDuration() const { return pendingFade_; }
  int fadeDuration() const { return fadeDuration_; }
  u32 fadeStart() const { return fadeStart_; }
  bool IsFading() const { return fadeDuration_ > 0; }
  // True when UpdateScreen would only copy the same composition into the
  // front buffer again: no change awaits composing, nothing is animated
  // (system mode, a movie on layer 0), no cross-fade runs, and the
  // composition is the one last copied.
  bool Settled();

 private:
  // Shared prologue of both wipes: false when the transition is off or the
  // rule picture cannot be had.
  bool BeginWipe(std::string_view rule, Surface& mask);
  // The wipe's progress 0..1024 (beyond 1024 when it is over).
  u64 WipeProgress(u32 start, int durationMs);

  ScreenBuffers& screen_;
  EffectHost& host_;
  platform::Clock& clock_;
  bool mmx_ = false;
  int pendingFade_ = -1;
  int fadeDuration_ = 0;
  u32 fadeStart_ = 0;
  u64 copiedComposition_ = ~u64{0};  // the composed buffer's edits() when last copied whole
};

}  // namespace lyraban
