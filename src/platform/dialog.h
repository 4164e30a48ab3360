#pragma once
#include <string>
#include <vector>

#include "base/types.h"

namespace lyraban::platform {

// A modal dialog described as data: the model decides every text, position
// and rule; a platform only draws the widgets and reports what the player
// did with them. Texts are UTF-8.
enum class WidgetKind : u8 {
  Group,   // a framed box with its title on the top edge
  Label,   // one line of text (wrapped within the width when it is longer)
  Slider,  // value low..high
  Radio,   // one button of a group sharing an id; chosen when on
  Check,   // value 0 or 1
  Button,  // pressed; isDefault marks the one Enter presses
  List,    // a drop-down list; value is the selected item's index
  Text,    // static text with tab-separated columns and line breaks
};

struct DialogWidget {
  WidgetKind kind = WidgetKind::Label;
  int page = -1;                            // the tab it is on; -1 under the tabs, shown with every page
  int x = 0, y = 0, width = 0, height = 0;  // dialog client pixels
  std::string text;
  std::string name;  // what input scripts call it; empty for groups and labels
  int id = 0;        // what Change and Press name; 0 for groups, labels and text
  int value = 0;     // slider position, check state, list index, or the value a radio button stands for
  int low = 0, high = 0;
  bool on = false;  // radio: this button is the chosen one
  bool enabled = true;
  bool isDefault = false;
  std::vector<std::string> items;  // list entries
  std::vector<int> itemValues;     // what each list entry stands for (scripts name entries by it)
};

struct DialogForm {
  std::string caption;
  int width = 0, height = 0;  // client size
  std::vector<std::string> tabs;
  int tabWidth = 0, tabHeight = 0;  // the tab control at the top left
  std::vector<DialogWidget> widgets;
};

// What a platform's modal dialog loop talks to.
class DialogModel {
 public:
  virtual ~DialogModel() = default;
  // The widgets as they are now; valid until the next call that changes state.
  virtual const DialogForm& Form() = 0;
  virtual int CurrentPage() const = 0;
  virtual void SelectPage(int page) = 0;
  // A slider moved, a box ticked, a radio button or a list entry chosen.
  virtual void Change(int id, int value) = 0;
  virtual void Press(int id) = 0;
  // Enter presses the default button; Escape and the keypad's plus cancel,
  // as does closing the dialog any other way.
  virtual void Confirm() = 0;
  virtual void Cancel() = 0;
  virtual bool Finished() const = 0;
  // Called every turn of the loop: the host's timers. False when the
  // program is quitting; the loop then ends at once.
  virtual bool Idle() = 0;
  // A joystick was plugged in or pulled out.
  virtual void DevicesChanged() = 0;
};

}  // namespace lyraban::platform
