#include "platform/keys.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/sdl/sdl_keys.h"

namespace lyraban::platform {
namespace {

// The scan code matters only for the keypad; the rest go by key code.
u16 Map(SDL_Keycode key) { return VirtualKeyFromSdl(key, SDL_SCANCODE_UNKNOWN); }

TEST(VirtualKeyFromSdl, MainBlockKeysAndRangeEnds) {
  const std::pair<SDL_Keycode, u16> table[] = {
      {SDLK_PAGEUP, vk::Prior}, {SDLK_PAGEDOWN, vk::Next}, {SDLK_LEFT, vk::Left},     {SDLK_DOWN, vk::Down},
      {SDLK_RSHIFT, vk::Shift}, {SDLK_RCTRL, vk::Control}, {SDLK_RALT, vk::Menu},     {SDLK_RETURN, vk::Return},
      {SDLK_a, 'A'},            {SDLK_z, 'Z'},             {SDLK_0, '0'},             {SDLK_9, '9'},
      {SDLK_F1, vk::F1},        {SDLK_F12, vk::F12},       {SDLK_APPLICATION, vk::Apps},
      // Keys of no use give zero.
      {SDLK_CAPSLOCK, 0},       {SDLK_F13, 0},             {SDLK_SEMICOLON, 0},       {SDLK_UNKNOWN, 0}};
  for (const auto& [sdl, want] : table) EXPECT_EQ(Map(sdl), want) << SDL_GetKeyName(sdl);
}

TEST(VirtualKeyFromSdl, KeypadStaysApartFromTheMainBlock) {
  const std::pair<SDL_Scancode, u16> pad[] = {{SDL_SCANCODE_KP_0, vk::Numpad0},     {SDL_SCANCODE_KP_1, vk::Numpad1},
                                              {SDL_SCANCODE_KP_9, vk::Numpad9},     {SDL_SCANCODE_KP_PLUS, vk::Add},
                                              {SDL_SCANCODE_KP_MULTIPLY, vk::Multiply}, {SDL_SCANCODE_KP_ENTER, vk::Return}};
  for (const auto& [scancode, want] : pad) {
    // Either half of the event is enough to know the key.
    const SDL_Keycode key = SDL_SCANCODE_TO_KEYCODE(scancode);
    EXPECT_EQ(VirtualKeyFromSdl(key, SDL_SCANCODE_UNKNOWN), want) << SDL_GetScancodeName(scancode);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_UNKNOWN, scancode), want) << SDL_GetScancodeName(scancode);
  }
  // With Num Lock off a keypad key may arrive with a cursor key's code; the
  // scan code still says keypad.
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_LEFT, SDL_SCANCODE_KP_4), vk::Numpad4);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_DELETE, SDL_SCANCODE_KP_PERIOD), vk::Decimal);
  // And the main block's "+" and "*" are not the keypad's.
  EXPECT_TRUE(Map(SDLK_PLUS) != vk::Add && Map(SDLK_ASTERISK) != vk::Multiply);
}

TEST(ModifiersAndAxes, EitherSideCountsAndAxesSpanTheFullRange) {
  EXPECT_EQ(ModifiersFromSdl(KMOD_LSHIFT | KMOD_RALT | KMOD_RCTRL), ModShift | ModControl | ModAlt);
  EXPECT_EQ(ModifiersFromSdl(KMOD_RSHIFT | KMOD_LALT), ModShift | ModAlt);
  // Lock keys and the Windows key do not take part in shortcuts.
  EXPECT_EQ(ModifiersFromSdl(KMOD_NUM | KMOD_CAPS | KMOD_GUI), 0);
  const std::pair<i16, u32> axes[] = {{-32768, 0}, {0, 32768}, {32767, 65535}, {-24576, 8192}, {24577, 57345}};
  for (const auto& [in, want] : axes) EXPECT_EQ(JoystickAxisFromSdl(in), want) << in;
}

}  // namespace
}  // namespace lyraban::platform
