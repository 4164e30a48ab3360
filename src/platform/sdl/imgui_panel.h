#pragma once
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

struct ImFontAtlas;
struct ImGuiContext;
struct ImGuiIO;
struct SDL_Renderer;
struct SDL_Window;

namespace lyraban::platform {

// What the panels drawn with Dear ImGui over the game share: each panel
// (popup menu, quit question, settings dialog, text field) has a context of
// its own, bound to the main window, with the system's CJK face.

// A scalable font with Chinese glyphs, found through fontconfig; empty when
// there is none. `index` is the face inside a collection file.
std::string FindCjkFontFile(int& index);

// Glyph ranges made of the given sets plus every character of `texts`.
std::vector<unsigned short> BuildGlyphRanges(std::initializer_list<const unsigned short*> sets, std::string_view texts);

// Adds the CJK face at `pixels` for `ranges` (the atlas keeps a pointer to
// them); its file, or empty when the system has none, and ImGui's own font
// was added instead.
std::string AddPanelFont(ImFontAtlas& atlas, float pixels, const std::vector<unsigned short>& ranges);

// A new context, made current, with no ini or log file; `setUp` adds its
// fonts and style before ImGui's SDL and SDL_Renderer backends are bound to
// the window. Null (and nothing left behind) when a backend fails.
ImGuiContext* CreatePanelContext(SDL_Window* window, SDL_Renderer* renderer,
                                 const std::function<void(ImGuiIO&)>& setUp);
// Ends the backends and the context; another context that was current stays
// current. Null afterwards; nothing happens for null.
void DestroyPanelContext(ImGuiContext*& context);

}  // namespace lyraban::platform
