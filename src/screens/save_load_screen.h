#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "base/types.h"
#include "graphics/png.h"
#include "graphics/surface.h"
#include "persist/save_slots.h"
#include "screens/button_sets.h"
#include "screens/screen_host.h"

namespace lyraban {

// What the save/load screen needs beyond the common screen host.
class SaveLoadHost {
 public:
  virtual ~SaveLoadHost() = default;
  // Draws one line of game text on the information panel with the panel's
  // pen (20-pixel cells, 20 pixels between lines); (x, y) is the top left.
  virtual void DrawPanelText(Surface& panel, i32 x, i32 y, std::string_view text) = 0;
  // Lets the player edit a slot's comment (game code page) in the comment
  // field; true with the new text when confirmed, false when cancelled.
  virtual bool EditComment(std::string& text) = 0;
  // Loads a slot into the running game; false leaves the game as it was.
  virtual bool LoadGame(int slot) = 0;
};

// The one modal screen for saving and loading: the first 24 slots as a grid
// of thumbnails, an information panel for the selected slot, OK, delete and
// back, the comment field and the protect switch.
class SaveLoadScreen {
 public:
  static constexpr int kColumns = 6, kRows = 4, kCells = kColumns * kRows;
  static constexpr i32 kOkId = 1001, kDeleteId = 1002, kBackId = 1003;
  static constexpr i32 kPanelX = 150, kPanelY = 456, kPanelWidth = 600, kPanelHeight = 130;
  // Click areas, edges included.
  static constexpr i32 kCommentLeft = 148, kCommentRight = 756, kCommentTop = 520, kCommentBottom = 541;
  static constexpr i32 kProtectLeft = 148, kProtectRight = 167, kProtectTop = 553, kProtectBottom = 572;

  SaveLoadScreen(ScreenHost& host, SaveLoadHost& saveHost, ButtonSets& sets, SaveSlots& slots, ResourceReader reader)
      : host_(host), saveHost_(saveHost), sets_(sets), slots_(slots), reader_(std::move(reader)) {}

  // Runs until the player leaves; true only when a game was loaded.
  bool RunSaveLoadScreen(bool saveMode);

  static i32 CellX(int slot) { return 34 + 126 * (slot % kColumns); }
  static i32 CellY(int slot) { return 94 + 82 * (slot / kColumns); }

 private:
  void Open();
  void Close(bool loaded);
  void BuildButtons();
  void DrawPanel();
  void DrawFrame();
  // Acts on the pending input; true when the screen ends, with `loaded`.
  bool Handle(u8 command, i32 button, bool& loaded);
  std::string Image(std::string_view role) const;

  ScreenHost& host_;
  SaveLoadHost& saveHost_;
  ButtonSets& sets_;
  SaveSlots& slots_;
  ResourceReader reader_;

  bool saveMode_ = false;
  int selected_ = -1;
  bool rebuild_ = true;
  SlotHeader header_;
  bool headerValid_ = false;
  Surface gameScreen_;  // the screen as it was, given back on closing
  Surface snapshot_;    // background and empty cells, restored every frame
  Surface panel_;
  Surface empty_, cursor_, quickMark_, background_;
};

}  // namespace lyraban
