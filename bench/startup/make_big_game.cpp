// lyraban_make_big_game DATA_FOLDER [ENTRIES [ARCHIVES]]
// Writes the generated big game's archives (20,000 entries in 8 archives by
// default, big1.dat ...) into DATA_FOLDER, beside a game's own archives, for
// measuring the start-up of a game at a shipped game's scale.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "packwriter/big_game.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: %s DATA_FOLDER [ENTRIES [ARCHIVES]]\n", argv[0]);
    return 2;
  }
  const auto entries = static_cast<lyraban::u32>(argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 20000);
  const auto archives = static_cast<lyraban::u32>(argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 8);
  std::string error;
  if (!lyraban::WriteBigGame(argv[1], entries, archives, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}
