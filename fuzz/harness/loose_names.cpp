// Resource names looked up as loose files: the input is a folder and a name
// (split at the first NUL), matched component by component without regard
// to letter case against a small fixed tree.
#include "fuzz/fuzz_support.h"
#include "resources/resources.h"

using namespace lyraban;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto game = fuzz::ScratchFolder() / "loose";
  static const bool made = [&] {
    fuzz::WriteFile(game / "data" / "script" / "start.txt", "x");
    fuzz::WriteFile(game / "data" / "Img" / "BG" / "a.PNG", "y");
    return true;
  }();
  (void)made;
  const std::string_view input = fuzz::AsText(data, size);
  const std::size_t nul = input.find('\0');
  const std::string_view folder = nul == std::string_view::npos ? std::string_view() : input.substr(0, nul);
  const std::string_view name = nul == std::string_view::npos ? input : input.substr(nul + 1);
  // Full paths would reach anywhere on the machine: keep to relative names.
  if (name.find(':') != std::string_view::npos || (!name.empty() && name[0] == '/')) return 0;
  Resources resources(fuzz::QuietTrace());
  resources.OpenDataFolder(game.string());
  PackFile file;
  if (resources.OpenResource(file, folder, name) && file.size() > 0) {
    char byte;
    resources.ReadResource(file, &byte, 1);
  }
  return 0;
}
