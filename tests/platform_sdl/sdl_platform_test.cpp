#include "platform/sdl/sdl_platform.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <vector>

#include "platform/audio.h"
#include "platform/close_signals.h"
#include "platform/video.h"
#include "sdl_fixture.h"

namespace lyraban::platform {
namespace {

using SdlPlatformTest = SdlTest;  // a 64 × 48 game

TEST_F(SdlPlatformTest, WindowStartsHiddenAndShowsWithItsCaption) {
  SDL_Window* w = platform_->window();
  EXPECT_NE(SDL_GetWindowFlags(w) & SDL_WINDOW_HIDDEN, 0u);
  platform_->SetCaption("游戏　「第一章」　[2:05]");
  platform_->ShowMainWindow();
  EXPECT_EQ(SDL_GetWindowFlags(w) & SDL_WINDOW_HIDDEN, 0u);
  EXPECT_STREQ(SDL_GetWindowTitle(w), "游戏　「第一章」　[2:05]");
  // A caption set before the window exists is applied when it is made.
  platform_->DestroyMainWindow();
  platform_->SetCaption("later");
  ASSERT_TRUE(platform_->CreateMainWindow(width_, height_));
  EXPECT_STREQ(SDL_GetWindowTitle(platform_->window()), "later");
}

// Pixels (x, y) of the window as 0xRRGGBB.
std::vector<Uint32> Shown(SDL_Window* window, int& w) {
  SDL_Renderer* renderer = SDL_GetRenderer(window);
  int h = 0;
  EXPECT_EQ(SDL_GetRendererOutputSize(renderer, &w, &h), 0);
  std::vector<Uint32> shown(static_cast<size_t>(w) * h);
  EXPECT_EQ(SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, shown.data(), w * 4), 0);
  for (Uint32& px : shown) px &= 0xFFFFFF;
  return shown;
}

TEST_F(SdlPlatformTest, PresentedFrameIsKeptAndDrawnInBlueGreenRedOrder) {
  const Frame black = LastFrame();  // a new window shows black
  EXPECT_EQ(std::pair(black.w, black.h), std::pair(64, 48));
  EXPECT_EQ(black.bgr, std::vector<u8>(64 * 48 * 3, 0));
  // Rows padded beyond the picture, the padding filled with junk.
  const int pitch = 64 * 3 + 4;
  std::vector<u8> pixels(pitch * 48, 0xEE), packed;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      u8* p = &pixels[y * pitch + x * 3];
      p[0] = static_cast<u8>(x * 4), p[1] = static_cast<u8>(y * 5), p[2] = 200;  // blue, green, red
      packed.insert(packed.end(), p, p + 3);
    }
  platform_->Present(pixels.data(), 64, 48, pitch);
  EXPECT_EQ(LastFrame().bgr, packed);
  int w = 0;
  const std::vector<Uint32> shown = Shown(platform_->window(), w);
  for (const auto& [x, y] : {std::pair{0, 0}, {63, 47}, {33, 5}})
    EXPECT_EQ(shown[y * w + x], 200u << 16 | Uint32(y * 5) << 8 | Uint32(x * 4)) << x << "," << y;
  // The last frame outlives the window, for the screenshot taken at exit.
  platform_->DestroyMainWindow();
  EXPECT_EQ(LastFrame().bgr, packed);
}

// A 256 × 96 window shows the picture at x 64…191, twice the size.
TEST_F(SdlPlatformTest, ResizedWindowIsLetterboxedAndMouseArrivesInGamePixels) {
  const std::vector<u8> white(64 * 48 * 3, 255);
  SDL_SetWindowSize(platform_->window(), 256, 96);
  Log();
  platform_->Present(white.data(), 64, 48, 64 * 3);
  int w = 0;
  const std::vector<Uint32> shown = Shown(platform_->window(), w);
  const std::pair<int, Uint32> columns[] = {{0, 0}, {63, 0}, {64, 0xFFFFFF}, {191, 0xFFFFFF}, {192, 0}};
  for (const auto& [x, want] : columns) EXPECT_EQ(shown[48 * w + x], want) << x;

  Mouse(SDL_MOUSEMOTION, 64 + 127, 95);
  Mouse(SDL_MOUSEBUTTONDOWN, 64 + 20, 31, SDL_BUTTON_RIGHT);
  Mouse(SDL_MOUSEBUTTONUP, 10, 31, SDL_BUTTON_RIGHT);  // released over the left bar
  Mouse(SDL_MOUSEBUTTONUP, 10, 31, SDL_BUTTON_X1);     // no use for the side buttons
  SDL_Event e{SDL_MOUSEWHEEL};
  e.wheel.y = -2;
  e.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;  // natural scrolling: really two steps away
  e.wheel.mouseX = 64;
  Push(e);
  e.wheel.y = 0, e.wheel.x = 3;  // sideways only
  Push(e);
  EXPECT_EQ(Log(), "move:63,47 press:10,15/1 release:-27,15/1 wheel:0,0/2");
}

TEST_F(SdlPlatformTest, KeysModifiersAndTheLoneAlt) {
  const Uint32 D = SDL_KEYDOWN, U = SDL_KEYUP;
  // Numpad 4 with Num Lock, Down with Shift, then Caps Lock, of no use: dropped.
  Keys({{D, SDLK_KP_4, KMOD_NUM}, {U, SDLK_KP_4, KMOD_NUM}, {D, SDLK_DOWN, KMOD_LSHIFT}, {D, SDLK_CAPSLOCK}});
  // Alt and Enter together: a shortcut with Alt, no lone Alt afterwards.
  Keys({{D, SDLK_LALT, KMOD_LALT}, {D, SDLK_RETURN, KMOD_LALT}, {U, SDLK_RETURN, KMOD_LALT}, {U, SDLK_LALT}});
  // Alt alone, held long enough to repeat.
  Keys({{D, SDLK_RALT, KMOD_RALT}, {D, SDLK_RALT, KMOD_RALT, true}, {U, SDLK_RALT}});
  // Numpad4 = 100, Down = 40, Return = 13, Alt = 18; Shift = 1, Alt = 4. The
  // Alt used as a modifier comes up; the lone Alt goes down (with Alt) and up.
  EXPECT_EQ(Log(), "down:100/0 up:100 down:40/1 down:13/4 up:13 up:18 down:18/4 up:18");
  // A click or losing the focus (Alt+Tab away) spoils the lone Alt.
  Key(D, SDLK_LALT, KMOD_LALT);
  Mouse(SDL_MOUSEBUTTONDOWN, 0, 0);
  Key(U, SDLK_LALT);
  Key(D, SDLK_LALT, KMOD_LALT);
  Window(SDL_WINDOWEVENT_FOCUS_LOST);
  Key(U, SDLK_LALT);
  EXPECT_EQ(Log(), "press:0,0/0 up:18 inactive up:18");
}

TEST_F(SdlPlatformTest, WindowStateAndCloseEvents) {
  for (Uint8 what : {SDL_WINDOWEVENT_FOCUS_GAINED, SDL_WINDOWEVENT_FOCUS_LOST, SDL_WINDOWEVENT_MINIMIZED,
                     SDL_WINDOWEVENT_RESTORED, SDL_WINDOWEVENT_EXPOSED, SDL_WINDOWEVENT_CLOSE})
    Window(what);
  // The close box: one request, though SDL may follow it with a quit; a
  // quit of its own (a signal, the session ending) asks as well.
  for (int i = 0; i < 2; ++i) Push(SDL_Event{SDL_QUIT});
  Window(SDL_WINDOWEVENT_CLOSE, 100);  // another window's
  EXPECT_EQ(Log(), "active inactive minimize restore expose close close");
  // A close posted by the program, also while waiting.
  platform_->PostCloseRequest();
  platform_->WaitEvent();
  EXPECT_EQ(Log(), "close");
}

TEST_F(SdlPlatformTest, FullScreenSwitchesBothWays) {
  ASSERT_TRUE(platform_->SetFullScreen(true)) << platform_->lastError();
  EXPECT_TRUE(platform_->IsFullScreen() && platform_->SetFullScreen(true));  // already there
  EXPECT_TRUE(platform_->SetFullScreen(false) && !platform_->IsFullScreen());
  platform_->DestroyMainWindow();
  EXPECT_FALSE(platform_->SetFullScreen(true) || platform_->IsFullScreen());
}

TEST_F(SdlPlatformTest, VirtualJoystickIsReadScaled) {
  ASSERT_EQ(SDL_NumJoysticks(), 0) << "a real pad is plugged in";
  const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 10, 0);
  ASSERT_GE(index, 0) << SDL_GetError();
  JoystickState s;
  EXPECT_TRUE(platform_->ReadJoystick(s) && s.x == 32768u && s.buttons == 0u);
  SDL_Joystick* handle = SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(index));
  ASSERT_NE(handle, nullptr);
  SDL_JoystickSetVirtualAxis(handle, 0, -32768);
  SDL_JoystickSetVirtualAxis(handle, 1, 32767);
  for (int button : {0, 7, 8}) SDL_JoystickSetVirtualButton(handle, button, SDL_PRESSED);  // a ninth has no bit
  EXPECT_TRUE(platform_->ReadJoystick(s));
  EXPECT_EQ((std::vector<u32>{s.x, s.y, s.buttons}), (std::vector<u32>{0, 65535, 0x81}));
  ASSERT_EQ(SDL_JoystickDetachVirtual(index), 0);
  Log();
  EXPECT_FALSE(platform_->ReadJoystick(s)) << "unplugged: nothing to read";
}

// The question is drawn in the window; the key that answers it is the
// question's alone, while other events still reach the game.
TEST_F(SdlPlatformTest, QuestionIsAnsweredFromTheKeyboardInTheWindow) {
  const std::pair<SDL_Keycode, bool> cases[] = {
      {SDLK_RETURN, true}, {SDLK_KP_ENTER, true}, {SDLK_y, true}, {SDLK_ESCAPE, false}, {SDLK_n, false}};
  const std::vector<u8> before = LastFrame().bgr;
  for (const auto& [key, yes] : cases) {
    SCOPED_TRACE(SDL_GetKeyName(key));
    Window(SDL_WINDOWEVENT_FOCUS_LOST);
    Key(SDL_KEYDOWN, SDLK_a);  // not an answer: the question stays
    Key(SDL_KEYDOWN, key);
    EXPECT_EQ(platform_->AskYesNo("结束游戏？", "游戏"), yes);
    EXPECT_EQ(Log(), "inactive") << "only the focus change reaches the game";
  }
  EXPECT_EQ(LastFrame().bgr, before) << "the question is drawn over the frame, not into it";
}

// A signal to end the program, waiting while the question is up, is a Yes
// nobody has to give. Without a window nothing can be drawn, and here no
// desktop box either: the game must not end on an answer nobody gave.
TEST_F(SdlPlatformTest, QuestionIsYesOnAPendingEndSignalAndNoWhenItCannotBeShown) {
  CloseSignals signals;
  ASSERT_TRUE(signals.active());
  raise(SIGTERM);
  EXPECT_TRUE(platform_->AskYesNo("结束游戏？", "游戏"));
  EXPECT_TRUE(signals.Take()) << "left for the engine's pump to take";
  platform_->DestroyMainWindow();
  EXPECT_FALSE(platform_->AskYesNo("结束游戏？", "游戏"));
  EXPECT_FALSE(platform_->lastError().empty());
}

// The same frame again is not presented; a changed one, a repaint of an
// exposed window and a frame of another size are.
TEST_F(SdlPlatformTest, IdenticalFramesAreNotPresentedAgain) {
  // Presents a frame 48 rows high; gives the count of frames shown.
  const auto show = [&](const std::vector<u8>& f, int width, bool unchanged = false) {
    unchanged ? platform_->PresentUnchanged(f.data(), width, 48, width * 3)
              : platform_->Present(f.data(), width, 48, width * 3);
    return platform_->framesShown();
  };
  std::vector<u8> frame(64 * 48 * 3, 40), wider(65 * 48 * 3, 41);
  const u64 first = show(frame, 64);
  EXPECT_EQ(show(frame, 64), first);
  EXPECT_EQ(show(frame, 64, true), first);
  frame[5] = 41;
  EXPECT_EQ(show(frame, 64), first + 1);
  Window(SDL_WINDOWEVENT_EXPOSED);
  EXPECT_EQ(Log(), "expose");
  EXPECT_EQ(show(frame, 64, true), first + 2) << "an exposed window gets its picture back";
  EXPECT_EQ(show(wider, 65), first + 3);
  const Frame shown = LastFrame();
  EXPECT_EQ(shown.w, 65);
  EXPECT_EQ(shown.bgr, wider);
}

TEST_F(SdlPlatformTest, SoundDevicePullsFromItsSource) {
  AudioOutput* out = platform_->audio();
  ASSERT_NE(out, nullptr);
  std::atomic<size_t> frames{0};
  ASSERT_TRUE(
      out->Open([&](i16* samples, size_t n) { std::fill_n(samples, n * kAudioChannels, i16{0}), frames += n; }));
  for (int i = 0; i < 500 && frames.load() == 0; ++i) SDL_Delay(10);
  out->Close();
  EXPECT_GT(frames.load(), 0u);
}

// A movie picture of another size covers the whole game area; the next
// game frame replaces it.
TEST_F(SdlPlatformTest, VideoPictureCoversTheGameScreenUntilTheNextFrame) {
  // 32 × 16 of pure red in limited-range BT.601: Y 81, U 90, V 240.
  std::vector<u8> y(32 * 16, 81), u(16 * 8, 90), v(16 * 8, 240);
  VideoPicture picture;
  picture.width = 32, picture.height = 16;
  picture.planes[0] = y.data(), picture.planes[1] = u.data(), picture.planes[2] = v.data();
  picture.pitches[0] = 32, picture.pitches[1] = picture.pitches[2] = 16;
  ASSERT_TRUE(platform_->PresentVideo(picture));
  int w = 0;
  std::vector<Uint32> shown = Shown(platform_->window(), w);
  for (const auto& [x, yy] : {std::pair{0, 0}, {63, 47}, {32, 24}}) {
    const Uint32 px = shown[yy * w + x];
    EXPECT_GE(px >> 16, 240u) << "red at " << x << "," << yy << " of " << std::hex << px;
    EXPECT_LE(px & 0xFFFF, 0x1010u) << "green and blue at " << x << "," << yy << " of " << std::hex << px;
  }
  const std::vector<u8> black(64 * 48 * 3, 0);
  platform_->Present(black.data(), 64, 48, 64 * 3);
  shown = Shown(platform_->window(), w);
  EXPECT_EQ(shown[24 * w + 32], 0u);
}

}  // namespace
}  // namespace lyraban::platform
