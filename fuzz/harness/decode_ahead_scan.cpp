// What decode-ahead reads ahead of the script: the input is split into lines
// and read both as script lines (the img, fadeout, wipe, LOAD and CALL lines
// that lead to pictures) and as a layer definition (the pictures it names
// for several section codes).
#include "core/decode_ahead.h"
#include "fuzz/fuzz_support.h"
#include "graphics/layer.h"
#include "resources/text_lines.h"

using namespace lyraban;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TextLines lines;
  if (!lines.Split(std::string(fuzz::AsText(data, size)))) return 0;
  std::vector<AheadItem> items;
  DecodeAhead::ScanLines(
      [&lines](u32 index, std::string_view& text) {
        if (index >= lines.LineCount()) return false;
        text = lines.Line(index);
        return true;
      },
      0, DecodeAhead::kLookAheadLines * 4, true, items);
  for (i32 code : {0, 1, 7, -1}) (void)DefinitionPictureNames(lines, code);
  return 0;
}
