#include "platform/sdl/frame_pacing.h"

#include <gtest/gtest.h>

#include <vector>

namespace lyraban::platform {
namespace {

TEST(FramePacer, FramesComeAtMostOncePerRefresh) {
  FramePacer pacer;
  EXPECT_EQ(pacer.WaitBefore(1000), 0u) << "the first frame never waits";
  pacer.MarkTurn(1000);
  EXPECT_EQ(pacer.WaitBefore(1000), 16u);
  EXPECT_EQ(pacer.WaitBefore(1010), 6u);
  EXPECT_EQ(pacer.WaitBefore(1016), 0u);
  EXPECT_EQ(pacer.WaitBefore(5000), 0u) << "a long pause does not bank frames";
  // Across the wrap of the millisecond counter, which the engine's rule
  // counts as (0xFFFFFFFF - start) + now = 9 ms.
  pacer.MarkTurn(0xFFFFFFF8u);
  EXPECT_EQ(pacer.WaitBefore(2), 7u);
}

TEST(FramePacer, IntervalFollowsTheRefreshRate) {
  const struct {
    int hz;
    u32 interval;
  } cases[] = {{0, 16}, {-5, 16}, {60, 16}, {75, 13}, {144, 6}, {10, 50}, {5000, 1}};
  for (const auto& c : cases) {
    FramePacer pacer;
    pacer.SetRefreshRate(c.hz);
    EXPECT_EQ(pacer.intervalMs(), c.interval) << c.hz << " Hz";
  }
}

struct Kept {
  std::vector<u8> bytes;
  int width = 0, height = 0;
  bool Offer(const std::vector<u8>& pixels, int w, int h, int pitch) {
    return KeepFrameIfChanged(bytes, width, height, pixels.data(), w, h, pitch);
  }
};

TEST(KeepFrameIfChanged, OnlyChangedWellFormedFramesAreNewAndKept) {
  Kept kept;
  std::vector<u8> frame(4 * 3 * 2, 7);
  EXPECT_TRUE(kept.Offer(frame, 4, 2, 12)) << "the first frame is new";
  EXPECT_EQ(kept.bytes, frame);
  EXPECT_FALSE(kept.Offer(frame, 4, 2, 12)) << "the same bytes again";
  frame.back() = 8;  // the last byte of the last row
  EXPECT_TRUE(kept.Offer(frame, 4, 2, 12));
  EXPECT_EQ(kept.bytes, frame);
  // Same bytes, other shape: a new frame.
  EXPECT_TRUE(kept.Offer(frame, 2, 4, 6));
  EXPECT_EQ(kept.width, 2);
  EXPECT_EQ(kept.height, 4);
  // Two rows of 2 pixels (6 bytes) at a pitch of 8: bytes 6, 7 are padding,
  // neither compared nor kept.
  frame = {1, 2, 3, 4, 5, 6, 99, 99, 7, 8, 9, 10, 11, 12};
  EXPECT_TRUE(kept.Offer(frame, 2, 2, 8));
  EXPECT_EQ(kept.bytes, (std::vector<u8>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  frame[6] = frame[7] = 0;
  EXPECT_FALSE(kept.Offer(frame, 2, 2, 8)) << "only the padding changed";
  frame[13] = 0;
  EXPECT_TRUE(kept.Offer(frame, 2, 2, 8));
  EXPECT_EQ(kept.bytes.back(), 0);
  // Bad frames and the kept copy itself are not new.
  frame.assign(12, 1);
  ASSERT_TRUE(kept.Offer(frame, 2, 2, 6));
  EXPECT_FALSE(kept.Offer(frame, 0, 2, 6));
  EXPECT_FALSE(kept.Offer(frame, 2, 2, 5)) << "a pitch shorter than a row";
  EXPECT_FALSE(KeepFrameIfChanged(kept.bytes, kept.width, kept.height, nullptr, 2, 2, 6));
  EXPECT_FALSE(KeepFrameIfChanged(kept.bytes, kept.width, kept.height, kept.bytes.data(), 2, 2, 6));
  EXPECT_EQ(kept.bytes, frame);
}

}  // namespace
}  // namespace lyraban::platform
