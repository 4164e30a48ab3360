#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/base/trace.h"
#include "graphics/png.h"
#include "graphics/surface.h"
#include "platform/headless/virtual_clock.h"
#include "resources/resources.h"
#include "screens/button_sets.h"
#include "screens/screen_host.h"
#include "support/temp_dir.h"

namespace lyraban::testing {

// A game folder with loose images and map files read through Resources.
class GameFolder {
 public:
  GameFolder() : resources(trace) {
    trace.SetSink([this](std::string_view m) { messages.emplace_back(m); });
    dir.Write("data/.keep", "");
    resources.OpenDataFolder(dir.str());
  }

  // A button image of `frames` stacked w×h pictures, four bytes per pixel.
  // Frame f is grey 40·(f + 1); the left `clearColumns` columns of every
  // frame are fully transparent.
  void Button(const std::string& name, int w, int h, int frames, int clearColumns = 0) {
    Surface s;
    ASSERT_TRUE(s.Create(4, w, h * frames));
    for (int y = 0; y < h * frames; ++y) {
      const u8 grey = static_cast<u8>(40 * (y / h + 1));
      for (int x = 0; x < w; ++x) {
        u8* p = s.Row(y) + x * 4;
        p[0] = x < clearColumns ? 0 : 255;
        p[1] = p[2] = p[3] = grey;
      }
    }
    Png(name, s);
  }
  // A plain three-byte picture in one colour (no alpha: opaque everywhere).
  void Solid(const std::string& name, int w, int h, u8 r, u8 g, u8 b) {
    Surface s;
    ASSERT_TRUE(s.Create(3, w, h));
    FillRect(s, r, g, b, 0, 0, w, h);
    Png(name, s);
  }
  void Png(const std::string& name, const Surface& s) {
    std::string bytes;
    ASSERT_TRUE(EncodePng(s, bytes, 1));
    dir.Write("data/img/" + name, bytes);
  }
  void Map(const std::string& name, const std::string& text) { dir.Write("data/map/" + name, text); }

  ResourceReader reader() { return ResourceReaderFor(resources); }

  TempDir dir;
  Trace trace;
  std::vector<std::string> messages;
  Resources resources;
};

// Grey value a three-byte screen pixel holds (blue byte).
inline int ScreenGrey(const Surface& s, int x, int y) { return s.Row(y)[x * 3]; }

// The engine side of the screens, with input played from a script: each
// pump runs the next queued step. The mouse and pending-slot rules follow the
// engine's pump, including the routing of left presses to the button sets.
class FakeScreenHost : public ScreenHost {
 public:
  using Step = std::function<void(FakeScreenHost&)>;

  explicit FakeScreenHost(ButtonSets& sets) : sets_(sets) { screen.Create(3, 800, 600); }

  // Queue helpers.
  void MoveTo(i32 x, i32 y) {
    steps.push_back([x, y](FakeScreenHost& h) {
      h.pointer.x = x;
      h.pointer.y = y;
    });
  }
  void LeftDown() {
    steps.push_back([](FakeScreenHost& h) {
      h.pointer.leftDown = true;
      if (!h.sets_.OnLeftButtonDown(h.pointer.x, h.pointer.y, !h.skipping && !h.autoMode)) h.Set(1, -1);
    });
  }
  void LeftUp() {
    steps.push_back([](FakeScreenHost& h) {
      h.pointer.leftDown = false;
      const ButtonRelease r = h.sets_.OnLeftButtonUp(h.pointer.x, h.pointer.y);
      if (r.command != 0) h.Set(r.command, r.button);
    });
  }
  void ClickAt(i32 x, i32 y) {
    MoveTo(x, y);
    LeftDown();
    LeftUp();
  }
  void Key(u8 command) {
    steps.push_back([command](FakeScreenHost& h) { h.Set(command, -1); });
  }

  bool PumpInput(u8 context, bool yield) override {
    contexts.push_back(context);
    if (yield) clock.Sleep(1);
    if (steps.empty()) {
      // Out of script: behave as a closing program so no test can hang.
      if (++idlePumps > 50) return false;
      return true;
    }
    Step step = std::move(steps.front());
    steps.pop_front();
    step(*this);
    // Any context but reading ends skip and auto.
    if (context != 0) skipping = autoMode = false;
    return true;
  }
  u8 PendingCommand() override { return pending; }
  i32 PendingButton() override { return pendingButton; }
  void SetPendingCommand(u8 command, i32 button) override { Set(command, button); }
  void ClearInput() override { Set(0, -1); }
  Pointer MousePointer() override { return pointer; }
  void WarpMouse(i32 x, i32 y) override {
    warps.push_back({x, y});
    pointer.x = x;
    pointer.y = y;
  }
  void UpdateScreen() override {
    FillRect(screen, 0, 0, 0, 0, 0, 800, 600);
    ++frames;
  }
  Surface& ScreenSurface() override { return screen; }
  void PresentScreen() override { ++presents; }
  void DrawMessageWindow() override { ++messageWindowDraws; }
  bool IsSkipping() override { return skipping; }
  bool IsAutoMode() override { return autoMode; }
  void SetSkipMode() override { skipping = true; }
  bool StopSkipAfterChoice() override { return stopSkipAfterChoice; }
  bool HandleSystemCommand(u8 context) override {
    // Like the message window: button sets go away while a command runs.
    sets_.SetMode(ButtonMode::Hidden);
    systemCommands.push_back({pending, context});
    const u8 command = pending;
    Set(0, -1);
    return command == abandonOn;
  }
  u8 ScriptMode() override { return scriptMode; }
  void SetMessageMode(u8 mode) override {
    modeChanges.push_back(mode);
    scriptMode = mode;
  }
  void DrawChoiceText(Surface& overlay, i32 x, i32 y, std::string_view text) override {
    labels.push_back({x, y, std::string(text)});
    // A marker pixel where the text would start, to follow the overlay.
    if (x >= 0 && y >= 0 && x < overlay.width() && y < overlay.height()) {
      u8* p = overlay.Row(y) + x * 4;
      p[0] = 255;
      p[1] = p[2] = p[3] = 200;
    }
  }

  struct Label {
    i32 x, y;
    std::string text;
  };
  struct Point {
    i32 x, y;
  };
  struct SystemCommand {
    u8 command, context;
  };

  platform::VirtualClock clock;
  std::deque<Step> steps;
  Pointer pointer;
  u8 pending = 0;
  i32 pendingButton = -1;
  bool skipping = false;
  bool autoMode = false;
  bool stopSkipAfterChoice = false;
  u8 scriptMode = 0;
  u8 abandonOn = 19;
  int idlePumps = 0;
  int frames = 0, presents = 0, messageWindowDraws = 0;
  Surface screen;
  std::vector<u8> contexts;
  std::vector<u8> modeChanges;
  std::vector<Label> labels;
  std::vector<Point> warps;
  std::vector<SystemCommand> systemCommands;

 private:
  void Set(u8 command, i32 button) {
    pending = command;
    pendingButton = button;
  }
  ButtonSets& sets_;
};

}  // namespace lyraban::testing
