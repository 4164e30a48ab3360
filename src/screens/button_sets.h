#pragma once
#include "base/types.h"
#include "graphics/png.h"
#include "graphics/surface.h"
#include "screens/button_group.h"

namespace lyraban {

// Command of the message box bar's configuration button.
inline constexpr i32 kBarConfigCommand = 22;

// Which on-screen button sets take the mouse and are drawn.
enum class ButtonMode : u8 {
  Hidden,       // no set is active
  Waiting,      // a text line waits: the bar
  Choice,       // a choice is open: the choice group and the bar
  ChoiceNoBar,  // a choice in system mode: the choice group alone
};

// A release that turned into a command: the bar's own command, or 2 with the
// selected id of a choice or save/load button. Command 0 means nothing.
struct ButtonRelease {
  u8 command = 0;
  i32 button = -1;
};

// The three button groups that live as long as the engine (the choice group,
// the message box bar and the save/load screen's group), the choice text
// overlay, and the mouse rules that route left-button presses to them. Only
// one hovered button shows at a time: the bar before the choice group before
// the save/load group.
class ButtonSets {
 public:
  static constexpr i32 kChoiceTextX = 100, kChoiceTextY = 160;
  static constexpr i32 kChoiceTextWidth = 600, kChoiceTextHeight = 420;

  explicit ButtonSets(const ResourceReader& reader) : choice_(reader), bar_(reader), saveLoad_(reader) {}

  // Start-up: the bar's one button, "sys_box_config.png". False when its
  // image cannot be loaded (the bar then never shows).
  bool CreateBar();

  ButtonGroup& choiceGroup() { return choice_; }
  ButtonGroup& bar() { return bar_; }
  ButtonGroup& saveLoadGroup() { return saveLoad_; }
  // 600×420, four bytes per pixel, drawn at (100, 160) over a shown choice
  // group that holds items.
  Surface& choiceText() { return choiceText_; }
  // Re-creates the overlay cleared; false when memory runs out.
  bool ClearChoiceText();
  void ReleaseChoiceText() { choiceText_.Release(); }

  // Bar and choice group activation. The waiting and choice modes enable
  // their commands in the bar: 16, 15, 12, 20, 21, 22 while a line waits;
  // 12, 20, 21, 22 during a choice.
  void SetMode(ButtonMode mode);
  ButtonMode mode() const { return mode_; }
  bool choiceShown() const { return mode_ == ButtonMode::Choice || mode_ == ButtonMode::ChoiceNoBar; }
  bool barShown() const { return mode_ == ButtonMode::Waiting || mode_ == ButtonMode::Choice; }
  // The save/load screen shows its group while it runs.
  void ShowSaveLoad(bool on) { saveLoadShown_ = on; }
  bool saveLoadShown() const { return saveLoadShown_; }

  // The bar is only drawn (and only reacts) while the pointer is inside
  // x 437..629, y 567..799, bounds excluded, and neither skip nor auto runs.
  static bool BarArea(i32 x, i32 y) { return x > 437 && x < 629 && y > 567 && y < 799; }

  // Hovered ids after precedence: at most one of them is not -1.
  struct Hover {
    i32 bar = -1;
    i32 choice = -1;
    i32 saveLoad = -1;
  };
  Hover HoverAt(i32 x, i32 y, bool barAllowed) const;

  // Draws the shown sets (save/load, choice with its text, bar) on top of
  // the screen.
  void Draw(Surface& screen, const Pointer& pointer, bool skipOrAuto);

  // Left button down at (x, y). True when a button of a shown set took the
  // press; the caller then makes no command (otherwise it makes command 1).
  // Buttons take presses only in the normal run mode.
  bool OnLeftButtonDown(i32 x, i32 y, bool runModeNormal);
  // Left button up at (x, y): the command to put in the pending slot, if any.
  ButtonRelease OnLeftButtonUp(i32 x, i32 y);

 private:
  ButtonGroup choice_;
  ButtonGroup bar_;
  ButtonGroup saveLoad_;
  Surface choiceText_;
  ButtonMode mode_ = ButtonMode::Hidden;
  bool saveLoadShown_ = false;
};

}  // namespace lyraban
