#include "screens/choice_menu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "screens/choice_label.h"
#include "screens/map_definition.h"
#include "screens_fixture.h"
#include "text/fake_fonts.h"

namespace lyraban {
namespace {

using testing::FakeScreenHost;
using testing::Grey;
using Points = std::vector<std::pair<i32, i32>>;

// Items are 600×50 at x 100: item i covers y 160 + 70·i … 209 + 70·i.
constexpr i32 ItemY(int index) { return 185 + 70 * index; }

class ChoiceMenuTest : public ::testing::Test {
 protected:
  ChoiceMenuTest() {
    files_.Button("sys_select_item.png", 600, 50, 3);
    files_.Button("sys_box_config.png", 60, 20, 3);
    sets_.CreateBar();
  }
  void Three() {
    menu_.BeginChoices();
    for (i32 id : {1, 2, 3}) menu_.AddChoice(id, "abc");
  }

  testing::GameFiles files_;
  ButtonSets sets_{files_.reader()};
  FakeScreenHost host_{sets_};
  ChoiceMenu menu_{sets_, host_, files_.reader(), files_.trace};
};

TEST_F(ChoiceMenuTest, LayoutThenAClickPicksAndEmptiesTheMenu) {
  menu_.BeginChoices();
  menu_.AddChoice(1, "0123456789");
  menu_.AddChoice(3, "abcdefg");  // choice 2's condition was false: the rows go on
  menu_.AddChoice(4, std::string(51, 'x'));
  ASSERT_EQ(sets_.choiceGroup().size(), 3u);
  const ButtonGroup::Button& last = sets_.choiceGroup().button(2);
  EXPECT_EQ(std::tuple(last.x, last.y, last.id, last.frames), std::tuple(100, 300, 4, 3));
  // Centred by byte count: (600 - 13·bytes) >> 1, an arithmetic shift.
  EXPECT_EQ(host_.labels, (Points{{235, 20}, {254, 90}, {-32, 160}}));

  host_.MoveTo(300, ItemY(2));
  host_.ClickAt(300, ItemY(1));
  EXPECT_EQ(menu_.RunChoice(), 3);
  EXPECT_EQ(host_.contexts, std::vector<u8>(host_.contexts.size(), 1));
  EXPECT_GT(host_.presents, 0);
  EXPECT_EQ(host_.windowDraws, host_.presents);
  EXPECT_TRUE(sets_.choiceGroup().empty());
  EXPECT_FALSE(sets_.choiceText().HasPixels());
  EXPECT_EQ(std::tuple(sets_.mode(), menu_.itemCount(), host_.pending), std::tuple(ButtonMode::Hidden, 0, 0));
  EXPECT_TRUE(host_.systemCommands.empty());
}

TEST_F(ChoiceMenuTest, KeysMoveThePointerAndOtherInputGoesToTheSystemCommands) {
  Three();
  host_.MoveTo(300, ItemY(1));
  host_.Down();
  host_.MoveTo(120, ItemY(0) + 10);
  host_.Up();    // a stray release makes no command
  host_.Key(8);  // to the second item, not the third
  host_.Key(8);
  host_.Key(7);
  host_.MoveTo(20, 20);
  host_.Key(2);             // confirm over nothing
  host_.ClickAt(560, 580);  // the bar's configuration button
  ButtonMode seen = ButtonMode::Hidden;
  host_.Do([&](FakeScreenHost& h) {
    seen = sets_.mode();
    h.pointer = {400, 255, false};
  });
  host_.Key(2);
  EXPECT_EQ(menu_.RunChoice(), 2);
  EXPECT_EQ(host_.warps, (Points{{400, 255}, {400, 325}, {400, 255}}));
  EXPECT_EQ(host_.systemCommands, (std::vector<u8>{8, 8, 7, 2, 22}));
  EXPECT_EQ(seen, ButtonMode::Choice) << "shown again after a command";
}

TEST_F(ChoiceMenuTest, ModesSkipAndEndings) {
  // Script mode, skip on, the stop-skip setting, input (1 clicks the first
  // item, 19 goes back to the title, 0 closes the program), result, the mode
  // the sets show, skip afterwards.
  for (auto [scriptMode, skip, stopSkip, input, result, shown, skipAfter] :
       {std::tuple{1, false, false, 1, 1, ButtonMode::Choice, false},
        {3, false, false, 1, 1, ButtonMode::ChoiceNoBar, false},
        {0, true, false, 1, 1, ButtonMode::Choice, true},
        {0, true, true, 1, 1, ButtonMode::Choice, false},
        {0, true, false, 19, 0, ButtonMode::Choice, true},
        {0, false, false, 0, 0, ButtonMode::Choice, false}}) {
    SCOPED_TRACE(::testing::Message() << scriptMode << skip << stopSkip << input);
    Three();
    host_.scriptMode = static_cast<u8>(scriptMode);
    host_.skipping = skip;
    host_.stopSkipAfterChoice = stopSkip;
    host_.modeChanges.clear();
    host_.idlePumps = 0;
    ButtonMode seen = ButtonMode::Hidden;
    host_.Do([&](FakeScreenHost&) { seen = sets_.mode(); });
    if (input == 1) host_.ClickAt(300, ItemY(0));
    if (input == 19) host_.Key(19);
    EXPECT_EQ(menu_.RunChoice(), result);
    EXPECT_EQ(seen, shown);
    EXPECT_EQ(host_.modeChanges, scriptMode == 3 ? std::vector<u8>{} : std::vector<u8>{0});
    EXPECT_EQ(host_.skipping, skipAfter);
    EXPECT_TRUE(sets_.choiceGroup().empty());
  }
}

TEST_F(ChoiceMenuTest, FiftyItemsAtMostAndMissingImagesKeepTheRows) {
  menu_.BeginChoices();
  for (int i = 1; i <= 52; ++i) menu_.AddChoice(i, "x");
  EXPECT_EQ(sets_.choiceGroup().size(), 50u);
  EXPECT_EQ(host_.labels.size(), 50u);
  ASSERT_FALSE(files_.messages.empty());
  EXPECT_NE(files_.messages.back().find("選択肢"), std::string::npos);

  files_.files.clear();
  host_.labels.clear();
  Three();
  EXPECT_EQ(menu_.itemCount(), 3);
  EXPECT_EQ(host_.labels.back().second, 160);
}

TEST(MapDefinitionTest, NumbersDeclarationsAndHostileText) {
  for (auto [text, value] : {std::pair<const char*, i32>{"120", 120},
                             {"+12", 12},
                             {"-7px", -7},
                             {"1 2", 1},
                             {"abc", 0},
                             {"-", 0},
                             {"", 0},
                             {"99999999999999999999", 2147483647},
                             {"-99999999999999999999", -2147483647}})
    EXPECT_EQ(ParseMapNumber(text), value) << text;

  testing::GameFiles files;
  MapDefinition map;
  map.Parse(
      "; a comment: ICON: hidden 3 x.png\r\nICON: town 3 town.png\r\nicon :Lock 4 lock.png\r\n"
      "PLACE: square 100 120 label.png 300 310\r\nplace:\tgate  -5 7\r\nno colon here\r\nOTHER: odd 1 2\r\n"
      "ICON:\r\nICON: town 2 town2.png\r\n",
      "world.txt", files.trace);
  EXPECT_EQ(map.iconCount(), 2u);
  EXPECT_EQ(map.placeCount(), 2u);
  ASSERT_TRUE(map.FindIcon("TOWN") && map.FindIcon("lock") && map.FindPlace("Square") && map.FindPlace("gate"));
  EXPECT_EQ(std::tuple(map.FindIcon("TOWN")->frames, map.FindIcon("TOWN")->image, map.FindIcon("lock")->frames),
            std::tuple(2, "town2.png", 4))
      << "the later declaration wins";
  const MapPlace *square = map.FindPlace("Square"), *gate = map.FindPlace("gate");
  EXPECT_EQ(std::tuple(square->x, square->y, square->label, square->labelX, square->labelY),
            std::tuple(100, 120, "label.png", 300, 310));
  EXPECT_EQ(std::tuple(gate->x, gate->y, gate->label), std::tuple(-5, 7, ""));
  ASSERT_EQ(files.messages.size(), 1u) << "the nameless ICON line";
  EXPECT_NE(files.messages[0].find("world.txt:8"), std::string::npos);

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

// Icons 40×40: "lock" has four frames, the others three; "ghost" has no image.
TEST_F(ChoiceMenuTest, MapPlacesBecomeButtonsAndDisabledOnesRefuse) {
  files_.Button("town.png", 40, 40, 3);
  files_.Button("lock.png", 40, 40, 4);
  files_.Button("label.png", 20, 10, 1);
  files_.files["map/world.txt"] =
      "ICON: town 3 town.png\r\nICON: lock 4 lock.png\r\nICON: ghost 3 ghost.png\r\n"
      "PLACE: square 100 100 label.png 500 500\r\nPLACE: gate 200 100\r\nPLACE: river 300 100\r\n"
      "PLACE: tower 400 100\r\nPLACE: well 100 300\r\n";
  EXPECT_FALSE(menu_.PrepareMap("nowhere.txt"));
  EXPECT_FALSE(menu_.mapMode());
  ASSERT_TRUE(menu_.PrepareMap("world.txt"));
  for (auto [id, icon, place, enabled] : {std::tuple{1, "town", "square", true},
                                          {2, "lock", "gate", false},
                                          {3, "town", "river", false},
                                          {4, "town", "tower", true},
                                          {5, "nothing", "square", true},
                                          {6, "town", "nowhere", true},
                                          {7, "ghost", "well", true}})
    menu_.AddMapPlace(id, icon, place, enabled);
  ASSERT_EQ(sets_.choiceGroup().size(), 5u) << "unknown icons and places are left out";
  EXPECT_TRUE(host_.labels.empty()) << "places carry no text";

  host_.MoveTo(110, 110);
  host_.Do([](FakeScreenHost& h) {
    // Hovered, its label, a disabled place's fourth picture, a disabled
    // three-frame place's normal one, a place without image.
    EXPECT_EQ(std::vector<int>({Grey(h.screen, 110, 110), Grey(h.screen, 505, 505), Grey(h.screen, 210, 110),
                                Grey(h.screen, 310, 110), Grey(h.screen, 110, 310)}),
              std::vector<int>({80, 40, 160, 40, 0}));
  });
  host_.ClickAt(210, 110);
  host_.ClickAt(310, 110);
  host_.ClickAt(110, 310);
  host_.MoveTo(120, 120);
  host_.Key(6);  // over the disabled places to the tower
  host_.Key(2);
  EXPECT_EQ(menu_.RunMap(), 4);
  EXPECT_EQ(host_.warps, (Points{{420, 120}}));
  EXPECT_EQ(host_.systemCommands, (std::vector<u8>{1, 1, 1, 6}));
  EXPECT_EQ(host_.windowDraws, 0) << "a map hides the message window";
  EXPECT_FALSE(menu_.mapMode());
  EXPECT_EQ(menu_.map().iconCount(), 0u);

  // Broken numbers still give buttons, which cannot be picked.
  files_.files["map/bad.txt"] = "ICON: z -4 town.png\r\nICON: huge 2000000000 town.png\r\nPLACE: p 99999999999 -3\r\n";
  ASSERT_TRUE(menu_.PrepareMap("bad.txt"));
  menu_.AddMapPlace(1, "z", "p", true);
  menu_.AddMapPlace(2, "huge", "p", true);
  EXPECT_EQ(std::pair(sets_.choiceGroup().button(0).frames, sets_.choiceGroup().button(1).frameHeight()),
            std::pair(1, 0));
  host_.Key(8);
  EXPECT_EQ(menu_.RunMap(), 0);
}

TEST(ChoiceLabelTest, WhiteTwentySixPixelCellsWithoutWrapping) {
  Trace trace;
  GlyphRasterizer rasterizer(CodePage(), trace);
  testing::FakeFontService fonts;
  Surface overlay;
  ASSERT_TRUE(overlay.Create(4, 600, 420));
  std::memset(overlay.pixels(), 0, overlay.ByteSize());
  ASSERT_TRUE(DrawChoiceLabel(rasterizer, fonts, 800, 600, overlay, 548, 20, "ABCDEFGHIJ"));
  ASSERT_EQ(fonts.requests.size(), 1u);
  EXPECT_EQ(std::pair(fonts.requests[0].height, fonts.requests[0].weight), std::pair(26, 400));
  EXPECT_EQ(std::memcmp(overlay.Row(20) + 548 * 4, "\xFF\xFF\xFF\xFF", 4), 0);
  // The second cell ends at 599; nothing left of or below the first; no wrap.
  const auto alpha = [&](int x, int y) { return overlay.Row(y)[x * 4]; };
  EXPECT_EQ(std::vector<int>({alpha(599, 45), alpha(547, 20), alpha(548, 46), alpha(5, 60)}),
            std::vector<int>({255, 0, 0, 0}));
  fonts.refuse = true;
  EXPECT_FALSE(DrawChoiceLabel(rasterizer, fonts, 800, 600, overlay, 0, 100, "A"));
}

}  // namespace
}  // namespace lyraban
