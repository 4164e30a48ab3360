#include "platform/headless/headless_platform.h"

#include <gtest/gtest.h>

#include <vector>

namespace lyraban::platform {
namespace {

TEST(HeadlessPlatform, LastFrameIsCopiedWithoutRowPadding) {
  HeadlessPlatform p;
  std::vector<u8> bgr;
  int w = 0, h = 0;
  EXPECT_FALSE(p.CopyLastFrame(bgr, w, h));  // nothing on screen before a window
  ASSERT_TRUE(p.CreateMainWindow(4, 3));
  ASSERT_TRUE(p.CopyLastFrame(bgr, w, h));
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 3);
  EXPECT_EQ(bgr, std::vector<u8>(4 * 3 * 3, 0));

  const int pitch = 16;
  std::vector<u8> pixels(pitch * 3, 0xEE);
  for (int y = 0; y < 3; ++y)
    for (int i = 0; i < 12; ++i) pixels[y * pitch + i] = static_cast<u8>(y * 12 + i);
  p.Present(pixels.data(), 4, 3, pitch);
  ASSERT_TRUE(p.CopyLastFrame(bgr, w, h));
  ASSERT_EQ(bgr.size(), 36u);
  for (size_t i = 0; i < bgr.size(); ++i) EXPECT_EQ(bgr[i], i) << i;
  EXPECT_EQ(p.framesPresented(), 1u);
}

}  // namespace
}  // namespace lyraban::platform
