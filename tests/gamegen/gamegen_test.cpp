#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "assets.h"
#include "graphics/png.h"
#include "platform/freetype/freetype_fonts.h"
#include "sound/ogg_stream.h"
#include "support/temp_dir.h"

namespace lyraban::gamegen {
namespace {

// Decodes what the game would read, so sizes are checked after the PNG
// round trip rather than on the canvas alone.
Surface Decoded(const Canvas& canvas, bool alpha) {
  Surface surface;
  EXPECT_TRUE(canvas.ToSurface(surface, alpha));
  std::string png;
  EXPECT_TRUE(EncodePng(surface, png));
  Surface decoded;
  EXPECT_TRUE(DecodePng(png, decoded));
  return decoded;
}

std::pair<int, int> Size(const Surface& s) { return {s.width(), s.height()}; }

int AlphaAt(const Surface& s, int x, int y) { return s.Row(y)[x * 4]; }

// Sum of alpha over one frame of a vertically stacked strip.
long FrameCoverage(const Surface& s, int frame, int frameHeight) {
  long sum = 0;
  for (int y = frame * frameHeight; y < (frame + 1) * frameHeight; ++y)
    for (int x = 0; x < s.width(); ++x) sum += AlphaAt(s, x, y);
  return sum;
}

TEST(GamegenCanvas, ShapesCoverInsideAndLeaveOutsideAndEdgesAreSoft) {
  Canvas c(40, 40);
  c.FillCircle(20, 20, 10.3f, {1, 0, 0, 1});
  EXPECT_FLOAT_EQ(c.At(20, 20).a, 1.0f);
  EXPECT_FLOAT_EQ(c.At(2, 2).a, 0.0f);
  // A pixel straddling the rim is partly covered.
  bool soft = false;
  for (int x = 28; x < 32; ++x) soft |= c.At(x, 20).a > 0.05f && c.At(x, 20).a < 0.95f;
  EXPECT_TRUE(soft);

  Canvas t(20, 20);
  t.Triangle(0, 0, 20, 0, 0, 20, {0, 1, 0, 1});
  EXPECT_GT(t.At(2, 2).a, 0.99f);
  EXPECT_LT(t.At(17, 17).a, 0.01f);
  // The winding of the corners must not matter.
  Canvas u(20, 20);
  u.Triangle(0, 20, 20, 0, 0, 0, {0, 1, 0, 1});
  EXPECT_FLOAT_EQ(u.At(2, 2).a, t.At(2, 2).a);
}

TEST(GamegenCanvas, BlendOverKeepsColourOfOpaqueLayerAndMixesHalfAlpha) {
  Canvas c(2, 1, {0, 0, 1, 1});
  c.Blend(0, 0, {1, 0, 0, 1}, 1);
  c.Blend(1, 0, {1, 0, 0, 0.5f}, 1);
  EXPECT_FLOAT_EQ(c.At(0, 0).r, 1.0f);
  EXPECT_FLOAT_EQ(c.At(0, 0).b, 0.0f);
  EXPECT_NEAR(c.At(1, 0).r, 0.5f, 1e-5);
  EXPECT_NEAR(c.At(1, 0).b, 0.5f, 1e-5);
  EXPECT_FLOAT_EQ(c.At(1, 0).a, 1.0f);
  // Outside the canvas nothing happens (and nothing is written out of bounds).
  c.Blend(-1, 0, {1, 1, 1, 1}, 1);
  c.Blend(2, 0, {1, 1, 1, 1}, 1);
}

TEST(GamegenCanvas, SurfaceBytesFollowTheEngineOrder) {
  Canvas c(1, 1, {1.0f, 0.5f, 0.0f, 0.25f});
  Surface four, three;
  ASSERT_TRUE(c.ToSurface(four, true));
  ASSERT_TRUE(c.ToSurface(three, false));
  EXPECT_EQ(std::vector<u8>(four.pixels(), four.pixels() + 4), (std::vector<u8>{64, 0, 128, 255}));  // A B G R
  // Opaque output darkens by the coverage, as over black.
  EXPECT_EQ(three.pixels()[2], 64);
}

TEST(GamegenInterface, PromptIsEightAnimatedFramesOf24Pixels) {
  const Surface prompt = Decoded(MakePrompt(), true);
  ASSERT_EQ(Size(prompt), std::pair(24, 24 * 8));
  std::vector<long> coverage;
  for (int f = 0; f < 8; ++f) {
    coverage.push_back(FrameCoverage(prompt, f, 24));
    EXPECT_GT(coverage.back(), 0) << "frame " << f;
    // Each frame stays inside its own cell: the cell's border rows are clear.
    for (int x = 0; x < 24; ++x) {
      EXPECT_EQ(AlphaAt(prompt, x, f * 24), 0) << "frame " << f;
      EXPECT_EQ(AlphaAt(prompt, x, f * 24 + 23), 0) << "frame " << f;
    }
  }
  // Frames differ, otherwise the prompt would not move.
  EXPECT_NE(coverage[0], coverage[4]);
}

TEST(GamegenInterface, ButtonStripsHaveDistinctStackedFrames) {
  const Surface item = Decoded(MakeSelectItem(), true);
  ASSERT_EQ(Size(item), std::pair(600, 180));
  // Normal, hovered and pressed must look different at the same spot.
  const u8* normal = item.Row(30) + 300 * 4;
  const u8* hover = item.Row(90) + 300 * 4;
  const u8* pressed = item.Row(150) + 300 * 4;
  EXPECT_GT(normal[0], 0);
  EXPECT_NE(normal[3], hover[3]);
  EXPECT_NE(normal[3], pressed[3]);

  const Surface icon = Decoded(MakeMapIcon({0.2f, 0.4f, 0.8f, 1}, 0), true);
  ASSERT_EQ(Size(icon), std::pair(64, 256));
  // The fourth frame is the disabled look: grey.
  const u8* disabled = icon.Row(3 * 64 + 32) + 6 * 4;
  EXPECT_EQ(disabled[1], disabled[2]);
  EXPECT_EQ(disabled[2], disabled[3]);
}

TEST(GamegenInterface, MessageBoxClockPartsMatchTheirPivots) {
  for (int kind = 0; kind < 3; ++kind) {
    const Surface box = Decoded(MakeMessageBox(kind), true);
    EXPECT_EQ(Size(box), std::pair(800, 200)) << "message box " << kind;
  }
  const Surface hand = Decoded(MakeClockHand(50, 4, {1, 1, 1, 1}), true);
  ASSERT_EQ(Size(hand), std::pair(160, 160));
  // The hand turns about (80, 80): opaque there and along the line above it,
  // clear below the short tail.
  EXPECT_EQ(AlphaAt(hand, 80, 80), 255);
  EXPECT_EQ(AlphaAt(hand, 80, 40), 255);
  EXPECT_EQ(AlphaAt(hand, 80, 120), 0);
  EXPECT_EQ(AlphaAt(hand, 20, 80), 0);
}

// Pixels of a 3- or 4-byte surface within `tolerance` of a colour (red,
// green, blue) inside a rectangle; alpha pixels must be mostly opaque.
int CountNear(const Surface& s, int x0, int y0, int x1, int y1, std::array<int, 3> rgb, int tolerance) {
  const int bpp = s.bytesPerPixel();
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const u8* p = s.Row(y) + x * bpp + (bpp == 4 ? 1 : 0);  // blue, green, red
      if (bpp == 4 && s.Row(y)[x * 4] < 200) continue;
      n += std::abs(p[2] - rgb[0]) < tolerance && std::abs(p[1] - rgb[1]) < tolerance &&
           std::abs(p[0] - rgb[2]) < tolerance;
    }
  return n;
}

// The title menu's buttons cover x 100..700 from y 160 down; the gold lyre
// and the moon stay above them.
TEST(GamegenInterface, TitleEmblemStaysAboveTheMenu) {
  const Surface title = Decoded(MakeTitle(), false);
  const std::array<int, 3> gold{240, 215, 140}, moon{255, 250, 225};
  EXPECT_EQ(CountNear(title, 100, 160, 700, 490, gold, 25), 0) << "lyre pixels behind the buttons";
  EXPECT_EQ(CountNear(title, 100, 160, 700, 490, moon, 6), 0) << "moon pixels behind the buttons";
  EXPECT_GT(CountNear(title, 300, 0, 500, 160, gold, 25), 500) << "the lyre above the menu";
}

// A map label carries its place's name in light letters between its two
// colour bands, when the machine has a CJK face to letter it with.
TEST(GamegenInterface, MapLabelsCarryTheirNames) {
  Trace trace;
  if (!platform::FreeTypeFontService(trace).HasCjkFace()) GTEST_SKIP() << "no CJK font to letter the labels";
  const Rgba green{0.35f, 0.63f, 0.35f, 1};
  const Surface shop = Decoded(MakeMapLabel(green, "面包店"), true), sea = Decoded(MakeMapLabel(green, "海边"), true);
  const std::array<int, 3> letters{255, 250, 235};
  const int shopInk = CountNear(shop, 16, 4, 144, 36, letters, 12),
            seaInk = CountNear(sea, 16, 4, 144, 36, letters, 12);
  EXPECT_GT(shopInk, 60) << "letters of 面包店";
  EXPECT_GT(seaInk, 40) << "letters of 海边";
  EXPECT_NE(shopInk, seaInk) << "two names, two different labels";
  EXPECT_EQ(CountNear(shop, 0, 0, 16, 40, letters, 12), 0) << "letters stay between the bands";
}

TEST(GamegenRules, RuleGradientsRunFromDarkToLight) {
  const Surface left = Decoded(MakeRule(0), false);
  ASSERT_EQ(Size(left), std::pair(800, 600));
  EXPECT_EQ(left.Row(300)[0], 0);
  EXPECT_EQ(left.Row(300)[799 * 3], 255);
  EXPECT_LT(left.Row(10)[200 * 3], left.Row(10)[600 * 3]);
  const Surface iris = Decoded(MakeRule(1), false);
  EXPECT_LT(iris.Row(300)[400 * 3], iris.Row(0)[0]);
}

TEST(GamegenSound, TitleMusicCarriesLoopPointsInsideTheStream) {
  MusicLoop loop{};
  const Pcm music = MakeTitleMusic(loop);
  ASSERT_LT(loop.start, loop.end);
  ASSERT_LT(loop.end, music.frames());
  std::string ogg;
  ASSERT_TRUE(EncodeOgg(music, 0.0f, {{"start", std::to_string(loop.start)}, {"end", std::to_string(loop.end)}}, ogg));
  EXPECT_LT(ogg.size(), 200u * 1024);  // stays small at the low quality setting

  OggStream stream;
  ASSERT_TRUE(stream.Open(std::vector<u8>(ogg.begin(), ogg.end())));
  EXPECT_EQ(stream.channels(), 2);
  EXPECT_EQ(stream.rate(), 44100);
  EXPECT_EQ(stream.loopStart(), loop.start);
  EXPECT_EQ(stream.loopEnd(), loop.end);
  EXPECT_EQ(stream.TotalSamples(), music.frames());
}

// The encoder itself is checked by the sound tests, which decode what it makes.
TEST(GamegenSound, NotesAreNormalisedAndOddFormatsRefused) {
  Pcm pcm(1, 22050, 0.5);
  AddNote(pcm, 0.0, 0.4, 440.0, 0.8f, {});
  Normalise(pcm, 0.5f);
  float peak = 0;
  for (float s : pcm.samples) peak = std::max(peak, std::abs(s));
  EXPECT_NEAR(peak, 0.5f, 1e-4);
  // Formats the encoder cannot take are refused, not crashed on.
  std::string ogg;
  EXPECT_FALSE(EncodeOgg(Pcm(3, 22050, 0.1), 0.0f, {}, ogg));
}

TEST(GamegenOutput, EveryWrittenFileIsCountedAndDecodable) {
  testing::TempDir dir;
  Output out;
  out.root = dir.str();
  out.Picture("img/sys_box_prompt.png", MakePrompt(), true);
  out.Sound("se/tone.ogg", Pcm(1, 22050, 0.2), 0.0f);
  EXPECT_EQ(out.failures, 0);
  ASSERT_EQ(out.files.size(), 2u);
  std::string bytes = testing::ReadFileBytes(dir.path() / "img/sys_box_prompt.png");
  Surface s;
  ASSERT_TRUE(DecodePng(bytes, s));
  EXPECT_EQ(s.height(), 192);

  // A root that cannot hold folders makes every write fail and be counted.
  Output broken;
  testing::WriteFileBytes(dir.path() / "plainfile", "x");
  broken.root = dir.str() + "/plainfile";
  broken.Picture("img/a.png", MakePrompt(), true);
  EXPECT_EQ(broken.failures, 1);
  EXPECT_TRUE(broken.files.empty());
}

}  // namespace
}  // namespace lyraban::gamegen
