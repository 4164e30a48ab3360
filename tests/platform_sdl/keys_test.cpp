#include "platform/keys.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/sdl/sdl_keys.h"

namespace lyraban::platform {
namespace {

// The scan code matters only for the keypad; the rest go by key code.
u16 Map(SDL_Keycode key) { return VirtualKeyFromSdl(key, SDL_SCANCODE_UNKNOWN); }

TEST(VirtualKeyFromSdl, KeysOfTheShortcutTables) {
  const struct {
    SDL_Keycode sdl;
    u16 vk;
  } table[] = {
      {SDLK_BACKSPACE, vk::Back}, {SDLK_TAB, vk::Tab},       {SDLK_RETURN, vk::Return}, {SDLK_ESCAPE, vk::Escape},
      {SDLK_SPACE, vk::Space},    {SDLK_PAGEUP, vk::Prior},  {SDLK_PAGEDOWN, vk::Next}, {SDLK_END, vk::End},
      {SDLK_HOME, vk::Home},      {SDLK_LEFT, vk::Left},     {SDLK_UP, vk::Up},         {SDLK_RIGHT, vk::Right},
      {SDLK_DOWN, vk::Down},      {SDLK_INSERT, vk::Insert}, {SDLK_DELETE, vk::Delete}, {SDLK_APPLICATION, vk::Apps},
      {SDLK_LSHIFT, vk::Shift},   {SDLK_RSHIFT, vk::Shift},  {SDLK_LCTRL, vk::Control}, {SDLK_RCTRL, vk::Control},
      {SDLK_LALT, vk::Menu},      {SDLK_RALT, vk::Menu},     {SDLK_F1, vk::F1},         {SDLK_F12, vk::F12},
  };
  for (const auto& t : table) EXPECT_EQ(Map(t.sdl), t.vk) << SDL_GetKeyName(t.sdl);
}

TEST(VirtualKeyFromSdl, LettersDigitsAndFunctionKeysAreContiguous) {
  for (int i = 0; i < 26; ++i) EXPECT_EQ(Map(SDLK_a + i), 'A' + i);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(Map(SDLK_0 + i), '0' + i);
  const SDL_Keycode f[] = {SDLK_F1, SDLK_F2, SDLK_F3, SDLK_F4,  SDLK_F5,  SDLK_F6,
                           SDLK_F7, SDLK_F8, SDLK_F9, SDLK_F10, SDLK_F11, SDLK_F12};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(Map(f[i]), vk::F1 + i);
}

TEST(VirtualKeyFromSdl, KeypadStaysApartFromTheMainBlock) {
  const struct {
    SDL_Scancode scancode;
    u16 vk;
  } pad[] = {
      {SDL_SCANCODE_KP_0, vk::Numpad0},         {SDL_SCANCODE_KP_1, vk::Numpad1},
      {SDL_SCANCODE_KP_2, vk::Numpad2},         {SDL_SCANCODE_KP_3, vk::Numpad3},
      {SDL_SCANCODE_KP_4, vk::Numpad4},         {SDL_SCANCODE_KP_5, vk::Numpad5},
      {SDL_SCANCODE_KP_6, vk::Numpad6},         {SDL_SCANCODE_KP_7, vk::Numpad7},
      {SDL_SCANCODE_KP_8, vk::Numpad8},         {SDL_SCANCODE_KP_9, vk::Numpad9},
      {SDL_SCANCODE_KP_PLUS, vk::Add},          {SDL_SCANCODE_KP_MINUS, vk::Subtract},
      {SDL_SCANCODE_KP_MULTIPLY, vk::Multiply}, {SDL_SCANCODE_KP_DIVIDE, vk::Divide},
      {SDL_SCANCODE_KP_PERIOD, vk::Decimal},    {SDL_SCANCODE_KP_ENTER, vk::Return},
  };
  for (const auto& p : pad) {
    const SDL_Keycode key = SDL_SCANCODE_TO_KEYCODE(p.scancode);
    EXPECT_EQ(VirtualKeyFromSdl(key, p.scancode), p.vk) << SDL_GetScancodeName(p.scancode);
    // Either half of the event is enough to know the key.
    EXPECT_EQ(VirtualKeyFromSdl(key, SDL_SCANCODE_UNKNOWN), p.vk) << SDL_GetScancodeName(p.scancode);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_UNKNOWN, p.scancode), p.vk) << SDL_GetScancodeName(p.scancode);
  }
  // With Num Lock off a keypad key may arrive with a cursor key's code; the
  // scan code still says keypad.
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_LEFT, SDL_SCANCODE_KP_4), vk::Numpad4);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_HOME, SDL_SCANCODE_KP_7), vk::Numpad7);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_DELETE, SDL_SCANCODE_KP_PERIOD), vk::Decimal);
  // And the main block's "+", "-" and "*" are not the keypad's.
  EXPECT_NE(Map(SDLK_PLUS), vk::Add);
  EXPECT_NE(Map(SDLK_MINUS), vk::Subtract);
  EXPECT_NE(Map(SDLK_ASTERISK), vk::Multiply);
}

TEST(VirtualKeyFromSdl, KeysWithoutUseGiveZero) {
  for (SDL_Keycode k : {SDLK_CAPSLOCK, SDLK_F13, SDLK_PRINTSCREEN, SDLK_UNKNOWN, SDLK_VOLUMEUP, SDLK_SEMICOLON})
    EXPECT_EQ(Map(k), 0) << SDL_GetKeyName(k);
}

TEST(ModifiersFromSdl, EitherSideCounts) {
  EXPECT_EQ(ModifiersFromSdl(KMOD_NONE), 0);
  EXPECT_EQ(ModifiersFromSdl(KMOD_LSHIFT), ModShift);
  EXPECT_EQ(ModifiersFromSdl(KMOD_RCTRL), ModControl);
  EXPECT_EQ(ModifiersFromSdl(KMOD_RALT), ModAlt);
  EXPECT_EQ(ModifiersFromSdl(KMOD_LSHIFT | KMOD_RALT | KMOD_LCTRL), ModShift | ModControl | ModAlt);
  // Lock keys and the Windows key do not take part in shortcuts.
  EXPECT_EQ(ModifiersFromSdl(KMOD_NUM | KMOD_CAPS | KMOD_GUI), 0);
}

TEST(JoystickAxisFromSdl, FullRangeWithCentreAtHalf) {
  EXPECT_EQ(JoystickAxisFromSdl(-32768), 0u);
  EXPECT_EQ(JoystickAxisFromSdl(0), 32768u);
  EXPECT_EQ(JoystickAxisFromSdl(32767), 65535u);
  // The edges of the centre band the joystick poll uses.
  EXPECT_EQ(JoystickAxisFromSdl(-24576), 8192u);
  EXPECT_EQ(JoystickAxisFromSdl(24577), 57345u);
}

}  // namespace
}  // namespace lyraban::platform
