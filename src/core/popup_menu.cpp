#include "core/popup_menu.h"

namespace lyraban {

const std::array<PopupMenuEntry, kPopupMenuEntries>& PopupMenuTable() {
  static constexpr std::array<PopupMenuEntry, kPopupMenuEntries> kTable{{
      {cmd::QuickSave, "快速存档(&Q)\tINS"},
      {},
      {cmd::AutoMode, "自动对话模式(&A)\tShift + ↓"},
      {cmd::SkipMode, "跳跃模式(&J)\tShift + →"},
      {},
      {cmd::HideWindow, "消除对话框(&H)\tTAB"},
      {cmd::Backlog, "对话记录(&L)\tBS"},
      {},
      {cmd::SaveScreen, "存档(&S)\tHOME"},
      {cmd::LoadScreen, "读取(&O)\tEND"},
      {cmd::ConfigDialog, "设置(&C)\tESC"},
      {},
      {cmd::FullScreenMode, "全屏模式(&F)"},
      {cmd::WindowMode, "窗口模式(&W)"},
      {},
      {cmd::ReturnToTitle, "回到主画面(&T)\tShift + HOME"},
      {cmd::Exit, "结束(&X)\tAlt+F4"},
  }};
  return kTable;
}

std::vector<platform::PopupItem> BuildPopupMenuItems(bool fullScreen) {
  std::vector<platform::PopupItem> items;
  items.reserve(kPopupMenuEntries);
  for (const PopupMenuEntry& entry : PopupMenuTable()) {
    platform::PopupItem item;
    if (entry.command == 0) {
      item.separator = true;
    } else {
      item.id = entry.command;
      item.text = std::string(entry.text);
      item.checked =
          (entry.command == cmd::WindowMode && !fullScreen) || (entry.command == cmd::FullScreenMode && fullScreen);
    }
    items.push_back(std::move(item));
  }
  return items;
}

bool PopupMenu::ShowPopupMenu(const std::function<void()>& idle) {
  // Opening it again from inside (a timer reaching here) would nest menus.
  if (disabled_) return false;
  const auto items = BuildPopupMenuItems(platform_.IsFullScreen());
  disabled_ = true;
  const i32 chosen = platform_.RunPopupMenu(items, input_.mouseX(), input_.mouseY(), idle);
  disabled_ = false;
  if (chosen == 0) return false;
  for (const platform::PopupItem& item : items) {
    if (!item.separator && item.enabled && item.id == chosen) {
      input_.SetPending(static_cast<u8>(chosen));
      return true;
    }
  }
  trace_.DebugTrace("ポップアップメニューに項目 %d はありません", static_cast<int>(chosen));
  return false;
}

bool BossKey::RunBossKey(u8 action) {
  if (active_) return true;
  active_ = true;
  switch (static_cast<BossKeyAction>(action)) {
    case BossKeyAction::Hide:
      HideUntilRestored();
      break;
    case BossKeyAction::Disguise:
      DisguiseUntilRestored();
      break;
    case BossKeyAction::QuickSaveAndQuit:
      QuickSaveAndQuit();
      break;
    default:
      break;
  }
  active_ = false;
  return true;
}

void BossKey::HideUntilRestored() {
  // There is no notification area to sit in: the window goes to the task
  // bar and comes back when the player activates it there. Nothing of the
  // game runs meanwhile.
  if (!platform_.HasMainWindow()) return;
  platform_.MinimizeMainWindow();
  while (platform_.IsMinimized()) {
    if (!host_.PumpMessagesBlocking()) return;
  }
}

void BossKey::DisguiseUntilRestored() {
  platform_.MinimizeMainWindow();
  platform_.SetCaption(kDisguiseCaption);
  platform_.SetWindowIcon(platform::WindowIcon::TextEditor);
  // The caption is not rebuilt while minimised, so the disguise holds until
  // the player restores the window.
  while (platform_.IsMinimized()) {
    if (!host_.PumpMessagesBlocking()) return;
  }
  host_.UpdateCaption();
  platform_.SetWindowIcon(platform::WindowIcon::Main);
}

void BossKey::QuickSaveAndQuit() {
  // A failed save still quits: the player asked for the game to vanish.
  host_.QuickSave();
  host_.SetSkipQuitQuestion();
  host_.PostCloseRequest();
}

}  // namespace lyraban
