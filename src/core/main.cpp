#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/engine.h"
#include "core/options.h"
#include "graphics/png.h"
#include "graphics/surface.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/input_script.h"
#include "platform/headless/virtual_audio.h"

using namespace lyraban;

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  auto options = ParseCommandLine(args, error);
  if (!options) {
    if (!error.empty()) std::fprintf(stderr, "lyraban: %s\n", error.c_str());
    std::fputs(UsageText(), error.empty() ? stdout : stderr);
    return 0;
  }
  if (!options->headless) {
    std::fputs("lyraban: this build has no window support yet; run with --headless\n", stderr);
    return 0;
  }

  std::FILE* traceFile = nullptr;
  if (!options->traceFile.empty() && options->traceFile != "-") {
    traceFile = std::fopen(options->traceFile.c_str(), "w");
    if (!traceFile) std::fprintf(stderr, "lyraban: cannot write the trace file %s\n", options->traceFile.c_str());
  }

  platform::HeadlessPlatform platform;
  if (!options->inputFile.empty()) {
    std::ifstream in(options->inputFile, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string inputError;
    if (!in) {
      std::fprintf(stderr, "lyraban: cannot read the input script %s\n", options->inputFile.c_str());
      return 0;
    }
    if (!platform::ScheduleInputScript(platform, text.str(), inputError)) {
      std::fprintf(stderr, "lyraban: %s\n", inputError.c_str());
      return 0;
    }
  }
  platform::VirtualAudioOutput audio(platform.virtualClock());
  platform.SetAudio(&audio);
  if (!options->audioDumpFile.empty() && !audio.RecordTo(options->audioDumpFile))
    std::fprintf(stderr, "lyraban: cannot write the audio dump %s\n", options->audioDumpFile.c_str());
  Engine engine(platform, *options);
  if (options->traceFile == "-")
    engine.trace().SetSink(MakeLineSink(stderr));
  else if (traceFile)
    engine.trace().SetSink(MakeLineSink(traceFile));

  engine.Run();

  if (!options->screenshotFile.empty()) {
    // The last frame the window showed, as 24-bit blue-green-red rows.
    Surface shot;
    const auto& frame = platform.lastFrame();
    const int w = platform.frameWidth(), h = platform.frameHeight();
    bool written = false;
    if (w > 0 && h > 0 && frame.size() == static_cast<size_t>(w) * h * 3 && shot.Create(3, w, h)) {
      for (int y = 0; y < h; ++y) std::memcpy(shot.Row(y), frame.data() + static_cast<size_t>(y) * w * 3, w * 3);
      written = WritePng(options->screenshotFile, shot);
    }
    if (!written) std::fprintf(stderr, "lyraban: cannot write the screenshot %s\n", options->screenshotFile.c_str());
  }

  if (engine.missingStartScript())
    std::fprintf(stderr, "lyraban: no start script: %sscript/start.txt is in no archive and no loose file\n",
                 engine.resources().dataFolder().c_str());
  if (traceFile) std::fclose(traceFile);
  return 0;
}
