#include "platform/sdl/imgui_panel.h"

#include <SDL.h>
#include <fontconfig/fontconfig.h>
#include <imgui.h>
#include <imgui_impl_sdl.h>
#include <imgui_impl_sdlrenderer.h>

namespace lyraban::platform {

std::string FindCjkFontFile(int& index) {
  index = 0;
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (!config) return {};
  std::string file;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=zh-cn"));
  if (pattern) {
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    if (match) {
      // fontconfig answers with its best face even when none holds Chinese;
      // such a face would draw the menu as boxes.
      FcCharSet* chars = nullptr;
      FcChar8* path = nullptr;
      const bool chinese = FcPatternGetCharSet(match, FC_CHARSET, 0, &chars) == FcResultMatch && chars &&
                           FcCharSetHasChar(chars, 0x5B58) && FcCharSetHasChar(chars, 0x6863);
      if (chinese && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path) {
        file = reinterpret_cast<const char*>(path);
        int i = 0;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &i) == FcResultMatch) index = i;
      }
      FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
  }
  FcConfigDestroy(config);
  return file;
}

std::vector<unsigned short> BuildGlyphRanges(std::initializer_list<const unsigned short*> sets,
                                             std::string_view texts) {
  ImFontGlyphRangesBuilder builder;
  for (const unsigned short* set : sets) builder.AddRanges(set);
  builder.AddText(texts.data(), texts.data() + texts.size());
  ImVector<ImWchar> built;
  builder.BuildRanges(&built);
  return std::vector<unsigned short>(built.begin(), built.end());
}

std::string AddPanelFont(ImFontAtlas& atlas, float pixels, const std::vector<unsigned short>& ranges) {
  int index = 0;
  const std::string file = FindCjkFontFile(index);
  if (!file.empty()) {
    ImFontConfig config;
    config.FontNo = index;
    config.OversampleH = 1;
    config.PixelSnapH = true;
    if (atlas.AddFontFromFileTTF(file.c_str(), pixels, &config, ranges.data())) return file;
  }
  atlas.AddFontDefault();
  return {};
}

ImGuiContext* CreatePanelContext(SDL_Window* window, SDL_Renderer* renderer,
                                 const std::function<void(ImGuiIO&)>& setUp) {
  ImGuiContext* context = ImGui::CreateContext();
  ImGui::SetCurrentContext(context);
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;  // nothing of a panel is worth remembering
  io.LogFilename = nullptr;
  if (setUp) setUp(io);
  if (!ImGui_ImplSDL2_InitForSDLRenderer(window)) {
    ImGui::DestroyContext(context);
    return nullptr;
  }
  if (!ImGui_ImplSDLRenderer_Init(renderer)) {
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext(context);
    return nullptr;
  }
  return context;
}

void DestroyPanelContext(ImGuiContext*& context) {
  if (!context) return;
  ImGuiContext* previous = ImGui::GetCurrentContext();
  ImGui::SetCurrentContext(context);
  ImGui_ImplSDLRenderer_Shutdown();
  ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext(context);
  ImGui::SetCurrentContext(previous == context ? nullptr : previous);
  context = nullptr;
}

}  // namespace lyraban::platform
