// Archive directories and entry reads: the bytes are a whole .dat file,
// opened as system.dat; every entry is then looked up and read whole.
#include "resources/archive.h"

#include "fuzz/fuzz_support.h"
#include "resources/resources.h"

using namespace lyraban;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto game = fuzz::ScratchFolder() / "archive";
  fuzz::WriteFile(game / "data" / "system.dat", fuzz::AsText(data, size));
  Resources resources(fuzz::QuietTrace());
  resources.OpenDataFolder(game.string());
  resources.OpenAllArchives();
  std::vector<std::string> names;
  for (const auto& [name, entry] : resources.directory().entries()) names.push_back(name);
  std::vector<u8> bytes;
  for (std::size_t i = 0; i < names.size() && i < 64; ++i) resources.ReadWholeResource("", names[i], bytes);
  return 0;
}
