#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "persist/save_slots.h"
#include "screens/save_load_screen.h"
#include "test_game.h"

// The save/load screen driven by scripted clicks, keys and typed text.
namespace lyraban {
namespace {

namespace fs = std::filesystem;
using testing::FramesPng;
using testing::Gbk;
using testing::Played;
using testing::SolidPng;
using testing::TestGame;

// An 800×600 game with the screen's pictures for both modes.
struct ScreenGame : TestGame {
  ScreenGame() : TestGame(800, 600, "L002=" + Gbk("シーン回想") + "\r\n") {
    for (const char* mode : {"save", "load"}) {
      const std::string p = std::string("data/img/sys_") + mode + "_";
      dir.Write(p + "base.png", SolidPng(800, 600, 10, 20, 30));
      dir.Write(p + "empty.png", SolidPng(104, 78, 90, 90, 90));
      dir.Write(p + "cursor.png", SolidPng(108, 82, 200, 0, 0));
      for (const char* b : {"ok", "del", "back"}) dir.Write(p + b + ".png", FramesPng(100, 24, 3));
    }
    dir.Write("data/img/sys_save_quick.png", SolidPng(20, 20, 255, 255, 0));
  }
};

// Scripted input in which "@n" stands for the centre of slot n's cell and
// OK, DEL and BACK for the centres of the three buttons.
std::string Input(std::string text) {
  for (size_t at; (at = text.find('@')) != std::string::npos;) {
    const int slot = text[at + 1] - '0';
    text.replace(
        at, 2,
        std::to_string(SaveLoadScreen::CellX(slot) + 52) + " " + std::to_string(SaveLoadScreen::CellY(slot) + 39));
  }
  for (auto [button, centre] : {std::pair{" OK\n", " 440 554\n"}, {" DEL\n", " 570 554\n"}, {" BACK\n", " 700 554\n"}})
    for (size_t at; (at = text.find(button)) != std::string::npos;) text.replace(at, strlen(button), centre);
  return text;
}

TEST(SaveLoadScreen, SaveProtectCommentDeleteThenLoadFromTheGrid) {
  ScreenGame game;
  game.Script("?tmp = tmp + 1\r\n.\r\nwaiting\r\n?score = tmp\r\n.QUIT\r\n");
  // The save screen: OK on the quick-save slot, which takes no ordinary save;
  // slot 1 saved, its comment typed (☃ is not in the code page: refused) and
  // protected, after which Delete and OK are refused; slot 2 saved, then
  // deleted; back.
  Played first(game,
               Input("1000 key Home\n1100 click @0\n1150 click OK\n1200 click @1\n1400 click OK\n1600 click 400 530\n"
                     "1700 text 海边 note\n1750 text ☃\n1800 key Enter\n2000 click 155 560\n2200 click DEL\n"
                     "2400 click OK\n2600 click @2\n2800 click OK\n3000 click DEL\n3200 click BACK\n"),
               6000);
  EXPECT_FALSE(fs::exists(game.Slot(0))) << "the quick-save slot took an ordinary save";
  ASSERT_TRUE(fs::exists(game.Slot(1)));
  EXPECT_FALSE(fs::exists(game.Slot(2))) << "the unprotected slot was not deleted";
  const SlotHeader one = game.Header(1);
  EXPECT_EQ(one.comment(), Gbk("海边 note"));
  EXPECT_TRUE(one.isProtected());
  EXPECT_EQ(first.platform.textFieldsShown(), 1u);
  EXPECT_EQ(first.platform.lastTextField().y, 522);
  EXPECT_TRUE(first.Traced("コメントに使えない文字があります"));

  // Load mode from End: OK without a selection does nothing, an empty slot
  // offers nothing, slot 1 brings back tmp 1 and its resume point.
  game.Script("?tmp = tmp + 50\r\n.\r\nwaiting\r\n?score = tmp\r\n.QUIT\r\n");
  Played second(game,
                Input("1000 key End\n1100 click OK\n1200 click @3\n1300 click OK\n1400 click @1\n1500 click OK\n"
                      "3000 click 5 5\n"),
                20000);
  EXPECT_EQ(game.Global(0), 1) << "score is the loaded tmp";
}

// The system tag opens the screen even during a scene recollection.
TEST(SaveLoadScreen, ArrowsMoveBetweenSlotsAndEnterPressesTheButtonUnderThePointer) {
  ScreenGame game;
  game.Script("?" + Gbk("シーン回想") + " = 1\r\n.system save\r\n?score = 7\r\n.QUIT\r\n");
  // From slot 1: right to slot 2, down to slot 8; Enter selects it, Enter on
  // OK saves there, Escape leaves.
  Played play(game,
              Input("1000 move @1\n1100 key Right\n1200 key Down\n1300 key Enter\n1400 move OK\n1500 key Enter\n"
                    "1600 key Escape\n"),
              20000);
  EXPECT_TRUE(fs::exists(game.Slot(8))) << "slot 8 was not saved";
  for (int other : {1, 2, 7, 9, 14}) EXPECT_FALSE(fs::exists(game.Slot(other))) << other;
  EXPECT_EQ(game.Global(0), 7) << "Escape did not leave the screen";
}

}  // namespace
}  // namespace lyraban
