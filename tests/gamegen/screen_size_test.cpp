#include "screen_size.h"

#include <gtest/gtest.h>

#include <string>

namespace lyraban::gamegen {
namespace {

Rgba Red() { return {1, 0, 0, 1}; }
Rgba Blue() { return {0, 0, 1, 1}; }

TEST(ScreenSizeTest, EachKindOfPictureGetsItsSizeForA1080pScreen) {
  struct Case {
    const char* name;
    int width, height;  // drawn
    int wantWidth, wantHeight;
  };
  const Case cases[] = {
      {"img/bg_sea.png", 800, 600, 1920, 1080},      // scenes fill the screen
      {"img/ov_rain.png", 800, 600, 1920, 1080},     // and so do their overlays
      {"img/rule_iris.png", 800, 600, 1920, 1080},   // and the wipe rules
      {"img/black", 800, 600, 1920, 1080},           // the fade-out picture
      {"img/sys_splash.png", 800, 600, 1920, 1080},  // the splash
      {"img/chr_hikari.png", 320, 540, 576, 972},    // characters grow with the height (1.8)
      {"img/bg_title.png", 800, 600, 800, 600},      // interface screens keep their layout
      {"img/bg_map.png", 800, 600, 800, 600},        {"img/sys_save_base.png", 800, 600, 800, 600},
      {"img/face_hikari_sad.png", 120, 90, 120, 90},  // the message window's faces
      {"img/bg_odd.png", 640, 480, 640, 480},         // not drawn for the design screen
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Canvas out = ForScreen(c.name, Canvas(c.width, c.height, Red()), 1920, 1080);
    EXPECT_EQ(out.width(), c.wantWidth);
    EXPECT_EQ(out.height(), c.wantHeight);
  }
  // The design screen changes nothing.
  const Canvas same = ForScreen("img/bg_sea.png", Canvas(800, 600, Red()), 800, 600);
  EXPECT_EQ(same.width(), 800);
  EXPECT_EQ(same.height(), 600);
}

TEST(ScreenSizeTest, ResamplingKeepsEdgesWhereTheyWereAndTransparentColourOut) {
  // Left half red, right half blue, twice as wide: the edge moves to the
  // middle of the bigger picture and the halves keep their colours.
  Canvas halves(8, 2, Red());
  for (int y = 0; y < 2; ++y)
    for (int x = 4; x < 8; ++x) halves.Set(x, y, Blue());
  const Canvas wide = Resample(halves, 16, 4);
  EXPECT_FLOAT_EQ(wide.At(0, 0).r, 1);
  EXPECT_FLOAT_EQ(wide.At(6, 3).r, 1);
  EXPECT_FLOAT_EQ(wide.At(9, 0).b, 1);
  EXPECT_FLOAT_EQ(wide.At(15, 3).b, 1);
  // Pixels 7 and 8 straddle the edge: a mix of the two, a quarter each way.
  EXPECT_NEAR(wide.At(7, 0).r, 0.75f, 1e-5f);
  EXPECT_NEAR(wide.At(8, 0).b, 0.75f, 1e-5f);

  // A red dot on a transparent (but blue) ground: around it the colour
  // stays red, only the coverage falls off.
  Canvas dot(3, 3, {0, 0, 1, 0});
  dot.Set(1, 1, Red());
  const Canvas big = Resample(dot, 6, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      SCOPED_TRACE(::testing::Message() << "pixel " << x << "," << y);
      const Rgba& c = big.At(x, y);
      if (c.a == 0) continue;
      EXPECT_FLOAT_EQ(c.r, 1);
      EXPECT_FLOAT_EQ(c.b, 0);
    }
  EXPECT_GT(big.At(2, 2).a, 0.5f);
  EXPECT_LT(big.At(0, 0).a, 0.01f);
}

}  // namespace
}  // namespace lyraban::gamegen
