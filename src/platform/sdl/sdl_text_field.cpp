#include "platform/sdl/sdl_text_field.h"

#include <SDL.h>
#include <imgui.h>
#include <imgui_impl_sdl.h>
#include <imgui_impl_sdlrenderer.h>

#include <algorithm>
#include <cstring>

#include "platform/sdl/imgui_panel.h"
#include "platform/sdl/panel_loop.h"

namespace lyraban::platform {

namespace {

constexpr int kIdleWaitMs = 50;
// Bytes of UTF-8 the field holds: the code page's 255 bytes are at most 255
// characters of up to 4 bytes each.
constexpr std::size_t kBufferBytes = 1024;

ImVec4 Colour(u32 rgb) {
  return ImVec4(static_cast<float>((rgb >> 16) & 0xFF) / 255.0f, static_cast<float>((rgb >> 8) & 0xFF) / 255.0f,
                static_cast<float>(rgb & 0xFF) / 255.0f, 1.0f);
}

// The field opens with the cursor after its text, nothing selected, so that
// typing adds to the comment instead of replacing it.
int PlaceCursorOnce(ImGuiInputTextCallbackData* data) {
  auto* pending = static_cast<bool*>(data->UserData);
  if (*pending) {
    data->CursorPos = data->SelectionStart = data->SelectionEnd = data->BufTextLen;
    *pending = false;
  }
  return 0;
}

}  // namespace

SdlTextField::~SdlTextField() { Detach(); }

void SdlTextField::Attach(SDL_Window* window, SDL_Renderer* renderer) {
  Detach();
  window_ = window;
  renderer_ = renderer;
}

void SdlTextField::Detach() {
  DestroyContext();
  window_ = nullptr;
  renderer_ = nullptr;
}

void SdlTextField::DestroyContext() { DestroyPanelContext(context_); }

bool SdlTextField::EnsureContext(std::string_view text) {
  if (context_) {
    ImGui::SetCurrentContext(context_);
    return true;
  }
  context_ = CreatePanelContext(window_, renderer_, [&](ImGuiIO& io) {
    // Common Chinese and Japanese characters, kana and the text the field
    // opens with.
    ranges_ =
        BuildGlyphRanges({io.Fonts->GetGlyphRangesChineseSimplifiedCommon(), io.Fonts->GetGlyphRangesJapanese()}, text);
    AddPanelFont(*io.Fonts, 20.0f, ranges_);
  });
  return context_ != nullptr;
}

bool SdlTextField::Run(const TextFieldRequest& field, const Area& area, std::string& utf8,
                       const std::function<bool(std::string_view)>& accept, const Hooks& hooks) {
  if (!window_ || !renderer_ || !EnsureContext(utf8)) return false;
  ImGuiIO& io = ImGui::GetIO();
  std::memset(io.KeysDown, 0, sizeof io.KeysDown);
  const Uint32 windowId = SDL_GetWindowID(window_);

  std::vector<char> buffer(kBufferBytes, '\0');
  std::memcpy(buffer.data(), utf8.data(), std::min(utf8.size(), kBufferBytes - 1));

  SDL_Rect rect{area.left, area.top, std::max(area.right - area.left, 1), std::max(area.bottom - area.top, 1)};
  SDL_SetTextInputRect(&rect);
  SDL_StartTextInput();
  const float scale = static_cast<float>(rect.h) / static_cast<float>(std::max(field.height, 1));

  bool confirmed = false, done = false, placeCursor = true;
  for (int frame = 0; !done; ++frame) {
    SDL_Event e;
    bool have = WaitPanelEvent(e, frame < 2, kIdleWaitMs);
    while (have && !done) {
      switch (e.type) {
        case SDL_QUIT:
          if (hooks.forward) hooks.forward(e);
          done = true;
          break;
        case SDL_WINDOWEVENT:
          if (e.window.windowID != windowId) break;
          if (e.window.event == SDL_WINDOWEVENT_CLOSE || e.window.event == SDL_WINDOWEVENT_FOCUS_LOST ||
              e.window.event == SDL_WINDOWEVENT_MINIMIZED || e.window.event == SDL_WINDOWEVENT_HIDDEN)
            done = true;
          if (e.window.event != SDL_WINDOWEVENT_EXPOSED && hooks.forward) hooks.forward(e);
          break;
        case SDL_KEYDOWN:
          if (e.key.keysym.sym == SDLK_ESCAPE) {
            done = true;
            break;
          }
          ImGui_ImplSDL2_ProcessEvent(&e);
          break;
        case SDL_TEXTINPUT: {
          // What the game cannot keep is refused before the field sees it;
          // where in the text it lands does not change that.
          const std::string next = std::string(buffer.data()) + e.text.text;
          if (!accept || accept(next)) ImGui_ImplSDL2_ProcessEvent(&e);
          break;
        }
        case SDL_KEYUP:
        case SDL_MOUSEMOTION:
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
          ImGui_ImplSDL2_ProcessEvent(&e);
          break;
        default:
          if (hooks.forward) hooks.forward(e);
          break;
      }
      if (!done) have = SDL_PollEvent(&e) != 0;
    }
    if (done) break;

    ImGui_ImplSDLRenderer_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    ImGui::SetNextWindowPos(ImVec2(static_cast<float>(rect.x), static_cast<float>(rect.y)));
    ImGui::SetNextWindowSize(ImVec2(static_cast<float>(rect.w), static_cast<float>(rect.h)));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0.0f);
    ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(2.0f, 0.0f));
    ImGui::PushStyleColor(ImGuiCol_WindowBg, Colour(field.backRgb));
    ImGui::PushStyleColor(ImGuiCol_FrameBg, Colour(field.backRgb));
    ImGui::PushStyleColor(ImGuiCol_Text, Colour(field.textRgb));
    ImGui::Begin("##lyraban_text_field", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings);
    ImGui::SetWindowFontScale(scale * static_cast<float>(field.fontHeight) / 20.0f);
    if (frame == 0) ImGui::SetKeyboardFocusHere();
    ImGui::SetNextItemWidth(static_cast<float>(rect.w));
    if (ImGui::InputText("##comment", buffer.data(), buffer.size(),
                         ImGuiInputTextFlags_EnterReturnsTrue | ImGuiInputTextFlags_CallbackAlways, PlaceCursorOnce,
                         &placeCursor)) {
      confirmed = true;
      done = true;
    }
    ImGui::End();
    ImGui::PopStyleColor(3);
    ImGui::PopStyleVar(3);
    PresentPanel(renderer_, hooks);
  }
  SDL_StopTextInput();
  PresentWithoutPanel(renderer_, hooks);
  if (confirmed) utf8.assign(buffer.data());
  return confirmed;
}

}  // namespace lyraban::platform
