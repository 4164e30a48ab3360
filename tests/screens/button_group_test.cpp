#include "screens/button_group.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>

#include "screens/button_sets.h"
#include "screens_fixture.h"

namespace lyraban {
namespace {

using testing::Grey;
using enum ButtonMode;

class ButtonGroupTest : public ::testing::Test {
 protected:
  ButtonGroupTest() {
    files_.Button("wide.png", 100, 40, 3, 5);
    files_.Button("small.png", 20, 20, 3);
    files_.Button("four.png", 20, 20, 4);
    files_.Button("two.png", 20, 20, 2);
    files_.Button("shift.png", 20, 20, 3, 10, 1);    // frames 1 and 2 are clear on their left half
    files_.Button("sys_box_config.png", 60, 20, 3);  // the bar's button: 548..607 × 572..591
    files_.Button("item.png", 200, 40, 3);
    screen_.Create(3, 800, 600);
    EXPECT_TRUE(sets_.CreateBar());
  }
  void Draw(i32 hovered, bool leftDown) {
    FillRect(screen_, 0, 0, 0, 0, 0, 800, 600);
    group_.Draw(screen_, hovered, leftDown);
  }

  testing::GameFiles files_;
  ButtonGroup group_{files_.reader()};
  ButtonSets sets_{files_.reader()};
  Surface screen_;
};

TEST_F(ButtonGroupTest, HitTestUsesTheShownFrameItsAlphaAndTheFirstEnabledButton) {
  ASSERT_TRUE(group_.AddButton(3, 7, "wide.png", 10, 20));  // 10..109 × 20..59, columns 10..14 clear
  group_.AddButton(3, 8, "small.png", 100, 50);
  EXPECT_FALSE(group_.AddButton(3, 9, "nothing.png", 0, 0)) << "added, but without area";
  // clang-format off
  for (auto [x, y, id] : {std::tuple{20, 30, 7}, {109, 59, 7}, {105, 55, 7}, {115, 65, 8}, {12, 30, -1}, {20, 60, -1},
      {110, 30, -1}, {9, 30, -1}, {0, 0, -1}})
    // clang-format on
    EXPECT_EQ(group_.HoveredId(x, y), id) << x << "," << y;
  group_.EnableById(7, false);
  EXPECT_EQ(group_.HoveredIndex(105, 55), 1);

  group_.AddButton(3, 5, "shift.png", 150, 150);
  EXPECT_EQ(group_.HoveredId(153, 153), 5);
  Draw(5, false);
  EXPECT_EQ(std::pair(group_.HoveredId(153, 153), group_.HoveredId(163, 153)), std::pair(-1, 5));

  while (group_.size() < 50) group_.AddButton(3, 1, "small.png", 0, 0);
  EXPECT_FALSE(group_.AddButtonWithOverlay(3, 51, "small.png", 0, 0, "small.png", 0, 0));
  EXPECT_EQ(group_.size(), 50u);
}

TEST_F(ButtonGroupTest, DrawPicksFramesAndPaintsTheFirstButtonOnTop) {
  group_.AddButtonWithOverlay(3, 1, "small.png", 0, 0, "four.png", 150, 150);
  group_.AddButton(4, 2, "four.png", 10, 0);
  group_.AddButton(3, 3, "small.png", 60, 0);
  group_.AddButton(2, 4, "two.png", 90, 0);
  Draw(-1, false);
  EXPECT_EQ(std::tuple(Grey(screen_, 5, 5), Grey(screen_, 5, 25), Grey(screen_, 155, 155)), std::tuple(40, 0, 0))
      << "one frame each, no overlay";
  Draw(1, false);
  EXPECT_EQ(std::tuple(Grey(screen_, 15, 5), Grey(screen_, 25, 5), Grey(screen_, 155, 155)), std::tuple(80, 40, 40))
      << "hovered over the second button, with its overlay";
  Draw(1, true);
  EXPECT_EQ(Grey(screen_, 5, 5), 120);
  group_.EnableById(2, false);
  group_.EnableById(3, false);
  Draw(4, true);
  // Disabled with four frames, disabled with three, held clamped to the last.
  EXPECT_EQ(std::tuple(Grey(screen_, 25, 5), Grey(screen_, 65, 5), Grey(screen_, 95, 5)), std::tuple(160, 40, 80));
}

TEST_F(ButtonGroupTest, NavigatePicksTheNearestButtonAhead) {
  using Buttons = std::vector<std::array<i32, 3>>;  // id, centre x, centre y; id 9 scrolls, id 2 is disabled
  const Buttons stack = {{1, 100, 100}, {3, 100, 240}, {9, 100, 400}, {2, 100, 170}};
  // What, buttons, command, from x, y, result, warp to x, y (x < 0: no warp).
  const std::tuple<const char*, Buttons, u8, i32, i32, u8, i32, i32> cases[] = {
      {"disabled passed over", stack, 8, 100, 100, 8, 100, 240},
      {"from the hovered item's centre", {{1, 100, 100}, {4, 105, 300}}, 6, 109, 109, 6, 105, 300},
      {"nothing above: the nearest is itself", stack, 7, 100, 100, 7, 100, 100},
      {"no hover, nothing ahead: the nearest", stack, 8, 400, 500, 8, 100, 240},
      {"a scroll button ahead pages", stack, 8, 100, 240, 10, -1, 0},
      {"a scroll button is no target without hover", stack, 8, 100, 300, 8, 100, 240},
      {"straight ahead beats nearer aside", {{1, 300, 300}, {4, 240, 260}}, 6, 200, 300, 6, 300, 300},
      {"equal keys: the smaller tie wins", {{4, 260, 320}, {1, 300, 300}}, 6, 200, 300, 6, 260, 320},
      {"full ties go to the later", {{1, 100, 280}, {4, 100, 320}}, 5, 200, 300, 5, 100, 320},
      {"up weighs dx + dy / 2", {{1, 200, 100}, {4, 240, 170}}, 7, 200, 200, 7, 200, 100},
      // Squared distances of places at the ends of the coordinate range must
      // not overflow; the nearer one still wins.
      // clang-format off
      {"extreme places and pointer", {{1, -2000000000, -2000000000}, {4, 2000000000, 2000000000}}, 8, 2147483647,
       2147483647, 8, 2000000000, 2000000000},
      // clang-format on
  };

  for (const auto& [what, buttons, command, fromX, fromY, result, toX, toY] : cases) {
    SCOPED_TRACE(what);
    group_.Reset();
    for (auto [id, x, y] : buttons) group_.AddButton(3, id, "small.png", x - 10, y - 10);
    group_.MarkScroll(9);
    group_.EnableById(2, false);
    const NavigateResult r = group_.Navigate(command, fromX, fromY);
    EXPECT_EQ(std::tuple(r.command, r.warp, r.warp ? r.x : -1, r.warp ? r.y : 0),
              std::tuple(result, toX >= 0, toX, toY));
  }
}

TEST_F(ButtonGroupTest, BarShowsInsideItsAreaOutsideSkipAndAuto) {
  EXPECT_FALSE(ButtonSets(ResourceReader{}).CreateBar());
  // clang-format off
  for (auto [mode, x, y, skipOrAuto, grey] : {std::tuple{Waiting, 560, 580, false, 80}, {Waiting, 560, 580, true, 0},
      {Waiting, 437, 600, false, 0}, {Waiting, 438, 798, false, 40}, {Waiting, 628, 568, false, 40},
      {Waiting, 629, 600, false, 0}, {Waiting, 500, 567, false, 0}, {Waiting, 500, 799, false, 0},
      {ChoiceNoBar, 560, 580, false, 0}, {Hidden, 560, 580, false, 0}, {Choice, 560, 580, false, 80}}) {
    // clang-format on
    sets_.SetMode(mode);
    FillRect(screen_, 0, 0, 0, 0, 0, 800, 600);
    sets_.Draw(screen_, Pointer{x, y, false}, skipOrAuto);
    EXPECT_EQ(Grey(screen_, 550, 575), grey) << static_cast<int>(mode) << " " << x << "," << y;
  }
}

TEST_F(ButtonGroupTest, SetsTurnPressesIntoCommandsBarFirst) {
  sets_.choiceGroup().AddButton(3, 5, "item.png", 400, 560);  // under the bar
  sets_.choiceGroup().AddButton(3, 6, "item.png", 100, 230);
  sets_.saveLoadGroup().AddButton(3, 9, "item.png", 400, 560);
  sets_.ShowSaveLoad(true);
  sets_.SetMode(Choice);
  // The second row is released on another item; the fourth presses on nothing and leaves no stale press.
  // clang-format off
  for (auto [mode, downX, downY, normal, upX, upY, taken, command, button] : {
           std::tuple{Choice, 560, 580, true, 560, 580, true, 22, -1}, {Choice, 150, 240, true, 450, 565, true, 0, -1},
           {Choice, 150, 240, true, 160, 250, true, 2, 6}, {Choice, 50, 50, true, 160, 250, false, 0, -1},
           {Choice, 150, 240, false, 150, 240, false, 0, -1}, {Choice, 560, 580, true, 150, 240, true, 0, -1},
           {Hidden, 150, 240, true, 150, 240, false, 0, -1}, {Hidden, 450, 565, true, 450, 565, true, 2, 9}}) {
    // clang-format on
    SCOPED_TRACE(::testing::Message() << downX << "," << downY << " to " << upX << "," << upY);
    sets_.SetMode(mode);
    EXPECT_EQ(sets_.OnLeftButtonDown(downX, downY, normal), taken);
    const ButtonRelease r = sets_.OnLeftButtonUp(upX, upY);
    EXPECT_EQ(std::pair(int{r.command}, r.button), std::pair(command, button));
  }
}

}  // namespace
}  // namespace lyraban
