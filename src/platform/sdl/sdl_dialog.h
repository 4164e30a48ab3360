#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialog.h"
#include "platform/sdl/panel_loop.h"

struct ImGuiContext;

namespace lyraban::platform {

// A DialogModel drawn with Dear ImGui as a modal panel over the last game
// frame, centred on the game picture and scaled with it. The ImGui context
// (and its font atlas, which holds exactly the characters of the form) lives
// while the dialog is open.
class SdlDialog {
 public:
  struct Hooks : PanelHooks {
    // The game picture's rectangle in window pixels, and its size in game pixels.
    std::function<void(int& x, int& y, int& width, int& height, int& gameWidth, int& gameHeight)> viewport;
  };

  SdlDialog() = default;
  ~SdlDialog();
  SdlDialog(const SdlDialog&) = delete;
  SdlDialog& operator=(const SdlDialog&) = delete;

  void Attach(SDL_Window* window, SDL_Renderer* renderer);
  void Detach();

  // The modal loop; false when the model's idle call reported quitting.
  bool Run(DialogModel& model, const Hooks& hooks);

  // Scale of the panel for a game picture `scale` times its size in a
  // window of the given size: the game's scale, unless the panel would not
  // fit the window.
  static float PanelScale(float gameScale, int windowWidth, int windowHeight, int formWidth, int formHeight);

 private:
  bool BuildContext(const DialogForm& form, float scale);
  void DestroyContext();
  void Draw(DialogModel& model, float scale, float left, float top);

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  ImGuiContext* context_ = nullptr;
  float bakedScale_ = 0.0f;
  std::string bakedTexts_;
  std::vector<unsigned short> ranges_;  // the atlas keeps a pointer
  int shownPage_ = -1;
};

// Every text a form shows (caption, tabs, widgets, list entries), for the
// font atlas.
std::string DialogTexts(const DialogForm& form);

// The characters of `utf8` that the dialog's font (the system's CJK face,
// baked as the dialog bakes it) cannot draw; empty when all are there.
std::u32string MissingDialogGlyphs(std::string_view utf8);

}  // namespace lyraban::platform
