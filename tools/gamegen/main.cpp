// lyraban_gamegen STAGING_DIR
// Draws every picture and synthesises every sound of the sample game into
// STAGING_DIR/system, STAGING_DIR/graphics and STAGING_DIR/sound, one folder
// per archive the build packs.
#include <cstdio>
#include <string>
#include <thread>

#include "assets.h"

int main(int argc, char** argv) {
  using namespace lyraban::gamegen;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s STAGING_DIR\n", argv[0]);
    return 2;
  }
  const std::string root = argv[1];
  Output system, graphics, sound;
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
