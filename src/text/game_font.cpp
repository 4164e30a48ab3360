#include "text/game_font.h"

#include <filesystem>
#include <string>
#include <vector>

namespace lyraban {

bool LoadGameFont(Resources& resources, platform::FontService& fonts) {
  for (const char* name : kGameFontNames) {
    // Only read names that are there, so that a game without a font of its
    // own leaves no "cannot open" diagnostics behind.
    const std::string inArchive = std::string(kGameFontFolder) + "\\" + name;
    std::error_code ec;
    const bool present =
        resources.directory().Find(inArchive) != nullptr ||
        std::filesystem::is_regular_file(std::filesystem::path(resources.dataFolder()) / kGameFontFolder / name, ec);
    if (!present) continue;
    std::vector<u8> data;
    if (!resources.ReadWholeResource(kGameFontFolder, name, data)) continue;
    if (fonts.UseFontData(std::move(data))) return true;
  }
  return false;
}

}  // namespace lyraban
