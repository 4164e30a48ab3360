// The PNG decoder.
#include "graphics/png.h"

#include "fuzz/fuzz_support.h"

using namespace lyraban;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Surface surface;
  std::string why;
  DecodePng(fuzz::AsText(data, size), surface, &why);
  return 0;
}
