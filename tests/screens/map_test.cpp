#include <gtest/gtest.h>

#include "screens/choice_menu.h"
#include "screens/map_definition.h"
#include "screens_fixture.h"

namespace lyraban {
namespace {

using testing::FakeScreenHost;
using testing::GameFolder;
using testing::ScreenGrey;

TEST(MapNumberTest, DecimalWithSignUpToTheFirstOtherByte) {
  EXPECT_EQ(ParseMapNumber("120"), 120);
  EXPECT_EQ(ParseMapNumber("+12"), 12);
  EXPECT_EQ(ParseMapNumber("-7px"), -7);
  EXPECT_EQ(ParseMapNumber("abc"), 0);
  EXPECT_EQ(ParseMapNumber("-"), 0);
  EXPECT_EQ(ParseMapNumber(""), 0);
  EXPECT_EQ(ParseMapNumber("1 2"), 1);
  EXPECT_EQ(ParseMapNumber("99999999999999999999"), 2147483647);
  EXPECT_EQ(ParseMapNumber("-99999999999999999999"), -2147483647);
}

TEST(MapDefinitionTest, ReadsIconsAndPlaces) {
  Trace trace;
  std::vector<std::string> messages;
  trace.SetSink([&](std::string_view m) { messages.emplace_back(m); });
  MapDefinition map;
  map.Parse(
      "; a comment: ICON: hidden 3 x.png\r\n"
      "ICON: town 3 town.png\r\n"
      "icon :Lock 4 lock.png\r\n"
      "PLACE: square 100 120 label.png 300 310\r\n"
      "place:\tgate  -5 7\r\n"
      "no colon here\r\n"
      "OTHER: odd 1 2\r\n"
      "ICON:\r\n"
      "ICON: town 2 town2.png\r\n",
      "world.txt", trace);
  EXPECT_EQ(map.iconCount(), 2u);
  EXPECT_EQ(map.placeCount(), 2u);
  EXPECT_EQ(map.FindIcon("hidden"), nullptr);
  EXPECT_EQ(map.FindIcon("odd"), nullptr);
  EXPECT_EQ(map.FindPlace("odd"), nullptr);

  const MapIcon* town = map.FindIcon("TOWN");
  ASSERT_NE(town, nullptr);
  EXPECT_EQ(town->frames, 2) << "the later declaration wins";
  EXPECT_EQ(town->image, "town2.png");
  const MapIcon* lock = map.FindIcon("lock");
  ASSERT_NE(lock, nullptr);
  EXPECT_EQ(lock->frames, 4);

  const MapPlace* square = map.FindPlace("Square");
  ASSERT_NE(square, nullptr);
  EXPECT_EQ(square->x, 100);
  EXPECT_EQ(square->y, 120);
  EXPECT_EQ(square->label, "label.png");
  EXPECT_EQ(square->labelX, 300);
  EXPECT_EQ(square->labelY, 310);
  const MapPlace* gate = map.FindPlace("gate");
  ASSERT_NE(gate, nullptr);
  EXPECT_EQ(gate->x, -5);
  EXPECT_EQ(gate->y, 7);
  EXPECT_TRUE(gate->label.empty());

  ASSERT_EQ(messages.size(), 1u) << "the nameless ICON line";
  EXPECT_NE(messages[0].find("world.txt:8"), std::string::npos);
}

TEST(MapDefinitionTest, HostileTextNeverBreaksIt) {
  Trace trace;
  MapDefinition map;
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk.push_back(static_cast<char>((i * 131 + 7) & 0xFF));
  map.Parse(junk, "junk", trace);
  map.Parse(std::string(1, '\0') + "ICON: a 1 b", "nul", trace);
  EXPECT_EQ(map.FindIcon("a"), nullptr) << "text ends at its first NUL";
  map.Clear();
  map.Parse("ICON: " + std::string(100000, 'n') + " 3 x.png\rPLACE: p", "long", trace);
  EXPECT_EQ(map.iconCount(), 1u);
  const MapPlace* p = map.FindPlace("p");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->x, 0);
  map.Parse("", "empty", trace);
  map.Clear();
  EXPECT_EQ(map.iconCount() + map.placeCount(), 0u);
}

// Icons 40×40; "lock" has four frames, "plain" three.
class MapSelectionTest : public ::testing::Test {
 protected:
  MapSelectionTest() {
    game_.Button("town.png", 40, 40, 3);
    game_.Button("lock.png", 40, 40, 4);
    game_.Button("plain.png", 40, 40, 3);
    game_.Solid("label.png", 20, 10, 230, 230, 230);
    game_.Button("sys_select_item.png", 600, 50, 3);
    game_.Map("world.txt",
              "ICON: town 3 town.png\r\n"
              "ICON: lock 4 lock.png\r\n"
              "ICON: plain 3 plain.png\r\n"
              "ICON: ghost 3 ghost.png\r\n"
              "PLACE: square 100 100 label.png 500 500\r\n"
              "PLACE: gate 200 100\r\n"
              "PLACE: river 300 100\r\n"
              "PLACE: tower 400 100\r\n"
              "PLACE: well 100 300\r\n");
    sets_ = std::make_unique<ButtonSets>(game_.reader());
    host_ = std::make_unique<FakeScreenHost>(*sets_);
    menu_ = std::make_unique<ChoiceMenu>(*sets_, *host_, game_.reader(), game_.trace);
  }
  void World() {
    ASSERT_TRUE(menu_->PrepareMap("world.txt"));
    menu_->AddMapPlace(1, "town", "square", true);
    menu_->AddMapPlace(2, "lock", "gate", false);
    menu_->AddMapPlace(3, "plain", "river", false);
    menu_->AddMapPlace(4, "town", "tower", true);
    menu_->AddMapPlace(5, "nothing", "square", true);
    menu_->AddMapPlace(6, "town", "nowhere", true);
    menu_->AddMapPlace(7, "ghost", "well", true);  // icon image missing
  }

  GameFolder game_;
  std::unique_ptr<ButtonSets> sets_;
  std::unique_ptr<FakeScreenHost> host_;
  std::unique_ptr<ChoiceMenu> menu_;
};

TEST_F(MapSelectionTest, PlacesBecomeButtons) {
  World();
  EXPECT_TRUE(menu_->mapMode());
  const ButtonGroup& group = sets_->choiceGroup();
  ASSERT_EQ(group.size(), 5u) << "unknown icons and places are left out";
  EXPECT_EQ(group.button(0).id, 1);
  EXPECT_EQ(group.button(0).x, 100);
  EXPECT_EQ(group.button(0).y, 100);
  EXPECT_NE(group.button(0).overlay, nullptr);
  EXPECT_EQ(group.button(1).frames, 4);
  EXPECT_TRUE(group.button(1).disabled);
  EXPECT_TRUE(group.button(2).disabled);
  EXPECT_FALSE(group.button(3).disabled);
  EXPECT_EQ(group.button(4).id, 7);
  EXPECT_TRUE(host_->labels.empty()) << "places carry no text";
}

TEST_F(MapSelectionTest, DisabledPlacesShowAndRefuse) {
  World();
  host_->MoveTo(110, 110);
  host_->steps.push_back([](FakeScreenHost& h) {
    const Surface& s = h.screen;
    EXPECT_EQ(ScreenGrey(s, 110, 110), 80) << "hovered";
    EXPECT_EQ(ScreenGrey(s, 505, 505), 230) << "the hovered place's label";
    EXPECT_EQ(ScreenGrey(s, 210, 110), 160) << "fourth picture of a disabled place";
    EXPECT_EQ(ScreenGrey(s, 310, 110), 40) << "three frames: the normal picture";
    EXPECT_EQ(ScreenGrey(s, 110, 310), 0) << "no image, nothing drawn";
  });
  host_->ClickAt(210, 110);
  host_->ClickAt(310, 110);
  host_->ClickAt(110, 310);
  host_->MoveTo(310, 110);
  host_->Key(2);
  host_->ClickAt(410, 110);
  EXPECT_EQ(menu_->RunMap(), 4);
  EXPECT_EQ(host_->messageWindowDraws, 0) << "a map hides the message window";
  // Three clicks on dead places and one confirm over one: none picked.
  EXPECT_EQ(host_->systemCommands.size(), 4u);
  EXPECT_FALSE(menu_->mapMode());
  EXPECT_EQ(menu_->map().iconCount(), 0u) << "tables are emptied with the items";
}

TEST_F(MapSelectionTest, ArrowsSkipDisabledPlaces) {
  World();
  host_->MoveTo(120, 120);
  host_->Key(6);
  host_->Key(2);
  EXPECT_EQ(menu_->RunMap(), 4);
  ASSERT_EQ(host_->warps.size(), 1u);
  EXPECT_EQ(host_->warps[0].x, 420);
  EXPECT_EQ(host_->warps[0].y, 120);
}

TEST_F(MapSelectionTest, MissingMapFallsBackToAnOrdinaryChoice) {
  World();
  EXPECT_FALSE(menu_->PrepareMap("nowhere.txt"));
  EXPECT_FALSE(menu_->mapMode());
  EXPECT_TRUE(sets_->choiceGroup().empty()) << "the earlier items are gone";
  EXPECT_EQ(menu_->map().placeCount(), 0u);
  menu_->BeginChoices();
  menu_->AddChoice(1, "square");
  menu_->AddChoice(2, "gate");
  host_->ClickAt(300, 255);
  EXPECT_EQ(menu_->RunChoice(), 2);
  EXPECT_GT(host_->messageWindowDraws, 0);
}

TEST_F(MapSelectionTest, AnOrdinarySelectClearsMapMode) {
  World();
  menu_->BeginChoices();
  EXPECT_FALSE(menu_->mapMode());
  EXPECT_TRUE(sets_->choiceGroup().empty());
  menu_->AddMapPlace(1, "town", "square", true);
  EXPECT_TRUE(sets_->choiceGroup().empty()) << "the tables went with the map";
}

TEST_F(MapSelectionTest, BrokenMapFilesStillRun) {
  game_.Map("bad.txt", "ICON: z -4 town.png\r\nICON: huge 2000000000 town.png\r\nPLACE: p 99999999999 -3\r\n");
  ASSERT_TRUE(menu_->PrepareMap("bad.txt"));
  menu_->AddMapPlace(1, "z", "p", true);
  menu_->AddMapPlace(2, "huge", "p", true);
  ASSERT_EQ(sets_->choiceGroup().size(), 2u);
  EXPECT_EQ(sets_->choiceGroup().button(0).frames, 1);
  EXPECT_EQ(sets_->choiceGroup().button(1).frameHeight(), 0);
  host_->Key(8);
  EXPECT_EQ(menu_->RunMap(), 0);  // nothing on screen can be picked
}

}  // namespace
}  // namespace lyraban
