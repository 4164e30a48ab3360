#include "core/popup_menu.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "persist/user_settings.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/input_script.h"

namespace lyraban {
namespace {

using platform::EventKind;
using platform::HeadlessPlatform;
using platform::PopupItem;
using platform::WindowIcon;

// ---- The item table -------------------------------------------------------

// The groups between separators: each item's command and text, and a check
// mark on the window mode in use.
TEST(PopupMenuTable, RowsCarryTheirCommandsTextsOneLetterEachAndTheWindowModesCheckMark) {
  for (bool fullScreen : {false, true}) {
    SCOPED_TRACE(fullScreen ? "full screen" : "window");
    const std::vector<std::string> expected = {
        "17 快速存档(&Q)\tINS",
        "16 自动对话模式(&A)\tShift + ↓, 15 跳跃模式(&J)\tShift + →",
        "12 消除对话框(&H)\tTAB, 14 对话记录(&L)\tBS",
        "20 存档(&S)\tHOME, 21 读取(&O)\tEND, 22 设置(&C)\tESC",
        fullScreen ? "28 全屏模式(&F) ✓, 27 窗口模式(&W)" : "28 全屏模式(&F), 27 窗口模式(&W) ✓",
        "19 回到主画面(&T)\tShift + HOME, 25 结束(&X)\tAlt+F4"};
    std::vector<std::string> groups(1);
    std::set<char> letters;
    for (const PopupItem& item : BuildPopupMenuItems(fullScreen)) {
      if (item.separator) {
        groups.emplace_back();
        continue;
      }
      groups.back() +=
          (groups.back().empty() ? "" : ", ") + std::to_string(item.id) + " " + item.text + (item.checked ? " ✓" : "");
      // Each item has exactly one keyboard letter, and no two share one.
      const size_t amp = item.text.find('&');
      ASSERT_NE(amp, std::string::npos) << item.text;
      EXPECT_EQ(item.text.find('&', amp + 1), std::string::npos) << item.text;
      EXPECT_TRUE(letters.insert(item.text[amp + 1]).second) << item.text;
    }
    EXPECT_EQ(groups, expected);
  }
}

// ---- Showing the menu -----------------------------------------------------

class PopupMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetUserSettings(settings_);
    ASSERT_TRUE(platform_.CreateMainWindow(640, 480));
    trace_.SetSink([this](std::string_view m) { traced_.emplace_back(m); });
  }
  UserSettings settings_{};
  HeadlessPlatform platform_;
  InputState input_{settings_};
  Trace trace_;
  std::vector<std::string> traced_;
  PopupMenu menu_{platform_, input_, trace_};
};

TEST_F(PopupMenuTest, ChosenItemBecomesThePendingCommandAnythingElseNothingAndScriptedAnswersWait) {
  input_.SetMouse(123, 45, false);
  platform_.SetFullScreen(true);
  platform_.QueueMenuAnswer(cmd::LoadScreen);
  EXPECT_TRUE(menu_.ShowPopupMenu());
  EXPECT_EQ(input_.pending(), cmd::LoadScreen);
  EXPECT_EQ(platform_.lastMenuX(), 123);
  EXPECT_EQ(platform_.lastMenuY(), 45);
  std::vector<int> checked;
  for (const PopupItem& item : platform_.lastMenuItems())
    if (item.checked) checked.push_back(item.id);
  EXPECT_EQ(checked, std::vector<int>{cmd::FullScreenMode}) << "the check mark does not follow the window";
  // Dismissed, a separator's 0, or an id of no item (traced): nothing.
  input_.ClearPending();
  for (int answer : {-1, 0, 99}) {
    if (answer >= 0) platform_.QueueMenuAnswer(answer);
    EXPECT_FALSE(menu_.ShowPopupMenu());
    EXPECT_EQ(input_.pending(), 0);
  }
  ASSERT_EQ(traced_.size(), 1u);
  EXPECT_NE(traced_[0].find("99"), std::string::npos);
  // Scripted answers wait for their time.
  std::string error;
  ASSERT_TRUE(platform::ScheduleInputScript(platform_, "500 menu 25\n600 menu 0\n", error)) << error;
  EXPECT_FALSE(menu_.ShowPopupMenu());  // before 500 ms nobody answers
  platform_.clock().Sleep(700);
  EXPECT_TRUE(menu_.ShowPopupMenu());
  EXPECT_EQ(input_.pending(), cmd::Exit);
}

TEST_F(PopupMenuTest, WindowCountsAsDisabledOnlyWhileTheMenuIsOpen) {
  bool disabledInside = false;
  EXPECT_FALSE(menu_.windowDisabled());
  menu_.ShowPopupMenu([&] {
    disabledInside = menu_.windowDisabled();
    EXPECT_FALSE(menu_.ShowPopupMenu());  // no second menu from inside
  });
  EXPECT_TRUE(disabledInside);
  EXPECT_FALSE(menu_.windowDisabled());
  EXPECT_EQ(platform_.menusShown(), 1u);
}

// ---- The boss key ---------------------------------------------------------

// The engine's side of the boss key in miniature: a blocking pump that turns
// a close request into quitting, and a record of what was asked.
struct FakeHost final : BossKeyHost {
  explicit FakeHost(HeadlessPlatform& p) : p_(p) {}
  bool PumpMessagesBlocking() override {
    if (quit || ++pumps > 100000) return false;
    captionsSeen.push_back(p_.caption());
    minimizedSeen.push_back(p_.IsMinimized());
    p_.WaitEvent();
    platform::Event e;
    while (p_.PollEvent(e)) quit = quit || e.kind == EventKind::CloseRequest;
    return !quit;
  }
  void UpdateCaption() override { ++captionUpdates, p_.SetCaption("Game"); }
  bool QuickSave() override { return calls += "save;", false; }  // the close follows a failed save too
  void SetSkipQuitQuestion() override { calls += "skip;"; }
  void PostCloseRequest() override { calls += "close;", p_.PostCloseRequest(); }

  HeadlessPlatform& p_;
  bool quit = false;
  int pumps = 0, captionUpdates = 0;
  std::string calls;
  std::vector<std::string> captionsSeen;
  std::vector<bool> minimizedSeen;
};

// A window captioned "Game" and its boss key.
struct BossRig {
  BossRig() {
    EXPECT_TRUE(p.CreateMainWindow(64, 48));
    p.SetCaption("Game");
  }
  HeadlessPlatform p;
  FakeHost host{p};
  BossKey boss{p, host};
};

TEST(BossKey, HideAndDisguiseLastUntilRestoredAndQuitAtOnce) {
  for (u8 action : {0, 1}) {
    for (bool quitFirst : {false, true}) {
      SCOPED_TRACE(std::to_string(action) + (quitFirst ? " quit" : " restore"));
      BossRig rig;
      auto& [p, host, boss] = rig;
      platform::Event e;
      e.kind = quitFirst ? EventKind::CloseRequest : EventKind::Restore;
      p.Schedule(4000, e);
      EXPECT_TRUE(boss.RunBossKey(action));
      EXPECT_GE(p.clock().Now(), 4000u);
      EXPECT_EQ(host.quit, quitFirst);
      ASSERT_FALSE(host.minimizedSeen.empty());
      for (bool minimized : host.minimizedSeen) EXPECT_TRUE(minimized);
      // The disguise holds while minimised and is undone only on restore.
      for (const std::string& caption : host.captionsSeen) EXPECT_EQ(caption, action == 1 ? "無題 - メモ帳" : "Game");
      EXPECT_EQ(host.captionUpdates, action == 1 && !quitFirst ? 1 : 0);
      EXPECT_EQ(p.windowIcon(), action == 1 && quitFirst ? WindowIcon::TextEditor : WindowIcon::Main);
      EXPECT_EQ(p.IsMinimized(), quitFirst);
    }
  }
}

TEST(BossKey, QuickSaveAndQuitClosesWithoutWaitingAndOtherActionsDoNothing) {
  BossRig rig;
  auto& [p, host, boss] = rig;
  EXPECT_TRUE(boss.RunBossKey(2));
  EXPECT_EQ(host.calls, "save;skip;close;");
  EXPECT_EQ(host.pumps, 0);
  platform::Event e;
  ASSERT_TRUE(p.PollEvent(e));
  EXPECT_EQ(e.kind, EventKind::CloseRequest);
  host.calls.clear();
  EXPECT_TRUE(boss.RunBossKey(3));
  EXPECT_TRUE(boss.RunBossKey(255));
  p.DestroyMainWindow();
  EXPECT_TRUE(boss.RunBossKey(0));  // no window: nothing to hide
  EXPECT_EQ(host.pumps, 0);
  EXPECT_TRUE(host.calls.empty());
}

}  // namespace
}  // namespace lyraban
