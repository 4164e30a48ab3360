#include "core/config/flag_definitions.h"

#include <cstdio>

namespace lyraban {

std::unique_ptr<FlagStore::Definitions> ReadFlagDefinitions(const ConfigTree& config) {
  ConfigCursor cursor;
  SelectConfigSection(config, cursor, "Define", "Flag");
  auto names = std::make_unique<FlagStore::Definitions>();
  static constexpr char kBankLetters[3] = {'L', 'G', 'F'};
  char key[8];
  for (int i = 0; i < kFlagSlots; ++i) {
    for (std::size_t bank = 0; bank < 3; ++bank) {
      std::snprintf(key, sizeof key, "%c%03d", kBankLetters[bank], i);
      (*names)[bank][i] = GetConfigString(cursor, key, "");
    }
  }
  return names;
}

}  // namespace lyraban
