#pragma once
#include <functional>

#include "base/types.h"

struct SDL_Window;
struct SDL_Renderer;
union SDL_Event;

namespace lyraban::platform {

// What the modal loops of the panels drawn with Dear ImGui over the game
// (popup menu, quit question, settings dialog, text field) share.

// The engine's side of a panel's loop.
struct PanelHooks {
  std::function<void()> drawFrame;                // the game picture, without presenting
  std::function<void(const SDL_Event&)> forward;  // events the game must still see
};

// The first event of a turn of the loop: taken at once on an eager turn
// (ImGui sizes a new window on the frame before it shows it), otherwise
// waited for up to `waitMs`. False when there was none.
bool WaitPanelEvent(SDL_Event& e, bool eager, int waitMs);

// The game picture, the panel's draw data over it and the result shown;
// `dim` darkens the game behind the panel (0: not at all).
void PresentPanel(SDL_Renderer* renderer, const PanelHooks& hooks, u8 dim = 0);
// The game picture alone again, once the panel has gone.
void PresentWithoutPanel(SDL_Renderer* renderer, const PanelHooks& hooks);

// The input a panel's loop treats alike. The mouse is kept as the window's
// events report it: ImGui's SDL backend polls the mouse itself and misses
// positions on drivers without pointer focus.
class PanelInput {
 public:
  PanelInput(SDL_Window* window, float mouseX, float mouseY);

  u32 windowId() const { return windowId_; }
  // An event the panel has no use of its own for: the mouse (of this
  // window) and key releases go to the panel, the mouse wheel and text
  // are dropped, everything else goes on to the game.
  void Take(const SDL_Event& e, const PanelHooks& hooks);
  // Starts a frame of ImGui's SDL and renderer backends in the current
  // context, at the renderer's pixel scale, with the mouse as it is now.
  void NewFrame(SDL_Window* window, SDL_Renderer* renderer);

 private:
  u32 windowId_;
  float x_, y_;
  bool held_[3] = {false, false, false};
  bool pressed_[3] = {false, false, false};
};

}  // namespace lyraban::platform
