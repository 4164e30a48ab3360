#pragma once
// A platform with its main window on SDL's dummy display, events pushed into
// SDL's queue and read back as one line of text.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/sdl/sdl_platform.h"
#include "support/temp_dir.h"

namespace lyraban::platform {

class SdlTest : public ::testing::Test {
 protected:
  explicit SdlTest(int width = 64, int height = 48) : width_(width), height_(height) {}
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    // No real desktop may answer: message boxes must fail, not wait.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    platform_ = std::make_unique<SdlPlatform>(locks_.str());
    ASSERT_TRUE(platform_->CreateMainWindow(width_, height_)) << platform_->lastError();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    Log();
  }
  void TearDown() override { platform_.reset(); }

  // Every event struct used here starts with type, timestamp and window id.
  void Push(SDL_Event e, Uint32 idOffset = 0) {
    e.window.windowID = SDL_GetWindowID(platform_->window()) + idOffset;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
  }
  void Window(Uint8 what, Uint32 idOffset = 0) {
    SDL_Event e{SDL_WINDOWEVENT};
    e.window.event = what;
    Push(e, idOffset);
  }
  // The scan code is the one of the key on a US keyboard.
  void Key(Uint32 type, SDL_Keycode key, Uint16 mod = 0, bool repeat = false) {
    SDL_Event e{type};
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym = {SDL_GetScancodeFromKey(key), key, mod, 0};
    e.key.repeat = repeat;
    Push(e);
  }
  struct KeyEvent {
    Uint32 type;
    SDL_Keycode key;
    Uint16 mod = 0;
    bool repeat = false;
  };
  void Keys(std::initializer_list<KeyEvent> keys) {
    for (const KeyEvent& k : keys) Key(k.type, k.key, k.mod, k.repeat);
  }
  void Mouse(Uint32 type, int x, int y, Uint8 button = SDL_BUTTON_LEFT) {
    SDL_Event e{type};
    if (type == SDL_MOUSEMOTION)
      e.motion.x = x, e.motion.y = y;
    else
      e.button = {type, 0, 0, 0, button, Uint8(type == SDL_MOUSEBUTTONDOWN), 1, 0, x, y};
    Push(e);
  }

  void Click(int x, int y) {
    Mouse(SDL_MOUSEMOTION, x, y);
    Mouse(SDL_MOUSEBUTTONDOWN, x, y);
    Mouse(SDL_MOUSEBUTTONUP, x, y);
  }
  // A per-frame call for a modal loop: `act` once frame 3 is drawn, Escape
  // at frame `escapeAt` should the loop still run; `frames` counts them.
  std::function<void()> Script(int& frames, std::function<void()> act, int escapeAt = 40) {
    frames = 0;
    return [this, &frames, act = std::move(act), escapeAt] {
      if (++frames == 3) act();
      if (frames == escapeAt) Key(SDL_KEYDOWN, SDLK_ESCAPE);
    };
  }

  // The last frame the platform kept, and its size.
  struct Frame {
    std::vector<u8> bgr;
    int w = 0, h = 0;
  };
  Frame LastFrame() {
    Frame f;
    EXPECT_TRUE(platform_->CopyLastFrame(f.bgr, f.w, f.h));
    return f;
  }

  // "kind" for each event, with ":key/modifiers" for keys (modifiers on
  // presses only) and ":x,y" plus "/button" or "/wheel" for the mouse.
  std::string Log() {
    static const char* const kNames[] = {"close",  "down",     "up",       "move",    "press",    "release", "wheel",
                                         "active", "inactive", "minimize", "restore", "maximize", "expose"};
    std::string out;
    for (Event e; platform_->PollEvent(e);) {
      out += std::string(out.empty() ? "" : " ") + kNames[static_cast<int>(e.kind)];
      if (e.kind == EventKind::KeyDown || e.kind == EventKind::KeyUp)
        out += ":" + std::to_string(e.key) + (e.kind == EventKind::KeyDown ? "/" + std::to_string(e.modifiers) : "");
      if (e.kind >= EventKind::MouseMove && e.kind <= EventKind::MouseWheel)
        out += ":" + std::to_string(e.x) + "," + std::to_string(e.y);
      if (e.kind == EventKind::MouseDown || e.kind == EventKind::MouseUp)
        out += "/" + std::to_string(static_cast<int>(e.button));
      if (e.kind == EventKind::MouseWheel) out += "/" + std::to_string(e.wheel);
    }
    return out;
  }

  int width_, height_;
  testing::TempDir locks_;
  std::unique_ptr<SdlPlatform> platform_;
};

}  // namespace lyraban::platform
