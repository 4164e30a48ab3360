#include "graphics/transition.h"

#include <array>

#include "graphics/transition_kernels.h"
#include "platform/headless/virtual_clock.h"
#include "surface_helpers.h"

namespace lyraban {
namespace {

using namespace gfxtest;

void Fill(Surface& s, u8 value) { std::memset(s.pixels(), value, s.ByteSize()); }

// The byte formulas, one byte at a time.
u8 PlainByte(int n, int o, int t) { return static_cast<u8>((n * t + o * (255 - t)) >> 8); }
u8 SaturatingByte(int n, int o, int t) { return static_cast<u8>(std::min(255, (n * t + o * (256 - t)) >> 8)); }

// Plays the engine's part on its own screen buffers: every presentation
// records the front buffer and takes 16 ms of virtual time, as the headless
// display does. The layers are one grey level; the only resource is the rule
// picture "img/rule".
struct Rig : EffectHost {
  explicit Rig(int w = 8, int h = 4, u32 start = 1000) : clock(start), fx(screen, *this, clock) {
    EXPECT_TRUE(screen.Create(w, h));
    for (Surface* s : {&screen.FrontBuffer(), &screen.ComposedBuffer(), &screen.PreviousBuffer()}) Fill(*s, 0);
  }
  void PresentScreen() override { frames.push_back(Front()), clock.Advance(16); }
  bool PumpInput(bool) override { return true; }
  bool IsSkipping() override { return skipping; }
  u8 ScriptMode() override { return mode; }
  bool ScreenEffectsEnabled() override { return effects; }
  bool LayersDirty() override { return dirty; }
  void ComposeLayers(Surface& composed) override { ++composes, Fill(composed, sceneColour), dirty = false; }
  bool FirstLayerIsMovie() override { return false; }
  bool ReadResource(std::string_view folder, std::string_view name, std::string& bytes) override {
    return bytes = rule, folder == "img" && name == "rule";
  }
  void ChangeScene(u8 colour) { sceneColour = colour, dirty = true; }
  Bytes Front() { return BytesOf(screen.FrontBuffer()); }
  // Lets `ms` pass, updates the screen and gives what it shows.
  Bytes Step(u32 ms = 0) { return clock.Advance(ms), fx.UpdateScreen(), Front(); }
  // Updates and presents until the fade is over; the number of frames
  // presented while still fading.
  int RunUntilSettled() {
    for (int fading = 0; fading < 10000; ++fading) {
      const bool was = (fx.UpdateScreen(), fx.IsFading());
      PresentScreen();
      if (!was) return fading;
    }
    return -1;
  }

  ScreenBuffers screen;
  platform::VirtualClock clock;
  ScreenTransitions fx;
  std::vector<Bytes> frames;
  int composes = 0;
  bool effects = true, dirty = false, skipping = false;
  u8 mode = 0;
  u8 sceneColour = 0;
  std::string rule;
};

// Sizes with and without a partial last word or block: bytes past the last
// whole word (block) keep what they held. Then every instruction-set path
// against the scalar one.
TEST(CrossFade, EveryPathMatchesTheByteFormula) {
  std::mt19937 rng(12345);
  for (auto [w, h] : {std::pair{800, 600}, {7, 5}, {13, 3}, {33, 1}}) {
    Surface dst = Make(3, w, h, {0, 0, 0}), nw = RandomSurface(3, w, h, rng), old = RandomSurface(3, w, h, rng);
    const std::size_t size = nw.ByteSize();
    for (int t : {-7, 0, 1, 127, 128, 254, 255, 1000}) {  // t is limited to 0..255
      for (bool saturating : {false, true}) {
        Fill(dst, 0xA5);
        ASSERT_TRUE(CrossFade(dst, nw, old, t, saturating));
        const std::size_t whole = saturating ? size / 8 * 8 : size / 4 * 4;
        const int tt = std::clamp(t, 0, 255);
        for (std::size_t i = 0; i < size; ++i) {
          const u8 n = nw.pixels()[i], o = old.pixels()[i];
          ASSERT_EQ(dst.pixels()[i], i >= whole   ? 0xA5
                                     : saturating ? SaturatingByte(n, o, tt)
                                                  : PlainByte(n, o, tt))
              << w << "x" << h << " t=" << t << " sat=" << saturating << " @" << i;
        }
      }
    }
  }
  const std::size_t size = 1000 + 37;
  const Bytes nw = BytesOf(RandomSurface(1, size, 1, rng)), old = BytesOf(RandomSurface(1, size, 1, rng));
  Bytes scalar(size), fast(size);
  for (unsigned a : {0u, 1u, 128u, 255u}) {
    for (unsigned b : {255u - a, 256u - a}) {
      ASSERT_TRUE(WeighWith(CrossFadePath::Scalar, scalar.data(), nw.data(), old.data(), size, a, b));
      for (CrossFadePath path : {CrossFadePath::Sse2, CrossFadePath::Avx2, CrossFadePath::Avx512}) {
        std::fill(fast.begin(), fast.end(), 0);
        if (!WeighWith(path, fast.data(), nw.data(), old.data(), size, a, b)) continue;  // not on this processor
        ASSERT_EQ(fast, scalar) << "path " << static_cast<int>(path) << " a=" << a << " b=" << b;
      }
    }
  }
  // Surfaces of another format or size draw nothing.
  Surface dst = Make(3, 4, 2, {1, 1, 1}), grey = Make(1, 12, 2, {1});
  EXPECT_FALSE(CrossFade(dst, dst, Surface(), 10) || CrossFade(grey, dst, dst, 10));
}

// One rig through a sequence of changes: a whole fade, a change mid-fade,
// the exact end of a fade and the pending duration.
TEST(AutomaticFade, FiveHundredMillisecondsRestartsAndDurations) {
  Rig rig;
  rig.ChangeScene(200);
  rig.Step();                             // settles the first composition without a visible old one
  Fill(rig.screen.ComposedBuffer(), 40);  // what the old composition showed
  rig.ChangeScene(100);
  // Frames every 16 ms from 0 to 496 fade; the one at 512 is the new picture.
  EXPECT_EQ(rig.RunUntilSettled(), 32);
  for (int i = 0; i < 33; ++i)
    EXPECT_EQ(rig.frames.at(i), Bytes(96, i < 32 ? PlainByte(100, 40, i * 16 * 256 / 500) : 100)) << i;
  // A change mid-fade starts again from the full composition, not the half-faded screen.
  rig.ChangeScene(0);
  rig.Step();
  rig.clock.Advance(250);
  rig.ChangeScene(220);
  EXPECT_EQ(rig.Step(), Bytes(96, PlainByte(220, 0, 0)));
  EXPECT_EQ(BytesOf(rig.screen.PreviousBuffer()), Bytes(96, 0));
  EXPECT_EQ(rig.Step(499), Bytes(96, PlainByte(220, 0, 255)));
  EXPECT_EQ(rig.Step(1), Bytes(96, 220));  // the duration has passed exactly
  // Durations are limited to 60 s; below zero means 0 ms, used once.
  rig.fx.SetNextFadeDuration(100000);
  EXPECT_EQ(rig.fx.pendingFadeDuration(), 60000);
  rig.fx.SetNextFadeDuration(-5);
  rig.ChangeScene(90);
  EXPECT_EQ(rig.Step(), Bytes(96, 90));
  EXPECT_EQ(rig.fx.pendingFadeDuration(), -1);
}

// Settled: UpdateScreen would only copy the same composition again.
TEST(AutomaticFade, SettledOnlyWhileTheNextUpdateWouldChangeNothing) {
  Rig rig;
  EXPECT_FALSE(rig.fx.Settled()) << "nothing was copied to the front yet";
  rig.ChangeScene(100);
  EXPECT_FALSE(rig.fx.Settled()) << "a change waits to be composed";
  rig.Step();
  EXPECT_FALSE(rig.fx.Settled()) << "the cross-fade runs";
  rig.RunUntilSettled();
  EXPECT_TRUE(rig.fx.Settled());
  const Bytes shown = rig.Front();
  const int composes = rig.composes;
  EXPECT_EQ(rig.Step(1000), shown) << "a settled update shows the same picture";
  EXPECT_EQ(rig.composes, composes);
  EXPECT_TRUE(rig.fx.Settled());
  // Drawn into the composition behind the update's back (a wipe composes
  // at once): not settled until the next update copies it.
  rig.fx.ComposeNow();
  EXPECT_FALSE(rig.fx.Settled());
  rig.Step();
  EXPECT_TRUE(rig.fx.Settled());
  // Anime runs in system mode: every update composes.
  rig.mode = kEffectModeSystem;
  EXPECT_FALSE(rig.fx.Settled());
  rig.mode = kEffectModeDemo;
  EXPECT_TRUE(rig.fx.Settled()) << "demo mode keeps fades but composes only on changes";
}

// Wipes on a 4×2 screen through a rule with one grey level per pixel over
// 160 ms, so the frames come at p = 0, 102, 204, 307, 409, 512, ... 1024.
struct WipeRig : Rig {
  WipeRig(u8 oldColour, u8 newColour) : Rig(4, 2) {
    rule = PngOf(Make(1, 4, 2, {0, 64, 128, 255, 10, 100, 200, 250}));
    Fill(screen.FrontBuffer(), oldColour);
    Fill(screen.PreviousBuffer(), 77);  // stale: the old side is what is on screen
    ChangeScene(newColour);
  }
};

TEST(Wipe, HardEdgeSwitchesDarkFirstAndSoftEdgeBandSlides) {
  WipeRig hard(0, 255);
  hard.fx.Wipe("rule", 160);
  EXPECT_EQ(hard.composes, 1);
  // 11 frames (0..160 ms), then the loop leaves at 176 ms and shows the end.
  ASSERT_EQ(hard.frames.size(), 12u);
  EXPECT_EQ(hard.frames[0], Grey3({255, 0, 0, 0, 0, 0, 0, 0}));        // black switches at once
  EXPECT_EQ(hard.frames[1], Grey3({255, 0, 0, 0, 255, 0, 0, 0}));      // p/4 = 25: 10 now too
  EXPECT_EQ(hard.frames[5], Grey3({255, 255, 0, 0, 255, 255, 0, 0}));  // 128: 128 not yet
  EXPECT_EQ(hard.frames[10], Bytes(24, 255));                          // 256: even white
  // An all-black rule picture switches the whole screen in the first frame.
  WipeRig black(0, 255);
  black.rule = PngOf(Make(1, 4, 2, {0, 0, 0, 0, 0, 0, 0, 0}));
  black.fx.Wipe("rule", 160);
  ASSERT_FALSE(black.frames.empty());
  EXPECT_EQ(black.frames[0], Bytes(24, 255));
  WipeRig rig(255, 0);
  rig.fx.FadeWipe("rule", 160);
  ASSERT_EQ(rig.frames.size(), 12u);
  // From old 255 to new 0 a pixel shows its weight v = mask − (p − 512) / 2
  // itself, cut to 0..255; (307 − 512) >> 1 = −103 rounds down, not towards zero.
  EXPECT_EQ(rig.frames[3], Grey3({103, 167, 231, 255, 113, 203, 255, 255}));
  EXPECT_EQ(rig.frames[10], Bytes(24, 0));
  EXPECT_EQ(BytesOf(rig.screen.PreviousBuffer()), Bytes(24, 0));
}

// Shakes on an 8 x 4 screen whose scene numbers its pixels 1..32 (x + 8y + 1)
// over 64 ms with amplitudes 3, 2 and rates 2, 4: frames at 0, 16, ... 80 ms
// (the loop goes on while e <= 64) shift the scene by (0, 0), (1, 1),
// (2, 1), (2, 0), (2, -1), (1, -1).
struct ShakeRig : Rig {
  ShakeRig() : Rig(8, 4) {
    Bytes scene;
    for (int i = 1; i <= 32; ++i) scene.insert(scene.end(), 3, static_cast<u8>(i));
    std::copy(scene.begin(), scene.end(), screen.ComposedBuffer().pixels());
    Fill(screen.FrontBuffer(), 200);
  }
  void PresentScreen() override {
    Rig::PresentScreen();
    if (frames.size() == skipAfter) skipping = true;
  }
  void Shake() { fx.Shake(3, 2, 2, 4, 64); }
  // What a frame shows at (x, y).
  u8 At(std::size_t frame, int x, int y) const { return frames.at(frame).at(static_cast<std::size_t>(y * 8 + x) * 3); }
  static u8 Scene(int x, int y) { return static_cast<u8>(x + 8 * y + 1); }
  std::size_t skipAfter = 0;
};

TEST(Shake, OffsetsFollowTheSinesAndTheUncoveredStripKeepsTheLastFrame) {
  ShakeRig rig;
  rig.Shake();
  ASSERT_EQ(rig.frames.size(), 6u);
  EXPECT_EQ(rig.frames[0], BytesOf(rig.screen.ComposedBuffer())) << "no offset at 0 ms";
  // (1, 1): the scene moves right and down; row 0 and column 0 keep frame 0.
  EXPECT_EQ(std::tuple(rig.At(1, 3, 2), rig.At(1, 0, 0), rig.At(1, 5, 0), rig.At(1, 0, 3)),
            std::tuple(ShakeRig::Scene(2, 1), ShakeRig::Scene(0, 0), ShakeRig::Scene(5, 0), ShakeRig::Scene(0, 3)));
  // (2, 1) then (2, 0): column 1 of frame 3 still holds frame 2's column 1,
  // which frame 1 left there.
  EXPECT_EQ(std::tuple(rig.At(2, 7, 3), rig.At(3, 7, 3), rig.At(3, 1, 2)),
            std::tuple(ShakeRig::Scene(5, 2), ShakeRig::Scene(5, 3), ShakeRig::Scene(0, 1)));
  // (2, -1): up by one; the bottom row keeps frame 3's bottom row.
  EXPECT_EQ(std::tuple(rig.At(4, 5, 1), rig.At(4, 7, 3)), std::tuple(ShakeRig::Scene(3, 2), ShakeRig::Scene(5, 3)));
  EXPECT_EQ(std::tuple(rig.At(5, 1, 0), rig.At(5, 0, 3)), std::tuple(ShakeRig::Scene(0, 1), rig.At(4, 0, 3)));
  // Afterwards the scene stands still again, shown by the next presentation.
  EXPECT_EQ(BytesOf(rig.screen.FrontBuffer()), BytesOf(rig.screen.ComposedBuffer()));
}

TEST(Shake, EffectsOffDoNothingAndSkippingEndsItInPlace) {
  ShakeRig off;
  off.effects = false;
  off.Shake();
  EXPECT_EQ(off.frames.size(), 0u);
  EXPECT_EQ(BytesOf(off.screen.FrontBuffer()), Bytes(96, 200)) << "effects off leave the screen alone";
  for (std::size_t after : {0u, 2u}) {
    ShakeRig skip;
    skip.skipping = after == 0;
    skip.skipAfter = after;
    skip.Shake();
    EXPECT_EQ(skip.frames.size(), after) << "frames before skipping ended the shake";
    EXPECT_EQ(BytesOf(skip.screen.FrontBuffer()), BytesOf(skip.screen.ComposedBuffer()))
        << "the scene is put back in place after " << after << " frames";
  }
}

// Effects off or skipping cut the fade, except in the system and demo modes.
TEST(AutomaticFade, EffectsOffOrSkippingCutItOutsideSystemAndDemo) {
  for (u8 mode = 0; mode <= 4; ++mode) {
    for (bool skip : {false, true}) {
      SCOPED_TRACE(std::to_string(mode) + (skip ? " skipping" : " effects off"));
      Rig rig;
      rig.mode = mode;
      rig.skipping = rig.effects = skip;  // skipping with effects on, or effects off
      rig.ChangeScene(200);
      const bool kept = mode == 3 || mode == 4;
      EXPECT_EQ(rig.Step()[0], kept ? 0 : 200);  // the fade's first frame is still the old scene
      EXPECT_EQ(rig.fx.IsFading(), kept);
    }
  }
}

// Each flash is one coloured frame and one scene frame; the count is held
// to 1..10 and screen effects do not suppress it.
TEST(Flash, CountIsHeldToOneThroughTenEvenWithEffectsOff) {
  for (auto [asked, shown] : {std::pair{50, 10}, {0, 1}, {-3, 1}, {3, 3}}) {
    SCOPED_TRACE(asked);
    Rig rig;
    rig.effects = false;
    rig.fx.Flash(asked, 255, 0, 0);
    ASSERT_EQ(rig.frames.size(), static_cast<size_t>(shown) * 2);
    EXPECT_EQ(rig.frames[0][2], 255);  // red, stored blue-green-red
    EXPECT_EQ(rig.frames[1][2], 0);    // back to the scene
  }
}

}  // namespace
}  // namespace lyraban
