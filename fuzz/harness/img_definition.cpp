// Layer definition files (.img) with their anime programs: the input is the
// definition; it is applied for several section codes, composed and
// animated on a small screen.
#include "fuzz/fuzz_support.h"
#include "graphics/layer.h"
#include "graphics/png.h"
#include "platform/headless/virtual_clock.h"
#include "resources/resources.h"

using namespace lyraban;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto game = fuzz::ScratchFolder() / "img";
  static const bool made = [&] {
    Surface picture;
    picture.Create(4, 8, 8);
    std::string png;
    EncodePng(picture, png, 1);
    for (const char* name : {"a.png", "b.png", "face.png"}) fuzz::WriteFile(game / "data" / "img" / name, png);
    return true;
  }();
  (void)made;
  fuzz::WriteFile(game / "data" / "anime" / "x.img", fuzz::AsText(data, size));
  Resources resources(fuzz::QuietTrace());
  resources.OpenDataFolder(game.string());
  platform::VirtualClock clock;
  LayerSet layers(resources, fuzz::QuietTrace(), clock, 64, 48);
  Surface composed;
  composed.Create(3, 64, 48);
  if (!layers.SetLayerImage(1, "x.img")) return 0;
  for (i32 code : {0, 1, 2, -1}) {
    layers.ApplyLayerDefinition(1, code);
    for (int step = 0; step < 3; ++step) {
      clock.Advance(700);
      layers.ComposeLayers(composed);
    }
  }
  return 0;
}
