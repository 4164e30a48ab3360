#include "platform/sdl/panel_loop.h"

#include <SDL.h>
#include <imgui.h>
#include <imgui_impl_sdl.h>
#include <imgui_impl_sdlrenderer.h>

namespace lyraban::platform {

namespace {

int MouseIndex(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT:
      return 0;
    case SDL_BUTTON_RIGHT:
      return 1;
    case SDL_BUTTON_MIDDLE:
      return 2;
    default:
      return -1;
  }
}

}  // namespace

bool WaitPanelEvent(SDL_Event& e, bool eager, int waitMs) {
  return eager ? SDL_PollEvent(&e) != 0 : SDL_WaitEventTimeout(&e, waitMs) != 0;
}

void PresentPanel(SDL_Renderer* renderer, const PanelHooks& hooks, u8 dim) {
  ImGui::Render();
  if (hooks.drawFrame) hooks.drawFrame();
  if (dim > 0) {
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, dim);
    SDL_RenderFillRect(renderer, nullptr);
  }
  ImGui_ImplSDLRenderer_RenderDrawData(ImGui::GetDrawData());
  SDL_RenderPresent(renderer);
}

void PresentWithoutPanel(SDL_Renderer* renderer, const PanelHooks& hooks) {
  if (!hooks.drawFrame) return;
  hooks.drawFrame();
  SDL_RenderPresent(renderer);
}

PanelInput::PanelInput(SDL_Window* window, float mouseX, float mouseY)
    : windowId_(SDL_GetWindowID(window)), x_(mouseX), y_(mouseY) {}

void PanelInput::Take(const SDL_Event& e, const PanelHooks& hooks) {
  switch (e.type) {
    case SDL_MOUSEMOTION:
      if (e.motion.windowID != windowId_) break;
      x_ = static_cast<float>(e.motion.x);
      y_ = static_cast<float>(e.motion.y);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      if (e.button.windowID != windowId_) break;
      const int b = MouseIndex(e.button.button);
      if (b < 0) break;
      x_ = static_cast<float>(e.button.x);
      y_ = static_cast<float>(e.button.y);
      // A press and release inside one frame still counts as a click.
      if (e.type == SDL_MOUSEBUTTONDOWN)
        pressed_[b] = held_[b] = true;
      else
        held_[b] = false;
      break;
    }
    case SDL_KEYUP:
      ImGui_ImplSDL2_ProcessEvent(&e);
      break;
    case SDL_MOUSEWHEEL:
    case SDL_TEXTINPUT:
    case SDL_TEXTEDITING:
      break;
    default:
      // Devices coming and going and the like.
      if (hooks.forward) hooks.forward(e);
      break;
  }
}

void PanelInput::NewFrame(SDL_Window* window, SDL_Renderer* renderer) {
  ImGuiIO& io = ImGui::GetIO();
  ImGui_ImplSDLRenderer_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  int outW = 0, outH = 0, winW = 0, winH = 0;
  SDL_GetWindowSize(window, &winW, &winH);
  if (SDL_GetRendererOutputSize(renderer, &outW, &outH) == 0 && winW > 0 && winH > 0)
    io.DisplayFramebufferScale = ImVec2(static_cast<float>(outW) / winW, static_cast<float>(outH) / winH);
  io.MousePos = ImVec2(x_, y_);
  for (int b = 0; b < 3; ++b) {
    io.MouseDown[b] = held_[b] || pressed_[b];
    pressed_[b] = false;
  }
}

}  // namespace lyraban::platform
