#include "base/trace.h"

#include <cstdarg>

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

Trace::Sink MakeLineSink(std::FILE* file) {
  return [file](std::string_view message) {
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
    std::fwrite(line.data(), 1, line.size(), file);
    std::fflush(file);
  };
}

}  // namespace lyraban
