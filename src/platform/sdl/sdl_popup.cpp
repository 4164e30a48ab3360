#include "platform/sdl/sdl_popup.h"

#include <SDL.h>
#include <imgui.h>
#include <imgui_impl_sdl.h>
#include <imgui_impl_sdlrenderer.h>

#include <cstring>
#include <type_traits>

#include "platform/sdl/imgui_panel.h"

namespace lyraban::platform {

static_assert(std::is_same_v<ImWchar, unsigned short>, "glyph ranges are kept as 16-bit code points");

namespace {

// Text height of the menu in window pixels.
constexpr float kFontPixels = 16.0f;
// While nothing happens the loop still turns this often, for the timers.
constexpr int kIdleWaitMs = 50;
constexpr const char* kPopupName = "##lyraban_popup";
// The shortcut column of enabled items: readable on white and on the row
// highlight alike.
const ImVec4 kShortcutColour(0.18f, 0.18f, 0.22f, 1.0f);

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The letter or digit a key press types, for the mnemonics; 0 for others.
char KeyLetter(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<char>('a' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return static_cast<char>('0' + (key - SDLK_0));
  return 0;
}

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

PopupLabel SplitPopupLabel(std::string_view utf8) {
  PopupLabel label;
  const size_t tab = utf8.find('\t');
  std::string_view text = utf8.substr(0, tab);
  if (tab != std::string_view::npos) label.shortcut = std::string(utf8.substr(tab + 1));
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      label.text += text[i];
      continue;
    }
    if (i + 1 >= text.size()) break;  // a trailing mark marks nothing
    const char next = text[++i];
    if (next == '&') {
      label.text += '&';
      continue;
    }
    label.text += next;
    const char lower = LowerAscii(next);
    if (label.mnemonic == 0 && ((lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9')))
      label.mnemonic = lower;
  }
  return label;
}

int FindPopupMnemonic(const std::vector<PopupItem>& items, char key) {
  key = LowerAscii(key);
  if (key == 0) return -1;
  for (size_t i = 0; i < items.size(); ++i) {
    const PopupItem& item = items[i];
    if (item.separator || !item.enabled) continue;
    if (SplitPopupLabel(item.text).mnemonic == key) return static_cast<int>(i);
  }
  return -1;
}

SdlPopupMenu::~SdlPopupMenu() { Detach(); }

void SdlPopupMenu::Attach(SDL_Window* window, SDL_Renderer* renderer) {
  Detach();
  window_ = window;
  renderer_ = renderer;
}

void SdlPopupMenu::Detach() {
  DestroyContext();
  window_ = nullptr;
  renderer_ = nullptr;
}

void SdlPopupMenu::DestroyContext() {
  DestroyPanelContext(context_);
  bakedTexts_.clear();
}

bool SdlPopupMenu::EnsureContext(const std::vector<PopupItem>& items) {
  std::string texts;
  for (const PopupItem& item : items) texts += item.text;
  // The atlas holds the glyphs of the texts it was built for; other texts
  // build it again.
  if (context_ && texts == bakedTexts_) {
    ImGui::SetCurrentContext(context_);
    return true;
  }
  DestroyContext();
  context_ = CreatePanelContext(window_, renderer_, [&](ImGuiIO& io) {
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
    ImGui::StyleColorsLight();
    ImGuiStyle& style = ImGui::GetStyle();
    style.PopupRounding = 0.0f;
    style.PopupBorderSize = 1.0f;
    style.ItemSpacing.y = 6.0f;
    // The Chinese set ImGui offers, plus every character of the items
    // themselves (the arrows of the shortcuts are in neither).
    ranges_ = BuildGlyphRanges({io.Fonts->GetGlyphRangesChineseSimplifiedCommon()}, texts);
    fontFile_ = AddPanelFont(*io.Fonts, kFontPixels, ranges_);
  });
  if (!context_) return false;
  bakedTexts_ = std::move(texts);
  return true;
}

i32 SdlPopupMenu::Run(const std::vector<PopupItem>& items, int windowX, int windowY, const Hooks& hooks) {
  if (!window_ || !renderer_ || items.empty()) return 0;
  if (!EnsureContext(items)) return 0;

  std::vector<PopupLabel> labels;
  labels.reserve(items.size());
  for (const PopupItem& item : items) labels.push_back(SplitPopupLabel(item.text));

  ImGuiIO& io = ImGui::GetIO();
  // Keys held when an earlier menu closed are not held now.
  std::memset(io.KeysDown, 0, sizeof io.KeysDown);
  const Uint32 windowId = SDL_GetWindowID(window_);

  // The mouse as the events report it: the platform backend's own polling
  // misses positions on drivers without pointer focus.
  float mouseX = static_cast<float>(windowX), mouseY = static_cast<float>(windowY);
  bool held[3] = {false, false, false}, pressed[3] = {false, false, false};
  i32 chosen = 0;
  bool done = false;

  for (int frame = 0; !done; ++frame) {
    SDL_Event e;
    // The first frames come at once: ImGui sizes a new popup on the frame
    // before it shows it.
    bool have = frame < 2 ? SDL_PollEvent(&e) != 0 : SDL_WaitEventTimeout(&e, kIdleWaitMs) != 0;
    while (have && !done) {
      switch (e.type) {
        case SDL_QUIT:
          if (hooks.forward) hooks.forward(e);
          done = true;
          break;
        case SDL_WINDOWEVENT:
          if (e.window.windowID != windowId) break;
          switch (e.window.event) {
            case SDL_WINDOWEVENT_CLOSE:
            case SDL_WINDOWEVENT_FOCUS_LOST:
            case SDL_WINDOWEVENT_MINIMIZED:
            case SDL_WINDOWEVENT_HIDDEN:
              // The menu goes away with the focus; the game still hears of it.
              done = true;
              if (hooks.forward) hooks.forward(e);
              break;
            case SDL_WINDOWEVENT_EXPOSED:
              break;  // every frame repaints anyway
            default:
              if (hooks.forward) hooks.forward(e);
              break;
          }
          break;
        case SDL_KEYDOWN: {
          if (e.key.keysym.sym == SDLK_ESCAPE) {
            done = true;
            break;
          }
          if ((e.key.keysym.mod & (KMOD_CTRL | KMOD_GUI)) == 0) {
            const int hit = FindPopupMnemonic(items, KeyLetter(e.key.keysym.sym));
            if (hit >= 0) {
              chosen = items[static_cast<size_t>(hit)].id;
              done = true;
              break;
            }
          }
          ImGui_ImplSDL2_ProcessEvent(&e);
          break;
        }
        case SDL_KEYUP:
          ImGui_ImplSDL2_ProcessEvent(&e);
          break;
        case SDL_MOUSEMOTION:
          if (e.motion.windowID != windowId) break;
          mouseX = static_cast<float>(e.motion.x);
          mouseY = static_cast<float>(e.motion.y);
          break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
          if (e.button.windowID != windowId) break;
          const int b = MouseIndex(e.button.button);
          if (b < 0) break;
          mouseX = static_cast<float>(e.button.x);
          mouseY = static_cast<float>(e.button.y);
          // A press and release inside one frame still counts as a click.
          if (e.type == SDL_MOUSEBUTTONDOWN)
            pressed[b] = held[b] = true;
          else
            held[b] = false;
          break;
        }
        case SDL_MOUSEWHEEL:
        case SDL_TEXTINPUT:
        case SDL_TEXTEDITING:
          break;
        default:
          // Devices coming and going and the like.
          if (hooks.forward) hooks.forward(e);
          break;
      }
      if (!done) have = SDL_PollEvent(&e) != 0;
    }
    if (done) break;

    ImGui_ImplSDLRenderer_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    int outW = 0, outH = 0, winW = 0, winH = 0;
    SDL_GetWindowSize(window_, &winW, &winH);
    if (SDL_GetRendererOutputSize(renderer_, &outW, &outH) == 0 && winW > 0 && winH > 0)
      io.DisplayFramebufferScale = ImVec2(static_cast<float>(outW) / winW, static_cast<float>(outH) / winH);
    io.MousePos = ImVec2(mouseX, mouseY);
    for (int b = 0; b < 3; ++b) {
      io.MouseDown[b] = held[b] || pressed[b];
      pressed[b] = false;
    }
    ImGui::NewFrame();
    if (frame == 0) {
      // Opened at the mouse position, which is the menu's point on this
      // frame: ImGui then keeps the whole menu on screen, flipping it left
      // or up near the edges.
      ImGui::OpenPopup(kPopupName);
    }
    if (ImGui::BeginPopup(kPopupName, ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings)) {
      for (size_t i = 0; i < items.size(); ++i) {
        const PopupItem& item = items[i];
        if (item.separator) {
          ImGui::Separator();
          continue;
        }
        ImGui::PushID(static_cast<int>(i));
        const char* shortcut = labels[i].shortcut.empty() ? nullptr : labels[i].shortcut.c_str();
        // ImGui draws the shortcut in its disabled grey, which vanishes on
        // the blue of a highlighted row; enabled items get a dark one.
        if (item.enabled) ImGui::PushStyleColor(ImGuiCol_TextDisabled, kShortcutColour);
        if (ImGui::MenuItem(labels[i].text.c_str(), shortcut, item.checked, item.enabled)) {
          chosen = item.id;
          done = true;
        }
        if (item.enabled) ImGui::PopStyleColor();
        ImGui::PopID();
      }
      ImGui::EndPopup();
    } else if (frame > 0) {
      done = true;  // a click outside closed it
    }
    ImGui::Render();
    if (hooks.drawFrame) hooks.drawFrame();
    ImGui_ImplSDLRenderer_RenderDrawData(ImGui::GetDrawData());
    SDL_RenderPresent(renderer_);

    if (hooks.idle) hooks.idle();
    // The window may have gone while the timers ran.
    if (!context_) return 0;
  }
  // The cursor stays shown: ImGui showed it for the menu, and the engine's
  // idle timer hides it again from its own count.
  // The game picture without the menu.
  if (hooks.drawFrame) {
    hooks.drawFrame();
    SDL_RenderPresent(renderer_);
  }
  return chosen;
}

}  // namespace lyraban::platform
