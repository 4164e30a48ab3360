#include "platform/sdl/sdl_platform.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "platform/audio.h"
#include "support/temp_dir.h"

namespace lyraban::platform {
namespace {

using lyraban::testing::TempDir;

// No display in automated runs: SDL's dummy drivers stand in for one.
class SdlPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    platform_ = std::make_unique<SdlPlatform>(locks_.str());
    ASSERT_TRUE(platform_->CreateMainWindow(kWidth, kHeight)) << platform_->lastError();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    Drain();
  }
  void TearDown() override { platform_.reset(); }

  std::vector<Event> Drain() {
    std::vector<Event> events;
    Event e;
    while (platform_->PollEvent(e)) events.push_back(e);
    return events;
  }
  void Key(Uint32 type, SDL_Keycode key, SDL_Scancode scancode, Uint16 mod, bool repeat = false) {
    SDL_Event e{};
    e.type = type;
    e.key.windowID = SDL_GetWindowID(platform_->window());
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = key;
    e.key.keysym.scancode = scancode;
    e.key.keysym.mod = mod;
    e.key.repeat = repeat ? 1 : 0;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
  }
  void Window(Uint8 what) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = what;
    e.window.windowID = SDL_GetWindowID(platform_->window());
    ASSERT_EQ(SDL_PushEvent(&e), 1);
  }

  static constexpr int kWidth = 64, kHeight = 48;
  TempDir locks_;
  std::unique_ptr<SdlPlatform> platform_;
};

TEST_F(SdlPlatformTest, WindowStartsHiddenAndShowsWithItsCaption) {
  SDL_Window* w = platform_->window();
  EXPECT_NE(SDL_GetWindowFlags(w) & SDL_WINDOW_HIDDEN, 0u);
  platform_->SetCaption("游戏　「第一章」　[2:05]");
  platform_->ShowMainWindow();
  EXPECT_EQ(SDL_GetWindowFlags(w) & SDL_WINDOW_HIDDEN, 0u);
  EXPECT_STREQ(SDL_GetWindowTitle(w), "游戏　「第一章」　[2:05]");
  EXPECT_FALSE(platform_->IsMinimized());
  // A caption set before the window exists is applied when it is made.
  platform_->DestroyMainWindow();
  EXPECT_FALSE(platform_->HasMainWindow());
  platform_->SetCaption("later");
  ASSERT_TRUE(platform_->CreateMainWindow(kWidth, kHeight));
  EXPECT_STREQ(SDL_GetWindowTitle(platform_->window()), "later");
}

TEST_F(SdlPlatformTest, PresentedFrameIsKeptAndDrawnInBlueGreenRedOrder) {
  std::vector<u8> bgr;
  int w = 0, h = 0;
  // A new window shows black.
  ASSERT_TRUE(platform_->CopyLastFrame(bgr, w, h));
  EXPECT_EQ(w, kWidth);
  EXPECT_EQ(h, kHeight);
  EXPECT_EQ(bgr, std::vector<u8>(kWidth * kHeight * 3, 0));

  // Rows padded to 4 bytes beyond the picture, padding filled with junk.
  const int pitch = kWidth * 3 + 4;
  std::vector<u8> pixels(static_cast<size_t>(pitch) * kHeight, 0xEE);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      u8* p = &pixels[static_cast<size_t>(y) * pitch + x * 3];
      p[0] = static_cast<u8>(x * 4);  // blue
      p[1] = static_cast<u8>(y * 5);  // green
      p[2] = 200;                     // red
    }
  platform_->Present(pixels.data(), kWidth, kHeight, pitch);
  ASSERT_TRUE(platform_->CopyLastFrame(bgr, w, h));
  ASSERT_EQ(bgr.size(), static_cast<size_t>(kWidth * kHeight * 3));
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(bgr[(static_cast<size_t>(y) * kWidth + x) * 3 + c],
                  pixels[static_cast<size_t>(y) * pitch + x * 3 + c]);

  // What the renderer drew: red must come out as red, not as blue.
  SDL_Renderer* renderer = SDL_GetRenderer(platform_->window());
  ASSERT_NE(renderer, nullptr);
  std::vector<Uint32> shown(kWidth * kHeight);
  ASSERT_EQ(SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, shown.data(), kWidth * 4), 0)
      << SDL_GetError();
  for (const auto& [x, y] : {std::pair{0, 0}, {63, 47}, {33, 5}}) {
    const Uint32 px = shown[static_cast<size_t>(y) * kWidth + x];
    EXPECT_EQ((px >> 16) & 0xFF, 200u) << x << "," << y;
    EXPECT_EQ((px >> 8) & 0xFF, static_cast<Uint32>(y * 5)) << x << "," << y;
    EXPECT_EQ(px & 0xFF, static_cast<Uint32>(x * 4)) << x << "," << y;
  }

  // The last frame outlives the window, for the screenshot taken at exit.
  platform_->DestroyMainWindow();
  std::vector<u8> after;
  ASSERT_TRUE(platform_->CopyLastFrame(after, w, h));
  EXPECT_EQ(after, bgr);
}

TEST_F(SdlPlatformTest, ResizedWindowIsLetterboxed) {
  std::vector<u8> white(kWidth * kHeight * 3, 255);
  SDL_SetWindowSize(platform_->window(), kWidth * 4, kHeight * 2);  // 256 x 96: bars left and right
  platform_->Present(white.data(), kWidth, kHeight, kWidth * 3);
  SDL_Renderer* renderer = SDL_GetRenderer(platform_->window());
  int ow = 0, oh = 0;
  ASSERT_EQ(SDL_GetRendererOutputSize(renderer, &ow, &oh), 0);
  ASSERT_EQ(ow, kWidth * 4);
  std::vector<Uint32> shown(static_cast<size_t>(ow) * oh);
  ASSERT_EQ(SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, shown.data(), ow * 4), 0);
  auto at = [&](int x, int y) { return shown[static_cast<size_t>(y) * ow + x] & 0xFFFFFF; };
  EXPECT_EQ(at(0, 48), 0u);          // left bar
  EXPECT_EQ(at(63, 48), 0u);         // last column of the bar
  EXPECT_EQ(at(70, 48), 0xFFFFFFu);  // the picture, 128 wide from x = 64
  EXPECT_EQ(at(185, 95), 0xFFFFFFu);
  EXPECT_EQ(at(200, 48), 0u);  // right bar
}

TEST_F(SdlPlatformTest, MousePositionsArriveInGamePixels) {
  SDL_SetWindowSize(platform_->window(), kWidth * 4, kHeight * 2);  // picture at x 64…191, scale 2
  Drain();
  const Uint32 id = SDL_GetWindowID(platform_->window());
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.windowID = id;
  e.motion.x = 64 + 127;
  e.motion.y = 95;
  SDL_PushEvent(&e);
  e = {};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.windowID = id;
  e.button.button = SDL_BUTTON_RIGHT;
  e.button.x = 64 + 20;
  e.button.y = 31;
  SDL_PushEvent(&e);
  e.type = SDL_MOUSEBUTTONUP;
  e.button.x = 10;  // released over the left bar
  SDL_PushEvent(&e);
  e.button.button = SDL_BUTTON_X1;  // no use for the side buttons
  SDL_PushEvent(&e);
  e = {};
  e.type = SDL_MOUSEWHEEL;
  e.wheel.windowID = id;
  e.wheel.y = -2;
  e.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;  // natural scrolling: really two steps away
  e.wheel.mouseX = 64;
  e.wheel.mouseY = 0;
  SDL_PushEvent(&e);
  e.wheel.y = 0;  // sideways only
  e.wheel.x = 3;
  SDL_PushEvent(&e);

  const std::vector<Event> got = Drain();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].kind, EventKind::MouseMove);
  EXPECT_EQ(got[0].x, kWidth - 1);
  EXPECT_EQ(got[0].y, kHeight - 1);
  EXPECT_EQ(got[1].kind, EventKind::MouseDown);
  EXPECT_EQ(got[1].button, MouseButton::Right);
  EXPECT_EQ(got[1].x, 10);
  EXPECT_EQ(got[1].y, 15);
  EXPECT_EQ(got[2].kind, EventKind::MouseUp);
  EXPECT_LT(got[2].x, 0);
  EXPECT_EQ(got[3].kind, EventKind::MouseWheel);
  EXPECT_EQ(got[3].wheel, 2);
  EXPECT_EQ(got[3].x, 0);
  EXPECT_EQ(got[3].y, 0);
}

TEST_F(SdlPlatformTest, KeysModifiersAndTheLoneAlt) {
  Key(SDL_KEYDOWN, SDLK_KP_4, SDL_SCANCODE_KP_4, KMOD_NUM);
  Key(SDL_KEYUP, SDLK_KP_4, SDL_SCANCODE_KP_4, KMOD_NUM);
  Key(SDL_KEYDOWN, SDLK_DOWN, SDL_SCANCODE_DOWN, KMOD_LSHIFT);
  Key(SDL_KEYDOWN, SDLK_CAPSLOCK, SDL_SCANCODE_CAPSLOCK, 0);  // of no use: dropped
  // Alt and Enter together: a shortcut with Alt, no lone Alt afterwards.
  Key(SDL_KEYDOWN, SDLK_LALT, SDL_SCANCODE_LALT, KMOD_LALT);
  Key(SDL_KEYDOWN, SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_LALT);
  Key(SDL_KEYUP, SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_LALT);
  Key(SDL_KEYUP, SDLK_LALT, SDL_SCANCODE_LALT, 0);
  // Alt alone, held long enough to repeat.
  Key(SDL_KEYDOWN, SDLK_RALT, SDL_SCANCODE_RALT, KMOD_RALT);
  Key(SDL_KEYDOWN, SDLK_RALT, SDL_SCANCODE_RALT, KMOD_RALT, true);
  Key(SDL_KEYUP, SDLK_RALT, SDL_SCANCODE_RALT, 0);

  // The Alt used as a modifier comes up; the lone Alt goes down (with Alt) and up on release.
  const struct {
    EventKind kind;
    u16 key;
    u8 modifiers;
  } want[] = {{EventKind::KeyDown, vk::Numpad4, 0},    {EventKind::KeyUp, vk::Numpad4, 0},
              {EventKind::KeyDown, vk::Down, ModShift}, {EventKind::KeyDown, vk::Return, ModAlt},
              {EventKind::KeyUp, vk::Return, ModAlt},   {EventKind::KeyUp, vk::Menu, 0},
              {EventKind::KeyDown, vk::Menu, ModAlt},   {EventKind::KeyUp, vk::Menu, 0}};
  const std::vector<Event> got = Drain();
  ASSERT_EQ(got.size(), std::size(want));
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].kind, want[i].kind) << i;
    EXPECT_EQ(got[i].key, want[i].key) << i;
    if (got[i].kind == EventKind::KeyDown) {
      EXPECT_EQ(got[i].modifiers, want[i].modifiers) << i;
    }
  }
  Event last;
  ASSERT_FALSE(platform_->PollEvent(last));
}

TEST_F(SdlPlatformTest, AClickAndLosingFocusSpoilTheLoneAlt) {
  Key(SDL_KEYDOWN, SDLK_LALT, SDL_SCANCODE_LALT, KMOD_LALT);
  SDL_Event click{};
  click.type = SDL_MOUSEBUTTONDOWN;
  click.button.windowID = SDL_GetWindowID(platform_->window());
  click.button.button = SDL_BUTTON_LEFT;
  SDL_PushEvent(&click);
  Key(SDL_KEYUP, SDLK_LALT, SDL_SCANCODE_LALT, 0);
  Key(SDL_KEYDOWN, SDLK_LALT, SDL_SCANCODE_LALT, KMOD_LALT);
  Window(SDL_WINDOWEVENT_FOCUS_LOST);  // Alt+Tab away
  Key(SDL_KEYUP, SDLK_LALT, SDL_SCANCODE_LALT, 0);
  for (const Event& e : Drain()) EXPECT_FALSE(e.kind == EventKind::KeyDown && e.key == vk::Menu);
}

TEST_F(SdlPlatformTest, WindowStateAndCloseEvents) {
  Window(SDL_WINDOWEVENT_FOCUS_GAINED);
  Window(SDL_WINDOWEVENT_FOCUS_LOST);
  Window(SDL_WINDOWEVENT_MINIMIZED);
  Window(SDL_WINDOWEVENT_RESTORED);
  Window(SDL_WINDOWEVENT_EXPOSED);
  // The close box: one request, though SDL may follow it with a quit.
  Window(SDL_WINDOWEVENT_CLOSE);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  // A quit of its own (a signal, the session ending) asks as well.
  SDL_PushEvent(&quit);
  const std::vector<Event> got = Drain();
  const EventKind want[] = {EventKind::Activate, EventKind::Deactivate,   EventKind::Minimize,    EventKind::Restore,
                            EventKind::Expose,   EventKind::CloseRequest, EventKind::CloseRequest};
  ASSERT_EQ(got.size(), std::size(want));
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].kind, want[i]) << i;

  // Events of another window are not ours.
  SDL_Event other{};
  other.type = SDL_WINDOWEVENT;
  other.window.event = SDL_WINDOWEVENT_CLOSE;
  other.window.windowID = SDL_GetWindowID(platform_->window()) + 100;
  SDL_PushEvent(&other);
  EXPECT_TRUE(Drain().empty());

  // A close posted by the program, also while waiting.
  platform_->PostCloseRequest();
  platform_->WaitEvent();
  Event e;
  ASSERT_TRUE(platform_->PollEvent(e));
  EXPECT_EQ(e.kind, EventKind::CloseRequest);
}

TEST_F(SdlPlatformTest, FullScreenSwitchesBothWays) {
  EXPECT_FALSE(platform_->IsFullScreen());
  ASSERT_TRUE(platform_->SetFullScreen(true)) << platform_->lastError();
  EXPECT_TRUE(platform_->IsFullScreen());
  EXPECT_TRUE(platform_->SetFullScreen(true));  // already there
  ASSERT_TRUE(platform_->SetFullScreen(false));
  EXPECT_FALSE(platform_->IsFullScreen());
  platform_->DestroyMainWindow();
  EXPECT_FALSE(platform_->SetFullScreen(true));
  EXPECT_FALSE(platform_->IsFullScreen());
}

TEST_F(SdlPlatformTest, VirtualJoystickIsReadScaled) {
  ASSERT_EQ(SDL_NumJoysticks(), 0) << "a real pad is plugged in";
  const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 10, 0);
  ASSERT_GE(index, 0) << SDL_GetError();
  JoystickState s;
  ASSERT_TRUE(platform_->ReadJoystick(s));
  EXPECT_EQ(s.x, 32768u);
  EXPECT_EQ(s.buttons, 0u);
  SDL_Joystick* handle = SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(index));
  ASSERT_NE(handle, nullptr);
  SDL_JoystickSetVirtualAxis(handle, 0, -32768);
  SDL_JoystickSetVirtualAxis(handle, 1, 32767);
  SDL_JoystickSetVirtualButton(handle, 0, SDL_PRESSED);
  SDL_JoystickSetVirtualButton(handle, 7, SDL_PRESSED);
  SDL_JoystickSetVirtualButton(handle, 8, SDL_PRESSED);  // a ninth button has no bit
  ASSERT_TRUE(platform_->ReadJoystick(s));
  EXPECT_EQ(s.x, 0u);
  EXPECT_EQ(s.y, 65535u);
  EXPECT_EQ(s.buttons, 0x81u);
  // Unplugged: nothing to read.
  ASSERT_EQ(SDL_JoystickDetachVirtual(index), 0);
  Drain();
  EXPECT_FALSE(platform_->ReadJoystick(s));
}

TEST_F(SdlPlatformTest, QuestionThatCannotBeShownIsNotAYes) {
  // With no display at all no box can be shown; the game must not end on
  // an answer nobody gave.
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  EXPECT_FALSE(platform_->AskYesNo("结束游戏？", "游戏"));
  EXPECT_FALSE(platform_->lastError().empty());
}

TEST_F(SdlPlatformTest, SoundDevicePullsFromItsSource) {
  AudioOutput* out = platform_->audio();
  ASSERT_NE(out, nullptr);
  std::atomic<size_t> frames{0};
  ASSERT_TRUE(out->Open([&](i16* samples, size_t n) {
    std::fill(samples, samples + n * kAudioChannels, i16{0});
    frames += n;
  }));
  for (int i = 0; i < 500 && frames.load() == 0; ++i) SDL_Delay(10);
  out->Close();
  EXPECT_GT(frames.load(), 0u);
}

}  // namespace
}  // namespace lyraban::platform
