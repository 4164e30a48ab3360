#pragma once
#include "platform/font.h"
#include "resources/resources.h"

namespace lyraban {

// Names a game's own font may have in the resource folder "font", tried in
// this order.
inline constexpr const char* kGameFontFolder = "font";
inline constexpr const char* kGameFontNames[] = {"font.ttf", "font.otf", "font.ttc"};

// Hands the game's own font file, if it ships one, to the font service so
// that it replaces the system faces. False when there is none or it cannot
// be opened.
bool LoadGameFont(Resources& resources, platform::FontService& fonts);

}  // namespace lyraban
