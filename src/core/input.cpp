#include "core/input.h"

#include "persist/user_settings.h"

namespace lyraban {

namespace {

using namespace platform;

struct Accelerator {
  u16 key;
  u8 modifiers;
  u8 code;
};

// Table G: every context.
constexpr Accelerator kGlobal[] = {
    {vk::Apps, 0, cmd::PopupMenu}, {vk::Return, ModAlt, cmd::ToggleFullScreen}, {vk::Space, 0, cmd::RawSpace},
    {vk::Menu, ModAlt, cmd::RawAltAlone}, {vk::F1 + 0, 0, 36},   {vk::F1 + 1, 0, 37},  {vk::F1 + 2, 0, 38},
    {vk::F1 + 3, 0, 39},  {vk::F1 + 4, 0, 40},  {vk::F1 + 5, 0, 41},  {vk::F1 + 6, 0, 42},  {vk::F1 + 7, 0, 43},
    {vk::F1 + 8, 0, 44},  {vk::F1 + 9, 0, 45},  {vk::F1 + 10, 0, 46}, {vk::F1 + 11, 0, 47},
};
// Table S: reading and choices.
constexpr Accelerator kSystem[] = {
    {vk::Escape, 0, 22},       {vk::Add, 0, 22},          {vk::Tab, 0, 12},      {vk::Subtract, 0, 12},
    {vk::Back, 0, 14},         {vk::Insert, 0, 17},       {vk::Delete, 0, 18},   {vk::Numpad0, 0, 17},
    {vk::Home, 0, 20},         {vk::Numpad7, 0, 20},      {vk::End, 0, 21},      {vk::Numpad1, 0, 21},
    {vk::Multiply, 0, 16},     {vk::Divide, 0, 15},       {vk::Down, ModShift, 16}, {vk::Right, ModShift, 15},
    {vk::Home, ModShift, 19},
};
// Table T: reading text.
constexpr Accelerator kText[] = {
    {vk::Return, 0, 2}, {vk::Down, 0, 2},    {vk::Numpad2, 0, 2}, {vk::Up, 0, 14},    {vk::Prior, 0, 14}, {vk::Numpad8, 0, 14},
    {vk::Numpad9, 0, 14}, {vk::Left, 0, 5},  {vk::Numpad4, 0, 5}, {vk::Right, 0, 6},  {vk::Numpad6, 0, 6},
};
// Table C: a choice on screen.
constexpr Accelerator kChoice[] = {
    {vk::Return, 0, 2}, {vk::Prior, 0, 14}, {vk::Numpad9, 0, 14}, {vk::Left, 0, 5},    {vk::Right, 0, 6}, {vk::Up, 0, 7},
    {vk::Down, 0, 8},   {vk::Numpad4, 0, 5}, {vk::Numpad6, 0, 6}, {vk::Numpad8, 0, 7}, {vk::Numpad2, 0, 8},
};
// Table M: menus and screens.
constexpr Accelerator kMenu[] = {
    {vk::Return, 0, 2},  {vk::Escape, 0, 3},  {vk::Back, 0, 3},    {vk::Tab, 0, 3},     {vk::Left, 0, 5},    {vk::Right, 0, 6},
    {vk::Up, 0, 7},      {vk::Down, 0, 8},    {vk::Numpad4, 0, 5}, {vk::Numpad6, 0, 6}, {vk::Numpad8, 0, 7}, {vk::Numpad2, 0, 8},
    {vk::Prior, 0, 9},   {vk::Numpad9, 0, 9}, {vk::Next, 0, 10},   {vk::Numpad3, 0, 10},
};

template <size_t N>
u8 Find(const Accelerator (&table)[N], u16 key, u8 modifiers) {
  // Shortcut entries name the modifier state exactly, so a key pressed with
  // an extra modifier (Control while skipping, say) matches nothing.
  const u8 mods = modifiers & (ModShift | ModControl | ModAlt);
  for (const Accelerator& a : table)
    if (a.key == key && a.modifiers == mods) return a.code;
  return 0;
}

constexpr std::string_view kNames[] = {
    " （无） ",     "点击　　",       "ＯＫ·显示下文",   "　取　消　",     "显示下文",     "←",
    "→",            "↑",              "↓",               "翻　页↑",        "翻　页↓",      "菜单　　",
    "隐藏窗",       "简易log ",       "显示记录",        "快进模式　　　", "自动模式　　　", "快速存档　　　",
    "快速读取　　　", "回到标题画面　", "保　存",          "读　取",         "设置　　　",   "向导　　",
    "老板来了！！", "系統結束　　　", "改变画面模式　　", "窗口化　　　",   "全屏化　　　　　",
};

}  // namespace

std::string_view InputCommandName(int code) {
  if (code < 0 || code > 28) return {};
  return kNames[code];
}

u8 InputState::LookupAccelerator(u8 context, u16 key, u8 modifiers) {
  if (u8 c = Find(kGlobal, key, modifiers)) return c;
  switch (context) {
    case ContextReading:
      if (u8 c = Find(kSystem, key, modifiers)) return c;
      return Find(kText, key, modifiers);
    case ContextChoice:
      if (u8 c = Find(kSystem, key, modifiers)) return c;
      return Find(kChoice, key, modifiers);
    case ContextMenu:
      return Find(kMenu, key, modifiers);
    default:
      return 0;
  }
}

bool InputState::TranslateMouse(const platform::Event& event) {
  using platform::EventKind;
  using platform::MouseButton;
  switch (event.kind) {
    case EventKind::MouseDown:
      if (event.button == MouseButton::Left) {
        SetPending(cmd::Click);
        return true;
      }
      return false;
    case EventKind::MouseUp:
      if (event.button == MouseButton::Right) {
        SetPending(cmd::RawRightButton);
        return true;
      }
      if (event.button == MouseButton::Middle) {
        SetPending(cmd::RawMiddleButton);
        return true;
      }
      return false;
    case EventKind::MouseWheel:
      SetPending(event.wheel >= 1 ? cmd::RawWheelUp : cmd::RawWheelDown);
      return true;
    default:
      return false;
  }
}

u8 InputState::PollJoystick(const platform::JoystickState& state) {
  constexpr u32 kLow = 8192, kHigh = 57345;
  const bool xCentred = state.x >= kLow && state.x < kHigh;
  const bool yCentred = state.y >= kLow && state.y < kHigh;
  if (xCentred) latchX_ = false;
  if (yCentred) latchY_ = false;
  for (size_t i = 0; i < buttonLatch_.size(); ++i)
    if (!(state.buttons & (1u << i))) buttonLatch_[i] = false;

  if (!latchX_ && !xCentred) {
    latchX_ = true;
    return state.x < kLow ? cmd::Left : cmd::Right;
  }
  if (!latchY_ && !yCentred) {
    latchY_ = true;
    return state.y < kLow ? cmd::Up : cmd::Down;
  }
  for (size_t i = 0; i < buttonLatch_.size(); ++i) {
    if ((state.buttons & (1u << i)) && !buttonLatch_[i]) {
      buttonLatch_[i] = true;
      return static_cast<u8>(cmd::RawPadButton1 + i);
    }
  }
  return 0;
}

u8 InputState::TranslateRaw(u8 code, u8 context) const {
  if (context == ContextMenu) {
    switch (code) {
      case cmd::RawRightButton:
      case cmd::RawMiddleButton:
        code = cmd::Cancel;
        break;
      case cmd::RawWheelUp:
        code = cmd::PageUp;
        break;
      case cmd::RawWheelDown:
        code = cmd::PageDown;
        break;
      case cmd::RawSpace:
        code = cmd::Confirm;
        break;
      default:
        break;
    }
  }
  switch (code) {
    case cmd::RawRightButton:
      code = settings_.RightButtonCommand;
      break;
    case cmd::RawMiddleButton:
      code = settings_.MiddleButtonCommand;
      break;
    case cmd::RawWheelUp:
      code = settings_.WheelUpCommand;
      break;
    case cmd::RawWheelDown:
      code = settings_.WheelDownCommand;
      break;
    case cmd::RawSpace:
      code = settings_.SpaceCommand;
      break;
    default:
      if (code >= cmd::RawF1 && code < cmd::RawF1 + 12)
        code = settings_.FunctionKeyCommands[code - cmd::RawF1];
      else if (code >= cmd::RawPadButton1 && code < cmd::RawPadButton1 + 8)
        code = settings_.PadButtonCommands[code - cmd::RawPadButton1];
      break;
  }
  return code >= 29 ? 0 : code;
}

void InputState::UpdateRunMode(u8 context) {
  if (runMode_ == RunMode::ForcedSkip && context == ContextReading) {
    ClearPending();
    return;
  }
  if (context != ContextReading) runMode_ = RunMode::Normal;
  switch (pending_) {
    case cmd::None:
      break;
    case cmd::HideWindow:
      runMode_ = RunMode::Hidden;
      break;
    case cmd::SkipMode:
      runMode_ = RunMode::Skip;
      break;
    case cmd::AutoMode:
      runMode_ = RunMode::Auto;
      break;
    default:
      if (runMode_ == RunMode::Skip || runMode_ == RunMode::Auto || runMode_ == RunMode::Hidden) {
        runMode_ = RunMode::Normal;
        ClearPending();
      }
      break;
  }
}

bool InputState::IsSkipping(bool controlHeld, bool appActive) {
  if (controlHeld && appActive) {
    runMode_ = RunMode::Normal;
    return true;
  }
  return runMode_ == RunMode::Skip || runMode_ == RunMode::ForcedSkip;
}

}  // namespace lyraban
