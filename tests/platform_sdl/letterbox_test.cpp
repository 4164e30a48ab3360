#include "platform/sdl/letterbox.h"

#include <gtest/gtest.h>

#include <utility>

namespace lyraban::platform {
namespace {

TEST(FitViewport, KeepsAspectAndCentres) {
  struct Case {
    int ow, oh, gw, gh;
    Viewport want;
  } cases[] = {
      {800, 600, 800, 600, {0, 0, 800, 600}},        // same size: no bars
      {1600, 1200, 800, 600, {0, 0, 1600, 1200}},    // whole scale
      {1920, 1080, 800, 600, {240, 0, 1440, 1080}},  // wide screen: bars left and right
      {800, 1000, 800, 600, {0, 200, 800, 600}},     // tall window: bars above and below
      {1000, 700, 800, 600, {33, 0, 933, 700}},      // odd scale rounds to the nearest pixel
      {300, 100, 640, 480, {83, 0, 133, 100}},       // smaller than the game
      {1366, 768, 1024, 768, {171, 0, 1024, 768}},   // only one axis fits exactly
  };
  for (const Case& c : cases) {
    const Viewport v = FitViewport(c.ow, c.oh, c.gw, c.gh);
    SCOPED_TRACE(testing::Message() << c.ow << "x" << c.oh << " game " << c.gw << "x" << c.gh);
    EXPECT_EQ(v.x, c.want.x);
    EXPECT_EQ(v.y, c.want.y);
    EXPECT_EQ(v.width, c.want.width);
    EXPECT_EQ(v.height, c.want.height);
    // The picture never leaves the window.
    EXPECT_GE(v.x, 0);
    EXPECT_GE(v.y, 0);
    EXPECT_LE(v.x + v.width, c.ow);
    EXPECT_LE(v.y + v.height, c.oh);
  }
}

TEST(FitViewport, DegenerateSizes) {
  // {window, game, want}: a minimised window has no area; a sliver still gets
  // one pixel; without a game size the whole window is used.
  const struct {
    int ow, oh, gw, gh, width, height;
  } cases[] = {{0, 0, 800, 600, 0, 0}, {1, 1000, 800, 600, 1, 1}, {640, 480, 0, 0, 640, 480}};
  for (const auto& c : cases) {
    const Viewport v = FitViewport(c.ow, c.oh, c.gw, c.gh);
    EXPECT_EQ(v.width, c.width) << c.ow;
    EXPECT_EQ(v.height, c.height) << c.ow;
  }
}

TEST(WindowToGame, CornersAndBars) {
  const Viewport v = FitViewport(1920, 1080, 800, 600);  // {240, 0, 1440, 1080}
  // {window x, window y, game x, game y}; in the bars the point lies outside
  // the picture, so that it never lands on a button at the edge.
  const int cases[][4] = {{240, 0, 0, 0},   {240 + 1439, 1079, 799, 599}, {960, 540, 400, 300},
                          {239, 540, -1, 300}, {240 + 1440, 540, 800, 300}};
  for (const auto& c : cases) {
    i32 x = 0, y = 0;
    WindowToGame(v, 800, 600, c[0], c[1], x, y);
    EXPECT_EQ(x, c[2]) << c[0];
    EXPECT_EQ(y, c[3]) << c[0];
  }
}

TEST(WindowToGame, WholeScalesGiveEveryPixelItsBlock) {
  for (int scale = 1; scale <= 3; ++scale) {
    const Viewport v = FitViewport(64 * scale, 48 * scale, 64, 48);
    for (int wx = 0; wx < 64 * scale; ++wx) {
      i32 x = 0, y = 0;
      WindowToGame(v, 64, 48, wx, 0, x, y);
      ASSERT_EQ(x, wx / scale) << "scale " << scale << " window x " << wx;
    }
  }
}

TEST(WindowToGame, ShrunkPictureStaysInsideTheGame) {
  // Smaller than the game and at an odd scale: the picture's own pixels
  // must never map outside it.
  const int gw = 800, gh = 600;
  for (const auto& size : {std::pair{333, 250}, std::pair{799, 601}, std::pair{1000, 700}}) {
    const Viewport v = FitViewport(size.first, size.second, gw, gh);
    for (int wx = v.x; wx < v.x + v.width; ++wx) {
      i32 x = 0, y = 0;
      WindowToGame(v, gw, gh, wx, v.y + v.height - 1, x, y);
      ASSERT_GE(x, 0);
      ASSERT_LT(x, gw);
      ASSERT_LT(y, gh);
      ASSERT_GE(y, gh - 3);
    }
  }
}

}  // namespace
}  // namespace lyraban::platform
