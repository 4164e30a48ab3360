#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/trace.h"
#include "persist/read_log.h"
#include "platform/headless/virtual_clock.h"
#include "resources/resources.h"
#include "script/flags.h"
#include "script/interpreter.h"
#include "script/script_host.h"
#include "script/tag_runner.h"
#include "support/temp_dir.h"

namespace lyraban::testing {

// Records every host call in order as a short event string.
class RecordingHost : public ScriptHost {
 public:
  struct Shown {
    std::string text;
    bool read;
    u8 mode;
  };

  bool PumpMessages() override {
    ++pumps;
    // A runaway script ends the test instead of hanging it.
    return !quit && pumps <= pumpLimit;
  }
  bool PumpInput() override {
    ++inputPumps;
    return !quit;
  }
  bool IsSkipping() override { return skipping; }
  void SetRunModeNormal() override {
    skipping = false;
    events.push_back("run-normal");
  }
  bool SkipAllText() override { return skipAll; }
  void ShowScriptText(std::string_view text, bool alreadyRead, u8 mode) override {
    shown.push_back({std::string(text), alreadyRead, mode});
    events.push_back("text:" + std::string(text));
    if (onText) onText();
  }
  void ClearPage() override { events.push_back("clear"); }
  void SetMessageMode(u8 mode) override { events.push_back("mode:" + std::to_string(mode)); }
  void MarkBacklogPage() override { events.push_back("backlog"); }
  void BeginChoices() override { events.push_back("choices"); }
  void AddChoice(i32 number, std::string_view text) override {
    events.push_back("choice:" + std::to_string(number) + ":" + std::string(text));
  }
  i32 RunChoice() override {
    events.push_back("run-choice");
    return answer;
  }
  bool PrepareMap(std::string_view name) override {
    events.push_back("map:" + std::string(name));
    return mapAvailable;
  }
  void AddMapPlace(i32 number, std::string_view icon, std::string_view place, bool enabled) override {
    events.push_back("place:" + std::to_string(number) + ":" + std::string(icon) + ":" + std::string(place) + ":" +
                     (enabled ? "on" : "off"));
  }
  i32 RunMap() override {
    events.push_back("run-map");
    return answer;
  }
  void UpdateCaption() override { events.push_back("caption"); }
  void RequestClose() override {
    events.push_back("close");
    quit = true;  // as if the player confirmed the quit question
  }

  // Events that start with `prefix`, in order.
  std::vector<std::string> Only(std::string_view prefix) const {
    std::vector<std::string> out;
    for (const std::string& e : events)
      if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e);
    return out;
  }

  std::vector<std::string> events;
  std::vector<Shown> shown;
  std::function<void()> onText;
  u64 pumps = 0;
  u64 pumpLimit = 1000000;
  u64 inputPumps = 0;
  bool quit = false;
  bool skipping = false;
  bool skipAll = false;
  bool mapAvailable = false;
  i32 answer = 1;
};

// Records tag lines; a hook may act on them (and decide their result).
class RecordingTags : public TagRunner {
 public:
  bool RunTag(std::string_view keyword, std::string_view arguments) override {
    calls.push_back(std::string(keyword) + "(" + std::string(arguments) + ")");
    if (hook) return hook(keyword, arguments);
    return keyword != "fail";
  }
  std::vector<std::string> calls;
  std::function<bool(std::string_view, std::string_view)> hook;
};

// A game folder of loose scripts and a real interpreter over recording
// doubles. Local flags a, b, n, depth and zero are declared.
class InterpreterTest : public ::testing::Test {
 protected:
  InterpreterTest() {
    trace.SetSink([this](std::string_view message) { traces.emplace_back(message); });
    auto local = std::make_unique<FlagStore::Names>();
    auto none = std::make_unique<FlagStore::Names>();
    const char* names[] = {"a", "b", "n", "depth", "zero"};
    for (size_t i = 0; i < std::size(names); ++i) (*local)[i] = names[i];
    flags.SetDefinitions(*local, *none, *none);
  }

  // Writes a script with CR LF line ends.
  void Script(std::string_view name, std::initializer_list<std::string_view> lines) {
    std::string text;
    for (std::string_view line : lines) {
      text.append(line);
      text.append("\r\n");
    }
    dir.Write("data/script/" + std::string(name), text);
  }

  // Opens the game folder and runs one step of the outer loop.
  bool RunStep() {
    if (!opened_) {
      resources.OpenDataFolder(dir.str());
      opened_ = true;
    }
    return interp.RunGameStep();
  }
  bool RunFresh() {
    interp.RequestGameRestart();
    return RunStep();
  }

  i32 Flag(std::string_view name) { return flags.GetFlag(name); }

  bool HasTrace(std::string_view text) const {
    for (const std::string& t : traces)
      if (t.find(text) != std::string::npos) return true;
    return false;
  }

  TempDir dir;
  Trace trace;
  std::vector<std::string> traces;
  Resources resources{trace};
  ReadLog readLog{trace};
  FlagStore flags{trace, {}};
  RecordingTags tags;
  RecordingHost host;
  platform::VirtualClock clock{1000};
  Interpreter interp{resources, readLog, flags, tags, host, clock, trace};

 private:
  bool opened_ = false;
};

}  // namespace lyraban::testing
