#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "check/game_checker.h"
#include "core/engine.h"
#include "core/frame_stats.h"
#include "core/options.h"
#include "graphics/png.h"
#include "graphics/surface.h"
#include "platform/close_signals.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/input_script.h"
#include "platform/headless/virtual_audio.h"
#include "platform/sdl/sdl_platform.h"

using namespace lyraban;

namespace {

bool WriteScreenshot(platform::Platform& platform, const std::string& path) {
  std::vector<u8> frame;
  int w = 0, h = 0;
  if (!platform.CopyLastFrame(frame, w, h) || w <= 0 || h <= 0) return false;
  Surface shot;
  if (frame.size() != static_cast<size_t>(w) * h * 3 || !shot.Create(3, w, h)) return false;
  for (int y = 0; y < h; ++y) std::memcpy(shot.Row(y), frame.data() + static_cast<size_t>(y) * w * 3, w * 3);
  return WritePng(path, shot);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  auto options = ParseCommandLine(args, error);
  if (!options) {
    if (!error.empty()) std::fprintf(stderr, "lyraban: %s\n", error.c_str());
    std::fputs(UsageText(), error.empty() ? stdout : stderr);
    return 0;
  }

  if (options->check) return RunGameCheck(options->gameFolder, stdout);

  // Before any platform starts a thread, so that every thread inherits the
  // blocked signals.
  platform::CloseSignals closeSignals;
  std::unique_ptr<platform::HeadlessPlatform> headless;
  std::unique_ptr<platform::VirtualAudioOutput> virtualAudio;
  std::unique_ptr<platform::SdlPlatform> desktop;
  platform::Platform* platform = nullptr;
  if (options->headless) {
    headless = std::make_unique<platform::HeadlessPlatform>();
    if (!options->inputFile.empty()) {
      std::ifstream in(options->inputFile, std::ios::binary);
      std::stringstream text;
      text << in.rdbuf();
      std::string inputError;
      if (!in) {
        std::fprintf(stderr, "lyraban: cannot read the input script %s\n", options->inputFile.c_str());
        return 0;
      }
      if (!platform::ScheduleInputScript(*headless, text.str(), inputError)) {
        std::fprintf(stderr, "lyraban: %s\n", inputError.c_str());
        return 0;
      }
    }
    virtualAudio = std::make_unique<platform::VirtualAudioOutput>(headless->virtualClock());
    headless->SetAudio(virtualAudio.get());
    if (!options->audioDumpFile.empty() && !virtualAudio->RecordTo(options->audioDumpFile))
      std::fprintf(stderr, "lyraban: cannot write the audio dump %s\n", options->audioDumpFile.c_str());
    platform = headless.get();
  } else {
    if (!options->inputFile.empty() || !options->audioDumpFile.empty())
      std::fputs("lyraban: --input and --audio-dump apply to --headless runs only\n", stderr);
    desktop = std::make_unique<platform::SdlPlatform>();
    platform = desktop.get();
  }

  std::FILE* traceFile = nullptr;
  if (!options->traceFile.empty() && options->traceFile != "-") {
    traceFile = std::fopen(options->traceFile.c_str(), "w");
    if (!traceFile) std::fprintf(stderr, "lyraban: cannot write the trace file %s\n", options->traceFile.c_str());
  }

  std::unique_ptr<FrameStats> frameStats;
  if (!options->frameStatsFile.empty()) {
    frameStats = std::make_unique<FrameStats>(options->frameStatsFile);
    if (!frameStats->ok())
      std::fprintf(stderr, "lyraban: cannot write the frame statistics %s\n", options->frameStatsFile.c_str());
  }

  {
    Engine engine(*platform, *options);
    engine.WatchCloseSignals(closeSignals);
    if (frameStats) engine.RecordFrameStats(*frameStats);
    if (options->traceFile == "-")
      engine.trace().SetSink(MakeLineSink(stderr));
    else if (traceFile)
      engine.trace().SetSink(MakeLineSink(traceFile));

    engine.Run();

    if (engine.secondInstance()) {
      const SystemSettings& game = engine.systemSettings();
      std::fprintf(stderr, "lyraban: %s is already running. Switch to its window to go on playing.\n",
                   game.GameCodePage.ToUtf8(game.Title).c_str());
    } else if (desktop && !engine.windowCreated()) {
      std::fprintf(stderr, "lyraban: cannot open the window: %s\n", desktop->lastError().c_str());
    }
  }

  if (!options->screenshotFile.empty() && !WriteScreenshot(*platform, options->screenshotFile))
    std::fprintf(stderr, "lyraban: cannot write the screenshot %s\n", options->screenshotFile.c_str());
  if (frameStats) frameStats->Close();
  if (virtualAudio) virtualAudio->Close();
  if (traceFile) std::fclose(traceFile);
  return 0;
}
