// Writes the program's icon as PNG files for the desktop, drawn by the same
// code that gives the game window its icon, so the menu entry and the window
// wear the same picture.
//
//   lyraban_icons OUTPUT_FOLDER SIZE...      (writes lyraban-SIZE.png)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "graphics/png.h"
#include "graphics/surface.h"
#include "platform/sdl/sdl_popup.h"

using namespace lyraban;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: lyraban_icons OUTPUT_FOLDER SIZE...\n", stderr);
    return 2;
  }
  std::error_code ec;
  std::filesystem::create_directories(argv[1], ec);
  for (int i = 2; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    const std::vector<u32> argb = platform::DrawWindowIcon(platform::WindowIcon::Main, size);
    Surface picture;
    if (argb.empty() || !picture.Create(4, size, size)) {
      std::fprintf(stderr, "lyraban_icons: no icon of size %s\n", argv[i]);
      return 1;
    }
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const u32 c = argb[static_cast<std::size_t>(y) * size + x];
        u8* p = picture.Row(y) + x * 4;  // alpha, blue, green, red
        p[0] = static_cast<u8>(c >> 24), p[1] = static_cast<u8>(c), p[2] = static_cast<u8>(c >> 8);
        p[3] = static_cast<u8>(c >> 16);
      }
    const std::string path = std::string(argv[1]) + "/lyraban-" + std::to_string(size) + ".png";
    if (!WritePng(path, picture)) {
      std::fprintf(stderr, "lyraban_icons: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
