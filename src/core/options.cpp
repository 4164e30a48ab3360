#include "core/options.h"

#include <charconv>

namespace lyraban {

const char* UsageText() {
  return "usage: lyraban [options] [GAME_FOLDER]\n"
         "  GAME_FOLDER          folder that holds data/ (default: the program's own folder)\n"
         "  --headless           run without a window or sound device, on a virtual clock\n"
         "  --run-ms N           close the program once the clock passes N milliseconds\n"
         "  --trace FILE         write every diagnostic to FILE as UTF-8 ('-' = standard error)\n"
         "  --screenshot FILE    at exit, write the last presented frame as a PNG file\n"
         "  --audio-dump FILE    write everything mixed as a 16-bit stereo 44,100 Hz WAV file\n"
         "  --input FILE         scripted input for headless runs\n"
         "  --check              check every script, configuration and definition file of the\n"
         "                       game without playing it; findings go to standard output as\n"
         "                       file:line: error|warning: message (exit status 1 on errors)\n"
         "  --help               show this text\n";
}

std::optional<EngineOptions> ParseCommandLine(const std::vector<std::string>& args, std::string& error) {
  EngineOptions options;
  error.clear();
  bool haveFolder = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = "option " + a + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    if (a == "--help" || a == "-h") {
      return std::nullopt;
    } else if (a == "--check") {
      options.check = true;
    } else if (a == "--headless") {
      options.headless = true;
    } else if (a == "--run-ms") {
      std::string text;
      if (!value(text)) return std::nullopt;
      u32 ms = 0;
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), ms);
      if (ec != std::errc() || end != text.data() + text.size()) {
        error = "--run-ms needs a number of milliseconds, not '" + text + "'";
        return std::nullopt;
      }
      options.runLimit = true;
      options.runMs = ms;
    } else if (a == "--trace") {
      if (!value(options.traceFile)) return std::nullopt;
    } else if (a == "--screenshot") {
      if (!value(options.screenshotFile)) return std::nullopt;
    } else if (a == "--audio-dump") {
      if (!value(options.audioDumpFile)) return std::nullopt;
    } else if (a == "--input") {
      if (!value(options.inputFile)) return std::nullopt;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      error = "unknown option " + a;
      return std::nullopt;
    } else {
      if (haveFolder) {
        error = "only one game folder can be given";
        return std::nullopt;
      }
      options.gameFolder = a;
      haveFolder = true;
    }
  }
  return options;
}

}  // namespace lyraban
