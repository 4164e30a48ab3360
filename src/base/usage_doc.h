#pragma once
#include <span>
#include <string>

namespace lyraban {

// A program's command line described once: its --help text and its manual
// page are both made from this, so they cannot tell different stories.
struct UsageItem {
  const char* term;  // "--trace FILE", "GAME_FOLDER", "list ARCHIVE"
  const char* text;  // what it does, one short line for --help
};

// A titled stretch of prose for the manual page only, paragraphs separated by
// an empty line. A paragraph whose lines start with two spaces is kept as
// laid out (examples, lists of paths).
struct ManualSection {
  const char* title;
  const char* text;
};

struct ProgramDoc {
  const char* name;                         // "lyraban"
  int section;                              // manual section: 6 games, 1 commands
  const char* summary;                      // the manual page's NAME line
  std::span<const char* const> synopsis;    // what follows the name, one per form
  const char* argumentsTitle;               // "ARGUMENTS" or "COMMANDS" in the manual page
  std::span<const UsageItem> arguments;     // positional arguments or commands
  std::span<const UsageItem> options;       // options, in the order --help lists them
  std::span<const ManualSection> sections;  // DESCRIPTION first, then the rest
};

// The --help text: the usage lines, then one aligned line per argument and
// option.
std::string FormatHelp(const ProgramDoc& doc);

}  // namespace lyraban
