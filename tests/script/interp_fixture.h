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

using Events = std::vector<std::string>;

inline std::string Join(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) out.append(out.empty() ? "" : ":").append(p);
  return out;
}

// Records every host call in order as a short event string.
class RecordingHost : public ScriptHost {
 public:
  struct Shown {
    std::string text;
    bool read;
    u8 mode;
  };

  // A runaway script ends the test instead of hanging it.
  bool PumpMessages() override { return !quit && ++pumps <= 1000000; }
  bool PumpInput() override { return ++inputPumps, !quit; }
  bool IsSkipping() override { return skipping; }
  void SetRunModeNormal() override { skipping = false, events.push_back("run-normal"); }
  bool SkipAllText() override { return skipAll; }
  void ShowScriptText(std::string_view text, bool read, u8 mode) override {
    shown.push_back({std::string(text), read, mode});
    if (onText) onText();
  }
  void ClearPage() override { events.push_back("clear"); }
  void SetMessageMode(u8 mode) override { events.push_back("mode:" + std::to_string(mode)); }
  void MarkBacklogPage() override { events.push_back("backlog"); }
  void BeginChoices() override { events.push_back("choices"); }
  void AddChoice(i32 n, std::string_view text) override { events.push_back(Join({"choice", std::to_string(n), text})); }
  i32 RunChoice() override { return events.push_back("run-choice"), answer; }
  bool PrepareMap(std::string_view name) override { return events.push_back(Join({"map", name})), mapAvailable; }
  void AddMapPlace(i32 n, std::string_view icon, std::string_view place, bool enabled) override {
    events.push_back(Join({"place", std::to_string(n), icon, place, enabled ? "on" : "off"}));
  }
  i32 RunMap() override { return events.push_back("run-map"), answer; }
  void UpdateCaption() override { events.push_back("caption"); }
  // As if the player confirmed the quit question.
  void RequestClose() override { events.push_back("close"), quit = true; }

  // Events that start with `prefix`, in order.
  Events Only(std::string_view prefix) const {
    Events out;
    for (const std::string& e : events)
      if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e);
    return out;
  }

  Events events;
  std::vector<Shown> shown;
  std::function<void()> onText;
  u64 pumps = 0, inputPumps = 0;
  bool quit = false, skipping = false, skipAll = false, mapAvailable = false;
  i32 answer = 1;
};

// Records tag lines; a hook may act on them and decide their result.
class RecordingTags : public TagRunner {
 public:
  bool RunTag(std::string_view keyword, std::string_view arguments) override {
    calls.push_back(std::string(keyword) + "(" + std::string(arguments) + ")");
    return hook ? hook(keyword, arguments) : keyword != "fail";
  }
  Events calls;
  std::function<bool(std::string_view, std::string_view)> hook;
};

// A game folder of loose scripts and a real interpreter over recording
// doubles. Local flags a, n, depth and zero are declared.
class InterpreterTest : public ::testing::Test {
 protected:
  InterpreterTest() {
    trace.SetSink([this](std::string_view message) { traces.emplace_back(message); });
    auto local = std::make_unique<FlagStore::Names>(), none = std::make_unique<FlagStore::Names>();
    const char* names[] = {"a", "n", "depth", "zero"};
    for (size_t i = 0; i < std::size(names); ++i) (*local)[i] = names[i];
    flags.SetDefinitions(*local, *none, *none);
  }

  // Writes a script with CR LF line ends.
  void Script(std::string_view name, std::initializer_list<std::string_view> lines) {
    std::string text;
    for (std::string_view line : lines) text.append(line).append("\r\n");
    dir.Write("data/script/" + std::string(name), text);
  }
  // Opens the game folder once and runs one step of the outer loop.
  bool RunStep() {
    if (!opened_) opened_ = resources.OpenDataFolder(dir.str());
    return interp.RunGameStep();
  }
  bool RunFresh() {
    interp.RequestGameRestart();
    return RunStep();
  }
  // Records ResumeLine whenever the tag "probe" runs.
  void ProbeResumeLines(std::vector<u32>& probes) {
    tags.hook = [&](std::string_view keyword, std::string_view) {
      if (keyword == "probe") probes.push_back(interp.RootProgram.ResumeLine);
      if (keyword == "novel") interp.SetMessageMode(kModeNovel);
      return true;
    };
  }

  TempDir dir;
  Trace trace;
  Events traces;
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
