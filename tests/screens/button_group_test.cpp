#include "screens/button_group.h"

#include <gtest/gtest.h>

#include "screens_fixture.h"

namespace lyraban {
namespace {

using testing::GameFolder;
using testing::ScreenGrey;

class ButtonGroupTest : public ::testing::Test {
 protected:
  ButtonGroupTest() : group_(game_.reader()) {
    game_.Button("wide.png", 100, 40, 3, 5);
    game_.Button("small.png", 20, 20, 3);
    game_.Button("four.png", 20, 20, 4);
    game_.Button("two.png", 20, 20, 2);
    game_.Solid("plain.png", 30, 90, 10, 10, 10);
    game_.Solid("label.png", 10, 10, 250, 250, 250);
    screen_.Create(3, 200, 200);
    FillRect(screen_, 0, 0, 0, 0, 0, 200, 200);
  }

  GameFolder game_;
  ButtonGroup group_;
  Surface screen_;
};

TEST_F(ButtonGroupTest, HitTestUsesFirstFrameAreaAndAlpha) {
  ASSERT_TRUE(group_.AddButton(3, 7, "wide.png", 10, 20));
  EXPECT_EQ(group_.HoveredId(20, 30), 7);
  EXPECT_EQ(group_.HoveredId(109, 59), 7);
  EXPECT_EQ(group_.HoveredId(12, 30), -1) << "transparent column";
  EXPECT_EQ(group_.HoveredId(20, 60), -1) << "below the first frame";
  EXPECT_EQ(group_.HoveredId(110, 30), -1);
  EXPECT_EQ(group_.HoveredId(9, 30), -1);

  // Without alpha every pixel of the frame counts.
  ASSERT_TRUE(group_.AddButton(3, 8, "plain.png", 150, 0));
  EXPECT_EQ(group_.HoveredId(150, 0), 8);
  EXPECT_EQ(group_.HoveredId(179, 29), 8);
  EXPECT_EQ(group_.HoveredId(179, 30), -1);
}

TEST_F(ButtonGroupTest, FirstEnabledButtonWinsOverlaps) {
  group_.AddButton(3, 1, "small.png", 0, 0);
  group_.AddButton(3, 2, "small.png", 10, 10);
  EXPECT_EQ(group_.HoveredId(15, 15), 1);
  group_.EnableById(1, false);
  EXPECT_EQ(group_.HoveredId(15, 15), 2);
  EXPECT_EQ(group_.HoveredId(5, 5), -1);
  group_.DisableAll();
  EXPECT_EQ(group_.HoveredId(15, 15), -1);
  group_.EnableById(2, true);
  EXPECT_EQ(group_.HoveredIndex(15, 15), 1);
}

TEST_F(ButtonGroupTest, MissingImageAndFullGroup) {
  EXPECT_FALSE(group_.AddButton(3, 1, "nothing.png", 0, 0));
  EXPECT_EQ(group_.size(), 1u) << "the button exists but has no area";
  EXPECT_EQ(group_.HoveredId(0, 0), -1);
  group_.Draw(screen_, 1, false);  // draws nothing, must not fail
  EXPECT_EQ(ScreenGrey(screen_, 0, 0), 0);

  for (int i = 2; i <= 50; ++i) EXPECT_TRUE(group_.AddButton(3, i, "small.png", i, 0));
  EXPECT_FALSE(group_.AddButton(3, 51, "small.png", 0, 100));
  EXPECT_EQ(group_.size(), 50u);
  EXPECT_FALSE(group_.AddButtonWithOverlay(3, 51, "small.png", 0, 100, "label.png", 0, 0));
  EXPECT_EQ(group_.size(), 50u);
}

TEST_F(ButtonGroupTest, DrawChoosesFrames) {
  group_.AddButton(3, 1, "small.png", 0, 0);
  group_.AddButton(4, 2, "four.png", 30, 0);
  group_.AddButton(3, 3, "small.png", 60, 0);
  group_.AddButton(2, 4, "two.png", 90, 0);

  group_.Draw(screen_, -1, false);
  EXPECT_EQ(ScreenGrey(screen_, 5, 5), 40);
  EXPECT_EQ(ScreenGrey(screen_, 5, 25), 0) << "only one frame is drawn";

  group_.Draw(screen_, 1, false);
  EXPECT_EQ(ScreenGrey(screen_, 5, 5), 80);
  group_.Draw(screen_, 1, true);
  EXPECT_EQ(ScreenGrey(screen_, 5, 5), 120);

  group_.EnableById(2, false);
  group_.EnableById(3, false);
  group_.Draw(screen_, 2, true);
  EXPECT_EQ(ScreenGrey(screen_, 35, 5), 160) << "disabled with four frames";
  EXPECT_EQ(ScreenGrey(screen_, 65, 5), 40) << "disabled with three frames";

  group_.Draw(screen_, 4, true);
  EXPECT_EQ(ScreenGrey(screen_, 95, 5), 80) << "held frame clamped to the last one";
}

TEST_F(ButtonGroupTest, FirstButtonDrawnOnTopAndOverlayOnlyWhenHovered) {
  group_.AddButtonWithOverlay(3, 1, "small.png", 0, 0, "label.png", 150, 150);
  group_.AddButton(3, 2, "small.png", 10, 0);
  group_.Draw(screen_, 2, false);
  EXPECT_EQ(ScreenGrey(screen_, 15, 5), 40) << "the first button covers the second";
  EXPECT_EQ(ScreenGrey(screen_, 25, 5), 80);
  EXPECT_EQ(ScreenGrey(screen_, 155, 155), 0);
  group_.Draw(screen_, 1, false);
  EXPECT_EQ(ScreenGrey(screen_, 155, 155), 250);

  // A missing overlay only loses the overlay.
  EXPECT_TRUE(group_.AddButtonWithOverlay(3, 3, "small.png", 100, 100, "gone.png", 0, 0));
  EXPECT_EQ(group_.HoveredId(105, 105), 3);
}

TEST_F(ButtonGroupTest, HitTestFollowsTheShownFrame) {
  // Frame 0 opaque, frame 1 transparent on its left half.
  Surface s;
  ASSERT_TRUE(s.Create(4, 20, 40));
  FillRect(s, 90, 90, 90, 0, 0, 20, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 20; ++x) s.Row(y)[x * 4] = (y >= 20 && x < 10) ? 0 : 255;
  game_.Png("shift.png", s);
  group_.AddButton(2, 5, "shift.png", 0, 0);
  EXPECT_EQ(group_.HoveredId(3, 3), 5);
  group_.Draw(screen_, 5, false);
  EXPECT_EQ(group_.HoveredId(3, 3), -1);
  EXPECT_EQ(group_.HoveredId(13, 3), 5);
  group_.Draw(screen_, -1, false);
  EXPECT_EQ(group_.HoveredId(3, 3), 5);
}

TEST_F(ButtonGroupTest, ClickNeedsPressAndReleaseOnTheSameButton) {
  group_.AddButton(3, 1, "small.png", 0, 0);
  group_.AddButton(3, 2, "small.png", 50, 0);
  EXPECT_EQ(group_.pressedId(), 0);
  group_.Press(5, 5);
  EXPECT_EQ(group_.ClickedId(55, 5), -1);
  EXPECT_EQ(group_.ClickedId(5, 5), 1);
  group_.Press(100, 100);
  EXPECT_EQ(group_.pressedId(), -1);
  EXPECT_EQ(group_.ClickedId(100, 100), -1);
  group_.Press(55, 5);
  group_.Reset();
  EXPECT_EQ(group_.pressedId(), 0);
  EXPECT_TRUE(group_.empty());
}

// Buttons 20×20: centre = top left + 10.
class NavigateTest : public ButtonGroupTest {
 protected:
  void At(i32 id, i32 cx, i32 cy) { group_.AddButton(3, id, "small.png", cx - 10, cy - 10); }
  void ExpectWarp(u8 command, i32 fromX, i32 fromY, i32 toX, i32 toY) {
    const NavigateResult r = group_.Navigate(command, fromX, fromY);
    EXPECT_TRUE(r.warp);
    EXPECT_EQ(r.command, command);
    EXPECT_EQ(r.x, toX);
    EXPECT_EQ(r.y, toY);
  }
};

TEST_F(NavigateTest, StackedItemsStepOneAtATime) {
  At(1, 100, 100);
  At(2, 100, 170);
  At(3, 100, 240);
  ExpectWarp(8, 100, 100, 100, 170);
  ExpectWarp(8, 95, 172, 100, 240);
  ExpectWarp(7, 100, 240, 100, 170);
  // Nothing above the top item: the nearest item is the hovered one itself.
  ExpectWarp(7, 100, 100, 100, 100);
}

TEST_F(NavigateTest, WithoutHoverStartsFromThePointer) {
  At(1, 100, 100);
  At(2, 100, 170);
  At(3, 100, 240);
  ExpectWarp(8, 30, 20, 100, 100);
  ExpectWarp(8, 30, 150, 100, 170);
  // Nothing below: the nearest item.
  ExpectWarp(8, 400, 500, 100, 240);
  ExpectWarp(6, 30, 160, 100, 170);
}

TEST_F(NavigateTest, KeysAndTieBreaks) {
  // Straight ahead beats a nearer button off to the side.
  At(1, 300, 300);  // right: dy 0, dx 100 -> key 50
  At(2, 240, 260);  // dy 40, dx 40 -> key 60
  ExpectWarp(6, 200, 300, 300, 300);
  group_.Reset();

  // Equal keys: the smaller tie-break wins, whatever the order.
  At(1, 300, 300);  // key 50, tie 100
  At(2, 260, 320);  // dx 60, dy 20 -> key 50, tie 70
  ExpectWarp(6, 200, 300, 260, 320);
  group_.Reset();
  At(2, 260, 320);
  At(1, 300, 300);
  ExpectWarp(6, 200, 300, 260, 320);
  group_.Reset();

  // Full ties go to the later button.
  At(1, 100, 280);
  At(2, 100, 320);
  ExpectWarp(5, 200, 300, 100, 320);
  group_.Reset();

  // Up and down weigh the other axis: dx + dy / 2.
  At(1, 200, 100);  // dx 0, dy 100 -> key 50
  At(2, 240, 170);  // dx 40, dy 30 -> key 55
  ExpectWarp(7, 200, 200, 200, 100);
}

TEST_F(NavigateTest, DisabledAndScrollButtons) {
  At(1, 100, 100);
  At(2, 100, 170);
  At(3, 100, 240);
  At(9, 100, 400);
  group_.MarkScroll(9);
  group_.EnableById(2, false);
  // A disabled button is passed over.
  ExpectWarp(8, 100, 100, 100, 240);

  // From a hovered item, landing on a scroll button pages instead.
  NavigateResult r = group_.Navigate(8, 100, 240);
  EXPECT_FALSE(r.warp);
  EXPECT_EQ(r.command, 10);

  // Without a hovered item the scroll button is no candidate at all.
  ExpectWarp(8, 100, 300, 100, 240);

  group_.Reset();
  At(9, 100, 100);
  group_.MarkScroll(9);
  At(1, 100, 200);
  r = group_.Navigate(7, 100, 200);
  EXPECT_FALSE(r.warp);
  EXPECT_EQ(r.command, 9);
}

TEST_F(NavigateTest, OtherCommandsAndEmptyGroups) {
  NavigateResult r = group_.Navigate(8, 10, 10);
  EXPECT_FALSE(r.warp);
  EXPECT_EQ(r.command, 8);
  At(1, 100, 100);
  for (u8 c : {u8{1}, u8{2}, u8{9}, u8{22}}) {
    r = group_.Navigate(c, 100, 100);
    EXPECT_FALSE(r.warp);
    EXPECT_EQ(r.command, c);
  }
  group_.DisableAll();
  EXPECT_FALSE(group_.Navigate(8, 0, 0).warp);
}

}  // namespace
}  // namespace lyraban
