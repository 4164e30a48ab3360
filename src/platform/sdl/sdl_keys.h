#pragma once
#include "base/types.h"

namespace lyraban::platform {

// SDL's key code and scan code of a key event to the virtual-key number the
// shortcut tables use; 0 for keys the engine has no use for. The keypad is
// recognised by its scan codes, so that its keys stay distinct from the main
// block whatever Num Lock says.
u16 VirtualKeyFromSdl(i32 keycode, i32 scancode);

// SDL's modifier state (SDL_Keymod bits) as Modifier bits.
u8 ModifiersFromSdl(u32 keymod);

// SDL's signed axis (−32768 … 32767) to the 0 … 65535 range, centre 32768.
u32 JoystickAxisFromSdl(i16 value);

}  // namespace lyraban::platform
