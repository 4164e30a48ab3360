#include "core/opening_movie.h"

#include "script/program.h"

namespace lyraban {

namespace {

// The first line that does anything, when it is a movie tag.
bool FindMovieLine(const TextLines& script, std::string_view& line) {
  for (size_t i = 0; i < script.LineCount(); ++i) {
    line = script.Line(i);
    switch (ClassifyLine(line)) {
      case LineKind::Blank:
      case LineKind::Comment:
      case LineKind::Label:
        continue;
      case LineKind::Command:
        // Tag names compare byte for byte, as the tag table does.
        return SplitCommand(line).keyword == "movie";
      default:
        return false;
    }
  }
  return false;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool OpensWithMovie(const TextLines& script) {
  std::string_view line;
  return FindMovieLine(script, line);
}

std::string OpeningMovieName(const TextLines& script) {
  std::string_view line;
  if (!FindMovieLine(script, line)) return {};
  // Arguments are split at blanks, as the tag table splits them.
  const std::string_view arguments = SplitCommand(line).arguments;
  size_t start = 0;
  while (start < arguments.size() && IsBlank(arguments[start])) ++start;
  size_t end = start;
  while (end < arguments.size() && !IsBlank(arguments[end])) ++end;
  return std::string(arguments.substr(start, end - start));
}

}  // namespace lyraban
