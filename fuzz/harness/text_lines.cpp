// The line splitter every text resource goes through, and the token splitter.
#include "resources/text_lines.h"

#include "fuzz/fuzz_support.h"

using namespace lyraban;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TextLines lines;
  SplitTextLines(lines, fuzz::AsText(data, size));
  TokenList tokens;
  std::size_t total = 0;
  for (std::size_t i = 0; i < lines.LineCount(); ++i) {
    SplitTokens(tokens, lines.Line(i));
    for (std::size_t t = 0; t < tokens.Count(); ++t) total += tokens[static_cast<i64>(t)].size();
  }
  if (total > size) __builtin_trap();  // tokens are pieces of the text
  return 0;
}
