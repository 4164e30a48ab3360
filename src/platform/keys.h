#pragma once
#include "base/types.h"

namespace lyraban::platform {

// Key codes follow the virtual-key numbering that the shortcut tables are
// written in, so the tables can be kept as data; each platform maps its own
// key events onto these numbers.
namespace vk {
inline constexpr u16 Back = 0x08, Tab = 0x09, Return = 0x0D, Shift = 0x10, Control = 0x11, Menu = 0x12,
                     Escape = 0x1B, Space = 0x20, Prior = 0x21, Next = 0x22, End = 0x23, Home = 0x24, Left = 0x25,
                     Up = 0x26, Right = 0x27, Down = 0x28, Insert = 0x2D, Delete = 0x2E, Apps = 0x5D,
                     Numpad0 = 0x60, Numpad1 = 0x61, Numpad2 = 0x62, Numpad3 = 0x63, Numpad4 = 0x64,
                     Numpad5 = 0x65, Numpad6 = 0x66, Numpad7 = 0x67, Numpad8 = 0x68, Numpad9 = 0x69,
                     Multiply = 0x6A, Add = 0x6B, Subtract = 0x6D, Decimal = 0x6E, Divide = 0x6F, F1 = 0x70,
                     F12 = 0x7B;
}  // namespace vk

enum Modifier : u8 { ModShift = 1, ModControl = 2, ModAlt = 4 };

}  // namespace lyraban::platform
