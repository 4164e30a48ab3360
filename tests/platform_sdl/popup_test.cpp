#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/sdl/sdl_platform.h"
#include "platform/sdl/sdl_popup.h"
#include "support/temp_dir.h"

namespace lyraban::platform {
namespace {

std::vector<PopupItem> Items() {
  std::vector<PopupItem> items(5);
  items[0] = {17, "快速存档(&Q)\tINS"};
  items[1].separator = true;
  items[2] = {21, "读取(&O)\tEND"};
  items[3] = {27, "窗口模式(&W)", false, true};
  items[4] = {25, "结束(&X)\tAlt+F4", false, false, false};  // disabled
  return items;
}

// ---- Labels and keyboard letters -------------------------------------------

TEST(PopupLabel, SplitsTextMarkAndShortcutAndOddMarksNeverBreakTheText) {
  const struct {
    const char *label, *text, *shortcut;
    char mnemonic;
  } cases[] = {
      {"快速存档(&Q)\tINS", "快速存档(Q)", "INS", 'q'},
      {"自动对话模式(&A)\tShift + ↓", "自动对话模式(A)", "Shift + ↓", 'a'},
      {"Save && Load", "Save & Load", "", 0},
      {"End&", "End", "", 0},          // a mark with nothing after it
      {"&1 &Two", "1 Two", "", '1'},   // the first mark counts
      {"&(x)\t", "(x)", "", 0},        // not a letter: shown, no key
      {"", "", "", 0},
  };
  for (const auto& c : cases) {
    const PopupLabel l = SplitPopupLabel(c.label);
    EXPECT_EQ(l.text, c.text) << c.label;
    EXPECT_EQ(l.shortcut, c.shortcut) << c.label;
    EXPECT_EQ(l.mnemonic, c.mnemonic) << c.label;
  }
}

TEST(PopupLabel, KeyboardLetterFindsEnabledItemsOnly) {
  const auto items = Items();
  const std::pair<char, int> cases[] = {{'o', 2}, {'O', 2}, {'w', 3}, {'x', -1} /* disabled */, {'z', -1}, {0, -1}};
  for (const auto& [key, index] : cases) EXPECT_EQ(FindPopupMnemonic(items, key), index) << key;
}

TEST(WindowIcons, EditorPageAndGameIconDiffer) {
  const auto editor = DrawWindowIcon(WindowIcon::TextEditor, 32);
  const auto game = DrawWindowIcon(WindowIcon::Main, 32);
  ASSERT_EQ(editor.size(), 32u * 32u);
  ASSERT_EQ(game.size(), 32u * 32u);
  EXPECT_NE(editor, game);
  // Paper shows between the text lines, and the corners stay transparent.
  EXPECT_EQ(editor[20 * 32 + 26], 0xFFFFFFFFu);
  EXPECT_EQ(editor[0] >> 24, 0u);
  EXPECT_TRUE(DrawWindowIcon(WindowIcon::Main, 0).empty());
}

// ---- The menu on SDL's dummy display ------------------------------------------

class SdlPopupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    // No real desktop may answer: the restore box must fail, not wait.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    platform_ = std::make_unique<SdlPlatform>(locks_.str());
    ASSERT_TRUE(platform_->CreateMainWindow(kWidth, kHeight)) << platform_->lastError();
    platform_->ShowMainWindow();
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
  Uint32 WindowId() { return SDL_GetWindowID(platform_->window()); }
  void PushKey(SDL_Keycode key, SDL_Scancode scancode) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = WindowId();
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = key;
    e.key.keysym.scancode = scancode;
    SDL_PushEvent(&e);
  }
  void PushClick(int x, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = WindowId();
    e.motion.x = x;
    e.motion.y = y;
    SDL_PushEvent(&e);
    for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
      SDL_Event b{};
      b.type = type;
      b.button.windowID = WindowId();
      b.button.button = SDL_BUTTON_LEFT;
      b.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
      b.button.x = x;
      b.button.y = y;
      SDL_PushEvent(&b);
    }
  }
  // Runs the menu; `act` is called once, after a few frames were drawn, and
  // the menu is closed with Escape should it still be open some frames on.
  i32 RunWith(std::function<void()> act, int escapeAtFrame = kLastFrame) {
    frames_ = 0;
    return platform_->RunPopupMenu(Items(), 100, 60, [&] {
      ++frames_;
      if (frames_ == 3) act();
      if (frames_ == escapeAtFrame) PushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
    });
  }

  static constexpr int kWidth = 640, kHeight = 480;
  static constexpr int kLastFrame = 40;
  testing::TempDir locks_;
  std::unique_ptr<SdlPlatform> platform_;
  int frames_ = 0;
};

TEST_F(SdlPopupTest, EscapeDismissesTheOpenMenu) {
  EXPECT_EQ(RunWith([&] { PushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE); }), 0);
  EXPECT_EQ(frames_, 3);  // drawn, and closed at the key
  // A second menu reuses what the first one built.
  EXPECT_EQ(RunWith([&] { PushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE); }), 0);
}

TEST_F(SdlPopupTest, KeyboardLetterChoosesItsItem) {
  EXPECT_EQ(RunWith([&] { PushKey(SDLK_o, SDL_SCANCODE_O); }), 21);
  // The disabled item's letter does nothing; the menu stays until Escape.
  EXPECT_EQ(RunWith([&] { PushKey(SDLK_x, SDL_SCANCODE_X); }, 8), 0);
  EXPECT_EQ(frames_, 8);
}

TEST_F(SdlPopupTest, ClickOnAnItemChoosesItAndElsewhereDismisses) {
  // The menu opens at the point: its first row lies just below and right.
  EXPECT_EQ(RunWith([&] { PushClick(100 + 30, 60 + 14); }), 17);
  EXPECT_LT(frames_, kLastFrame);
  EXPECT_EQ(RunWith([&] { PushClick(600, 450); }), 0);
  EXPECT_LT(frames_, kLastFrame);
}

TEST_F(SdlPopupTest, CloseBoxDismissesAndStillReachesTheGame) {
  const i32 chosen = RunWith([&] {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    e.window.windowID = WindowId();
    SDL_PushEvent(&e);
  });
  EXPECT_EQ(chosen, 0);
  bool closeSeen = false;
  for (const Event& e : Drain()) closeSeen |= e.kind == EventKind::CloseRequest;
  EXPECT_TRUE(closeSeen);
}

TEST_F(SdlPopupTest, WindowGoingWhileTheMenuIsOpenEndsIt) {
  EXPECT_EQ(RunWith([&] { platform_->DestroyMainWindow(); }), 0);
  EXPECT_EQ(frames_, 3);
  int idle = 0;  // and no menu opens without a window
  EXPECT_EQ(platform_->RunPopupMenu(Items(), 10, 10, [&] { ++idle; }), 0);
  EXPECT_EQ(idle, 0);
}

// ---- Boss key operations ----------------------------------------------------

TEST_F(SdlPopupTest, MinimisingCountsUntilTheWindowComesBack) {
  platform_->MinimizeMainWindow();
  // The dummy display never minimises; the request alone counts.
  EXPECT_TRUE(platform_->IsMinimized());
  platform_->SetWindowIcon(WindowIcon::TextEditor);
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_RESTORED;
  e.window.windowID = WindowId();
  SDL_PushEvent(&e);
  Drain();
  EXPECT_FALSE(platform_->IsMinimized());

  // A key typed into the window also shows it was never minimised.
  platform_->MinimizeMainWindow();
  PushKey(SDLK_a, SDL_SCANCODE_A);
  Drain();
  EXPECT_FALSE(platform_->IsMinimized());
}

TEST_F(SdlPopupTest, HiddenWindowComesBackMinimisedWhenNoBoxCanAsk) {
  EXPECT_TRUE(platform_->IsMainWindowVisible());
  platform_->HideMainWindow();
  EXPECT_FALSE(platform_->IsMainWindowVisible());
  EXPECT_EQ(platform_->RunPopupMenu(Items(), 10, 10, {}), 0);  // no menu on a hidden window
  platform_->WaitEvent();
  EXPECT_TRUE(platform_->IsMainWindowVisible());
  EXPECT_TRUE(platform_->IsMinimized());
  bool restoreSeen = false;
  for (const Event& ev : Drain()) restoreSeen |= ev.kind == EventKind::Restore;
  EXPECT_TRUE(restoreSeen);
}

}  // namespace
}  // namespace lyraban::platform
