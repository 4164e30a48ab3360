#pragma once
#include <string_view>

namespace lyraban {

// Runs one tag command line: every command keyword that is not a control word
// of the interpreter. False is a failed line (unknown keyword or a tag that
// reports failure).
class TagRunner {
 public:
  virtual ~TagRunner() = default;
  virtual bool RunTag(std::string_view keyword, std::string_view arguments) = 0;
};

}  // namespace lyraban
