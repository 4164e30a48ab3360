// lyraban_gamegen [--screen WIDTHxHEIGHT] STAGING_DIR
// Draws every picture and synthesises every sound of the sample game into
// STAGING_DIR/system, STAGING_DIR/graphics and STAGING_DIR/sound, one folder
// per archive the build packs. --screen draws the scene pictures for another
// screen size (the 1080p variant of scripts/make-1080p-game.sh).
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "assets.h"

int main(int argc, char** argv) {
  using namespace lyraban::gamegen;
  int width = 800, height = 600;
  if (argc == 4 && std::strcmp(argv[1], "--screen") == 0) {
    if (std::sscanf(argv[2], "%dx%d", &width, &height) != 2 || width < 16 || height < 16 || width > 4096 ||
        height > 4096) {
      std::fprintf(stderr, "gamegen: bad screen size %s\n", argv[2]);
      return 2;
    }
    argv += 2;
    argc -= 2;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s [--screen WIDTHxHEIGHT] STAGING_DIR\n", argv[0]);
    return 2;
  }
  const std::string root = argv[1];
  Output system, graphics, sound;
  for (Output* o : {&system, &graphics}) o->screenWidth = width, o->screenHeight = height;
  system.root = root + "/system";
  graphics.root = root + "/graphics";
  sound.root = root + "/sound";
  // Pictures and sounds share nothing, so they are made side by side.
  std::thread sounds([&sound] { MakeSounds(sound); });
  MakePictures(graphics, system);
  sounds.join();
  const int failures = system.failures + graphics.failures + sound.failures;
  if (failures) {
    std::fprintf(stderr, "gamegen: %d files could not be written\n", failures);
    return 1;
  }
  std::printf("gamegen: %zu pictures, %zu sounds\n", system.files.size() + graphics.files.size(), sound.files.size());
  return 0;
}
