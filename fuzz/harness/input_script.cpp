// Headless input scripts: parsed, then played for a second of virtual time.
#include "platform/headless/input_script.h"

#include "fuzz/fuzz_support.h"
#include "platform/headless/headless_platform.h"

using namespace lyraban;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::HeadlessPlatform platform;
  std::string error;
  if (!platform::ScheduleInputScript(platform, fuzz::AsText(data, size), error)) return 0;
  platform::Event event;
  for (int ms = 0; ms < 1000; ++ms) {
    while (platform.PollEvent(event)) {
    }
    platform.clock().Sleep(1);
  }
  return 0;
}
