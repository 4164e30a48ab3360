#include "platform/sdl/sdl_question.h"

#include <SDL.h>
#include <imgui.h>
#include <imgui_impl_sdl.h>

#include <cstring>

#include "platform/close_signals.h"
#include "platform/sdl/imgui_panel.h"
#include "platform/sdl/panel_loop.h"
#include "platform/sdl/sdl_popup.h"

namespace lyraban::platform {

namespace {

// The popup menu's look: its text size in window pixels, its light colours,
// square corners and a thin border.
constexpr float kFontPixels = 16.0f;
constexpr float kButtonWidth = 88.0f;
// With nothing happening the loop wakes this often; nothing is redrawn then.
constexpr int kIdleWaitMs = 250;
constexpr const char* kYes = "是(Y)";
constexpr const char* kNo = "否(N)";

}  // namespace

SdlQuestion::~SdlQuestion() { Detach(); }

void SdlQuestion::Attach(SDL_Window* window, SDL_Renderer* renderer) {
  Detach();
  window_ = window;
  renderer_ = renderer;
}

void SdlQuestion::Detach() {
  DestroyContext();
  window_ = nullptr;
  renderer_ = nullptr;
}

void SdlQuestion::DestroyContext() {
  DestroyPanelContext(context_);
  bakedTexts_.clear();
}

SdlQuestion::Answer SdlQuestion::AnswerForKey(int sdlKey) {
  switch (sdlKey) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
    case SDLK_y:
      return Answer::Yes;
    case SDLK_ESCAPE:
    case SDLK_n:
      return Answer::No;
    default:
      return Answer::NotShown;
  }
}

bool SdlQuestion::EnsureContext(const std::string& texts) {
  if (context_ && texts == bakedTexts_) {
    ImGui::SetCurrentContext(context_);
    return true;
  }
  DestroyContext();
  context_ = CreatePanelContext(window_, renderer_, [&](ImGuiIO& io) {
    ImGui::StyleColorsLight();
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowRounding = 0.0f;
    style.WindowBorderSize = 1.0f;
    style.FrameRounding = 0.0f;
    style.FrameBorderSize = 1.0f;
    style.ItemSpacing.y = 6.0f;
    style.WindowPadding = ImVec2(16.0f, 12.0f);
    // Only the question's own characters: a handful of glyphs bake at once.
    ranges_ = BuildGlyphRanges({io.Fonts->GetGlyphRangesDefault()}, texts);
    fontFile_ = AddPanelFont(*io.Fonts, kFontPixels, ranges_);
  });
  if (!context_) return false;
  bakedTexts_ = texts;
  return true;
}

SdlQuestion::Answer SdlQuestion::Ask(std::string_view utf8Text, std::string_view utf8Caption, const Hooks& hooks) {
  if (!window_ || !renderer_) return Answer::NotShown;
  const std::string text(utf8Text);
  // The title bar needs a label; "###" keeps ImGui's identity of the window
  // apart from what it shows.
  const std::string title = std::string(utf8Caption.empty() ? " " : utf8Caption) + "###lyraban_question";
  if (!EnsureContext(text + std::string(utf8Caption) + kYes + kNo)) return Answer::NotShown;

  ImGuiIO& io = ImGui::GetIO();
  std::memset(io.KeysDown, 0, sizeof io.KeysDown);
  int mx = 0, my = 0;
  SDL_GetMouseState(&mx, &my);
  PanelInput input(window_, static_cast<float>(mx), static_cast<float>(my));
  const Uint32 windowId = input.windowId();
  Answer answer = Answer::NotShown;

  // Frames still to draw without waiting: ImGui sizes a new window on the
  // frame before it shows it, and a click needs a frame with the button
  // down and one with it up. Otherwise a frame is drawn only when something
  // happened.
  int eager = 2;
  while (answer == Answer::NotShown) {
    SDL_Event e;
    bool have = WaitPanelEvent(e, eager > 0, kIdleWaitMs);
    // A signal to end the program is a close nobody needs to confirm.
    if (CloseSignals::Pending()) {
      answer = Answer::Yes;
      break;
    }
    if (!have && eager == 0) continue;
    if (eager > 0) --eager;
    while (have && answer == Answer::NotShown) {
      if (e.type == SDL_MOUSEBUTTONDOWN || e.type == SDL_MOUSEBUTTONUP || e.type == SDL_KEYDOWN || e.type == SDL_KEYUP)
        eager = 2;
      switch (e.type) {
        case SDL_QUIT:
          break;  // the question is already open
        case SDL_WINDOWEVENT:
          if (e.window.windowID != windowId) break;
          // The close box while the question is up does nothing, as with the
          // desktop's own boxes; everything else still reaches the game.
          if (e.window.event != SDL_WINDOWEVENT_CLOSE && e.window.event != SDL_WINDOWEVENT_EXPOSED && hooks.forward)
            hooks.forward(e);
          break;
        case SDL_KEYDOWN:
          if ((e.key.keysym.mod & (KMOD_CTRL | KMOD_ALT | KMOD_GUI)) == 0) answer = AnswerForKey(e.key.keysym.sym);
          if (answer == Answer::NotShown) ImGui_ImplSDL2_ProcessEvent(&e);
          break;
        default:
          input.Take(e, hooks);
          break;
      }
      if (answer == Answer::NotShown) have = SDL_PollEvent(&e) != 0;
    }
    if (answer != Answer::NotShown) break;
    // The window may have gone while an event was forwarded.
    if (!context_ || !window_) return Answer::No;

    input.NewFrame(window_, renderer_);
    ImGui::NewFrame();
    int winW = 0, winH = 0;
    SDL_GetWindowSize(window_, &winW, &winH);
    ImGui::SetNextWindowPos(ImVec2(winW * 0.5f, winH * 0.5f), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowFocus();
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoCollapse |
                                   ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings;
    if (ImGui::Begin(title.c_str(), nullptr, flags)) {
      ImGui::TextUnformatted(text.c_str());
      ImGui::Dummy(ImVec2(0.0f, 4.0f));
      // The buttons sit right, as the desktop's boxes put them.
      const float buttons = kButtonWidth * 2 + ImGui::GetStyle().ItemSpacing.x;
      const float room = ImGui::GetContentRegionAvail().x;
      if (room > buttons) ImGui::SetCursorPosX(ImGui::GetCursorPosX() + room - buttons);
      if (ImGui::Button(kYes, ImVec2(kButtonWidth, 0.0f))) answer = Answer::Yes;
      ImGui::SameLine();
      if (ImGui::Button(kNo, ImVec2(kButtonWidth, 0.0f))) answer = Answer::No;
    }
    ImGui::End();
    PresentPanel(renderer_, hooks);
  }
  PresentWithoutPanel(renderer_, hooks);
  return answer;
}

}  // namespace lyraban::platform
