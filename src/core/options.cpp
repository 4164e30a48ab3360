#include "core/options.h"

#include <charconv>
#include <string>

#include "core/command_line_doc.h"

namespace lyraban {

const char* UsageText() {
  // Made once from the same description as the manual page.
  static const std::string text = FormatHelp(command_line_doc::kDoc);
  return text.c_str();
}

namespace {

// Only what the help text and the manual page describe is accepted, so an
// option cannot be added without its description.
bool IsDocumentedOption(const std::string& arg) {
  for (const UsageItem& item : command_line_doc::kOptions) {
    const std::string_view term = item.term;
    if (term.substr(0, term.find(' ')) == arg) return true;
  }
  return false;
}

}  // namespace

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
    if (a.size() > 2 && a.compare(0, 2, "--") == 0 && !IsDocumentedOption(a)) {
      error = "unknown option " + a;
      return std::nullopt;
    }
    if (a == "--help" || a == "-h") {
      return std::nullopt;
    } else if (a == "--check") {
      options.check = true;
    } else if (a == "--no-decode-ahead") {
      options.decodeAhead = false;
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
    } else if (a == "--frame-stats") {
      if (!value(options.frameStatsFile)) return std::nullopt;
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
