// The configuration tree and the system settings read from it.
#include "core/config/config_tree.h"
#include "core/config/system_settings.h"
#include "fuzz/fuzz_support.h"
#include "resources/text_lines.h"

using namespace lyraban;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TextLines lines;
  SplitTextLines(lines, fuzz::AsText(data, size));
  ConfigTree tree;
  tree.AddFile(lines);
  SystemSettings settings;
  ReadSystemSettings(tree, settings, true, &fuzz::QuietTrace());
  if (settings.ScreenWidth < kMinScreenSide || settings.ScreenWidth > kMaxScreenSide) __builtin_trap();
  if (settings.ScreenHeight < kMinScreenSide || settings.ScreenHeight > kMaxScreenSide) __builtin_trap();
  ConfigCursor cursor;
  SelectConfigSection(tree, cursor, "Define", "Flag");
  GetConfigInt(cursor, "G000", 0);
  GetConfigBool(cursor, "L000", false);
  return 0;
}
