#include "screens/choice_menu.h"

#include <gtest/gtest.h>

#include <tuple>

#include "screens/map_definition.h"
#include "screens_fixture.h"

namespace lyraban {
namespace {

using testing::FakeScreenHost;

// Items are 600×50 at x 100: item i covers y 160 + 70·i … 209 + 70·i.

class ChoiceMenuTest : public ::testing::Test {
 protected:
  ChoiceMenuTest() {
    files_.Button("sys_select_item.png", 600, 50, 3);
    files_.Button("sys_box_config.png", 60, 20, 3);
    sets_.CreateBar();
  }

  testing::GameFiles files_;
  ButtonSets sets_{files_.reader()};
  FakeScreenHost host_{sets_};
  ChoiceMenu menu_{sets_, host_, files_.reader(), files_.trace};
};

TEST_F(ChoiceMenuTest, LayoutThenAClickPicksAndEmptiesTheMenuOfFiftyAtMost) {
  menu_.BeginChoices();
  menu_.AddChoice(1, "0123456789");
  menu_.AddChoice(3, "abcdefg");  // choice 2's condition was false: the rows go on
  menu_.AddChoice(4, std::string(51, 'x'));
  ASSERT_EQ(sets_.choiceGroup().size(), 3u);
  EXPECT_EQ(std::pair(sets_.choiceGroup().button(2).y, sets_.choiceGroup().button(2).id), std::pair(300, 4));
  // Centred by byte count: (600 - 13·bytes) >> 1, an arithmetic shift.
  EXPECT_EQ(host_.log, "L235,20 L254,90 L-32,160 ");

  host_.log.clear();
  host_.ClickAt(560, 580);  // the bar's configuration button
  ButtonMode seen = ButtonMode::Hidden;
  host_.Do([&](FakeScreenHost&) { seen = sets_.mode(); });
  host_.ClickAt(300, 325);
  EXPECT_EQ(menu_.RunChoice(), 4);
  EXPECT_EQ(host_.log, "M0 C22 ");
  EXPECT_EQ(seen, ButtonMode::Choice) << "shown again after a command";
  EXPECT_TRUE(host_.presents > 0 && host_.windowDraws == host_.presents) << "the window is drawn under the menu";
  EXPECT_TRUE(sets_.choiceGroup().empty() && !sets_.choiceText().HasPixels());
  EXPECT_EQ(std::tuple(sets_.mode(), menu_.itemCount(), host_.pending), std::tuple(ButtonMode::Hidden, 0, 0));

  menu_.BeginChoices();
  for (int i = 1; i <= 52; ++i) menu_.AddChoice(i, "x");
  EXPECT_EQ(sets_.choiceGroup().size(), 50u) << "fifty items at most";
  EXPECT_EQ(files_.messages.size(), 2u) << "one line for each item left out";
}

TEST_F(ChoiceMenuTest, ModesSkipAndEndings) {
  // Script mode, skip on, the stop-skip setting, input (1 clicks the first
  // item, 19 goes back to the title, 0 closes the program), result, the mode
  // the sets show, skip afterwards.
  // clang-format off
  for (auto [scriptMode, skip, stopSkip, input, result, shown, skipAfter] :
      {std::tuple{1, false, false, 1, 1, ButtonMode::Choice, false},
       {3, false, false, 1, 1, ButtonMode::ChoiceNoBar, false},
       {0, true, false, 1, 1, ButtonMode::Choice, true},
      {0, true, true, 1, 1, ButtonMode::Choice, false}, {0, true, false, 19, 0, ButtonMode::Choice, true},
      {0, false, false, 0, 0, ButtonMode::Choice, false}}) {
    // clang-format on
    SCOPED_TRACE(::testing::Message() << scriptMode << skip << stopSkip << input);
    menu_.BeginChoices();
    for (i32 id : {1, 2, 3}) menu_.AddChoice(id, "abc");
    host_.scriptMode = static_cast<u8>(scriptMode);
    host_.skipping = skip, host_.stopSkipAfterChoice = stopSkip;
    host_.log.clear();
    host_.idlePumps = 0;
    ButtonMode seen = ButtonMode::Hidden;
    host_.Do([&](FakeScreenHost&) { seen = sets_.mode(); });
    if (input == 1) host_.ClickAt(300, 185);
    if (input == 19) host_.Key(19);
    EXPECT_EQ(menu_.RunChoice(), result);
    EXPECT_EQ(std::tuple(seen, host_.skipping), std::tuple(shown, skipAfter));
    EXPECT_EQ(host_.log, std::string(scriptMode == 3 ? "" : "M0 ") + (input == 19 ? "C19 " : ""));
  }
}

TEST(MapDefinitionTest, NumbersDeclarationsAndHostileText) {
  // clang-format off
  for (auto [text, value] : {std::pair<const char*, i32>{"120", 120}, {"+12", 12}, {"-7px", -7}, {"1 2", 1}, {"abc", 0},
       {"-", 0}, {"", 0}, {"99999999999999999999", 2147483647}, {"-99999999999999999999", -2147483647}})
    // clang-format on
    EXPECT_EQ(ParseMapNumber(text), value) << text;

  testing::GameFiles files;
  MapDefinition map;
  map.Parse(
      "; a comment: ICON: hidden 3 x.png\r\nICON: town 3 town.png\r\nicon :Lock 4 lock.png\r\n"
      "PLACE: square 100 120 label.png 300 310\r\nplace:\tgate  -5 7\r\nno colon here\r\nOTHER: odd 1 2\r\n"
      "ICON:\r\nICON: town 2 town2.png\r\n",
      "world.txt", files.trace);
  EXPECT_EQ(std::pair(map.iconCount(), map.placeCount()), std::pair(std::size_t{2}, std::size_t{2}));
  ASSERT_TRUE(map.FindIcon("TOWN") && map.FindIcon("lock") && map.FindPlace("Square") && map.FindPlace("gate"));
  EXPECT_EQ(std::tuple(map.FindIcon("TOWN")->frames, map.FindIcon("TOWN")->image, map.FindIcon("lock")->frames),
            std::tuple(2, "town2.png", 4))
      << "the later declaration wins";
  EXPECT_EQ(files.messages.size(), 1u) << "the nameless ICON line";

  // Junk, a NUL that ends the text, a huge name, a short line.
  map.Clear();
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk.push_back(static_cast<char>((i * 131 + 7) & 0xFF));
  map.Parse(junk, "junk", files.trace);
  map.Parse(std::string(1, '\0') + "ICON: a 1 b", "nul", files.trace);
  EXPECT_EQ(map.FindIcon("a"), nullptr);
  map.Parse("ICON: " + std::string(100000, 'n') + " 3 x.png\rPLACE: p", "long", files.trace);
  ASSERT_NE(map.FindPlace("p"), nullptr);
  EXPECT_EQ(map.FindPlace("p")->x, 0);
}

// "ghost" has no image; "lock" has four frames.
TEST_F(ChoiceMenuTest, MapPlacesBecomeButtonsEvenFromBrokenNumbers) {
  files_.Button("town.png", 40, 40, 3);
  files_.Button("lock.png", 40, 40, 4);
  files_.files["map/world.txt"] =
      "ICON: town 3 town.png\r\nICON: lock 4 lock.png\r\nICON: ghost 3 ghost.png\r\nPLACE: square 100 100\r\n"
      "PLACE: gate 200 100\r\nPLACE: river 300 100\r\nPLACE: tower 400 100\r\nPLACE: well 100 300\r\n";
  ASSERT_TRUE(!menu_.PrepareMap("nowhere.txt") && menu_.PrepareMap("world.txt") && menu_.mapMode());
  // clang-format off
  for (auto [id, icon, place, enabled] : {std::tuple{1, "town", "square", true}, {2, "lock", "gate", false},
       {3, "town", "river", false}, {4, "town", "tower", true}, {5, "nothing", "square", true},
       {6, "town", "nowhere", true}, {7, "ghost", "well", true}})
    // clang-format on
    menu_.AddMapPlace(id, icon, place, enabled);
  ASSERT_EQ(sets_.choiceGroup().size(), 5u) << "unknown icons and places are left out";

  host_.Key(19);
  EXPECT_EQ(menu_.RunMap(), 0);
  // Broken numbers still give buttons, which cannot be picked.
  files_.files["map/bad.txt"] = "ICON: z -4 town.png\r\nICON: huge 2000000000 town.png\r\nPLACE: p 99999999999 -3\r\n";
  ASSERT_TRUE(menu_.PrepareMap("bad.txt"));
  menu_.AddMapPlace(1, "z", "p", true);
  menu_.AddMapPlace(2, "huge", "p", true);
  EXPECT_EQ(std::pair(sets_.choiceGroup().button(0).frames, sets_.choiceGroup().button(1).frameHeight()),
            std::pair(1, 0));
  host_.Key(8);
  EXPECT_EQ(menu_.RunMap(), 0);
  EXPECT_EQ(std::tuple(host_.windowDraws, menu_.mapMode(), menu_.map().iconCount()),
            std::tuple(0, false, std::size_t{0}))
      << "a map hides the message window and is forgotten after";
}

}  // namespace
}  // namespace lyraban
