#include "screens/button_sets.h"

#include <gtest/gtest.h>

#include "screens_fixture.h"

namespace lyraban {
namespace {

using testing::GameFolder;
using testing::ScreenGrey;

class ButtonSetsTest : public ::testing::Test {
 protected:
  ButtonSetsTest() {
    // The bar button covers 548..607 × 572..591.
    game_.Button("sys_box_config.png", 60, 20, 3);
    game_.Button("item.png", 200, 40, 3);
    game_.Button("big.png", 120, 40, 3);
    sets_ = std::make_unique<ButtonSets>(game_.reader());
    screen_.Create(3, 800, 600);
  }
  void Clear() { FillRect(screen_, 0, 0, 0, 0, 0, 800, 600); }
  void DrawAt(i32 x, i32 y, bool skipOrAuto = false, bool leftDown = false) {
    Clear();
    sets_->Draw(screen_, Pointer{x, y, leftDown}, skipOrAuto);
  }
  int BarPixel() { return ScreenGrey(screen_, 550, 575); }

  GameFolder game_;
  std::unique_ptr<ButtonSets> sets_;
  Surface screen_;
};

TEST_F(ButtonSetsTest, BarShowsOnlyUnderThePointerOutsideSkipAndAuto) {
  ASSERT_TRUE(sets_->CreateBar());
  sets_->SetMode(ButtonMode::Waiting);
  DrawAt(560, 580);
  EXPECT_EQ(BarPixel(), 80) << "drawn and hovered";
  DrawAt(450, 700);
  EXPECT_EQ(BarPixel(), 40) << "drawn, not hovered";
  DrawAt(560, 580, true);
  EXPECT_EQ(BarPixel(), 0) << "skip or auto hides it";

  // The area's bounds are excluded on all four sides.
  for (auto [x, y] : {std::pair{437, 600}, {629, 600}, {500, 567}, {500, 799}, {436, 600}, {700, 600}}) {
    DrawAt(x, y);
    EXPECT_EQ(BarPixel(), 0) << x << "," << y;
  }
  for (auto [x, y] : {std::pair{438, 568}, {628, 798}}) {
    DrawAt(x, y);
    EXPECT_EQ(BarPixel(), 40) << x << "," << y;
  }

  sets_->SetMode(ButtonMode::ChoiceNoBar);
  DrawAt(560, 580);
  EXPECT_EQ(BarPixel(), 0);
  sets_->SetMode(ButtonMode::Hidden);
  DrawAt(560, 580);
  EXPECT_EQ(BarPixel(), 0);
  sets_->SetMode(ButtonMode::Choice);
  DrawAt(560, 580);
  EXPECT_EQ(BarPixel(), 80);
}

TEST_F(ButtonSetsTest, MissingBarImage) {
  ButtonSets bare(ResourceReader{});
  EXPECT_FALSE(bare.CreateBar());
  bare.SetMode(ButtonMode::Waiting);
  EXPECT_FALSE(bare.OnLeftButtonDown(560, 580, true));
  EXPECT_EQ(bare.OnLeftButtonUp(560, 580).command, 0);
}

TEST_F(ButtonSetsTest, EnabledCommandSetsOfTheBar) {
  ASSERT_TRUE(sets_->CreateBar());
  for (i32 id : {16, 15, 12, 20, 21, 14}) sets_->bar().AddButton(3, id, "sys_box_config.png", 0, 0);
  auto enabled = [&](i32 id) {
    for (std::size_t i = 0; i < sets_->bar().size(); ++i)
      if (sets_->bar().button(i).id == id) return !sets_->bar().button(i).disabled;
    return false;
  };
  sets_->SetMode(ButtonMode::Waiting);
  for (i32 id : {16, 15, 12, 20, 21, 22}) EXPECT_TRUE(enabled(id)) << id;
  EXPECT_FALSE(enabled(14));
  sets_->SetMode(ButtonMode::Choice);
  for (i32 id : {12, 20, 21, 22}) EXPECT_TRUE(enabled(id)) << id;
  for (i32 id : {16, 15, 14}) EXPECT_FALSE(enabled(id)) << id;
}

TEST_F(ButtonSetsTest, PrecedenceBarThenChoiceThenSaveLoad) {
  ASSERT_TRUE(sets_->CreateBar());
  sets_->choiceGroup().AddButton(3, 5, "big.png", 500, 560);  // under the bar
  sets_->saveLoadGroup().AddButton(3, 9, "big.png", 500, 560);
  sets_->ShowSaveLoad(true);
  sets_->SetMode(ButtonMode::Choice);

  ButtonSets::Hover h = sets_->HoverAt(560, 580, true);
  EXPECT_EQ(h.bar, 22);
  EXPECT_EQ(h.choice, -1);
  EXPECT_EQ(h.saveLoad, -1);
  h = sets_->HoverAt(560, 580, false);
  EXPECT_EQ(h.bar, -1);
  EXPECT_EQ(h.choice, 5);
  EXPECT_EQ(h.saveLoad, -1);
  h = sets_->HoverAt(510, 580, true);  // in the bar area, beside its button
  EXPECT_EQ(h.choice, 5);

  sets_->SetMode(ButtonMode::Hidden);
  h = sets_->HoverAt(510, 580, true);
  EXPECT_EQ(h.choice, -1);
  EXPECT_EQ(h.saveLoad, 9);

  // Only one hovered frame is drawn: the choice item stays normal under
  // a hovered bar.
  sets_->ShowSaveLoad(false);
  sets_->SetMode(ButtonMode::Choice);
  DrawAt(560, 580);
  EXPECT_EQ(BarPixel(), 80);
  EXPECT_EQ(ScreenGrey(screen_, 505, 565), 40);
  DrawAt(510, 580);
  EXPECT_EQ(ScreenGrey(screen_, 505, 565), 80);
}

TEST_F(ButtonSetsTest, PressesAndReleasesBecomeCommands) {
  ASSERT_TRUE(sets_->CreateBar());
  sets_->choiceGroup().AddButton(3, 4, "item.png", 100, 160);
  sets_->choiceGroup().AddButton(3, 6, "item.png", 100, 230);
  sets_->SetMode(ButtonMode::Choice);

  EXPECT_TRUE(sets_->OnLeftButtonDown(560, 580, true));
  ButtonRelease r = sets_->OnLeftButtonUp(560, 580);
  EXPECT_EQ(r.command, 22);
  EXPECT_EQ(r.button, -1);

  EXPECT_TRUE(sets_->OnLeftButtonDown(150, 240, true));
  r = sets_->OnLeftButtonUp(150, 180);  // a different item
  EXPECT_EQ(r.command, 0);

  EXPECT_TRUE(sets_->OnLeftButtonDown(150, 240, true));
  r = sets_->OnLeftButtonUp(160, 250);
  EXPECT_EQ(r.command, 2);
  EXPECT_EQ(r.button, 6);

  // A press on nothing leaves no stale press behind for the next release.
  EXPECT_FALSE(sets_->OnLeftButtonDown(50, 50, true));
  EXPECT_EQ(sets_->OnLeftButtonUp(160, 250).command, 0);

  // Out of the normal run mode buttons take no presses.
  EXPECT_FALSE(sets_->OnLeftButtonDown(150, 180, false));
  EXPECT_EQ(sets_->OnLeftButtonUp(150, 180).command, 0);

  // Bar pressed, released on a choice item: neither fires.
  EXPECT_TRUE(sets_->OnLeftButtonDown(560, 580, true));
  EXPECT_EQ(sets_->OnLeftButtonUp(150, 180).command, 0);

  sets_->SetMode(ButtonMode::Hidden);
  EXPECT_FALSE(sets_->OnLeftButtonDown(150, 180, true));
  EXPECT_EQ(sets_->OnLeftButtonUp(150, 180).command, 0);

  // The save/load screen's buttons report their ids the same way.
  sets_->saveLoadGroup().AddButton(3, 17, "item.png", 0, 0);
  EXPECT_FALSE(sets_->OnLeftButtonDown(10, 10, true)) << "not shown yet";
  sets_->ShowSaveLoad(true);
  EXPECT_TRUE(sets_->OnLeftButtonDown(10, 10, true));
  r = sets_->OnLeftButtonUp(10, 10);
  EXPECT_EQ(r.command, 2);
  EXPECT_EQ(r.button, 17);
}

TEST_F(ButtonSetsTest, ChoiceTextDrawnOverAShownGroupWithItems) {
  ASSERT_TRUE(sets_->ClearChoiceText());
  EXPECT_EQ(sets_->choiceText().width(), 600);
  EXPECT_EQ(sets_->choiceText().height(), 420);
  EXPECT_EQ(sets_->choiceText().bytesPerPixel(), 4);
  u8* p = sets_->choiceText().Row(7) + 3 * 4;
  p[0] = 255;
  p[1] = p[2] = p[3] = 222;

  sets_->SetMode(ButtonMode::Choice);
  DrawAt(0, 0);
  EXPECT_EQ(ScreenGrey(screen_, 103, 167), 0) << "no items, no text";
  sets_->choiceGroup().AddButton(3, 1, "item.png", 300, 0);
  DrawAt(0, 0);
  EXPECT_EQ(ScreenGrey(screen_, 103, 167), 222);
  EXPECT_EQ(ScreenGrey(screen_, 104, 167), 0) << "the cleared overlay is transparent";
  sets_->SetMode(ButtonMode::Waiting);
  DrawAt(0, 0);
  EXPECT_EQ(ScreenGrey(screen_, 103, 167), 0);
}

}  // namespace
}  // namespace lyraban
