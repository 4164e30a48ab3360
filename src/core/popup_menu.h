#pragma once
#include <array>
#include <functional>
#include <string_view>
#include <vector>

#include "base/trace.h"
#include "base/types.h"
#include "core/input.h"
#include "platform/platform.h"

namespace lyraban {

// One row of the popup menu: a command with its text (UTF-8, "&" before the
// keyboard letter, the shortcut after a tab), or a separator (command 0).
struct PopupMenuEntry {
  u8 command = 0;
  std::string_view text;
};

inline constexpr size_t kPopupMenuEntries = 17;

// The menu's rows, top to bottom. Item identifiers are command codes, so a
// choice is simply the next pending command.
const std::array<PopupMenuEntry, kPopupMenuEntries>& PopupMenuTable();

// The rows as the platform shows them: the window-mode item that matches the
// current mode carries the check mark, the other none.
std::vector<platform::PopupItem> BuildPopupMenuItems(bool fullScreen);

// The right-click menu. While it is open the main window counts as disabled,
// which keeps the idle cursor from hiding.
class PopupMenu {
 public:
  PopupMenu(platform::Platform& platform, InputState& input, Trace& trace)
      : platform_(platform), input_(input), trace_(trace) {}

  // Opens the menu at the last mouse position and waits for the player. A
  // chosen item becomes the pending command; dismissing leaves the pending
  // slot as it was. `idle` runs now and then while the menu is open (the
  // engine's timer). True when an item was chosen.
  bool ShowPopupMenu(const std::function<void()>& idle = {});

  bool windowDisabled() const { return disabled_; }

 private:
  platform::Platform& platform_;
  InputState& input_;
  Trace& trace_;
  bool disabled_ = false;
};

// What the boss key needs from the engine.
class BossKeyHost {
 public:
  virtual ~BossKeyHost() = default;
  // One blocking turn of the message pump: waits for the next event and
  // handles it. False once the program is quitting.
  virtual bool PumpMessagesBlocking() = 0;
  // Rebuilds the window caption from the game title, chapter and play time.
  virtual void UpdateCaption() = 0;
  // Writes the quick save into slot 0 under the quick-save title; false when
  // it could not be written.
  virtual bool QuickSave() = 0;
  // The next close request ends the program without the quit question.
  virtual void SetSkipQuitQuestion() = 0;
  virtual void PostCloseRequest() = 0;
};

// The three ways the boss key makes the game disappear, chosen by the
// BossKeyAction setting.
enum class BossKeyAction : u8 { Hide = 0, Disguise = 1, QuickSaveAndQuit = 2 };

class BossKey {
 public:
  // The caption of the disguise.
  static constexpr std::string_view kDisguiseCaption = "無題 - メモ帳";

  BossKey(platform::Platform& platform, BossKeyHost& host) : platform_(platform), host_(host) {}

  // Runs the action and returns once the game is back (or quitting). Unknown
  // actions do nothing. Always true.
  bool RunBossKey(u8 action);

  // True while an action waits for the player to bring the game back.
  bool active() const { return active_; }

 private:
  void HideUntilRestored();
  void DisguiseUntilRestored();
  void QuickSaveAndQuit();

  platform::Platform& platform_;
  BossKeyHost& host_;
  bool active_ = false;
};

}  // namespace lyraban
