#pragma once
#include <string>

#include "base/types.h"

namespace lyraban {

// A large generated game for measuring archives at a real game's scale:
// thousands of event pictures, sprites, backgrounds, voices and sounds,
// named the way shipped games name them (`img\ev_0123_a.png`,
// `voice\ak_0456.ogg`). Every index gives a different name, ignoring ASCII
// letter case, so the merged directory holds exactly `entries` names.
std::string BigGameName(u32 index);

// Writes `entries` entries split in order over `archives` archives named
// big1.dat, big2.dat, ... into `dataFolder` (which must exist): entry 0 is in
// the first archive, the last entry in the last. Each entry holds a few bytes
// that name it, so a test can tell entries apart. False, with `error`, when an
// archive cannot be written or `archives` is zero.
bool WriteBigGame(const std::string& dataFolder, u32 entries, u32 archives, std::string& error);

// The bytes stored for entry `index`.
std::string BigGameEntryData(u32 index);

}  // namespace lyraban
