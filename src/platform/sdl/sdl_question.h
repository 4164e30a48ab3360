#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/sdl/panel_loop.h"

struct ImGuiContext;

namespace lyraban::platform {

// A yes/no question (the quit question) drawn with Dear ImGui over the game
// picture, in the window and its full screen, with the popup menu's look and
// Chinese font: the caption on the title bar, the text, and the buttons
// "是(Y)" and "否(N)". Enter or Y answers Yes, Escape or N answers No; a
// pending SIGTERM or SIGINT (see CloseSignals) answers Yes.
class SdlQuestion {
 public:
  using Hooks = PanelHooks;
  enum class Answer { Yes, No, NotShown };

  SdlQuestion() = default;
  ~SdlQuestion();
  SdlQuestion(const SdlQuestion&) = delete;
  SdlQuestion& operator=(const SdlQuestion&) = delete;

  void Attach(SDL_Window* window, SDL_Renderer* renderer);
  // Before the renderer goes: ImGui's font texture belongs to it.
  void Detach();

  // A modal loop until the player answers. NotShown when ImGui cannot draw
  // on this window (the caller then falls back on the desktop's box).
  Answer Ask(std::string_view utf8Text, std::string_view utf8Caption, const Hooks& hooks);

  // What a key press answers: Yes for Enter and Y, No for Escape and N;
  // NotShown for every other key.
  static Answer AnswerForKey(int sdlKey);

  const std::string& fontFile() const { return fontFile_; }

 private:
  bool EnsureContext(const std::string& texts);
  void DestroyContext();

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  ImGuiContext* context_ = nullptr;
  std::string bakedTexts_;
  std::string fontFile_;
  std::vector<unsigned short> ranges_;  // glyph ranges; the atlas keeps a pointer
};

}  // namespace lyraban::platform
