#include "graphics/thumbnail.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace lyraban {
namespace {

// Blue, green, red of a thumbnail pixel.
std::array<int, 3> At(const std::vector<u8>& t, int width, int x, int y) {
  const u8* p = t.data() + (static_cast<std::size_t>(y) * width + x) * 3;
  return {p[0], p[1], p[2]};
}

TEST(Thumbnail, ScaledScreenInsideAOnePixelWhiteFrame) {
  // An 800 × 600 screen: left half red, right half blue.
  Surface screen;
  ASSERT_TRUE(screen.Create(3, 800, 600));
  FillRect(screen, 255, 0, 0, 0, 0, 400, 600);
  FillRect(screen, 0, 0, 255, 400, 0, 400, 600);
  std::vector<u8> t(104 * 78 * 3, 7);
  MakeThumbnail(screen, 104, 78, t.data());
  const std::array<int, 3> white{255, 255, 255}, red{0, 0, 255}, blue{255, 0, 0};
  for (int x : {0, 50, 103}) {
    EXPECT_EQ(At(t, 104, x, 0), white) << "top row at x " << x;
    EXPECT_EQ(At(t, 104, x, 77), white) << "bottom row at x " << x;
  }
  for (int y : {1, 40, 76}) {
    EXPECT_EQ(At(t, 104, 0, y), white) << "left column at y " << y;
    EXPECT_EQ(At(t, 104, 103, y), white) << "right column at y " << y;
    EXPECT_EQ(At(t, 104, 20, y), red) << "left half at y " << y;
    EXPECT_EQ(At(t, 104, 80, y), blue) << "right half at y " << y;
  }
  // Without a screen the picture is black in its frame.
  MakeThumbnail(Surface(), 104, 78, t.data());
  EXPECT_EQ(At(t, 104, 50, 40), (std::array<int, 3>{0, 0, 0}));
  EXPECT_EQ(At(t, 104, 0, 0), white);
}

}  // namespace
}  // namespace lyraban
