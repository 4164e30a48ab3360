// The sound section of a saved game ("Data_Sound"): the input is the section
// itself, or a container that holds it under that key. Reading stops the
// channels and resumes the saved ambience and music by name; whatever the
// reader takes must write and read back to the same names and loop.
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.h"
#include "persist/save_archive.h"
#include "platform/headless/virtual_clock.h"
#include "resources/resources.h"
#include "sound/sound.h"

using namespace lyraban;

namespace {

// Only the output's own format plays; a section names no sound data.
class NoConverters final : public platform::AudioConverterFactory {
 public:
  std::unique_ptr<platform::AudioConverter> Create(int, int) override { return nullptr; }
};

struct Sound {
  Resources resources{fuzz::QuietTrace()};
  platform::VirtualClock clock;
  NoConverters converters;
  SoundSystem system{resources, clock, converters, fuzz::QuietTrace()};

  Sound() { resources.OpenDataFolder((fuzz::ScratchFolder() / "sound").string()); }

  std::string State() const {
    return system.nameENV() + '\n' + system.nameBGM() + '\n' + system.voiceFolder() + '\n' +
           (system.loopBGM() ? "loop" : "once");
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SaveArchive outer;
  outer.OpenForReading(fuzz::AsText(data, size));
  SaveArchive nested;
  const bool inside = outer.Contains("Data_Sound") && outer.ExchangeArchive("Data_Sound", nested);

  Sound loaded;
  loaded.system.PlayBGM("before.ogg", false);
  loaded.system.SerializeSound(inside ? nested : outer);
  const std::string state = loaded.State();

  SaveArchive writer;
  loaded.system.SerializeSound(writer);
  SaveArchive reader;
  reader.OpenForReading(writer.bytes());
  Sound back;
  back.system.SerializeSound(reader);
  if (back.State() != state) std::abort();
  return 0;
}
