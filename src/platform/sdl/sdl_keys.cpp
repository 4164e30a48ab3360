#include "platform/sdl/sdl_keys.h"

#include <SDL.h>

#include "platform/keys.h"

namespace lyraban::platform {

namespace {

u16 KeypadKey(SDL_Scancode scancode) {
  switch (scancode) {
    case SDL_SCANCODE_KP_0:
      return vk::Numpad0;
    case SDL_SCANCODE_KP_1:
    case SDL_SCANCODE_KP_2:
    case SDL_SCANCODE_KP_3:
    case SDL_SCANCODE_KP_4:
    case SDL_SCANCODE_KP_5:
    case SDL_SCANCODE_KP_6:
    case SDL_SCANCODE_KP_7:
    case SDL_SCANCODE_KP_8:
    case SDL_SCANCODE_KP_9:
      return static_cast<u16>(vk::Numpad1 + (scancode - SDL_SCANCODE_KP_1));
    case SDL_SCANCODE_KP_PLUS:
      return vk::Add;
    case SDL_SCANCODE_KP_MINUS:
      return vk::Subtract;
    case SDL_SCANCODE_KP_MULTIPLY:
      return vk::Multiply;
    case SDL_SCANCODE_KP_DIVIDE:
      return vk::Divide;
    case SDL_SCANCODE_KP_PERIOD:
    case SDL_SCANCODE_KP_DECIMAL:
      return vk::Decimal;
    case SDL_SCANCODE_KP_ENTER:
      return vk::Return;
    default:
      return 0;
  }
}

}  // namespace

u16 VirtualKeyFromSdl(i32 keycode, i32 scancode) {
  if (u16 key = KeypadKey(static_cast<SDL_Scancode>(scancode))) return key;
  // Keypad key codes are their scan codes with a marker bit.
  if (keycode & SDLK_SCANCODE_MASK) {
    if (u16 key = KeypadKey(static_cast<SDL_Scancode>(keycode & ~SDLK_SCANCODE_MASK))) return key;
  }
  if (keycode >= SDLK_a && keycode <= SDLK_z) return static_cast<u16>('A' + (keycode - SDLK_a));
  if (keycode >= SDLK_0 && keycode <= SDLK_9) return static_cast<u16>(keycode);
  if (keycode >= SDLK_F1 && keycode <= SDLK_F12) return static_cast<u16>(vk::F1 + (keycode - SDLK_F1));
  switch (keycode) {
    case SDLK_BACKSPACE:
      return vk::Back;
    case SDLK_TAB:
      return vk::Tab;
    case SDLK_RETURN:
    case SDLK_RETURN2:
      return vk::Return;
    case SDLK_ESCAPE:
      return vk::Escape;
    case SDLK_SPACE:
      return vk::Space;
    case SDLK_PAGEUP:
      return vk::Prior;
    case SDLK_PAGEDOWN:
      return vk::Next;
    case SDLK_END:
      return vk::End;
    case SDLK_HOME:
      return vk::Home;
    case SDLK_LEFT:
      return vk::Left;
    case SDLK_UP:
      return vk::Up;
    case SDLK_RIGHT:
      return vk::Right;
    case SDLK_DOWN:
      return vk::Down;
    case SDLK_INSERT:
      return vk::Insert;
    case SDLK_DELETE:
      return vk::Delete;
    case SDLK_APPLICATION:
    case SDLK_MENU:
      return vk::Apps;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      return vk::Shift;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      return vk::Control;
    case SDLK_LALT:
    case SDLK_RALT:
      return vk::Menu;
    default:
      return 0;
  }
}

u8 ModifiersFromSdl(u32 keymod) {
  u8 bits = 0;
  if (keymod & KMOD_SHIFT) bits |= ModShift;
  if (keymod & KMOD_CTRL) bits |= ModControl;
  if (keymod & KMOD_ALT) bits |= ModAlt;
  return bits;
}

u32 JoystickAxisFromSdl(i16 value) { return static_cast<u32>(static_cast<i32>(value) + 32768); }

}  // namespace lyraban::platform
