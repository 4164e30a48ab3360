#pragma once
#include <string>

namespace lyraban::platform {

// Shows a message through the desktop's own dialog program, for when SDL
// cannot draw its message box (an X server without the core fonts it asks
// for). Tries zenity, kdialog and xmessage (the lines of the text that are
// plain ASCII only: it cannot draw more), in this order, each found on PATH,
// and waits until the player closed it. False when none could show it.
bool ShowMessageWithDialogProgram(const std::string& utf8Text, const std::string& utf8Caption);

}  // namespace lyraban::platform
