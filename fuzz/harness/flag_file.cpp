// Flag bank files of the save folder, read when the definitions are loaded.
#include <memory>

#include "fuzz/fuzz_support.h"
#include "persist/save_data_file.h"
#include "script/flags.h"

using namespace lyraban;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto folder = fuzz::ScratchFolder() / "flags";
  for (const char* name : {kGlobalFlagFile, kSeenFlagFile}) {
    SaveDataFile file(folder);
    if (file.OpenForWrite(name)) {
      file.SetSyncOnClose(false);
      file.Write(data, size);
      file.Close();
    }
  }
  // Local, global and seen banks; held on the heap, like the engine's.
  auto names = std::make_unique<FlagStore::Definitions>();
  (*names)[1][0] = "g";
  (*names)[2][0] = "bg.png";
  FlagStore flags(fuzz::QuietTrace(), folder);
  flags.LoadFlagDefinitions(*names);
  flags.GetFlag("g");
  return 0;
}
