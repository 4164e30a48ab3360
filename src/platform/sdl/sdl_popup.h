#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/panel_loop.h"

struct ImGuiContext;

namespace lyraban::platform {

// A menu item's text as the menu draws it.
struct PopupLabel {
  std::string text;      // the "&" marks removed ("&&" kept as one "&")
  std::string shortcut;  // what follows the tab; empty when none
  char mnemonic = 0;     // the marked letter or digit, lower case; 0 when none
};

PopupLabel SplitPopupLabel(std::string_view utf8);

// The index of the first enabled item whose marked letter is `key` (any
// letter case), or -1.
int FindPopupMnemonic(const std::vector<PopupItem>& items, char key);

// The popup menu drawn with Dear ImGui over the last game frame, on the
// platform's own window and renderer. ImGui's state lives from the first
// menu until Detach, so the font is baked once.
class SdlPopupMenu {
 public:
  struct Hooks : PanelHooks {
    std::function<void()> idle;  // the engine's timers
  };

  SdlPopupMenu() = default;
  ~SdlPopupMenu();
  SdlPopupMenu(const SdlPopupMenu&) = delete;
  SdlPopupMenu& operator=(const SdlPopupMenu&) = delete;

  void Attach(SDL_Window* window, SDL_Renderer* renderer);
  // Must run before the renderer is destroyed; a menu open at the time (the
  // window went while a hook ran) ends as dismissed.
  void Detach();

  // A modal loop until an item is chosen (its id) or the menu is dismissed
  // (0). The point is in window coordinates.
  i32 Run(const std::vector<PopupItem>& items, int windowX, int windowY, const Hooks& hooks);

  // The font file the menu uses; empty while ImGui's own font serves (no
  // CJK font was found, or no menu was shown yet).
  const std::string& fontFile() const { return fontFile_; }

 private:
  bool EnsureContext(const std::vector<PopupItem>& items);
  void DestroyContext();

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  ImGuiContext* context_ = nullptr;
  std::string bakedTexts_;  // the item texts the font atlas was built for
  std::string fontFile_;
  std::vector<unsigned short> ranges_;  // glyph ranges; the atlas keeps a pointer
};

// The window icons, drawn in code: `size` × `size` pixels, 0xAARRGGBB, rows
// top first.
std::vector<u32> DrawWindowIcon(WindowIcon icon, int size);

}  // namespace lyraban::platform
