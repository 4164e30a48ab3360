#include "base/trace.h"

#include <cstdarg>
#include <cstdint>
#include <memory>

namespace lyraban {

std::string Trace::FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(n));
  }
  va_end(args);
  return out;
}

void Trace::Emit(std::string_view message) {
  if (!sink_) return;
  if (reason_.empty()) {
    sink_(message);
    return;
  }
  std::string line;
  line.reserve(message.size() + kReasonSeparator.size() + reason_.size());
  line.append(message).append(kReasonSeparator).append(reason_);
  reason_.clear();
  sink_(line);
}

namespace {

// The line sink's state: the file, and the last line written with how many
// copies of it have been held back since.
struct LineSinkState {
  std::FILE* file;
  std::string lastLine;
  unsigned repeats = 0;

  explicit LineSinkState(std::FILE* f) : file(f) {}
  LineSinkState(const LineSinkState&) = delete;
  LineSinkState& operator=(const LineSinkState&) = delete;
  ~LineSinkState() { FlushRepeats(); }

  void FlushRepeats() {
    if (repeats == 0) return;
    const std::string note = Trace::FormatText("（直前の行がさらに %u 回）\n", repeats);
    std::fwrite(note.data(), 1, note.size(), file);
    std::fflush(file);
    repeats = 0;
  }

  void Write(std::string_view message) {
    std::string line;
    line.reserve(message.size() + 1);
    for (char c : message) {
      if (c == '\\')
        line += "\\\\";
      else if (c == '\n')
        line += "\\n";
      else if (c == '\t')
        line += "\\t";
      else if (c == '\r')
        line += "\\r";
      else
        line += c;
    }
    line += '\n';
    // A loop that says the same thing over and over gives one line and a
    // count, not a flood.
    if (line == lastLine && repeats < UINT32_MAX) {
      ++repeats;
      return;
    }
    FlushRepeats();
    std::fwrite(line.data(), 1, line.size(), file);
    std::fflush(file);
    lastLine = std::move(line);
  }
};

}  // namespace

Trace::Sink MakeLineSink(std::FILE* file) {
  auto state = std::make_shared<LineSinkState>(file);
  return [state](std::string_view message) { state->Write(message); };
}

}  // namespace lyraban
