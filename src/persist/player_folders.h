#pragma once
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace lyraban {

// Where a game's saves and the player's settings file go. A game whose
// folder the player can write keeps them as they always were: "save/" beside
// "data/", and "lyraban.cfg" in the working directory. An installed game
// (a folder the player cannot write, such as one under /usr/share) keeps
// them in the player's own data and configuration folders instead, one
// folder per product so that two games never share saves.
struct PlayerFolders {
  std::string saveFolder;  // ends with a separator: file names are appended
  std::string settingsFile;
  bool besideGame = true;  // false: the player's data and configuration folders
};

// What the choice depends on outside the game folder. Tests fill it in; the
// program takes it from its environment.
struct FolderEnvironment {
  std::string xdgDataHome;    // $XDG_DATA_HOME, as set (may be empty)
  std::string xdgConfigHome;  // $XDG_CONFIG_HOME, as set (may be empty)
  std::string home;           // $HOME, else the account's home folder
  // True when a file can be created in the folder.
  std::function<bool(const std::filesystem::path&)> canWrite;

  static FolderEnvironment FromProcess();
};

// Creates and removes a file in `folder`: the only check that holds for
// read-only mounts, access lists and the superuser alike.
bool CanCreateFileIn(const std::filesystem::path& folder);

// A product name usable as one folder name: the product id, else the title
// (both UTF-8). Letters outside ASCII stay; separators, control characters
// and the characters other systems refuse in names become '_'; a leading dot
// too, so the folder is never hidden, "." or "..". Never empty.
std::string SafeProductName(std::string_view productId, std::string_view title);

// The folders for a game in `gameFolder` with the (already safe) product name.
// The save folder beside the game is probed when it exists, else the game
// folder itself. Without any usable home the folders stay beside the game.
PlayerFolders ChoosePlayerFolders(const std::filesystem::path& gameFolder, std::string_view product,
                                  const FolderEnvironment& environment);

// Creates the folders a choice needs that may not exist yet (the player's
// data and configuration folders); beside the game nothing is created here.
// False when one of them could not be made.
bool CreatePlayerFolders(const PlayerFolders& folders);

}  // namespace lyraban
