#pragma once
// A script host and tag runner for running scripts with no screen and no
// player (benchmarks, fuzzing): text, choices and maps go nowhere and every
// tag succeeds.
#include <string_view>

#include "base/types.h"
#include "script/script_host.h"
#include "script/tag_runner.h"

namespace lyraban {

// Reports a quit at the first pump; a user overrides what it needs.
class QuietHost : public ScriptHost {
 public:
  bool PumpMessages() override { return false; }
  bool PumpInput() override { return false; }
  bool IsSkipping() override { return false; }
  void SetRunModeNormal() override {}
  bool SkipAllText() override { return false; }
  void ShowScriptText(std::string_view, bool, u8) override {}
  void ClearPage() override {}
  void SetMessageMode(u8) override {}
  void MarkBacklogPage() override {}
  void BeginChoices() override {}
  void AddChoice(i32, std::string_view) override {}
  i32 RunChoice() override { return 1; }
  bool PrepareMap(std::string_view) override { return false; }
  void AddMapPlace(i32, std::string_view, std::string_view, bool) override {}
  i32 RunMap() override { return 1; }
  void UpdateCaption() override {}
  void RequestClose() override {}
};

class NoTags final : public TagRunner {
 public:
  bool RunTag(std::string_view, std::string_view) override { return true; }
};

}  // namespace lyraban
