#pragma once
#include <string>
#include <string_view>

namespace lyraban {

// The game played when the command line names none: data/ beside the program
// (a game shipped with its own copy of the engine), else the sample game
// installed with the program at `sampleFromProgram` (relative to the
// program's folder). When neither holds data/ it is the program's folder, so
// the player is told that no game is there. "." for an unknown program folder.
std::string DefaultGameFolder(const std::string& programFolder, std::string_view sampleFromProgram);

// The same with the sample game's place of this build's installation.
std::string DefaultGameFolder(const std::string& programFolder);

}  // namespace lyraban
