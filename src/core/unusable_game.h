#pragma once
#include <string>
#include <vector>

namespace lyraban {

// Why a game folder gave no start script, as far as a player can act on it.
enum class GameProblem {
  NoDataFolder,        // the folder holds no data/ at all
  NoGameFiles,         // data/ holds neither archives nor a start script
  UnreadableArchives,  // some archives could not be opened or parsed
  NoStartScript,       // everything opened, and still no start script
};

struct GameDiagnosis {
  GameProblem problem = GameProblem::NoStartScript;
  std::vector<std::string> unreadable;  // archive file names, in name order
};

// Looks at a data folder (with its trailing separator, as the resources
// keep it) after the start script could not be loaded.
GameDiagnosis DiagnoseUnusableGame(const std::string& dataFolder);

// What the player is told, in Chinese (the language of the game's own
// interface) and then English, as UTF-8.
std::string UnusableGameMessage(const GameDiagnosis& diagnosis, const std::string& gameFolder);

}  // namespace lyraban
