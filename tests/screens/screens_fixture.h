#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/trace.h"
#include "graphics/png.h"
#include "graphics/surface.h"
#include "screens/button_sets.h"
#include "screens/screen_host.h"

namespace lyraban::testing {

// Images ("img") and map files ("map") served from memory; trace lines kept.
struct GameFiles {
  GameFiles() {
    trace.SetSink([this](std::string_view m) { messages.emplace_back(m); });
  }
  // `frames` stacked w×h pictures with alpha; frame f is grey 40·(f + 1). The
  // left `clearColumns` columns of frames from `clearFrom` on are transparent.
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
      return it != files.end() && (bytes = it->second, true);
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
// Calls are logged in one string: "W x,y" warps, "C n" system commands, "M n"
// mode changes, "L x,y" choice labels.
class FakeScreenHost : public ScreenHost {
 public:
  using Step = std::function<void(FakeScreenHost&)>;
  explicit FakeScreenHost(ButtonSets& sets) : sets_(sets) { screen.Create(3, 800, 600); }

  void Do(Step step) { steps.push_back(std::move(step)); }
  void Key(u8 command) {
    Do([=](FakeScreenHost& h) { h.SetPendingCommand(command, -1); });
  }
  void ClickAt(i32 x, i32 y) {
    Do([=](FakeScreenHost& h) {
      h.pointer = {x, y, false};
      if (!h.sets_.OnLeftButtonDown(x, y, !h.skipping)) h.SetPendingCommand(1, -1);
      const ButtonRelease r = h.sets_.OnLeftButtonUp(x, y);
      if (r.command != 0) h.SetPendingCommand(r.command, r.button);
    });
  }
  void Log(char what, int a, int b = -1) {
    log += what + std::to_string(a) + (b < 0 ? std::string() : "," + std::to_string(b)) + " ";
  }

  bool PumpInput(u8 context, bool) override {
    EXPECT_EQ(context, expectedContext) << "each screen reads input in its own context";
    if (context != 0) skipping = false;           // any context but reading ends skip
    if (steps.empty()) return ++idlePumps <= 50;  // out of script: the program closes
    Step step = std::move(steps.front());
    steps.pop_front();
    step(*this);
    return true;
  }
  // clang-format off
  u8 PendingCommand() override { return pending; }  i32 PendingButton() override { return pendingButton; }
  void SetPendingCommand(u8 command, i32 button) override { pending = command, pendingButton = button; }
  void ClearInput() override { SetPendingCommand(0, -1); }  Pointer MousePointer() override { return pointer; }
  void WarpMouse(i32 x, i32 y) override { Log('W', pointer.x = x, pointer.y = y); }
  void UpdateScreen() override { FillRect(screen, 0, 0, 0, 0, 0, 800, 600); }
  Surface& ScreenSurface() override { return screen; }  void PresentScreen() override { ++presents; }
  void DrawMessageWindow() override { ++windowDraws; }  bool IsSkipping() override { return skipping; }
  bool IsAutoMode() override { return false; }  void SetSkipMode() override { skipping = true; }
  bool StopSkipAfterChoice() override { return stopSkipAfterChoice; }  u8 ScriptMode() override { return scriptMode; }
  void SetMessageMode(u8 mode) override { Log('M', scriptMode = mode); }
  void DrawChoiceText(Surface&, i32 x, i32 y, std::string_view) override { Log('L', x, y); }
  // clang-format on
  bool HandleSystemCommand(u8) override {
    sets_.SetMode(ButtonMode::Hidden);  // as the message window does
    Log('C', pending);
    const bool backToTitle = pending == 19;
    ClearInput();
    return backToTitle;
  }

  std::deque<Step> steps;
  Pointer pointer;
  u8 pending = 0, scriptMode = 0, expectedContext = 1;
  i32 pendingButton = -1;
  bool skipping = false, stopSkipAfterChoice = false;
  int idlePumps = 0, presents = 0, windowDraws = 0;
  Surface screen;
  std::string log;

 private:
  ButtonSets& sets_;
};

}  // namespace lyraban::testing
