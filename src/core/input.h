#pragma once
#include <array>
#include <string_view>

#include "base/types.h"
#include "platform/platform.h"

namespace lyraban {

struct UserSettings;

// Player input reduced to one number. 1…28 are commands, 30…55 raw codes
// that are translated through the player's assignments first.
namespace cmd {
inline constexpr u8 None = 0, Click = 1, Confirm = 2, Cancel = 3, Advance = 4, Left = 5, Right = 6, Up = 7, Down = 8,
                    PageUp = 9, PageDown = 10, PopupMenu = 11, HideWindow = 12, SimpleLog = 13, Backlog = 14,
                    SkipMode = 15, AutoMode = 16, QuickSave = 17, QuickLoad = 18, ReturnToTitle = 19, SaveScreen = 20,
                    LoadScreen = 21, ConfigDialog = 22, FlowChart = 23, BossKey = 24, Exit = 25, ToggleFullScreen = 26,
                    WindowMode = 27, FullScreenMode = 28;
inline constexpr u8 RawRightButton = 30, RawMiddleButton = 31, RawWheelUp = 32, RawWheelDown = 33, RawSpace = 34,
                    RawAltAlone = 35, RawF1 = 36, RawPadButton1 = 48;
}  // namespace cmd

// Display names of the commands (UTF-8; the engine converts them to the
// game's code page where they are shown).
std::string_view InputCommandName(int code);

enum class RunMode : u8 { Normal = 0, Skip = 1, Auto = 2, Hidden = 3, ForcedSkip = 4 };

// Input contexts choose the shortcut tables: reading text, a choice on
// screen, or a menu/screen of its own.
enum InputContext : u8 { ContextReading = 0, ContextChoice = 1, ContextMenu = 2 };

// The pending-command slot, the run mode and the translation rules. Pure
// logic: events come in, commands come out; the pump that feeds it lives in
// the engine.
class InputState {
 public:
  explicit InputState(const UserSettings& settings) : settings_(settings) {}

  u8 pending() const { return pending_; }
  i32 pendingButton() const { return pendingButton_; }
  void SetPending(u8 code, i32 button = -1) {
    pending_ = code;
    pendingButton_ = button;
  }
  void ClearPending() {
    pending_ = 0;
    pendingButton_ = -1;
  }

  // Shortcut tables: the command for a key pressed in a context, or 0.
  static u8 LookupAccelerator(u8 context, u16 key, u8 modifiers);

  // Mouse buttons and the wheel (after any on-screen button set had its
  // chance); true when the event was turned into a command.
  bool TranslateMouse(const platform::Event& event);

  // One joystick poll with the latches; the raw code, or 0.
  u8 PollJoystick(const platform::JoystickState& state);

  // Raw codes through the player's assignments; anything 29 and above
  // becomes 0, so a lone Alt never does anything.
  u8 TranslateRaw(u8 code, u8 context) const;

  // The run-mode update at the end of every pump. Returns nothing; the
  // pending command may be cleared.
  void UpdateRunMode(u8 context);

  RunMode runMode() const { return runMode_; }
  void SetRunMode(RunMode mode) { runMode_ = mode; }
  bool IsAutoMode() const { return runMode_ == RunMode::Auto; }
  bool IsForcedSkip() const { return runMode_ == RunMode::ForcedSkip; }
  bool IsNormalMode() const { return runMode_ == RunMode::Normal; }
  void SetForcedSkip(bool on) { runMode_ = on ? RunMode::ForcedSkip : RunMode::Normal; }
  void SetSkipMode() { runMode_ = RunMode::Skip; }
  // Control held while the application is active skips (and drops any
  // other run mode); so do the skip modes.
  bool IsSkipping(bool controlHeld, bool appActive);

  bool appActive() const { return appActive_; }
  void SetAppActive(bool active) { appActive_ = active; }
  i32 mouseX() const { return mouseX_; }
  i32 mouseY() const { return mouseY_; }
  bool leftDown() const { return leftDown_; }
  void SetMouse(i32 x, i32 y, bool leftDown) {
    mouseX_ = x;
    mouseY_ = y;
    leftDown_ = leftDown;
  }

 private:
  const UserSettings& settings_;
  u8 pending_ = 0;
  i32 pendingButton_ = -1;
  RunMode runMode_ = RunMode::Normal;
  bool appActive_ = true;
  i32 mouseX_ = 0, mouseY_ = 0;
  bool leftDown_ = false;
  bool latchX_ = false, latchY_ = false;
  std::array<bool, 8> buttonLatch_{};
};

}  // namespace lyraban
