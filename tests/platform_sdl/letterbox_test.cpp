#include "platform/sdl/letterbox.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>

namespace lyraban::platform {
namespace {

TEST(FitViewport, KeepsAspectAndCentres) {
  const struct {
    int ow, oh, gw, gh;
    std::array<int, 4> want;
  } cases[] = {
      {800, 600, 800, 600, {0, 0, 800, 600}},        // same size: no bars
      {1600, 1200, 800, 600, {0, 0, 1600, 1200}},    // whole scale
      {1920, 1080, 800, 600, {240, 0, 1440, 1080}},  // wide screen: bars left and right
      {800, 1000, 800, 600, {0, 200, 800, 600}},     // tall window: bars above and below
      {1000, 700, 800, 600, {33, 0, 933, 700}},      // odd scale rounds to the nearest pixel
      {300, 100, 640, 480, {83, 0, 133, 100}},       // smaller than the game
      {1366, 768, 1024, 768, {171, 0, 1024, 768}},   // only one axis fits exactly
      {0, 0, 800, 600, {0, 0, 0, 0}},                // minimised: no area
      {1, 1000, 800, 600, {0, 499, 1, 1}},           // a sliver still gets one pixel
      {640, 480, 0, 0, {0, 0, 640, 480}},            // no game size: the whole window
  };
  for (const auto& c : cases) {
    const Viewport v = FitViewport(c.ow, c.oh, c.gw, c.gh);
    EXPECT_EQ((std::array{v.x, v.y, v.width, v.height}), c.want) << c.ow << "x" << c.oh;
  }
}

TEST(WindowToGame, CornersAndBars) {
  const Viewport v = FitViewport(1920, 1080, 800, 600);  // {240, 0, 1440, 1080}
  // {window x, window y, game x, game y}; in the bars the point lies outside
  // the picture, so that it never lands on a button at the edge.
  const int cases[][4] = {{240, 0, 0, 0},
                          {240 + 1439, 1079, 799, 599},
                          {960, 540, 400, 300},
                          {239, 540, -1, 300},
                          {240 + 1440, 540, 800, 300}};
  for (const auto& c : cases) {
    i32 x = 0, y = 0;
    WindowToGame(v, 800, 600, c[0], c[1], x, y);
    EXPECT_EQ(std::pair(x, y), std::pair(c[2], c[3])) << c[0];
  }
}

// Whole scales give every game pixel its block; shrunk or odd-scaled
// pictures never map their own pixels outside the game.
TEST(WindowToGame, EveryPixelOfThePictureMapsInsideTheGame) {
  for (const auto& [ow, oh, scale] :
       {std::array{64, 48, 1}, {128, 96, 2}, {192, 144, 3}, {333, 250, 0}, {799, 601, 0}, {1000, 700, 0}}) {
    const int gw = scale ? 64 : 800, gh = scale ? 48 : 600;
    const Viewport v = FitViewport(ow, oh, gw, gh);
    for (int wx = v.x; wx < v.x + v.width; ++wx) {
      i32 x = 0, y = 0;
      WindowToGame(v, gw, gh, wx, v.y + v.height - 1, x, y);
      ASSERT_TRUE(x >= 0 && x < gw && y < gh && y >= gh - 3 && (!scale || x == (wx - v.x) / scale))
          << ow << "x" << oh << " window x " << wx << " game x " << x;
    }
  }
}

}  // namespace
}  // namespace lyraban::platform
