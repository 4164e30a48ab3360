#include <gtest/gtest.h>

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
using testing::Play;
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

// Centre of a slot's cell, and of the three buttons.
std::string Cell(int slot) {
  return std::to_string(SaveLoadScreen::CellX(slot) + 52) + " " + std::to_string(SaveLoadScreen::CellY(slot) + 39);
}
constexpr const char* kOk = "440 554";
constexpr const char* kDelete = "570 554";
constexpr const char* kBack = "700 554";

TEST(SaveLoadScreen, SaveProtectCommentDeleteThenLoadFromTheGrid) {
  ScreenGame game;
  game.Script("?tmp = tmp + 1\r\n.\r\nwaiting\r\n?score = tmp\r\n.QUIT\r\n");
  const std::string input = std::string("1000 key Home\n") +  // the save screen
                            "1100 click " + Cell(0) + "\n" +  // the quick-save slot: not for saving
                            "1150 click " + kOk + "\n" +      //
                            "1200 click " + Cell(1) + "\n" +  // select slot 1
                            "1400 click " + kOk + "\n" +      // save there
                            "1600 click 400 530\n" +          // the comment field
                            "1700 text 海边 note\n" +         //
                            "1750 text ☃\n" +                 // not in the code page: refused
                            "1800 key Enter\n" +              //
                            "2000 click 155 560\n" +          // protect
                            "2200 click " + kDelete + "\n" +  // refused
                            "2400 click " + kOk + "\n" +      // refused: the comment stays
                            "2600 click " + Cell(2) + "\n" +  // slot 2: save, then delete
                            "2800 click " + kOk + "\n" +      //
                            "3000 click " + kDelete + "\n" +  //
                            "3200 click " + kBack + "\n";
  Play first(game, input, 6000);
  first.Run();
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
  const std::string load = std::string("1000 key End\n") + "1100 click " + kOk + "\n" + "1200 click " + Cell(3) + "\n" +
                           "1300 click " + kOk + "\n" + "1400 click " + Cell(1) + "\n" + "1500 click " + kOk + "\n" +
                           "3000 click 5 5\n";
  Play second(game, load, 20000);
  second.Run();
  EXPECT_EQ(game.Global(0), 1) << "score is the loaded tmp";
}

TEST(SaveLoadScreen, ArrowsMoveBetweenSlotsAndEnterPressesTheButtonUnderThePointer) {
  ScreenGame game;
  game.Script(".system save\r\n?score = 7\r\n.QUIT\r\n");
  // From slot 1: right to slot 2, down to slot 8; Enter selects it, Enter on
  // OK saves there, Escape leaves.
  const std::string input = std::string("1000 move ") + Cell(1) +
                            "\n1100 key Right\n1200 key Down\n1300 key Enter\n1400 move " + kOk +
                            "\n1500 key Enter\n1600 key Escape\n";
  Play play(game, input, 20000);
  play.Run();
  EXPECT_TRUE(fs::exists(game.Slot(8))) << "slot 8 was not saved";
  for (int other : {1, 2, 7, 9, 14}) EXPECT_FALSE(fs::exists(game.Slot(other))) << other;
  EXPECT_EQ(game.Global(0), 7) << "Escape did not leave the screen";
}

TEST(SaveLoadScreen, SystemTagOpensTheScreenEvenDuringSceneRecollection) {
  ScreenGame game;
  game.Script("?" + Gbk("シーン回想") + " = 1\r\n.system save\r\n?score = 7\r\n.QUIT\r\n");
  const std::string input =
      std::string("1000 click ") + Cell(4) + "\n1200 click " + kOk + "\n1400 click " + kBack + "\n";
  Play play(game, input, 20000);
  play.Run();
  EXPECT_TRUE(fs::exists(game.Slot(4)));
  EXPECT_EQ(game.Global(0), 7);
}

}  // namespace
}  // namespace lyraban
