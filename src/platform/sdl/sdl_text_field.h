#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/panel_loop.h"

struct ImGuiContext;

namespace lyraban::platform {

// A one-line text field drawn with Dear ImGui over the last game frame, with
// SDL's text input on so that an input method can compose into it; its
// candidate window is placed at the field. ImGui's state (and its font atlas
// of Chinese and Japanese glyphs) lives from the first field until Detach.
class SdlTextField {
 public:
  using Hooks = PanelHooks;
  // The field's rectangle in window pixels.
  struct Area {
    int left = 0, top = 0, right = 0, bottom = 0;
  };

  SdlTextField() = default;
  ~SdlTextField();
  SdlTextField(const SdlTextField&) = delete;
  SdlTextField& operator=(const SdlTextField&) = delete;

  void Attach(SDL_Window* window, SDL_Renderer* renderer);
  void Detach();

  // A modal loop until Enter (true, `utf8` replaced) or Escape, a lost
  // focus or a close request (false).
  bool Run(const TextFieldRequest& field, const Area& area, std::string& utf8,
           const std::function<bool(std::string_view)>& accept, const Hooks& hooks);

 private:
  bool EnsureContext(std::string_view text);
  void DestroyContext();

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  ImGuiContext* context_ = nullptr;
  std::vector<unsigned short> ranges_;  // glyph ranges; the atlas keeps a pointer
};

}  // namespace lyraban::platform
