// The save container and the sections read from it: nested containers,
// strings, the local flags and the layer section.
#include "fuzz/fuzz_support.h"
#include "graphics/layer.h"
#include "persist/save_archive.h"
#include "platform/headless/virtual_clock.h"
#include "resources/resources.h"
#include "script/flags.h"

using namespace lyraban;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SaveArchive archive;
  archive.OpenForReading(fuzz::AsText(data, size));
  std::string text;
  archive.ExchangeString("Name", text);
  u32 number = 0;
  archive.Exchange("Time", number);
  SaveArchive flagsSection, layerSection;
  archive.ExchangeArchive("Data_Flags", flagsSection);
  archive.ExchangeArchive("Data_Anime", layerSection);
  FlagStore flags(fuzz::QuietTrace(), {});
  flags.SerializeLocalFlags(archive);
  flags.SerializeLocalFlags(flagsSection);
  Resources resources(fuzz::QuietTrace());
  resources.OpenDataFolder((fuzz::ScratchFolder() / "save").string());
  platform::VirtualClock clock;
  LayerSet layers(resources, fuzz::QuietTrace(), clock, 64, 48);
  Surface composed;
  composed.Create(3, 64, 48);
  layers.LoadLayers(layerSection, composed);
  layers.LoadLayers(archive, composed);
  layers.ComposeLayers(composed);
  return 0;
}
