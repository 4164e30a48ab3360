#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "base/types.h"

namespace lyraban {

// One thing the checker found in a game's files.
struct Finding {
  enum class Severity : u8 { Warning, Error };

  std::string file;  // resource path with "/" separators, UTF-8 ("script/start.txt")
  int line = 1;      // 1-based
  Severity severity = Severity::Error;
  std::string message;  // UTF-8

  bool operator==(const Finding&) const = default;
};

// "file:line: error: message" (or "warning").
std::string FormatFinding(const Finding& finding);

// Reads every script, configuration, definition, map and flow file of the
// game whose folder holds data/ (archives and loose files, as the engine
// finds them) without running it, with the engine's own line reader,
// command splitter, tag table, expression evaluator, configuration reader
// and definition readers. Errors are mistakes that make a line fail or a
// resource go missing at run time; warnings are lines that run, but
// probably not as their author meant.
std::vector<Finding> CheckGame(const std::string& gameFolder);

// Writes the findings to `out`, one a line, and a count to standard error.
// The exit status: 1 when there is an error, else 0.
int RunGameCheck(const std::string& gameFolder, std::FILE* out);

}  // namespace lyraban
