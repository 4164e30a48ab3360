#include "platform/sdl/sdl_popup.h"

#include <SDL.h>
#include <imgui.h>
#include <imgui_impl_sdl.h>

#include <cstring>
#include <type_traits>

#include "platform/sdl/imgui_panel.h"
#include "platform/sdl/panel_loop.h"

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
  PanelInput input(window_, static_cast<float>(windowX), static_cast<float>(windowY));
  const Uint32 windowId = input.windowId();
  i32 chosen = 0;
  bool done = false;

  for (int frame = 0; !done; ++frame) {
    SDL_Event e;
    // The first frames come at once: ImGui sizes a new popup on the frame
    // before it shows it.
    bool have = WaitPanelEvent(e, frame < 2, kIdleWaitMs);
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
        default:
          input.Take(e, hooks);
          break;
      }
      if (!done) have = SDL_PollEvent(&e) != 0;
    }
    if (done) break;

    input.NewFrame(window_, renderer_);
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
    PresentPanel(renderer_, hooks);

    if (hooks.idle) hooks.idle();
    // The window may have gone while the timers ran.
    if (!context_) return 0;
  }
  // The cursor stays shown: ImGui showed it for the menu, and the engine's
  // idle timer hides it again from its own count.
  PresentWithoutPanel(renderer_, hooks);
  return chosen;
}

}  // namespace lyraban::platform
