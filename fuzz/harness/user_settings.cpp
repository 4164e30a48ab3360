// The player's settings file.
#include "persist/user_settings.h"

#include "fuzz/fuzz_support.h"

using namespace lyraban;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto path = fuzz::ScratchFolder() / "lyraban.cfg";
  fuzz::WriteFile(path, fuzz::AsText(data, size));
  UserSettings settings;
  LoadUserSettings(settings, path);
  return 0;
}
