// A start script run by the whole engine, headless, for two seconds of
// virtual time (a few clicks arrive meanwhile): the script loader, the line
// model, the interpreter, tags and everything they drive.
#include "core/engine.h"
#include "fuzz/fuzz_support.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/input_script.h"
#include "platform/headless/virtual_audio.h"

using namespace lyraban;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto game = fuzz::ScratchFolder() / "script";
  static const bool made = [&] {
    // The engine keeps the player's settings in the current folder.
    std::filesystem::create_directories(game);
    std::filesystem::current_path(game);
    fuzz::WriteFile(game / "data" / "config" / "config.txt", "game.ini\r\n");
    fuzz::WriteFile(game / "data" / "config" / "game.ini",
                    "[System.Setting]\r\nScreenWidth=64\r\nScreenHeight=48\r\n"
                    "[Define.Flag]\r\nG000=g\r\nL000=a\r\nL001=b\r\nF000=bg.png\r\n");
    return true;
  }();
  (void)made;
  std::filesystem::remove_all(game / "save");
  fuzz::WriteFile(game / "data" / "script" / "start.txt", fuzz::AsText(data, size));
  platform::HeadlessPlatform platform;
  platform::VirtualAudioOutput audio(platform.virtualClock());
  platform.SetAudio(&audio);
  std::string error;
  platform::ScheduleInputScript(platform, "300 click 10 10\n700 key Enter\n1200 rclick 5 5\n1500 key Escape\n", error);
  EngineOptions options;
  options.gameFolder = game.string();
  options.headless = true;
  options.runLimit = true;
  options.runMs = 2000;
  Engine engine(platform, options);
  engine.trace().SetSink([](std::string_view) {});
  engine.Run();
  return 0;
}
