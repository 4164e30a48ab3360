#pragma once
#include <string>
#include <string_view>

#include "platform/headless/headless_platform.h"

namespace lyraban::platform {

// Scripted input for headless runs: one event per line,
// "<ms> <event> [arguments]", applied when the clock reaches <ms>.
//   move X Y | click X Y | down X Y | up X Y | rclick X Y | mclick X Y
//   wheel up|down | key [Shift+][Ctrl+][Alt+]NAME | ctrl down|up | close
//   menu ID (the answer of the next popup menu: the chosen item, 0 dismisses)
//   dialog CONTROL [VALUE] | dialog ok | dialog cancel | dialog tab N
//   (what the player does in the next dialog) | pad N | pad none
// Blank lines and lines starting with '#' are ignored. On a malformed line
// nothing is scheduled and `error` names the line.
bool ScheduleInputScript(HeadlessPlatform& platform, std::string_view text, std::string& error);

// The virtual key of a key name of the input script (Enter, Escape, Space,
// Tab, Backspace, Insert, Delete, Home, End, PageUp, PageDown, Up, Down,
// Left, Right, F1…F12, Apps, Alt, Kp0…Kp9, KpPlus, KpMinus, KpMultiply,
// KpDivide, and single letters or digits); 0 when unknown.
u16 KeyFromName(std::string_view name);

}  // namespace lyraban::platform
