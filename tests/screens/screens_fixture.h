#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/base/trace.h"
#include "graphics/png.h"
#include "graphics/surface.h"
#include "screens/button_sets.h"
#include "screens/screen_host.h"

namespace lyraban::testing {

// Images ("img") and map files ("map") served from memory.
struct GameFiles {
  GameFiles() {
    trace.SetSink([this](std::string_view m) { messages.emplace_back(m); });
  }

  // `frames` stacked w×h pictures with alpha; frame f is grey 40·(f + 1).
  // The left `clearColumns` columns of frames from `clearFrom` on are
  // transparent.
  void Button(const std::string& name, int w, int h, int frames, int clearColumns = 0, int clearFrom = 0) {
    Surface s;
    ASSERT_TRUE(s.Create(4, w, h * frames));
    for (int y = 0; y < h * frames; ++y)
      for (int x = 0; x < w; ++x) {
        u8* p = s.Row(y) + x * 4;
        p[0] = x < clearColumns && y / h >= clearFrom ? 0 : 255;
        p[1] = p[2] = p[3] = static_cast<u8>(40 * (y / h + 1));
      }
    ASSERT_TRUE(EncodePng(s, files["img/" + name], 1));
  }
  ResourceReader reader() {
    return [this](std::string_view folder, std::string_view name, std::string& bytes) {
      auto it = files.find(std::string(folder) + "/" + std::string(name));
      if (it != files.end()) bytes = it->second;
      return it != files.end();
    };
  }

  std::map<std::string, std::string> files;
  Trace trace;
  std::vector<std::string> messages;
};

// Grey value of a three-byte screen pixel.
inline int Grey(const Surface& s, int x, int y) { return s.Row(y)[x * 3]; }

// The engine side of the screens with input played from a script: each pump
// runs the next step; left presses go to the button sets as in the engine.
class FakeScreenHost : public ScreenHost {
 public:
  using Step = std::function<void(FakeScreenHost&)>;
  explicit FakeScreenHost(ButtonSets& sets) : sets_(sets) { screen.Create(3, 800, 600); }

  void Do(Step step) { steps.push_back(std::move(step)); }
  void MoveTo(i32 x, i32 y) {
    Do([=](FakeScreenHost& h) { h.pointer = {x, y, false}; });
  }
  void Key(u8 command) {
    Do([=](FakeScreenHost& h) { h.SetPendingCommand(command, -1); });
  }
  void Down() {
    Do([](FakeScreenHost& h) {
      if (!h.sets_.OnLeftButtonDown(h.pointer.x, h.pointer.y, !h.skipping)) h.SetPendingCommand(1, -1);
    });
  }
  void Up() {
    Do([](FakeScreenHost& h) {
      const ButtonRelease r = h.sets_.OnLeftButtonUp(h.pointer.x, h.pointer.y);
      if (r.command != 0) h.SetPendingCommand(r.command, r.button);
    });
  }
  void ClickAt(i32 x, i32 y) {
    MoveTo(x, y);
    Down();
    Up();
  }

  bool PumpInput(u8 context, bool) override {
    contexts.push_back(context);
    if (context != 0) skipping = false;           // any context but reading ends skip
    if (steps.empty()) return ++idlePumps <= 50;  // out of script: the program closes
    Step step = std::move(steps.front());
    steps.pop_front();
    step(*this);
    return true;
  }
  u8 PendingCommand() override { return pending; }
  i32 PendingButton() override { return pendingButton; }
  void SetPendingCommand(u8 command, i32 button) override { pending = command, pendingButton = button; }
  void ClearInput() override { SetPendingCommand(0, -1); }
  Pointer MousePointer() override { return pointer; }
  void WarpMouse(i32 x, i32 y) override { warps.emplace_back(pointer.x = x, pointer.y = y); }
  void UpdateScreen() override { FillRect(screen, 0, 0, 0, 0, 0, 800, 600); }
  Surface& ScreenSurface() override { return screen; }
  void PresentScreen() override { ++presents; }
  void DrawMessageWindow() override { ++windowDraws; }
  bool IsSkipping() override { return skipping; }
  bool IsAutoMode() override { return false; }
  void SetSkipMode() override { skipping = true; }
  bool StopSkipAfterChoice() override { return stopSkipAfterChoice; }
  bool HandleSystemCommand(u8 context) override {
    sets_.SetMode(ButtonMode::Hidden);  // as the message window does
    systemCommands.push_back(pending);
    contexts.push_back(context);
    const bool backToTitle = pending == 19;
    ClearInput();
    return backToTitle;
  }
  u8 ScriptMode() override { return scriptMode; }
  void SetMessageMode(u8 mode) override { modeChanges.push_back(scriptMode = mode); }
  void DrawChoiceText(Surface&, i32 x, i32 y, std::string_view) override { labels.emplace_back(x, y); }

  std::deque<Step> steps;
  Pointer pointer;
  u8 pending = 0, scriptMode = 0;
  i32 pendingButton = -1;
  bool skipping = false, stopSkipAfterChoice = false;
  int idlePumps = 0, presents = 0, windowDraws = 0;
  Surface screen;
  std::vector<u8> contexts, modeChanges, systemCommands;
  std::vector<std::pair<i32, i32>> labels, warps;

 private:
  ButtonSets& sets_;
};

}  // namespace lyraban::testing
