#include <functional>
#include <tuple>
#include <vector>

#include "platform/sdl/sdl_popup.h"
#include "sdl_fixture.h"

namespace lyraban::platform {
namespace {

// The fourth item is checked, the last one disabled.
std::vector<PopupItem> Items() {
  return {{17, "快速存档(&Q)\tINS"},
          {0, "", true},
          {21, "读取(&O)\tEND"},
          {27, "窗口模式(&W)", false, true},
          {25, "结束(&X)\tAlt+F4", false, false, false}};
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
      {"End&", "End", "", 0},         // a mark with nothing after it
      {"&1 &Two", "1 Two", "", '1'},  // the first mark counts
      {"&(x)\t", "(x)", "", 0},       // not a letter: shown, no key
      {"", "", "", 0},
  };
  for (const auto& c : cases) {
    const PopupLabel l = SplitPopupLabel(c.label);
    EXPECT_EQ(std::tie(l.text, l.shortcut, l.mnemonic),
              std::tuple(std::string(c.text), std::string(c.shortcut), c.mnemonic));
  }
}

TEST(PopupLabel, KeyboardLetterFindsEnabledItemsOnly) {
  const auto items = Items();
  const std::pair<char, int> cases[] = {{'o', 2}, {'O', 2}, {'w', 3}, {'x', -1} /* disabled */, {'z', -1}, {0, -1}};
  for (const auto& [key, index] : cases) EXPECT_EQ(FindPopupMnemonic(items, key), index) << key;
}

TEST(WindowIcons, EditorPageAndGameIconDiffer) {
  const auto editor = DrawWindowIcon(WindowIcon::TextEditor, 32);
  ASSERT_EQ(editor.size(), 32u * 32u);
  EXPECT_NE(editor, DrawWindowIcon(WindowIcon::Main, 32));
  // Paper shows between the text lines, and the corners stay transparent.
  EXPECT_EQ(std::pair(editor[20 * 32 + 26], editor[0] >> 24), std::pair(0xFFFFFFFFu, 0u));
  EXPECT_TRUE(DrawWindowIcon(WindowIcon::Main, 0).empty());
}

// ---- The menu on SDL's dummy display ------------------------------------------

class SdlPopupTest : public SdlTest {
 protected:
  SdlPopupTest() : SdlTest(640, 480) {}
  void SetUp() override {
    SdlTest::SetUp();
    platform_->ShowMainWindow();
    Log();
  }
  // Runs the menu; `act` is called once, after a few frames were drawn, and
  // the menu is closed with Escape should it still be open at `escapeAtFrame`.
  i32 RunWith(const std::function<void()>& act, int escapeAtFrame = 40) {
    return platform_->RunPopupMenu(Items(), 100, 60, Script(frames_, act, escapeAtFrame));
  }
  int frames_ = 0;
};

// {what happens at frame 3, frame of the Escape, item chosen, frames drawn}:
// a click takes a few frames to arrive, a key or the window going none.
TEST_F(SdlPopupTest, KeysClicksAndTheWindowEndTheMenu) {
  const struct {
    std::function<void()> act;
    int escapeAt, chosen, minFrames, maxFrames;
  } cases[] = {
      {[this] { Key(SDL_KEYDOWN, SDLK_ESCAPE); }, 40, 0, 3, 3},
      {[this] { Key(SDL_KEYDOWN, SDLK_o); }, 40, 21, 3, 3},
      {[this] { Key(SDL_KEYDOWN, SDLK_x); }, 8, 0, 8, 8},  // disabled: stays open
      // The menu opens at the point: its first row lies just below and right.
      {[this] { Click(100 + 30, 60 + 14); }, 40, 17, 3, 10},
      {[this] { Click(600, 450); }, 40, 0, 3, 10},
      {[this] { Window(SDL_WINDOWEVENT_CLOSE); }, 40, 0, 3, 3},
      {[this] { platform_->DestroyMainWindow(); }, 40, 0, 3, 3},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(RunWith(cases[i].act, cases[i].escapeAt), cases[i].chosen) << i;
    EXPECT_TRUE(frames_ >= cases[i].minFrames && frames_ <= cases[i].maxFrames) << i << ": " << frames_;
  }
  // The close box still reaches the game; no menu opens without a window.
  EXPECT_EQ(Log(), "close");
  int idle = 0;
  EXPECT_EQ(platform_->RunPopupMenu(Items(), 10, 10, [&] { ++idle; }), 0);
  EXPECT_EQ(idle, 0);
}

// ---- Boss key operations ----------------------------------------------------

TEST_F(SdlPopupTest, MinimisingCountsUntilTheWindowComesBack) {
  // The dummy display never minimises; the request alone counts until the
  // window is restored or a key typed into it shows it never was.
  for (bool byKey : {false, true}) {
    platform_->MinimizeMainWindow();
    EXPECT_TRUE(platform_->IsMinimized());
    platform_->SetWindowIcon(WindowIcon::TextEditor);
    byKey ? Key(SDL_KEYDOWN, SDLK_a) : Window(SDL_WINDOWEVENT_RESTORED);
    Log();
    EXPECT_FALSE(platform_->IsMinimized()) << byKey;
  }
}

}  // namespace
}  // namespace lyraban::platform
