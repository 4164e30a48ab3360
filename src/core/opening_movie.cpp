#include "core/opening_movie.h"

#include "script/program.h"

namespace lyraban {

bool OpensWithMovie(const TextLines& script) {
  for (size_t i = 0; i < script.LineCount(); ++i) {
    const std::string_view line = script.Line(i);
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

}  // namespace lyraban
