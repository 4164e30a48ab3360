#pragma once
#include <optional>
#include <string>
#include <vector>

#include "base/types.h"

namespace lyraban {

// What the command line asks for.
struct EngineOptions {
  std::string gameFolder;  // holds data/; empty = the program's own folder
  bool headless = false;
  bool runLimit = false;  // close once the clock passes runMs
  u32 runMs = 0;
  std::string traceFile;       // "-" = standard error; empty = no trace
  std::string screenshotFile;  // last presented frame, written at exit
  std::string audioDumpFile;   // everything mixed, as a WAV file
  std::string inputFile;       // scripted input for headless runs
  std::string frameStatsFile;  // one line per presented frame: clock ms, main-thread processor ms
  bool check = false;          // check the game's files instead of playing
  bool decodeAhead = true;     // pictures the script is about to show are decoded on a worker
};

// Parses the arguments after the program name. On a usage error gives
// nothing and fills `error`; `--help` also gives nothing, with an empty error.
std::optional<EngineOptions> ParseCommandLine(const std::vector<std::string>& args, std::string& error);

// The text that `--help` prints.
const char* UsageText();

}  // namespace lyraban
