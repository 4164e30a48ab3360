#pragma once
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "base/codepage.h"

namespace lyraban {

// Formatted diagnostics for game authors. Off unless a sink is set; the
// player never sees them. String arguments are game text in the game's code
// page and are converted to UTF-8 before formatting; format strings are the
// engine's own UTF-8 literals.
//
// A message keeps its classic wording. Where that wording does not say why,
// the code that knows notes the reason first (Because); the next message
// sent carries it after kReasonSeparator.
class Trace {
 public:
  using Sink = std::function<void(std::string_view message)>;

  static constexpr std::string_view kReasonSeparator = " — ";

  explicit Trace(CodePage codePage = CodePage()) : codePage_(codePage) {}

  void SetSink(Sink sink) { sink_ = std::move(sink); }
  bool Enabled() const { return static_cast<bool>(sink_); }

  // Nothing is written while a Muted lives: for looking ahead at data that
  // the engine reads again later, with its diagnostics, in their place.
  class Muted {
   public:
    explicit Muted(Trace& trace) : trace_(trace), sink_(std::move(trace.sink_)) { trace.sink_ = nullptr; }
    ~Muted() { trace_.sink_ = std::move(sink_); }
    Muted(const Muted&) = delete;
    Muted& operator=(const Muted&) = delete;

   private:
    Trace& trace_;
    Sink sink_;
  };
  void SetCodePage(CodePage codePage) { codePage_ = codePage; }
  const CodePage& codePage() const { return codePage_; }

  template <class... Args>
  void DebugTrace(const char* format, const Args&... args) {
    if (!sink_) return;
    auto converted = std::make_tuple(Convert(args)...);
    std::apply([&](const auto&... a) { Emit(FormatText(format, Pass(a)...)); }, converted);
  }

  // Notes, in plain words, why the next message is sent (formatted like
  // DebugTrace); a later note replaces an earlier one.
  template <class... Args>
  void Because(const char* format, const Args&... args) {
    if (!sink_) return;
    auto converted = std::make_tuple(Convert(args)...);
    std::apply([&](const auto&... a) { reason_ = FormatText(format, Pass(a)...); }, converted);
  }
  // The script line being run, so that reasons can say where.
  void SetScriptLine(std::string_view script, int line) {
    if (!sink_) return;
    script_.assign(script);
    scriptLine_ = line;
  }
  // " in start.txt:12" as game text (an argument for Because), or empty
  // before any script line ran.
  std::string ScriptLinePlace() const {
    if (scriptLine_ <= 0) return {};
    return " in " + script_ + ":" + std::to_string(scriptLine_);
  }

  // The script and 1-based line of the last SetScriptLine.
  std::string_view scriptName() const { return script_; }
  int scriptLine() const { return scriptLine_; }

  // Forgets a noted reason that no message took.
  void ClearReason() { reason_.clear(); }
  // Takes the noted reason away (a message that is not its own goes first),
  // and puts it back.
  std::string TakeReason() { return std::exchange(reason_, {}); }
  void PutReason(std::string reason) { reason_ = std::move(reason); }
  const std::string& pendingReason() const { return reason_; }

  // Sends text that is already UTF-8, with the noted reason if there is one.
  void Emit(std::string_view message);

  // printf-style formatting into a string.
  static std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

 private:
  template <class T>
  auto Convert(const T& value) const {
    if constexpr (std::is_same_v<T, char*> || std::is_same_v<T, const char*>) {
      return value ? codePage_.ToUtf8(value) : std::string("(null)");
    } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
      return codePage_.ToUtf8(std::string_view(value));
    } else {
      return value;
    }
  }
  static const char* Pass(const std::string& s) { return s.c_str(); }
  template <class T>
  static T Pass(const T& v) {
    return v;
  }

  CodePage codePage_;
  Sink sink_;
  std::string reason_;
  std::string script_;
  int scriptLine_ = 0;
};

// A sink that writes each diagnostic as one line: a backslash inside a
// message is written as \\, line breaks and tabs as the escapes \n and \t
// (and CR as \r), so a backslash followed by n always means a line break. A
// run of identical lines is written once, followed by a line with the count
// of the repeats (written when a different line comes or the sink is
// destroyed). The file is not owned and must outlive the sink.
Trace::Sink MakeLineSink(std::FILE* file);

}  // namespace lyraban
