// Flag bank files of the save folder, read when the definitions are loaded.
#include "core/config/config_tree.h"
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
  ConfigTree config;
  config.Insert("Define", "Flag", "G000", "g");
  config.Insert("Define", "Flag", "F000", "bg.png");
  FlagStore flags(fuzz::QuietTrace(), folder);
  flags.LoadFlagDefinitions(config);
  flags.GetFlag("g");
  return 0;
}
