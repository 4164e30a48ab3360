#include "platform/sdl/sdl_dialog.h"

#include <SDL.h>
#include <imgui.h>
#include <imgui_impl_sdl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/sdl/imgui_panel.h"
#include "platform/sdl/panel_loop.h"

namespace lyraban::platform {

namespace {

// Text height at scale 1, in game pixels: the dialog's own font size.
constexpr float kFontPixels = 13.0f;
constexpr int kIdleWaitMs = 50;
// The second column of the static text (the shortcut list).
constexpr float kTabStop = 74.0f;

// The glyph ranges of `texts` plus printable ASCII.
std::vector<unsigned short> DialogRanges(ImFontAtlas& atlas, std::string_view texts) {
  return BuildGlyphRanges({atlas.GetGlyphRangesDefault()}, texts);
}

// The next character of UTF-8 text; 0xFFFD for a broken sequence. Moves `p`.
char32_t NextCharacter(const char*& p, const char* end) {
  const auto lead = static_cast<unsigned char>(*p++);
  if (lead < 0x80) return lead;
  const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (extra < 0) return 0xFFFD;
  char32_t c = lead & (0x3F >> extra);
  for (int i = 0; i < extra; ++i) {
    if (p >= end || (static_cast<unsigned char>(*p) & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | (static_cast<unsigned char>(*p++) & 0x3F);
  }
  return c;
}

ImVec2 Add(ImVec2 a, ImVec2 b) { return ImVec2(a.x + b.x, a.y + b.y); }

}  // namespace

std::string DialogTexts(const DialogForm& form) {
  std::string texts = form.caption;
  for (const std::string& tab : form.tabs) texts += tab;
  for (const DialogWidget& w : form.widgets) {
    texts += w.text;
    for (const std::string& item : w.items) texts += item;
  }
  return texts;
}

std::u32string MissingDialogGlyphs(std::string_view utf8) {
  const std::string texts(utf8);
  ImFontAtlas atlas;
  const std::vector<unsigned short> ranges = DialogRanges(atlas, texts);
  std::u32string missing;
  ImFont* font = !AddPanelFont(atlas, kFontPixels, ranges).empty() && atlas.Build() ? atlas.Fonts[0] : nullptr;
  const char* p = texts.c_str();
  const char* end = p + texts.size();
  while (p < end) {
    const char32_t c = NextCharacter(p, end);
    if (c < 0x20 || c == 0x7F) continue;  // line breaks and tabs are layout, not glyphs
    const bool drawn = font && c <= 0xFFFF && font->FindGlyphNoFallback(static_cast<ImWchar>(c));
    if (!drawn && missing.find(c) == std::u32string::npos) missing += c;
  }
  return missing;
}

float SdlDialog::PanelScale(float gameScale, int windowWidth, int windowHeight, int formWidth, int formHeight) {
  float scale = gameScale;
  if (formWidth > 0) scale = std::min(scale, static_cast<float>(windowWidth) / formWidth);
  if (formHeight > 0) scale = std::min(scale, static_cast<float>(windowHeight) / formHeight);
  // Steps of 1/20, so that dragging the window's edge does not bake a new
  // font every frame; never so small that the text cannot be read at all.
  scale = std::floor(scale * 20.0f) / 20.0f;
  return std::max(scale, 0.5f);
}

SdlDialog::~SdlDialog() { Detach(); }

void SdlDialog::Attach(SDL_Window* window, SDL_Renderer* renderer) {
  Detach();
  window_ = window;
  renderer_ = renderer;
}

void SdlDialog::Detach() {
  DestroyContext();
  window_ = nullptr;
  renderer_ = nullptr;
}

void SdlDialog::DestroyContext() {
  DestroyPanelContext(context_);
  bakedScale_ = 0.0f;
  bakedTexts_.clear();
}

bool SdlDialog::BuildContext(const DialogForm& form, float scale) {
  std::string texts = DialogTexts(form);
  if (context_ && scale == bakedScale_ && texts == bakedTexts_) {
    ImGui::SetCurrentContext(context_);
    return true;
  }
  DestroyContext();
  context_ = CreatePanelContext(window_, renderer_, [&](ImGuiIO& io) {
    ImGui::StyleColorsLight();
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowRounding = 0.0f;
    style.FrameRounding = 2.0f;
    style.WindowBorderSize = 1.0f;
    style.FrameBorderSize = 1.0f;
    style.WindowPadding = ImVec2(0.0f, 0.0f);
    style.FramePadding = ImVec2(4.0f, 2.0f);
    style.ItemInnerSpacing = ImVec2(3.0f, 3.0f);
    style.GrabMinSize = 8.0f;
    style.ScaleAllSizes(scale);
    ranges_ = DialogRanges(*io.Fonts, texts);
    AddPanelFont(*io.Fonts, std::round(kFontPixels * scale), ranges_);
  });
  if (!context_) return false;
  bakedScale_ = scale;
  bakedTexts_ = std::move(texts);
  shownPage_ = -1;
  return true;
}

bool SdlDialog::Run(DialogModel& model, const Hooks& hooks) {
  if (!window_ || !renderer_) {
    model.Cancel();
    return true;
  }
  int mouseWindowX = 0, mouseWindowY = 0;
  SDL_GetMouseState(&mouseWindowX, &mouseWindowY);
  PanelInput input(window_, static_cast<float>(mouseWindowX), static_cast<float>(mouseWindowY));
  const Uint32 windowId = input.windowId();
  float wheel = 0.0f;
  bool quitting = false;
  shownPage_ = -1;
  // The cursor may have been hidden by the idle timer; the dialog needs it.
  SDL_ShowCursor(SDL_ENABLE);

  for (int frame = 0; !model.Finished(); ++frame) {
    if (!model.Idle()) {
      quitting = true;
      break;
    }
    SDL_Event e;
    bool have = WaitPanelEvent(e, frame < 2, kIdleWaitMs);
    while (have && !model.Finished()) {
      switch (e.type) {
        case SDL_QUIT:
          // The dialog closes first; the game then hears the close request.
          if (hooks.forward) hooks.forward(e);
          model.Cancel();
          break;
        case SDL_WINDOWEVENT:
          if (e.window.windowID != windowId) break;
          if (e.window.event == SDL_WINDOWEVENT_CLOSE) model.Cancel();
          if (e.window.event != SDL_WINDOWEVENT_EXPOSED && hooks.forward) hooks.forward(e);
          break;
        case SDL_KEYDOWN:
          if (!e.key.repeat) {
            const SDL_Keycode key = e.key.keysym.sym;
            if (key == SDLK_RETURN || key == SDLK_KP_ENTER) {
              model.Confirm();
              break;
            }
            if (key == SDLK_ESCAPE || key == SDLK_KP_PLUS) {
              model.Cancel();
              break;
            }
          }
          if (context_) ImGui_ImplSDL2_ProcessEvent(&e);
          break;
        case SDL_KEYUP:
          if (context_) ImGui_ImplSDL2_ProcessEvent(&e);
          break;
        case SDL_MOUSEWHEEL:
          wheel += static_cast<float>(e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y);
          break;
        case SDL_JOYDEVICEADDED:
        case SDL_JOYDEVICEREMOVED:
          // The platform opens or drops the pad first, then the rows follow.
          if (hooks.forward) hooks.forward(e);
          model.DevicesChanged();
          break;
        default:
          input.Take(e, hooks);
          break;
      }
      if (!model.Finished()) have = SDL_PollEvent(&e) != 0;
    }
    if (model.Finished()) break;

    int winW = 0, winH = 0;
    SDL_GetWindowSize(window_, &winW, &winH);
    int vx = 0, vy = 0, vw = winW, vh = winH, gameW = winW, gameH = winH;
    if (hooks.viewport) hooks.viewport(vx, vy, vw, vh, gameW, gameH);
    const DialogForm& form = model.Form();
    const float gameScale = gameW > 0 ? static_cast<float>(vw) / gameW : 1.0f;
    const float scale = PanelScale(gameScale, winW, winH, form.width, form.height);
    if (!BuildContext(form, scale)) {
      model.Cancel();
      break;
    }
    ImGuiIO& io = ImGui::GetIO();
    if (frame == 0) std::memset(io.KeysDown, 0, sizeof io.KeysDown);
    input.NewFrame(window_, renderer_);
    io.MouseWheel = wheel;
    wheel = 0.0f;
    ImGui::NewFrame();
    // Centred on the game picture, the title bar included.
    const float titleHeight = ImGui::GetFrameHeight();
    const float width = form.width * scale, height = form.height * scale + titleHeight;
    const float left = vx + (vw - width) / 2.0f, top = vy + (vh - height) / 2.0f;
    Draw(model, scale, std::max(left, 0.0f), std::max(top, 0.0f));
    // The game dims behind the panel: it is suspended.
    PresentPanel(renderer_, hooks, 96);
    if (!context_) break;  // the window went while the model's idle call ran
  }
  DestroyContext();
  if (renderer_) PresentWithoutPanel(renderer_, hooks);
  return !quitting;
}

void SdlDialog::Draw(DialogModel& model, float scale, float left, float top) {
  const DialogForm& form = model.Form();
  const std::string title = form.caption + "###lyraban_dialog";
  ImGui::SetNextWindowPos(ImVec2(left, top));
  ImGui::SetNextWindowSize(ImVec2(form.width * scale, form.height * scale + ImGui::GetFrameHeight()));
  const ImGuiWindowFlags flags = ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoCollapse |
                                 ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoScrollbar |
                                 ImGuiWindowFlags_NoScrollWithMouse;
  if (!ImGui::Begin(title.c_str(), nullptr, flags)) {
    ImGui::End();
    return;
  }
  const ImVec2 origin = ImGui::GetCursorScreenPos();
  auto at = [&](float x, float y) { return Add(origin, ImVec2(x * scale, y * scale)); };
  ImDrawList* draw = ImGui::GetWindowDrawList();
  const ImU32 textColour = ImGui::GetColorU32(ImGuiCol_Text);
  const ImU32 lineColour = ImGui::GetColorU32(ImGuiCol_Border);

  // The tab control and the frame of its display area.
  const int page = model.CurrentPage();
  ImGui::SetCursorScreenPos(at(0, 0));
  ImGui::PushItemWidth(form.tabWidth * scale);
  if (ImGui::BeginTabBar("##tabs", ImGuiTabBarFlags_None)) {
    for (size_t i = 0; i < form.tabs.size(); ++i) {
      const int index = static_cast<int>(i);
      ImGuiTabItemFlags tabFlags = 0;
      if (shownPage_ != page && index == page) tabFlags |= ImGuiTabItemFlags_SetSelected;
      const std::string label = form.tabs[i] + "###tab" + std::to_string(i);
      if (ImGui::BeginTabItem(label.c_str(), nullptr, tabFlags)) {
        if (shownPage_ == page && index != page) model.SelectPage(index);
        ImGui::EndTabItem();
      }
    }
    ImGui::EndTabBar();
  }
  ImGui::PopItemWidth();
  shownPage_ = model.CurrentPage();
  const int current = model.CurrentPage();
  draw->AddRect(at(0, 22), at(static_cast<float>(form.tabWidth), static_cast<float>(form.tabHeight)), lineColour);

  const std::vector<DialogWidget>& widgets = model.Form().widgets;
  for (size_t i = 0; i < widgets.size(); ++i) {
    // Copied: asking the model's form again (a change) rebuilds it.
    const DialogWidget w = widgets[i];
    if (w.page >= 0 && w.page != current) continue;
    const ImVec2 pos = at(static_cast<float>(w.x), static_cast<float>(w.y));
    const float width = w.width * scale, height = w.height * scale;
    ImGui::PushID(static_cast<int>(i));
    ImGui::SetCursorScreenPos(pos);
    ImGui::BeginDisabled(!w.enabled);
    bool changed = false;
    switch (w.kind) {
      case WidgetKind::Group: {
        const float half = ImGui::GetFontSize() / 2.0f;
        draw->AddRect(Add(pos, ImVec2(0, half)), Add(pos, ImVec2(width, height)), lineColour);
        const ImVec2 size = ImGui::CalcTextSize(w.text.c_str());
        const ImVec2 textPos = Add(pos, ImVec2(8.0f * scale, 0));
        draw->AddRectFilled(Add(textPos, ImVec2(-2.0f * scale, 0)), Add(textPos, ImVec2(size.x + 2.0f * scale, size.y)),
                            ImGui::GetColorU32(ImGuiCol_WindowBg));
        draw->AddText(textPos, textColour, w.text.c_str());
        break;
      }
      case WidgetKind::Label:
        // The wrap position is relative to the window.
        ImGui::PushTextWrapPos(pos.x - ImGui::GetWindowPos().x + width);
        if (w.enabled)
          ImGui::TextUnformatted(w.text.c_str());
        else
          ImGui::TextDisabled("%s", w.text.c_str());
        ImGui::PopTextWrapPos();
        break;
      case WidgetKind::Text: {
        // Columns at the tab, one line per line break.
        float y = pos.y;
        size_t start = 0;
        while (start < w.text.size()) {
          size_t end = w.text.find('\n', start);
          if (end == std::string::npos) end = w.text.size();
          const std::string line = w.text.substr(start, end - start);
          const size_t tab = line.find('\t');
          draw->AddText(ImVec2(pos.x, y), textColour, line.substr(0, tab).c_str());
          if (tab != std::string::npos)
            draw->AddText(ImVec2(pos.x + kTabStop * scale, y), textColour, line.substr(tab + 1).c_str());
          y += ImGui::GetTextLineHeightWithSpacing();
          start = end + 1;
        }
        break;
      }
      case WidgetKind::Slider: {
        int value = w.value;
        ImGui::SetNextItemWidth(width);
        if (ImGui::SliderInt("##slider", &value, w.low, w.high, "%d", ImGuiSliderFlags_AlwaysClamp)) {
          model.Change(w.id, value);
          changed = true;
        }
        break;
      }
      case WidgetKind::Radio:
        if (ImGui::RadioButton(w.text.c_str(), w.on)) {
          model.Change(w.id, w.value);
          changed = true;
        }
        break;
      case WidgetKind::Check: {
        bool on = w.value != 0;
        if (ImGui::Checkbox(w.text.c_str(), &on)) {
          model.Change(w.id, on ? 1 : 0);
          changed = true;
        }
        break;
      }
      case WidgetKind::Button:
        if (w.isDefault) ImGui::PushStyleVar(ImGuiStyleVar_FrameBorderSize, 2.0f * scale);
        if (ImGui::Button(w.text.c_str(), ImVec2(width, height))) {
          model.Press(w.id);
          changed = true;
        }
        if (w.isDefault) ImGui::PopStyleVar();
        break;
      case WidgetKind::List: {
        const char* shown = w.value >= 0 && w.value < static_cast<int>(w.items.size())
                                ? w.items[static_cast<size_t>(w.value)].c_str()
                                : "";
        ImGui::SetNextItemWidth(width);
        ImGui::SetNextWindowSizeConstraints(ImVec2(width, 0), ImVec2(width * 2, height));
        if (ImGui::BeginCombo("##list", shown, ImGuiComboFlags_HeightLargest)) {
          for (size_t k = 0; k < w.items.size(); ++k) {
            ImGui::PushID(static_cast<int>(k));
            const bool selected = static_cast<int>(k) == w.value;
            if (ImGui::Selectable(w.items[k].c_str(), selected) && !changed) {
              model.Change(w.id, static_cast<int>(k));
              changed = true;
            }
            if (selected) ImGui::SetItemDefaultFocus();
            ImGui::PopID();
          }
          ImGui::EndCombo();
        }
        break;
      }
    }
    ImGui::EndDisabled();
    ImGui::PopID();
    // A button may have closed the dialog: nothing more to draw.
    if (changed && model.Finished()) break;
  }
  ImGui::End();
}

}  // namespace lyraban::platform
