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

TEST(PopupMenuTable, RowsCarryTheirCommandsTextsAndOneLetterEach) {
  // Identifier 0 stands for a separator.
  const std::vector<std::pair<int, std::string>> expected = {{17, "快速存档(&Q)\tINS"},
                                                             {0, ""},
                                                             {16, "自动对话模式(&A)\tShift + ↓"},
                                                             {15, "跳跃模式(&J)\tShift + →"},
                                                             {0, ""},
                                                             {12, "消除对话框(&H)\tTAB"},
                                                             {14, "对话记录(&L)\tBS"},
                                                             {0, ""},
                                                             {20, "存档(&S)\tHOME"},
                                                             {21, "读取(&O)\tEND"},
                                                             {22, "设置(&C)\tESC"},
                                                             {0, ""},
                                                             {28, "全屏模式(&F)"},
                                                             {27, "窗口模式(&W)"},
                                                             {0, ""},
                                                             {19, "回到主画面(&T)\tShift + HOME"},
                                                             {25, "结束(&X)\tAlt+F4"}};
  const auto items = BuildPopupMenuItems(false);
  ASSERT_EQ(items.size(), expected.size());
  std::set<char> letters;
  for (size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(items[i].separator ? 0 : items[i].id, expected[i].first);
    EXPECT_EQ(items[i].text, expected[i].second);
    if (items[i].separator) continue;
    // Each item has exactly one keyboard letter, and no two share one.
    const size_t amp = items[i].text.find('&');
    ASSERT_NE(amp, std::string::npos);
    EXPECT_EQ(items[i].text.find('&', amp + 1), std::string::npos);
    EXPECT_TRUE(letters.insert(items[i].text[amp + 1]).second);
  }
}

TEST(PopupMenuTable, CheckMarkFollowsTheWindowMode) {
  for (bool fullScreen : {false, true}) {
    std::vector<int> checked;
    for (const PopupItem& item : BuildPopupMenuItems(fullScreen))
      if (item.checked) checked.push_back(item.id);
    ASSERT_EQ(checked.size(), 1u) << "full screen " << fullScreen;
    EXPECT_EQ(checked[0], fullScreen ? cmd::FullScreenMode : cmd::WindowMode);
  }
}

// ---- Showing the menu -----------------------------------------------------

class PopupMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetUserSettings(settings_);
    ASSERT_TRUE(platform_.CreateMainWindow(640, 480));
    platform_.ShowMainWindow();
    trace_.SetSink([this](std::string_view m) { traced_.emplace_back(m); });
  }

  UserSettings settings_{};
  HeadlessPlatform platform_;
  InputState input_{settings_};
  Trace trace_;
  std::vector<std::string> traced_;
  PopupMenu menu_{platform_, input_, trace_};
};

TEST_F(PopupMenuTest, ChosenItemBecomesThePendingCommand) {
  input_.SetMouse(123, 45, false);
  platform_.QueueMenuAnswer(cmd::LoadScreen);
  EXPECT_TRUE(menu_.ShowPopupMenu());
  EXPECT_EQ(input_.pending(), cmd::LoadScreen);
  EXPECT_EQ(platform_.menusShown(), 1u);
  EXPECT_EQ(platform_.lastMenuX(), 123);
  EXPECT_EQ(platform_.lastMenuY(), 45);
  EXPECT_EQ(platform_.lastMenuItems().size(), kPopupMenuEntries);
}

TEST_F(PopupMenuTest, DismissingProducesNothing) {
  EXPECT_FALSE(menu_.ShowPopupMenu());
  EXPECT_EQ(input_.pending(), 0);
  // An answer that names no item of the menu is dropped with a diagnostic.
  platform_.QueueMenuAnswer(99);
  EXPECT_FALSE(menu_.ShowPopupMenu());
  EXPECT_EQ(input_.pending(), 0);
  ASSERT_EQ(traced_.size(), 1u);
  EXPECT_NE(traced_[0].find("99"), std::string::npos);
  // A separator has no identifier to choose.
  platform_.QueueMenuAnswer(0);
  EXPECT_FALSE(menu_.ShowPopupMenu());
  EXPECT_EQ(input_.pending(), 0);
}

TEST_F(PopupMenuTest, FullScreenGameShowsTheFullScreenCheck) {
  platform_.SetFullScreen(true);
  menu_.ShowPopupMenu();
  for (const PopupItem& item : platform_.lastMenuItems()) {
    if (item.id == cmd::FullScreenMode || item.id == cmd::WindowMode) {
      EXPECT_EQ(item.checked, item.id == cmd::FullScreenMode) << item.text;
    }
  }
}

TEST_F(PopupMenuTest, WindowCountsAsDisabledOnlyWhileTheMenuIsOpen) {
  int idleCalls = 0;
  bool disabledInside = false;
  EXPECT_FALSE(menu_.windowDisabled());
  menu_.ShowPopupMenu([&] {
    ++idleCalls;
    disabledInside = menu_.windowDisabled();
    // A timer that asks for the menu again while it is open gets nothing.
    EXPECT_FALSE(menu_.ShowPopupMenu());
  });
  EXPECT_EQ(idleCalls, 1);
  EXPECT_TRUE(disabledInside);
  EXPECT_FALSE(menu_.windowDisabled());
  EXPECT_EQ(platform_.menusShown(), 1u);
}

TEST_F(PopupMenuTest, ScriptedAnswerWaitsForItsTimeAndForAMenu) {
  std::string error;
  ASSERT_TRUE(platform::ScheduleInputScript(platform_, "500 menu 25\n600 menu 0\n", error)) << error;
  EXPECT_FALSE(menu_.ShowPopupMenu());  // before 500 ms nobody answers
  platform_.clock().Sleep(700);
  EXPECT_TRUE(menu_.ShowPopupMenu());
  EXPECT_EQ(input_.pending(), cmd::Exit);
  input_.ClearPending();
  EXPECT_FALSE(menu_.ShowPopupMenu());  // the second answer dismisses
  EXPECT_EQ(input_.pending(), 0);
}

TEST(PopupMenuScript, MenuLinesNeedOneByteNumber) {
  for (const char* bad : {"10 menu\n", "10 menu x\n", "10 menu 256\n", "10 menu -1\n", "10 menu 3 4\n"}) {
    HeadlessPlatform p;
    std::string error;
    EXPECT_FALSE(platform::ScheduleInputScript(p, bad, error)) << bad;
    EXPECT_NE(error.find("line 1"), std::string::npos) << error;
  }
}

// ---- The boss key ---------------------------------------------------------

// The engine's side of the boss key in miniature: a blocking pump that turns
// a close request into quitting, and a record of what was asked.
class FakeHost final : public BossKeyHost {
 public:
  explicit FakeHost(HeadlessPlatform& p) : p_(p) {}

  bool PumpMessagesBlocking() override {
    if (quit || ++pumps > kMaxPumps) return false;
    captionsSeen.push_back(p_.caption());
    minimizedSeen.push_back(p_.IsMinimized());
    p_.WaitEvent();
    platform::Event e;
    while (p_.PollEvent(e))
      if (e.kind == EventKind::CloseRequest) quit = true;
    return !quit;
  }
  void UpdateCaption() override {
    ++captionUpdates;
    p_.SetCaption("Game");
  }
  bool QuickSave() override {
    calls += "save;";
    return saveWorks;
  }
  void SetSkipQuitQuestion() override { calls += "skip;"; }
  void PostCloseRequest() override {
    calls += "close;";
    p_.PostCloseRequest();
  }

  static constexpr int kMaxPumps = 100000;
  HeadlessPlatform& p_;
  bool quit = false, saveWorks = true;
  int pumps = 0, captionUpdates = 0;
  std::string calls;
  std::vector<std::string> captionsSeen;
  std::vector<bool> minimizedSeen;
};

class BossKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform_.CreateMainWindow(640, 480));
    platform_.ShowMainWindow();
    platform_.SetCaption("Game");
  }
  void ScheduleAt(u32 ms, EventKind kind) {
    platform::Event e;
    e.kind = kind;
    platform_.Schedule(ms, e);
  }

  HeadlessPlatform platform_;
  FakeHost host_{platform_};
  BossKey boss_{platform_, host_};
};

TEST_F(BossKeyTest, HiddenWindowWaitsForThePlayerToBringItBack) {
  ScheduleAt(5000, EventKind::Restore);
  EXPECT_TRUE(boss_.RunBossKey(0));
  // Gone to the task bar until the player brings it back; the caption stays.
  EXPECT_FALSE(platform_.IsMinimized());
  EXPECT_GE(platform_.clock().Now(), 5000u);
  ASSERT_FALSE(host_.minimizedSeen.empty());
  for (bool minimized : host_.minimizedSeen) EXPECT_TRUE(minimized);
  EXPECT_FALSE(host_.quit);
  EXPECT_EQ(host_.captionUpdates, 0);
  EXPECT_FALSE(boss_.active());
}

TEST_F(BossKeyTest, QuittingWhileHiddenReturnsAtOnce) {
  ScheduleAt(3000, EventKind::CloseRequest);
  ScheduleAt(9000, EventKind::Restore);
  EXPECT_TRUE(boss_.RunBossKey(0));
  EXPECT_TRUE(host_.quit);
  EXPECT_LT(platform_.clock().Now(), 9000u);
  EXPECT_TRUE(platform_.IsMinimized());
}

TEST_F(BossKeyTest, DisguiseHoldsWhileMinimisedAndIsUndoneAfter) {
  ScheduleAt(4000, EventKind::Restore);
  EXPECT_TRUE(boss_.RunBossKey(1));
  ASSERT_FALSE(host_.captionsSeen.empty());
  for (const std::string& caption : host_.captionsSeen) EXPECT_EQ(caption, "無題 - メモ帳");
  EXPECT_FALSE(platform_.IsMinimized());
  EXPECT_EQ(host_.captionUpdates, 1);
  EXPECT_EQ(platform_.caption(), "Game");
  EXPECT_EQ(platform_.windowIcon(), WindowIcon::Main);
}

TEST_F(BossKeyTest, QuittingDuringTheDisguiseLeavesItAsItIs) {
  ScheduleAt(2000, EventKind::CloseRequest);
  EXPECT_TRUE(boss_.RunBossKey(1));
  EXPECT_TRUE(host_.quit);
  EXPECT_EQ(host_.captionUpdates, 0);
  EXPECT_EQ(platform_.caption(), "無題 - メモ帳");
  EXPECT_EQ(platform_.windowIcon(), WindowIcon::TextEditor);
}

TEST_F(BossKeyTest, QuickSaveAndQuitClosesWithoutWaiting) {
  host_.saveWorks = false;  // the close follows even when the save failed
  EXPECT_TRUE(boss_.RunBossKey(2));
  EXPECT_EQ(host_.calls, "save;skip;close;");
  EXPECT_EQ(host_.pumps, 0);
  platform::Event e;
  ASSERT_TRUE(platform_.PollEvent(e));
  EXPECT_EQ(e.kind, EventKind::CloseRequest);
}

TEST_F(BossKeyTest, OtherActionsAndAMissingWindowDoNothing) {
  EXPECT_TRUE(boss_.RunBossKey(3));
  EXPECT_TRUE(boss_.RunBossKey(255));
  EXPECT_EQ(host_.pumps, 0);
  EXPECT_TRUE(host_.calls.empty());
  EXPECT_FALSE(platform_.IsMinimized());

  platform_.DestroyMainWindow();
  EXPECT_TRUE(boss_.RunBossKey(0));
  EXPECT_EQ(host_.pumps, 0);
}

}  // namespace
}  // namespace lyraban
