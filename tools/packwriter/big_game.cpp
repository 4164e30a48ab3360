#include "packwriter/big_game.h"

#include <cstdio>

#include "packwriter/pack_writer.h"

namespace lyraban {

namespace {

// Characters' short names as voice and sprite prefixes.
constexpr const char* kCharacters[] = {"ak", "mi", "yu", "sa", "ko", "hr"};
constexpr u32 kCharacterCount = sizeof kCharacters / sizeof kCharacters[0];
// Kinds of entry, interleaved so every archive holds a mix like a real one.
constexpr u32 kKinds = 5;

}  // namespace

std::string BigGameName(u32 index) {
  const u32 k = index / kKinds;
  char name[64];
  switch (index % kKinds) {
    case 0:  // event pictures come in variants a to d
      std::snprintf(name, sizeof name, "img\\ev_%04u_%c.png", k / 4, static_cast<char>('a' + k % 4));
      break;
    case 1:
      std::snprintf(name, sizeof name, "voice\\%s_%04u.ogg", kCharacters[k % kCharacterCount], k / kCharacterCount);
      break;
    case 2:
      std::snprintf(name, sizeof name, "img\\st_%s_%04u.png", kCharacters[k % kCharacterCount], k / kCharacterCount);
      break;
    case 3:
      std::snprintf(name, sizeof name, "img\\bg_%04u.png", k);
      break;
    default:
      std::snprintf(name, sizeof name, "se\\se_%04u.ogg", k);
      break;
  }
  return name;
}

std::string BigGameEntryData(u32 index) { return "entry " + std::to_string(index) + "\n"; }

bool WriteBigGame(const std::string& dataFolder, u32 entries, u32 archives, std::string& error) {
  if (archives == 0) {
    error = "a game needs at least one archive";
    return false;
  }
  u32 next = 0;
  for (u32 a = 0; a < archives; ++a) {
    // Spread the remainder over the first archives so sizes differ by one at most.
    const u32 count = entries / archives + (a < entries % archives ? 1 : 0);
    PackWriter writer;
    for (u32 i = 0; i < count; ++i, ++next) {
      if (!writer.AddFile(BigGameName(next), BigGameEntryData(next))) {
        error = writer.error();
        return false;
      }
    }
    const std::string path = dataFolder + "/big" + std::to_string(a + 1) + ".dat";
    if (!writer.Write(path, 0)) {
      error = writer.error().empty() ? "cannot write " + path : writer.error();
      return false;
    }
  }
  return true;
}

}  // namespace lyraban
