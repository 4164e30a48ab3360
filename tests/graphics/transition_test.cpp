#include "graphics/transition.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "graphics/transition_kernels.h"
#include "platform/headless/virtual_clock.h"

namespace lyraban {
namespace {

using Bytes = std::vector<u8>;

Bytes Copy(const Surface& s) { return Bytes(s.pixels(), s.pixels() + s.ByteSize()); }

void Fill(Surface& s, u8 value) { std::memset(s.pixels(), value, s.ByteSize()); }

// A one-channel 8-bit PNG, so rule pictures reach the mask without the grey
// conversion a colour picture would get.
std::string GreyPng(int w, int h, const Bytes& grey) {
  std::string raw;
  for (int y = 0; y < h; ++y) {
    raw.push_back('\0');
    raw.append(reinterpret_cast<const char*>(grey.data()) + y * w, w);
  }
  uLongf packedSize = compressBound(raw.size());
  std::string packed(packedSize, '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
           raw.size());
  packed.resize(packedSize);
  auto be32 = [](std::string& out, u32 v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift));
  };
  std::string png("\x89PNG\r\n\x1a\n", 8);
  auto chunk = [&](const char* type, const std::string& data) {
    be32(png, static_cast<u32>(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    be32(png, crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size()));
  };
  std::string header;
  be32(header, w);
  be32(header, h);
  header += std::string("\x08\x00\x00\x00\x00", 5);
  chunk("IHDR", header);
  chunk("IDAT", packed);
  chunk("IEND", "");
  return png;
}

// Plays the engine's part: every presentation records the front buffer and
// takes 16 ms of virtual time, as the headless display does.
class TestHost : public EffectHost {
 public:
  TestHost(ScreenBuffers& screen, platform::VirtualClock& clock) : screen_(screen), clock_(clock) {}

  void PresentScreen() override {
    frames.push_back(Copy(screen_.FrontBuffer()));
    times.push_back(clock_.Now());
    clock_.Advance(16);
  }
  bool PumpInput(bool yield) override {
    ++pumps;
    if (yield) ++yields;
    return quitAfterPumps < 0 || pumps <= quitAfterPumps;
  }
  bool IsSkipping() override { return skipping; }
  u8 ScriptMode() override { return mode; }
  bool ScreenEffectsEnabled() override { return effects; }
  bool LayersDirty() override { return dirty; }
  void ComposeLayers(Surface& composed) override {
    ++composes;
    Fill(composed, sceneColour);
    dirty = false;
  }
  bool FirstLayerIsMovie() override { return movie; }
  bool ReadResource(std::string_view folder, std::string_view name, std::string& bytes) override {
    auto it = files.find(std::string(folder) + "/" + std::string(name));
    if (it == files.end()) return false;
    bytes = it->second;
    return true;
  }

  // The layers change to a picture of one grey level.
  void ChangeScene(u8 colour) {
    sceneColour = colour;
    dirty = true;
  }

  std::vector<Bytes> frames;
  std::vector<u32> times;
  int pumps = 0;
  int yields = 0;
  int quitAfterPumps = -1;
  int composes = 0;
  bool skipping = false;
  u8 mode = 0;
  bool effects = true;
  bool dirty = false;
  bool movie = false;
  u8 sceneColour = 0;
  std::map<std::string, std::string> files;

 private:
  ScreenBuffers& screen_;
  platform::VirtualClock& clock_;
};

struct Rig {
  explicit Rig(int w = 8, int h = 4, u32 start = 1000) : clock(start), host(screen, clock), fx(screen, host, clock) {
    EXPECT_TRUE(screen.Create(w, h));
    Fill(screen.FrontBuffer(), 0);
    Fill(screen.ComposedBuffer(), 0);
    Fill(screen.PreviousBuffer(), 0);
  }
  ScreenBuffers screen;
  platform::VirtualClock clock;
  TestHost host;
  ScreenTransitions fx;
};

// The byte formulas, one pixel at a time.
u8 PlainByte(int n, int o, int t) { return static_cast<u8>((n * t + o * (255 - t)) >> 8); }
u8 SaturatingByte(int n, int o, int t) { return static_cast<u8>(std::min(255, (n * t + o * (256 - t)) >> 8)); }

// ---------------------------------------------------------------------------
// The cross-fade formula.

TEST(CrossFadeFormula, Extremes) {
  Surface dst, nw, old;
  ASSERT_TRUE(dst.Create(3, 4, 2));
  ASSERT_TRUE(nw.Create(3, 4, 2));
  ASSERT_TRUE(old.Create(3, 4, 2));
  Fill(nw, 255);
  Fill(old, 0);
  // The plain form never quite reaches the new picture...
  ASSERT_TRUE(CrossFade(dst, nw, old, 255));
  EXPECT_EQ(Copy(dst), Bytes(24, 254));
  // ...while the saturating one starts on the old picture exactly.
  ASSERT_TRUE(CrossFade(dst, old, nw, 0, true));
  EXPECT_EQ(Copy(dst), Bytes(24, 255));
  ASSERT_TRUE(CrossFade(dst, nw, old, 128, true));
  EXPECT_EQ(Copy(dst), Bytes(24, 127));
  // t is limited to 0..255.
  ASSERT_TRUE(CrossFade(dst, nw, old, 1000));
  EXPECT_EQ(Copy(dst), Bytes(24, 254));
  ASSERT_TRUE(CrossFade(dst, nw, old, -7, true));
  EXPECT_EQ(Copy(dst), Bytes(24, 0));
  // Mismatched surfaces draw nothing.
  EXPECT_FALSE(CrossFade(dst, nw, Surface(), 10));
  EXPECT_EQ(Copy(dst), Bytes(24, 0));
}

// Every path, on sizes with and without a partial last word or block, against
// the per-pixel formula; bytes past the last whole word (block) stay as they
// were.
TEST(CrossFadeFormula, FastPathsMatchPerPixelReference) {
  std::mt19937 rng(12345);
  const int sizes[][2] = {{800, 600}, {7, 5}, {13, 3}, {33, 1}};
  for (auto [w, h] : sizes) {
    Surface dst, nw, old;
    ASSERT_TRUE(dst.Create(3, w, h));
    ASSERT_TRUE(nw.Create(3, w, h));
    ASSERT_TRUE(old.Create(3, w, h));
    const std::size_t size = nw.ByteSize();
    for (std::size_t i = 0; i < size; ++i) {
      nw.pixels()[i] = static_cast<u8>(rng());
      old.pixels()[i] = static_cast<u8>(rng());
    }
    for (int t : {0, 1, 127, 128, 254, 255}) {
      for (bool saturating : {false, true}) {
        Fill(dst, 0xA5);
        ASSERT_TRUE(CrossFade(dst, nw, old, t, saturating));
        const std::size_t whole = saturating ? size / 8 * 8 : size / 4 * 4;
        for (int y = 0; y < h; ++y) {
          for (int x = 0; x < w; ++x) {
            for (int c = 0; c < 3; ++c) {
              const std::size_t i = (static_cast<std::size_t>(y) * w + x) * 3 + c;
              const u8 n = nw.pixels()[i], o = old.pixels()[i];
              const u8 want = i >= whole ? 0xA5 : saturating ? SaturatingByte(n, o, t) : PlainByte(n, o, t);
              ASSERT_EQ(dst.pixels()[i], want) << w << "x" << h << " t=" << t << " sat=" << saturating << " @" << i;
            }
          }
        }
      }
    }
  }
}

TEST(CrossFadeFormula, EveryInstructionSetAgrees) {
  std::mt19937 rng(777);
  const std::size_t size = 1000 + 37;
  Bytes nw(size), old(size);
  for (std::size_t i = 0; i < size; ++i) nw[i] = static_cast<u8>(rng()), old[i] = static_cast<u8>(rng());
  Bytes scalar(size), fast(size);
  for (unsigned a : {0u, 1u, 127u, 128u, 254u, 255u}) {
    for (unsigned b : {255u - a, 256u - a}) {
      ASSERT_TRUE(WeighWith(CrossFadePath::Scalar, scalar.data(), nw.data(), old.data(), size, a, b));
      for (std::size_t i = 0; i < size; ++i) ASSERT_EQ(scalar[i], (nw[i] * a + old[i] * b) >> 8);
      for (CrossFadePath path : {CrossFadePath::Sse2, CrossFadePath::Avx2, CrossFadePath::Avx512}) {
        std::fill(fast.begin(), fast.end(), 0);
        if (!WeighWith(path, fast.data(), nw.data(), old.data(), size, a, b)) continue;  // not on this processor
        ASSERT_EQ(fast, scalar) << "path " << static_cast<int>(path) << " a=" << a << " b=" << b;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// The automatic cross-fade.

// Runs one waiting loop until the fade is over; returns how many frames it
// presented while still fading.
int RunUntilSettled(Rig& rig) {
  int fading = 0;
  for (int guard = 0; guard < 10000; ++guard) {
    rig.fx.UpdateScreen();
    const bool was = rig.fx.IsFading();
    rig.host.PresentScreen();
    if (!was) return fading;
    ++fading;
  }
  ADD_FAILURE() << "fade never ended";
  return fading;
}

TEST(AutomaticFade, FiveHundredMillisecondsEndOnTheNewPicture) {
  Rig rig;
  rig.host.ChangeScene(200);
  rig.fx.UpdateScreen();  // settles the first composition without a visible old one
  rig.host.frames.clear();
  Fill(rig.screen.ComposedBuffer(), 40);  // what the old composition showed
  rig.host.ChangeScene(240);
  const u32 start = rig.clock.Now();
  const int fading = RunUntilSettled(rig);
  // Frames every 16 ms from 0 to 496 fade; the one at 512 is the new picture.
  EXPECT_EQ(fading, 32);
  ASSERT_EQ(rig.host.frames.size(), 33u);
  for (std::size_t i = 0; i < rig.host.frames.size(); ++i) {
    const u32 elapsed = rig.host.times[i] - start;
    const int t = static_cast<int>(elapsed * 256 / 500);
    const u8 want = t < 256 ? PlainByte(240, 40, t) : 240;
    EXPECT_EQ(rig.host.frames[i], Bytes(96, want)) << "frame at " << elapsed << " ms";
  }
  EXPECT_LT(rig.host.times[31] - start, 500u);
  EXPECT_GE(rig.host.times.back() - start, 500u);
  EXPECT_EQ(rig.host.frames.back(), Copy(rig.screen.ComposedBuffer()));
  // The previous buffer kept the composition the fade started from.
  EXPECT_EQ(Copy(rig.screen.PreviousBuffer()), Bytes(96, 40));
}

TEST(AutomaticFade, EndsExactlyWhenTheDurationHasPassed) {
  Rig rig;
  rig.host.ChangeScene(180);
  rig.fx.UpdateScreen();
  rig.clock.Advance(499);
  rig.fx.UpdateScreen();
  EXPECT_TRUE(rig.fx.IsFading());
  EXPECT_EQ(Copy(rig.screen.FrontBuffer()), Bytes(96, PlainByte(180, 0, 255)));
  rig.clock.Advance(1);
  rig.fx.UpdateScreen();
  EXPECT_FALSE(rig.fx.IsFading());
  EXPECT_EQ(Copy(rig.screen.FrontBuffer()), Bytes(96, 180));
}

TEST(AutomaticFade, PendingDurationIsClampedAndUsedOnce) {
  Rig rig;
  rig.fx.SetNextFadeDuration(100000);
  EXPECT_EQ(rig.fx.pendingFadeDuration(), 60000);
  rig.fx.SetNextFadeDuration(-5);
  EXPECT_EQ(rig.fx.pendingFadeDuration(), 0);

  // 0: the change appears at once, and the pending value is used up.
  rig.host.ChangeScene(90);
  rig.fx.UpdateScreen();
  EXPECT_FALSE(rig.fx.IsFading());
  EXPECT_EQ(rig.fx.pendingFadeDuration(), -1);
  EXPECT_EQ(Copy(rig.screen.FrontBuffer()), Bytes(96, 90));
  // The next change fades over the default again.
  rig.host.ChangeScene(10);
  rig.fx.UpdateScreen();
  EXPECT_EQ(rig.fx.fadeDuration(), 500);
  EXPECT_EQ(RunUntilSettled(rig), 32);

  rig.fx.SetNextFadeDuration(100);
  rig.host.ChangeScene(70);
  EXPECT_EQ(RunUntilSettled(rig), 7);  // 0..96 ms
}

TEST(AutomaticFade, EffectsOffOrSkippingCutsFadesExceptInSystemAndDemo) {
  for (bool skipping : {false, true}) {
    for (u8 mode : {0, 1, 2, 3, 4}) {
      Rig rig;
      rig.host.effects = skipping;  // one of the two reasons at a time
      rig.host.skipping = skipping;
      rig.host.mode = mode;
      rig.host.ChangeScene(150);
      rig.fx.UpdateScreen();
      const bool keeps = mode == 3 || mode == 4;
      EXPECT_EQ(rig.fx.IsFading(), keeps) << "mode " << int(mode) << " skipping " << skipping;
      if (keeps)
        EXPECT_EQ(Copy(rig.screen.FrontBuffer()), Bytes(96, PlainByte(150, 0, 0)));
      else
        EXPECT_EQ(Copy(rig.screen.FrontBuffer()), Bytes(96, 150));
    }
  }
  // Skipping that starts mid-fade ends the fade at the next update.
  Rig rig;
  rig.host.ChangeScene(150);
  rig.fx.UpdateScreen();
  rig.clock.Advance(100);
  rig.host.skipping = true;
  rig.fx.UpdateScreen();
  EXPECT_FALSE(rig.fx.IsFading());
  EXPECT_EQ(Copy(rig.screen.FrontBuffer()), Bytes(96, 150));
}

TEST(AutomaticFade, ChangeMidFadeRestartsFromTheComposition) {
  Rig rig;
  rig.host.ChangeScene(100);
  rig.fx.UpdateScreen();
  rig.clock.Advance(250);
  rig.fx.UpdateScreen();
  EXPECT_EQ(Copy(rig.screen.FrontBuffer()), Bytes(96, PlainByte(100, 0, 128)));
  rig.host.ChangeScene(220);
  const u32 restart = rig.clock.Now();
  rig.fx.UpdateScreen();
  EXPECT_EQ(rig.fx.fadeStart(), restart);
  // Old side is the full composition, not the half-faded screen.
  EXPECT_EQ(Copy(rig.screen.PreviousBuffer()), Bytes(96, 100));
  EXPECT_EQ(Copy(rig.screen.FrontBuffer()), Bytes(96, PlainByte(220, 100, 0)));
}

TEST(AutomaticFade, RecomposesUnchangedLayersOnlyForSystemModeOrMovies) {
  Rig rig;
  rig.fx.UpdateScreen();
  EXPECT_EQ(rig.host.composes, 0);
  rig.host.mode = 3;
  rig.fx.UpdateScreen();
  EXPECT_EQ(rig.host.composes, 1);
  rig.host.mode = 4;
  rig.fx.UpdateScreen();
  EXPECT_EQ(rig.host.composes, 1);
  rig.host.movie = true;
  rig.fx.UpdateScreen();
  EXPECT_EQ(rig.host.composes, 2);
  EXPECT_FALSE(rig.fx.IsFading());  // no new fade without a change
}

TEST(AutomaticFade, SurvivesClockWrapAndUsesSaturatingFormWithMmx) {
  Rig rig(8, 4, 0xFFFFFF80u);
  rig.fx.SetMmxSwitch(true);
  rig.host.ChangeScene(255);
  rig.fx.UpdateScreen();
  EXPECT_EQ(Copy(rig.screen.FrontBuffer()), Bytes(96, 0));  // t = 0 shows the old picture exactly
  rig.clock.Advance(250);                                   // past the wrap, which the engine's timers count as 249 ms
  rig.fx.UpdateScreen();
  EXPECT_TRUE(rig.fx.IsFading());
  EXPECT_EQ(Copy(rig.screen.FrontBuffer()), Bytes(96, SaturatingByte(255, 0, 249 * 256 / 500)));
  EXPECT_EQ(RunUntilSettled(rig), 16);
  EXPECT_EQ(Copy(rig.screen.FrontBuffer()), Bytes(96, 255));
}

TEST(AutomaticFade, ComposeNowCancelsTheFade) {
  Rig rig;
  rig.host.ChangeScene(30);
  rig.fx.UpdateScreen();
  ASSERT_TRUE(rig.fx.IsFading());
  rig.host.sceneColour = 60;
  rig.fx.ComposeNow();
  EXPECT_FALSE(rig.fx.IsFading());
  rig.fx.UpdateScreen();
  EXPECT_EQ(Copy(rig.screen.FrontBuffer()), Bytes(96, 60));
}

// ---------------------------------------------------------------------------
// Wipes through rule pictures. The screen is 4×2; the rule has one grey level
// per pixel; old picture 0, new picture 255, 160 ms, so the frames come at
// p = 0, 102, 204, 307, 409, 512, 614, ... 1024.

const Bytes kRule = {0, 64, 128, 255, 10, 100, 200, 250};

struct WipeRig : Rig {
  explicit WipeRig(const Bytes& rule = kRule) : Rig(4, 2) {
    host.files["img/rule"] = GreyPng(4, 2, rule);
    host.ChangeScene(255);
  }
};

// The pixels of a frame, one value per pixel (all three bytes must agree).
Bytes PixelsOf(const Bytes& frame) {
  Bytes out;
  for (std::size_t i = 0; i < frame.size(); i += 3) {
    EXPECT_TRUE(frame[i] == frame[i + 1] && frame[i] == frame[i + 2]);
    out.push_back(frame[i]);
  }
  return out;
}

TEST(HardWipe, DarkSwitchesFirstAtTheChosenTimes) {
  WipeRig rig;
  rig.fx.Wipe("rule", 160);
  EXPECT_EQ(rig.host.composes, 1);
  EXPECT_FALSE(rig.host.dirty);
  // 11 frames (0..160 ms), then the loop leaves at 176 ms and shows the end.
  ASSERT_EQ(rig.host.frames.size(), 12u);
  EXPECT_EQ(PixelsOf(rig.host.frames[0]), Bytes(8, 0));                              // p/4 = 0
  EXPECT_EQ(PixelsOf(rig.host.frames[1]), (Bytes{255, 0, 0, 0, 255, 0, 0, 0}));      // 25
  EXPECT_EQ(PixelsOf(rig.host.frames[3]), (Bytes{255, 255, 0, 0, 255, 0, 0, 0}));    // 76
  EXPECT_EQ(PixelsOf(rig.host.frames[5]), (Bytes{255, 255, 0, 0, 255, 255, 0, 0}));  // 128: 128 not yet
  EXPECT_EQ(PixelsOf(rig.host.frames[6]), (Bytes{255, 255, 255, 0, 255, 255, 0, 0}));
  EXPECT_EQ(PixelsOf(rig.host.frames[7]), (Bytes{255, 255, 255, 0, 255, 255, 0, 0}));    // 179
  EXPECT_EQ(PixelsOf(rig.host.frames[9]), (Bytes{255, 255, 255, 0, 255, 255, 255, 0}));  // 230
  EXPECT_EQ(PixelsOf(rig.host.frames[10]), Bytes(8, 255));                               // 256: even white
  EXPECT_EQ(PixelsOf(rig.host.frames[11]), Bytes(8, 255));
  EXPECT_EQ(rig.host.yields, 0);
}

TEST(HardWipe, BlackRuleSwitchesEverythingInTheFirstFrameThatMoves) {
  WipeRig rig(Bytes(8, 0));
  rig.fx.Wipe("rule", 1000);
  ASSERT_GE(rig.host.frames.size(), 3u);
  EXPECT_EQ(PixelsOf(rig.host.frames[0]), Bytes(8, 0));  // p = 0 switches nothing
  EXPECT_EQ(PixelsOf(rig.host.frames[1]), Bytes(8, 255));
}

TEST(HardWipe, QuitSkipMissingRuleAndEffectsOff) {
  {
    WipeRig rig;
    rig.host.quitAfterPumps = 0;
    rig.fx.Wipe("rule", 160);
    EXPECT_EQ(rig.host.pumps, 1);
    ASSERT_EQ(rig.host.frames.size(), 1u);  // only the final picture
    EXPECT_EQ(PixelsOf(rig.host.frames[0]), Bytes(8, 255));
  }
  {
    WipeRig rig;
    rig.host.quitAfterPumps = 3;
    rig.fx.Wipe("rule", 160);
    EXPECT_EQ(rig.host.frames.size(), 4u);
  }
  for (bool soft : {false, true}) {
    WipeRig rig;
    rig.host.skipping = true;
    soft ? rig.fx.FadeWipe("rule", 160) : rig.fx.Wipe("rule", 160);
    ASSERT_EQ(rig.host.frames.size(), 1u);
    EXPECT_EQ(PixelsOf(rig.host.frames[0]), Bytes(8, 255));
  }
  for (bool soft : {false, true}) {
    // The layers are composed, nothing is shown; the next update shows them.
    WipeRig rig;
    soft ? rig.fx.FadeWipe("absent", 160) : rig.fx.Wipe("absent", 160);
    EXPECT_TRUE(rig.host.frames.empty());
    EXPECT_EQ(rig.host.composes, 1);
    EXPECT_EQ(Copy(rig.screen.FrontBuffer()), Bytes(24, 0));
    rig.fx.UpdateScreen();
    EXPECT_EQ(Copy(rig.screen.FrontBuffer()), Bytes(24, 255));
  }
  for (bool soft : {false, true}) {
    // Effects off: the current composition is shown once, nothing composed.
    WipeRig rig;
    Fill(rig.screen.ComposedBuffer(), 33);
    rig.host.effects = false;
    soft ? rig.fx.FadeWipe("rule", 160) : rig.fx.Wipe("rule", 160);
    EXPECT_EQ(rig.host.composes, 0);
    ASSERT_EQ(rig.host.frames.size(), 1u);
    EXPECT_EQ(PixelsOf(rig.host.frames[0]), Bytes(8, 33));
  }
}

TEST(SoftWipe, BandSlidesFromDarkToLight) {
  WipeRig rig;
  // The old picture is what is on screen when the wipe starts, not the
  // previous buffer's stale content.
  Fill(rig.screen.FrontBuffer(), 255);
  Fill(rig.screen.PreviousBuffer(), 77);
  rig.host.ChangeScene(0);
  rig.fx.FadeWipe("rule", 160);
  ASSERT_EQ(rig.host.frames.size(), 12u);
  // From old 255 to new 0 a pixel shows its weight v = mask − (p − 512) / 2
  // itself, cut to 0..255.
  EXPECT_EQ(PixelsOf(rig.host.frames[0]), Bytes(8, 255));
  // p = 307: (307 − 512) >> 1 = −103, rounded down, not towards zero.
  EXPECT_EQ(PixelsOf(rig.host.frames[3]), (Bytes{103, 167, 231, 255, 113, 203, 255, 255}));
  EXPECT_EQ(PixelsOf(rig.host.frames[5]), (Bytes{0, 64, 128, 255, 10, 100, 200, 250}));  // p = 512
  EXPECT_EQ(PixelsOf(rig.host.frames[10]), Bytes(8, 0));                                 // p = 1024
  EXPECT_EQ(PixelsOf(rig.host.frames[11]), Bytes(8, 0));
  EXPECT_EQ(Copy(rig.screen.PreviousBuffer()), Bytes(24, 0));
}

TEST(SoftWipe, BlendsEachByteBetweenOldAndNew) {
  WipeRig rig;
  Fill(rig.screen.FrontBuffer(), 200);
  rig.host.ChangeScene(100);
  rig.fx.FadeWipe("rule", 160);
  ASSERT_EQ(rig.host.frames.size(), 12u);
  // At p = 512 the weight is the mask value: new + (old − new)·m/255 rounded.
  EXPECT_EQ(PixelsOf(rig.host.frames[5]), (Bytes{100, 125, 150, 200, 104, 139, 178, 198}));
}

// ---------------------------------------------------------------------------
// Flash and shake.

TEST(Flash, CountIsLimitedAndEachFlashIsOneFrame) {
  const int counts[][2] = {{0, 1}, {-3, 1}, {3, 3}, {10, 10}, {50, 10}};
  for (auto [asked, shown] : counts) {
    Rig rig(2, 2);
    Fill(rig.screen.ComposedBuffer(), 9);
    rig.host.effects = false;  // a flash ignores the effects setting
    rig.fx.Flash(asked, 255, 128, 0);
    ASSERT_EQ(rig.host.frames.size(), static_cast<std::size_t>(2 * shown)) << asked;
    const Bytes colour = {0, 128, 255, 0, 128, 255, 0, 128, 255, 0, 128, 255};  // blue, green, red
    for (int i = 0; i < shown; ++i) {
      EXPECT_EQ(rig.host.frames[2 * i], colour);
      EXPECT_EQ(rig.host.frames[2 * i + 1], Bytes(12, 9));
    }
  }
}

// A picture whose every pixel differs, so a shifted copy tells its offset.
struct ShakeRig : Rig {
  ShakeRig() : Rig(16, 12) {
    u8* p = screen.ComposedBuffer().pixels();
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 16; ++x) {
        u8* px = p + (y * 16 + x) * 3;
        px[0] = static_cast<u8>(x + 1), px[1] = static_cast<u8>(y + 1), px[2] = 7;
      }
  }
};

// The offset at which a frame holds the composed picture; false when none of
// the offsets up to ±limit fits.
bool FindOffset(const Bytes& frame, const Surface& composed, int limit, int& dx, int& dy) {
  const int w = composed.width(), h = composed.height();
  for (dy = -limit; dy <= limit; ++dy)
    for (dx = -limit; dx <= limit; ++dx) {
      bool fits = true;
      for (int y = std::max(0, dy); fits && y < std::min(h, h + dy); ++y)
        for (int x = std::max(0, dx); fits && x < std::min(w, w + dx); ++x)
          fits = std::memcmp(&frame[(y * w + x) * 3], composed.pixels() + ((y - dy) * w + (x - dx)) * 3, 3) == 0;
      if (fits) return true;
    }
  return false;
}

TEST(Shake, OffsetsStayWithinAmplitudeAndTheEndIsUnshaken) {
  ShakeRig rig;
  rig.fx.Shake(5, 3, 71, 83, 200);
  // Frames every 16 ms up to the first one past the duration (208 ms).
  ASSERT_EQ(rig.host.frames.size(), 14u);
  std::vector<std::pair<int, int>> offsets;
  for (const Bytes& frame : rig.host.frames) {
    int dx = 0, dy = 0;
    ASSERT_TRUE(FindOffset(frame, rig.screen.ComposedBuffer(), 5, dx, dy));
    EXPECT_LE(std::abs(dx), 5);
    EXPECT_LE(std::abs(dy), 3);
    offsets.emplace_back(dx, dy);
  }
  // sin(16·71/200) = −0.570 and sin(16·83/200) = 0.349, truncated towards 0.
  EXPECT_EQ(offsets[0], std::make_pair(0, 0));
  EXPECT_EQ(offsets[1], std::make_pair(-2, 1));
  EXPECT_EQ(offsets[13], std::make_pair(-4, -2));
  // The strip uncovered on the right keeps what was there before.
  const Bytes& second = rig.host.frames[1];
  EXPECT_EQ(second[(0 * 16 + 15) * 3], rig.host.frames[0][(0 * 16 + 15) * 3]);
  EXPECT_EQ(Copy(rig.screen.FrontBuffer()), Copy(rig.screen.ComposedBuffer()));
}

TEST(Shake, QuitSkipAndEffectsOffEndAtOnce) {
  struct Case {
    int quitAfterPumps;
    bool skipping;
    std::size_t frames;
  };
  for (const Case c : {Case{0, false, 0}, Case{5, false, 5}, Case{-1, true, 0}}) {
    ShakeRig rig;
    rig.host.quitAfterPumps = c.quitAfterPumps;
    rig.host.skipping = c.skipping;
    rig.fx.Shake(20, 20, 71, 83, 1000);
    EXPECT_EQ(rig.host.frames.size(), c.frames);
    EXPECT_EQ(Copy(rig.screen.FrontBuffer()), Copy(rig.screen.ComposedBuffer()));  // left unshaken
  }
  ShakeRig off;
  off.host.effects = false;
  off.fx.Shake(20, 20, 71, 83, 1000);
  EXPECT_EQ(off.host.pumps, 0);
  EXPECT_EQ(Copy(off.screen.FrontBuffer()), Bytes(16 * 12 * 3, 0));
  // No duration: still frames until time moves past it, no 0/0 angle.
  ShakeRig still;
  still.fx.Shake(20, 20, 71, 83, 0);
  ASSERT_EQ(still.host.frames.size(), 2u);
  EXPECT_EQ(still.host.frames[1], Copy(still.screen.ComposedBuffer()));
}

}  // namespace
}  // namespace lyraban
