#include "screens/choice_menu.h"

#include <gtest/gtest.h>

#include "screens_fixture.h"

namespace lyraban {
namespace {

using testing::FakeScreenHost;
using testing::GameFolder;
using testing::ScreenGrey;

// Items are 600×50 at x 100: item i covers y 160 + 70·i … 209 + 70·i.
constexpr i32 ItemY(int index) { return 185 + 70 * index; }

class ChoiceMenuTest : public ::testing::Test {
 protected:
  ChoiceMenuTest() {
    game_.Button("sys_select_item.png", 600, 50, 3);
    game_.Button("sys_box_config.png", 60, 20, 3);
    sets_ = std::make_unique<ButtonSets>(game_.reader());
    sets_->CreateBar();
    host_ = std::make_unique<FakeScreenHost>(*sets_);
    menu_ = std::make_unique<ChoiceMenu>(*sets_, *host_, game_.reader(), game_.trace);
  }
  void Three() {
    menu_->BeginChoices();
    menu_->AddChoice(1, "first");
    menu_->AddChoice(2, "second");
    menu_->AddChoice(3, "third");
  }

  GameFolder game_;
  std::unique_ptr<ButtonSets> sets_;
  std::unique_ptr<FakeScreenHost> host_;
  std::unique_ptr<ChoiceMenu> menu_;
};

TEST_F(ChoiceMenuTest, LayoutOfItemsAndLabels) {
  menu_->BeginChoices();
  menu_->AddChoice(1, "0123456789");
  menu_->AddChoice(2, "abcdefg");
  menu_->AddChoice(3, std::string(51, 'x'));
  const ButtonGroup& group = sets_->choiceGroup();
  ASSERT_EQ(group.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(group.button(i).x, 100);
    EXPECT_EQ(group.button(i).y, 160 + 70 * i);
    EXPECT_EQ(group.button(i).id, i + 1);
    EXPECT_EQ(group.button(i).frames, 3);
  }
  ASSERT_EQ(host_->labels.size(), 3u);
  EXPECT_EQ(host_->labels[0].x, 235);
  EXPECT_EQ(host_->labels[0].y, 20);
  EXPECT_EQ(host_->labels[1].x, 254) << "(600 - 91) / 2 rounds down";
  EXPECT_EQ(host_->labels[1].y, 90);
  EXPECT_EQ(host_->labels[2].x, -32) << "an arithmetic shift, not a division";
  EXPECT_EQ(host_->labels[2].y, 160);
  EXPECT_EQ(host_->labels[2].text, std::string(51, 'x'));

  // The overlay lands 20 pixels below the top of its item on screen.
  host_->ClickAt(110, ItemY(0));
  EXPECT_EQ(menu_->RunChoice(), 1);
  EXPECT_EQ(ScreenGrey(host_->screen, 335, 180), 200);
  EXPECT_EQ(ScreenGrey(host_->screen, 354, 250), 200);
}

TEST_F(ChoiceMenuTest, ClickPicksAndEmptiesTheMenu) {
  Three();
  host_->MoveTo(300, ItemY(2));
  host_->ClickAt(300, ItemY(1));
  EXPECT_EQ(menu_->RunChoice(), 2);
  for (u8 c : host_->contexts) EXPECT_EQ(c, 1);
  EXPECT_GT(host_->presents, 0);
  EXPECT_EQ(host_->frames, host_->presents);
  EXPECT_TRUE(sets_->choiceGroup().empty());
  EXPECT_FALSE(sets_->choiceText().HasPixels());
  EXPECT_EQ(sets_->mode(), ButtonMode::Hidden);
  EXPECT_EQ(menu_->itemCount(), 0);
  EXPECT_EQ(host_->pending, 0);
  EXPECT_TRUE(host_->systemCommands.empty());
}

TEST_F(ChoiceMenuTest, PressOnOneItemReleaseOnAnotherPicksNothing) {
  Three();
  host_->MoveTo(300, ItemY(0));
  host_->LeftDown();
  host_->MoveTo(300, ItemY(1));
  host_->LeftUp();
  host_->ClickAt(300, ItemY(2));
  EXPECT_EQ(menu_->RunChoice(), 3);
  EXPECT_TRUE(host_->systemCommands.empty()) << "the stray release made no command";
}

TEST_F(ChoiceMenuTest, HiddenChoiceKeepsTheNumbering) {
  menu_->BeginChoices();
  menu_->AddChoice(1, "one");
  menu_->AddChoice(3, "three");  // choice 2's condition was false
  ASSERT_EQ(sets_->choiceGroup().size(), 2u);
  EXPECT_EQ(sets_->choiceGroup().button(1).y, 230);
  EXPECT_EQ(host_->labels[1].y, 90);
  host_->ClickAt(300, ItemY(1));
  EXPECT_EQ(menu_->RunChoice(), 3);
}

TEST_F(ChoiceMenuTest, KeyboardMovesThePointerAndConfirms) {
  Three();
  host_->MoveTo(120, ItemY(0) + 10);
  host_->Key(8);  // down: to the second item, not the third
  host_->Key(8);
  host_->Key(7);
  host_->Key(2);
  EXPECT_EQ(menu_->RunChoice(), 2);
  ASSERT_EQ(host_->warps.size(), 3u);
  EXPECT_EQ(host_->warps[0].x, 400);
  EXPECT_EQ(host_->warps[0].y, 255);
  EXPECT_EQ(host_->warps[1].y, 325);
  EXPECT_EQ(host_->warps[2].y, 255);
  // The arrows were passed on to the system commands, which ignore them.
  ASSERT_EQ(host_->systemCommands.size(), 3u);
  EXPECT_EQ(host_->systemCommands[0].command, 8);
  EXPECT_EQ(host_->systemCommands[0].context, 1);
}

TEST_F(ChoiceMenuTest, ConfirmOverNothingWaitsOn) {
  Three();
  host_->MoveTo(20, 20);
  host_->Key(2);
  host_->Key(8);  // nothing hovered: the item below the pointer
  host_->Key(2);
  EXPECT_EQ(menu_->RunChoice(), 1);
  ASSERT_EQ(host_->systemCommands.size(), 2u);
  EXPECT_EQ(host_->systemCommands[0].command, 2);
}

TEST_F(ChoiceMenuTest, NovelPageSwitchesToTheBoxLayout) {
  Three();
  host_->scriptMode = 1;
  host_->ClickAt(300, ItemY(0));
  EXPECT_EQ(menu_->RunChoice(), 1);
  ASSERT_EQ(host_->modeChanges.size(), 1u);
  EXPECT_EQ(host_->modeChanges[0], 0);
  EXPECT_GT(host_->messageWindowDraws, 0);
}

TEST_F(ChoiceMenuTest, SystemModeKeepsItsModeAndHasNoBar) {
  Three();
  host_->scriptMode = 3;
  ButtonMode seen = ButtonMode::Hidden;
  host_->steps.push_back([&](FakeScreenHost&) { seen = sets_->mode(); });
  host_->ClickAt(300, ItemY(0));
  EXPECT_EQ(menu_->RunChoice(), 1);
  EXPECT_TRUE(host_->modeChanges.empty());
  EXPECT_EQ(seen, ButtonMode::ChoiceNoBar);
}

TEST_F(ChoiceMenuTest, BarAndSystemCommandsDuringAChoice) {
  Three();
  ButtonMode seen = ButtonMode::Hidden;
  host_->ClickAt(560, 580);  // the configuration button of the bar
  host_->steps.push_back([&](FakeScreenHost&) { seen = sets_->mode(); });
  host_->Key(14);
  host_->ClickAt(300, ItemY(2));
  EXPECT_EQ(menu_->RunChoice(), 3);
  ASSERT_EQ(host_->systemCommands.size(), 2u);
  EXPECT_EQ(host_->systemCommands[0].command, 22);
  EXPECT_EQ(host_->systemCommands[1].command, 14);
  EXPECT_EQ(seen, ButtonMode::Choice) << "shown again after the command";
}

TEST_F(ChoiceMenuTest, SkipComesBackUnlessTheSettingStopsIt) {
  Three();
  host_->skipping = true;
  host_->ClickAt(300, ItemY(0));
  EXPECT_EQ(menu_->RunChoice(), 1);
  EXPECT_TRUE(host_->skipping);

  Three();
  host_->skipping = true;
  host_->stopSkipAfterChoice = true;
  host_->ClickAt(300, ItemY(0));
  EXPECT_EQ(menu_->RunChoice(), 1);
  EXPECT_FALSE(host_->skipping);
}

TEST_F(ChoiceMenuTest, AbandonedChoiceGivesZero) {
  Three();
  host_->skipping = true;
  host_->Key(19);  // back to the title
  EXPECT_EQ(menu_->RunChoice(), 0);
  EXPECT_TRUE(sets_->choiceGroup().empty());
  EXPECT_TRUE(host_->skipping);

  Three();
  EXPECT_EQ(menu_->RunChoice(), 0) << "the program closes while waiting";
  EXPECT_TRUE(sets_->choiceGroup().empty());
}

TEST_F(ChoiceMenuTest, FiftyItemsAtMost) {
  menu_->BeginChoices();
  for (int i = 1; i <= 52; ++i) menu_->AddChoice(i, "x");
  EXPECT_EQ(sets_->choiceGroup().size(), 50u);
  EXPECT_EQ(menu_->itemCount(), 50);
  EXPECT_EQ(host_->labels.size(), 50u);
  ASSERT_FALSE(game_.messages.empty());
  EXPECT_NE(game_.messages.back().find("選択肢"), std::string::npos);
}

TEST_F(ChoiceMenuTest, MissingItemImageStillCountsTheRow) {
  GameFolder bare;
  ButtonSets sets(bare.reader());
  FakeScreenHost host(sets);
  ChoiceMenu menu(sets, host, bare.reader(), bare.trace);
  menu.BeginChoices();
  menu.AddChoice(1, "a");
  menu.AddChoice(2, "b");
  EXPECT_EQ(menu.itemCount(), 2);
  EXPECT_EQ(host.labels[1].y, 90);
  host.ClickAt(300, ItemY(0));
  host.Key(2);
  EXPECT_EQ(menu.RunChoice(), 0) << "nothing can be picked; the pump runs out";
}

}  // namespace
}  // namespace lyraban
