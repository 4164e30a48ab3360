#pragma once
#include <string_view>

#include "base/types.h"
#include "graphics/surface.h"
#include "screens/button_group.h"

namespace lyraban {

// What the modal screens need from the engine: the input pump and its
// pending slot, the mouse, drawing and presenting a frame, the run mode, the
// message window and the system commands. The engine implements it over its
// subsystems; tests implement it with scripted input on a virtual clock.
class ScreenHost {
 public:
  virtual ~ScreenHost() = default;

  // One pump of the input in a context (0 reading, 1 choice, 2 menu), with
  // the 1 ms yield when asked. False once the program is quitting.
  virtual bool PumpInput(u8 context, bool yield) = 0;
  virtual u8 PendingCommand() = 0;
  virtual i32 PendingButton() = 0;
  virtual void SetPendingCommand(u8 command, i32 button) = 0;
  // Pending command 0, pending button -1.
  virtual void ClearInput() = 0;

  // Mouse position in client coordinates and the left button, as the last
  // pump read them.
  virtual Pointer MousePointer() = 0;
  // Moves the mouse pointer to a point of the client area.
  virtual void WarpMouse(i32 x, i32 y) = 0;

  // Brings the composed scene (and any running cross-fade) into the screen
  // surface, which the screens then draw on before presenting.
  virtual void UpdateScreen() = 0;
  virtual Surface& ScreenSurface() = 0;
  virtual void PresentScreen() = 0;
  // The message window's text surface, without the prompt.
  virtual void DrawMessageWindow() = 0;

  // Skip (run mode, forced by the script or the skip key held) and auto.
  virtual bool IsSkipping() = 0;
  virtual bool IsAutoMode() = 0;
  virtual void SetSkipMode() = 0;
  // The player's setting that keeps skip off after a choice.
  virtual bool StopSkipAfterChoice() = 0;

  // The message window's handling of save, load, backlog, menus and the
  // rest; true when the current wait must be abandoned (a game was loaded,
  // the title was requested, the program is closing).
  virtual bool HandleSystemCommand(u8 context) = 0;

  // The interpreter's script mode and the message window's mode switch.
  virtual u8 ScriptMode() = 0;
  virtual void SetMessageMode(u8 mode) = 0;

  // Draws a choice label with the choice menu's pen (size 26, gap 6, white,
  // no wrap); (x, y) is the top left of the first character cell.
  virtual void DrawChoiceText(Surface& overlay, i32 x, i32 y, std::string_view text) = 0;
};

}  // namespace lyraban
