#include "core/input.h"

#include <gtest/gtest.h>

#include "persist/user_settings.h"

namespace lyraban {
namespace {

using platform::Event;
using platform::EventKind;
using platform::JoystickState;
using platform::MouseButton;
namespace vk = platform::vk;

class InputTest : public ::testing::Test {
 protected:
  InputTest() { ResetUserSettings(settings); }
  UserSettings settings;
  InputState input{settings};
};

TEST_F(InputTest, ShortcutTablesFollowTheContext) {
  // Table G comes first everywhere.
  EXPECT_EQ(InputState::LookupAccelerator(ContextMenu, vk::Apps, 0), cmd::PopupMenu);
  EXPECT_EQ(InputState::LookupAccelerator(ContextReading, vk::Return, platform::ModAlt), cmd::ToggleFullScreen);
  // Enter confirms in every context; Escape opens the configuration while
  // reading but cancels in a menu.
  EXPECT_EQ(InputState::LookupAccelerator(ContextReading, vk::Return, 0), cmd::Confirm);
  EXPECT_EQ(InputState::LookupAccelerator(ContextReading, vk::Escape, 0), cmd::ConfigDialog);
  EXPECT_EQ(InputState::LookupAccelerator(ContextMenu, vk::Escape, 0), cmd::Cancel);
  // Up means backlog while reading but moves the cursor in a choice.
  EXPECT_EQ(InputState::LookupAccelerator(ContextReading, vk::Up, 0), cmd::Backlog);
  EXPECT_EQ(InputState::LookupAccelerator(ContextChoice, vk::Up, 0), cmd::Up);
  // The numeric keypad keys are distinct from the main keys.
  EXPECT_EQ(InputState::LookupAccelerator(ContextReading, vk::Numpad0, 0), cmd::QuickSave);
  EXPECT_EQ(InputState::LookupAccelerator(ContextReading, vk::Numpad2, 0), cmd::Confirm);
  EXPECT_EQ(InputState::LookupAccelerator(ContextMenu, vk::Numpad3, 0), cmd::PageDown);
  // Shift combinations are their own entries; the plain key does not match them.
  EXPECT_EQ(InputState::LookupAccelerator(ContextReading, vk::Down, platform::ModShift), cmd::AutoMode);
  EXPECT_EQ(InputState::LookupAccelerator(ContextReading, vk::Home, platform::ModShift), cmd::ReturnToTitle);
  EXPECT_EQ(InputState::LookupAccelerator(ContextReading, vk::Home, 0), cmd::SaveScreen);
  // Table S is not used in menus, and unknown contexts use table G only.
  EXPECT_EQ(InputState::LookupAccelerator(ContextMenu, vk::Insert, 0), 0);
  EXPECT_EQ(InputState::LookupAccelerator(7, vk::Return, 0), 0);
  EXPECT_EQ(InputState::LookupAccelerator(7, vk::Space, 0), cmd::RawSpace);
  // A key held with Control matches no entry.
  EXPECT_EQ(InputState::LookupAccelerator(ContextReading, vk::Return, platform::ModControl), 0);
}

TEST_F(InputTest, RawCodesGoThroughTheAssignments) {
  // Defaults: right button opens the menu while reading, cancels in a menu.
  EXPECT_EQ(input.TranslateRaw(cmd::RawRightButton, ContextReading), cmd::PopupMenu);
  EXPECT_EQ(input.TranslateRaw(cmd::RawRightButton, ContextMenu), cmd::Cancel);
  // Space confirms in a menu whatever it is assigned to while reading.
  settings.SpaceCommand = cmd::Backlog;
  EXPECT_EQ(input.TranslateRaw(cmd::RawSpace, ContextReading), cmd::Backlog);
  EXPECT_EQ(input.TranslateRaw(cmd::RawSpace, ContextMenu), cmd::Confirm);
  EXPECT_EQ(input.TranslateRaw(cmd::RawWheelUp, ContextMenu), cmd::PageUp);
  EXPECT_EQ(input.TranslateRaw(cmd::RawWheelDown, ContextReading), cmd::Advance);
  // Function keys and pad buttons.
  settings.FunctionKeyCommands[4] = cmd::FlowChart;
  EXPECT_EQ(input.TranslateRaw(cmd::RawF1 + 4, ContextReading), cmd::FlowChart);
  EXPECT_EQ(input.TranslateRaw(cmd::RawF1, ContextReading), 0);
  EXPECT_EQ(input.TranslateRaw(cmd::RawPadButton1 + 1, ContextReading), cmd::Cancel);
  // Alt alone and assignments past 28 never reach a handler.
  EXPECT_EQ(input.TranslateRaw(cmd::RawAltAlone, ContextReading), 0);
  settings.MiddleButtonCommand = 40;
  EXPECT_EQ(input.TranslateRaw(cmd::RawMiddleButton, ContextReading), 0);
}

TEST_F(InputTest, JoystickReportsOncePerPush) {
  constexpr u32 kCentre = 32768;
  const struct {
    u32 x, y, buttons;
    int command;
    const char* why;
  } polls[] = {
      {100, kCentre, 0, cmd::Left, "pushed left"},
      {100, kCentre, 0, 0, "still held: latched"},
      {kCentre, kCentre, 0, 0, "back in the centre"},
      {100, kCentre, 0, cmd::Left, "pushed again"},
      {8192, kCentre, 0, 0, "8192 is centre"},
      {57345, kCentre, 0, cmd::Right, "57345 is right"},
      {kCentre, kCentre, 0, 0, "back in the centre"},
      {0, 65535, 0, cmd::Left, "X is reported before Y"},
      {0, 65535, 0, cmd::Down, "Y comes on the next poll"},
      {kCentre, kCentre, 0b1010, cmd::RawPadButton1 + 1, "the lowest pressed button"},
      {kCentre, kCentre, 0b1010, cmd::RawPadButton1 + 3, "the lowest one not latched"},
      {kCentre, kCentre, 0b1010, 0, "every pressed button latched"},
  };
  for (size_t i = 0; i < std::size(polls); ++i) {
    const JoystickState state{polls[i].x, polls[i].y, polls[i].buttons};
    EXPECT_EQ(int{input.PollJoystick(state)}, polls[i].command) << "poll " << i << ": " << polls[i].why;
  }
}

TEST_F(InputTest, RunModeTransitions) {
  input.SetPending(cmd::AutoMode);
  input.UpdateRunMode(ContextReading);
  EXPECT_TRUE(input.IsAutoMode());
  // Enter stops auto mode and is itself swallowed.
  input.SetPending(cmd::Confirm);
  input.UpdateRunMode(ContextReading);
  EXPECT_TRUE(input.IsNormalMode());
  EXPECT_EQ(input.pending(), 0);
  // In normal mode the command stays.
  input.SetPending(cmd::Confirm);
  input.UpdateRunMode(ContextReading);
  EXPECT_EQ(input.pending(), cmd::Confirm);
  // Forced skip discards every command while reading, but a menu ends it.
  input.SetForcedSkip(true);
  input.SetPending(cmd::Confirm);
  input.UpdateRunMode(ContextReading);
  EXPECT_TRUE(input.IsForcedSkip());
  EXPECT_EQ(input.pending(), 0);
  input.UpdateRunMode(ContextMenu);
  EXPECT_TRUE(input.IsNormalMode());
  // Hide from any mode.
  input.SetSkipMode();
  input.SetPending(cmd::HideWindow);
  input.UpdateRunMode(ContextReading);
  EXPECT_EQ(input.runMode(), RunMode::Hidden);
}

TEST_F(InputTest, SkipKeyNeedsAnActiveApplication) {
  EXPECT_FALSE(input.IsSkipping(true, false));
  input.SetRunMode(RunMode::Auto);
  EXPECT_TRUE(input.IsSkipping(true, true));
  EXPECT_TRUE(input.IsNormalMode());  // holding Control drops auto mode
  input.SetSkipMode();
  EXPECT_TRUE(input.IsSkipping(false, false));
}

TEST_F(InputTest, MouseButtonsAndWheel) {
  const struct {
    EventKind kind;
    MouseButton button;
    int wheel, command;
  } events[] = {{EventKind::MouseDown, MouseButton::Left, 0, cmd::Click},
                {EventKind::MouseUp, MouseButton::Middle, 0, cmd::RawMiddleButton},
                {EventKind::MouseWheel, MouseButton::Left, -1, cmd::RawWheelDown},
                {EventKind::MouseWheel, MouseButton::Left, 2, cmd::RawWheelUp}};
  for (const auto& c : events) {
    Event e;
    e.kind = c.kind, e.button = c.button, e.wheel = c.wheel;
    EXPECT_TRUE(input.TranslateMouse(e));
    EXPECT_EQ(int{input.pending()}, c.command) << "wheel " << c.wheel;
  }
  EXPECT_EQ(InputCommandName(25), "系統結束　　　");
  EXPECT_EQ(InputCommandName(29), "");
}

}  // namespace
}  // namespace lyraban
