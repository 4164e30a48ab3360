// Map selection files.
#include "fuzz/fuzz_support.h"
#include "screens/map_definition.h"

using namespace lyraban;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MapDefinition map;
  map.Parse(fuzz::AsText(data, size), "fuzz.map", fuzz::QuietTrace());
  return 0;
}
