// Ogg Vorbis streams as the sound system takes them: opened, measured and
// decoded (a bounded amount), once straight and once looping.
#include "sound/ogg_stream.h"

#include "fuzz/fuzz_support.h"

using namespace lyraban;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (bool loop : {false, true}) {
    OggStream stream;
    if (!stream.Open(std::vector<u8>(data, data + size))) continue;
    stream.TotalSamples();
    stream.SetLoop(loop);
    std::vector<u8> pcm(1 << 16);
    for (int i = 0; i < 8 && stream.Decode(pcm.data(), pcm.size()); ++i) {
    }
  }
  return 0;
}
