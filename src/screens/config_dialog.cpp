#include "screens/config_dialog.h"

#include <algorithm>
#include <cstdio>

namespace lyraban {

namespace {

using platform::DialogWidget;
using platform::WidgetKind;

// Pages sit in the tab control's display area, below the tab headers.
constexpr int kPageX = 2, kPageY = 24;
constexpr int kRowHeight = 20;

// The commands each assignment list offers, in the order shown.
const std::vector<int> kRightButtonCodes = {11, 12, 14, 15, 16, 17, 20, 21, 22, 23};
const std::vector<int> kMiddleButtonCodes = {22, 11, 12, 14, 15, 16, 17, 20, 21, 23};
const std::vector<int> kWheelUpCodes = {12, 11, 14, 15, 16, 17, 20, 21, 22, 23};
const std::vector<int> kWheelDownCodes = {4, 11, 12, 14, 15, 16, 17, 20, 21, 22, 23};
const std::vector<int> kSpaceCodes = {4, 12, 14, 23};
// The boss key (24) is offered on function keys only.
const std::vector<int> kFunctionKeyCodes = {0, 12, 14, 15, 16, 17, 20, 21, 22, 24, 23};
const std::vector<int> kPadCodes = {0, 2, 3, 9, 10, 12, 14, 15, 16, 17, 20, 21, 22, 23};

constexpr const char* kShortcutList =
    "Enter\t显示下文\nEsc\tConfig    \nTab\t对话框\nCtrl\tＳＫＩＰ    \n\nInsert\t快速存档\nDelete\t快速读取\n"
    "Home\t存档　\nEnd\t读取　\n\nPage Up\t显示记录\nBack Space\t显示记录\n\n小键盘   +\tAuto  \n"
    "小键盘   -\tSkip    \n小键盘   *\t显示记录\n小键盘   /\t对话框\n";

constexpr const char* kSoundRowNames[4] = {"ＢＧＭ", "声音", "环境音", "环境音"};
constexpr const char* kSoundRowScript[4] = {"bgm", "voice", "se", "env"};

constexpr int kFunctionKeys = 12, kPadButtons = 8;
constexpr int kMouseLists = 5;  // right, middle, wheel up, wheel down, Space

// The slot of an assignment list in listIndex_, or -1.
int ListSlot(int id) {
  if (id >= ConfigDialog::IdRightButton && id <= ConfigDialog::IdSpace) return id - ConfigDialog::IdRightButton;
  if (id >= ConfigDialog::IdFunctionKey && id < ConfigDialog::IdFunctionKey + kFunctionKeys)
    return kMouseLists + id - ConfigDialog::IdFunctionKey;
  if (id >= ConfigDialog::IdPadButton && id < ConfigDialog::IdPadButton + kPadButtons)
    return kMouseLists + kFunctionKeys + id - ConfigDialog::IdPadButton;
  return -1;
}

int ListIdOfSlot(int slot) {
  if (slot < kMouseLists) return ConfigDialog::IdRightButton + slot;
  if (slot < kMouseLists + kFunctionKeys) return ConfigDialog::IdFunctionKey + slot - kMouseLists;
  return ConfigDialog::IdPadButton + slot - kMouseLists - kFunctionKeys;
}

const std::vector<int>& OfferedCodes(int id) {
  switch (id) {
    case ConfigDialog::IdRightButton:
      return kRightButtonCodes;
    case ConfigDialog::IdMiddleButton:
      return kMiddleButtonCodes;
    case ConfigDialog::IdWheelUp:
      return kWheelUpCodes;
    case ConfigDialog::IdWheelDown:
      return kWheelDownCodes;
    case ConfigDialog::IdSpace:
      return kSpaceCodes;
    default:
      return id >= ConfigDialog::IdPadButton ? kPadCodes : kFunctionKeyCodes;
  }
}

u8& Assignment(UserSettings& s, int id) {
  switch (id) {
    case ConfigDialog::IdRightButton:
      return s.RightButtonCommand;
    case ConfigDialog::IdMiddleButton:
      return s.MiddleButtonCommand;
    case ConfigDialog::IdWheelUp:
      return s.WheelUpCommand;
    case ConfigDialog::IdWheelDown:
      return s.WheelDownCommand;
    case ConfigDialog::IdSpace:
      return s.SpaceCommand;
    default:
      if (id >= ConfigDialog::IdPadButton) return s.PadButtonCommands[id - ConfigDialog::IdPadButton];
      return s.FunctionKeyCommands[id - ConfigDialog::IdFunctionKey];
  }
}

// A one-byte switch edited by a pair (or trio) of radio buttons.
struct RadioField {
  int id;
  u8 UserSettings::*field;
  bool soundGroup;
};
constexpr RadioField kRadioFields[] = {
    {ConfigDialog::IdFontKind, &UserSettings::FontKind, false},
    {ConfigDialog::IdTextShadow, &UserSettings::TextShadow, false},
    {ConfigDialog::IdFemaleVoices, &UserSettings::FemaleVoices, true},
    {ConfigDialog::IdMaleVoices, &UserSettings::MaleVoices, true},
    {ConfigDialog::IdStopVoice, &UserSettings::StopVoiceOnAdvance, true},
    {ConfigDialog::IdFullScreen, &UserSettings::FullScreen, false},
    {ConfigDialog::IdScreenEffects, &UserSettings::ScreenEffects, false},
    {ConfigDialog::IdTextColour, &UserSettings::TextColour, false},
    {ConfigDialog::IdHideCursor, &UserSettings::HideIdleCursor, false},
    {ConfigDialog::IdSkipAll, &UserSettings::SkipAllText, false},
    {ConfigDialog::IdStopSkip, &UserSettings::StopSkipAfterChoice, false},
    {ConfigDialog::IdBossAction, &UserSettings::BossKeyAction, false},
};

const RadioField* FindRadio(int id) {
  for (const RadioField& r : kRadioFields)
    if (r.id == id) return &r;
  return nullptr;
}

bool RadioAccepts(int id, int value) {
  if (id == ConfigDialog::IdFontKind || id == ConfigDialog::IdBossAction) return value >= 0 && value <= 2;
  return value == 0 || value == 1;
}

i32& Volume(UserSettings& s, int row) {
  switch (static_cast<SoundRow>(row)) {
    case SoundRow::Bgm:
      return s.BgmVolume;
    case SoundRow::Voice:
      return s.VoiceVolume;
    case SoundRow::Se:
      return s.SeVolume;
    default:
      return s.EnvVolume;
  }
}

u8& Enabled(UserSettings& s, int row) {
  switch (static_cast<SoundRow>(row)) {
    case SoundRow::Bgm:
      return s.BgmEnabled;
    case SoundRow::Voice:
      return s.VoiceEnabled;
    case SoundRow::Se:
      return s.SeEnabled;
    default:
      return s.EnvEnabled;
  }
}

struct SliderField {
  int id;
  i32 UserSettings::*field;
  int high;
};
constexpr SliderField kTextSliders[] = {
    {ConfigDialog::IdUnreadSpeed, &UserSettings::UnreadTextSpeed, 4},
    {ConfigDialog::IdReadSpeed, &UserSettings::ReadTextSpeed, 4},
    {ConfigDialog::IdAutoSpeed, &UserSettings::AutoModeSpeed, 10},
};

}  // namespace

std::string BuildVersionReport(const ConfigDialogFacts& f) {
  const std::string rule = "----------------------------------------------------------------";
  std::string r = "Version信息（請將Support郵件地址粘貼如下）            \r\n" + rule;
  r += "\r\n\r\n[System version]";
  r += "\r\nName：" + std::string(kSystemName);
  r += "\r\nVersion：" + std::string(kSystemVersion);
  r += "\r\nBuild：" + f.buildDate;
  r += "\r\n\r\n[Product info]";
  r += "\r\nTitle：" + f.title;
  r += "\r\nVendor：" + f.vendor;
  r += "\r\nVersion：" + f.version;
  r += "\r\nRelease：" + f.date;
  r += "\r\n\r\n[System info]";
  r += "\r\nOS：" + f.system.os;
  r += "\r\nDirectX：" + f.system.graphics;
  r += "\r\nCPU：" + f.system.cpu;
  r += "\r\nRAM：" + f.system.ram;
  r += "\r\nVRAM：" + f.system.vram;
  r += "\r\n\r\n" + rule + "\r\n";
  return r;
}

ConfigDialog::ConfigDialog(const UserSettings& settings, ConfigDialogFacts facts, ConfigDialogHost& host,
                           std::string music, bool musicLoops, std::string env)
    : settings_(settings),
      edit_(settings),
      facts_(std::move(facts)),
      host_(host),
      music_(std::move(music)),
      env_(std::move(env)),
      musicLoops_(musicLoops) {
  // A list shows the stored command, or its first entry when the command
  // is not one it offers.
  for (int slot = 0; slot < static_cast<int>(listIndex_.size()); ++slot) {
    const int id = ListIdOfSlot(slot);
    const std::vector<int>& codes = OfferedCodes(id);
    const auto it = std::find(codes.begin(), codes.end(), Assignment(edit_, id));
    listIndex_[static_cast<size_t>(slot)] = it == codes.end() ? 0 : static_cast<int>(it - codes.begin());
  }
  padButtons_ = std::min(host_.JoystickButtons(), kPadButtons);
  facts_.system.pad = DescribeJoystick(padButtons_);
}

void ConfigDialog::SelectPage(int page) {
  if (page >= 0 && page < 3) page_ = page;
}

bool ConfigDialog::RowEnabled(int id) const {
  if (id >= IdFunctionKey && id < IdFunctionKey + kFunctionKeys)
    return id - IdFunctionKey < std::min(facts_.functionKeys, kFunctionKeys);
  if (id >= IdPadButton && id < IdPadButton + kPadButtons) return id - IdPadButton < padButtons_;
  return true;
}

void ConfigDialog::DevicesChanged() {
  const int buttons = std::min(host_.JoystickButtons(), kPadButtons);
  if (buttons == padButtons_) return;
  padButtons_ = buttons;
  facts_.system.pad = DescribeJoystick(padButtons_);
}

void ConfigDialog::ApplySoundRow(int row) {
  host_.SetChannel(static_cast<SoundRow>(row), Enabled(edit_, row) != 0, std::clamp(Volume(edit_, row), 0, 100));
}

void ConfigDialog::Change(int id, int value) {
  if (Finished()) return;
  for (const SliderField& s : kTextSliders) {
    if (s.id == id) {
      edit_.*s.field = std::clamp(value, 0, s.high);
      return;
    }
  }
  if (const RadioField* radio = FindRadio(id)) {
    if ((radio->soundGroup && !facts_.soundAvailable) || !RadioAccepts(id, value)) return;
    edit_.*radio->field = static_cast<u8>(value);
    return;
  }
  if (id >= IdSoundVolume && id < IdSoundVolume + 4) {
    if (!facts_.soundAvailable) return;
    Volume(edit_, id - IdSoundVolume) = std::clamp(value, 0, 100);
    ApplySoundRow(id - IdSoundVolume);
    return;
  }
  if (id >= IdSoundCheck && id < IdSoundCheck + 4) {
    if (!facts_.soundAvailable) return;
    Enabled(edit_, id - IdSoundCheck) = value != 0 ? 1 : 0;
    ApplySoundRow(id - IdSoundCheck);
    return;
  }
  if (id == IdCaptionChapter) {
    edit_.ShowChapterInCaption = value != 0 ? 1 : 0;
    return;
  }
  if (id == IdCaptionTime) {
    edit_.ShowPlayTimeInCaption = value != 0 ? 1 : 0;
    return;
  }
  const int slot = ListSlot(id);
  if (slot >= 0 && RowEnabled(id) && value >= 0 && value < static_cast<int>(OfferedCodes(id).size()))
    listIndex_[static_cast<size_t>(slot)] = value;
}

void ConfigDialog::Press(int id) {
  if (Finished()) return;
  switch (id) {
    case IdOk:
      settings_ = ReadControls();
      result_ = Confirmed;
      host_.SaveUserSettings(settings_);
      return;
    case IdCancel:
      Cancel();
      return;
    case IdCopy:
      host_.CopyToClipboard(BuildVersionReport(facts_));
      return;
    default:
      break;
  }
  if (id < IdSoundPlay || id >= IdSoundPlay + 4 || !facts_.soundAvailable) return;
  switch (static_cast<SoundRow>(id - IdSoundPlay)) {
    case SoundRow::Bgm:
      if (host_.IsMusicPlaying())
        host_.StopMusic();
      else
        host_.PlayMusic(music_, musicLoops_);
      break;
    case SoundRow::Voice:
      host_.PlayVoice(kSampleSound);
      break;
    case SoundRow::Se:
      host_.PlaySE(kSampleSound);
      break;
    case SoundRow::Env:
      if (host_.IsEnvPlaying())
        host_.StopEnv();
      else
        host_.PlayEnv(env_);
      break;
  }
}

void ConfigDialog::Cancel() {
  if (!Finished()) result_ = Cancelled;
}

UserSettings ConfigDialog::ReadControls() const {
  UserSettings r = edit_;
  for (const SliderField& s : kTextSliders) r.*s.field = std::clamp(edit_.*s.field, 0, s.high);
  if (facts_.soundAvailable) {
    for (int row = 0; row < 4; ++row) Volume(r, row) = std::clamp(Volume(r, row), 0, 100);
  }
  for (int slot = 0; slot < static_cast<int>(listIndex_.size()); ++slot) {
    const int id = ListIdOfSlot(slot);
    // Rows that cannot be used keep what was stored.
    if (!RowEnabled(id)) continue;
    Assignment(r, id) = static_cast<u8>(OfferedCodes(id)[static_cast<size_t>(listIndex_[static_cast<size_t>(slot)])]);
  }
  return r;
}

const platform::DialogForm& ConfigDialog::Form() {
  Rebuild();
  return form_;
}

void ConfigDialog::Rebuild() {
  platform::DialogForm& f = form_;
  f.caption = "设置　　　";
  f.width = 629;
  f.height = 453;
  f.tabs = {"基本设置", "按键设置", "版本信息　　　"};
  f.tabWidth = 625;
  f.tabHeight = 417;
  f.widgets.clear();
  const bool sound = facts_.soundAvailable;

  auto add = [&](int page, WidgetKind kind, int x, int y, int w, int h, std::string text) -> DialogWidget& {
    DialogWidget d;
    d.kind = kind;
    d.page = page;
    d.x = page >= 0 ? x + kPageX : x;
    d.y = page >= 0 ? y + kPageY : y;
    d.width = w;
    d.height = h;
    d.text = std::move(text);
    f.widgets.push_back(std::move(d));
    return f.widgets.back();
  };
  auto group = [&](int page, int x, int y, int w, int h, const char* text) {
    add(page, WidgetKind::Group, x, y, w, h, text);
  };
  auto label = [&](int page, int x, int y, int w, std::string text, int h = kRowHeight) -> DialogWidget& {
    return add(page, WidgetKind::Label, x, y, w, h, std::move(text));
  };
  auto slider = [&](int page, int x, int y, int w, int id, const char* name, int value, int high, bool enabled) {
    DialogWidget& d = add(page, WidgetKind::Slider, x, y, w, kRowHeight, "");
    d.id = id;
    d.name = name;
    d.low = 0;
    d.high = high;
    d.value = std::clamp(value, 0, high);
    d.enabled = enabled;
  };
  auto radios = [&](int page, int x, int y, int step, int id, const char* name,
                    std::initializer_list<std::pair<const char*, int>> buttons, int current, bool enabled,
                    bool vertical = false) {
    int i = 0;
    for (const auto& [text, value] : buttons) {
      DialogWidget& d = add(page, WidgetKind::Radio, vertical ? x : x + i * step, vertical ? y + i * step : y, step,
                            kRowHeight, text);
      d.id = id;
      d.name = name;
      d.value = value;
      d.on = enabled && current == value;
      d.enabled = enabled;
      ++i;
    }
  };
  auto check = [&](int page, int x, int y, int w, int id, const char* name, const char* text, bool on, bool enabled) {
    DialogWidget& d = add(page, WidgetKind::Check, x, y, w, kRowHeight, text);
    d.id = id;
    d.name = name;
    d.value = on ? 1 : 0;
    d.enabled = enabled;
  };
  auto button = [&](int page, int x, int y, int w, int h, int id, const char* name, const char* text, bool enabled) {
    DialogWidget& d = add(page, WidgetKind::Button, x, y, w, h, text);
    d.id = id;
    d.name = name;
    d.enabled = enabled;
    return &d;
  };
  auto list = [&](int page, int x, int y, int id, const std::string& name) {
    DialogWidget& d = add(page, WidgetKind::List, x, y, 137, 200, "");
    d.id = id;
    d.name = name;
    for (int code : OfferedCodes(id)) {
      d.items.emplace_back(host_.CommandName(code));
      d.itemValues.push_back(code);
    }
    const int slot = ListSlot(id);
    d.value = slot >= 0 ? listIndex_[static_cast<size_t>(slot)] : 0;
    d.enabled = RowEnabled(id);
  };

  // Page 1: settings.
  group(0, 8, 8, 297, 153, "文字　　");
  label(0, 110, 22, 40, "慢　　");
  label(0, 252, 22, 40, "快　　");
  const char* sliderLabels[3] = {"未读短信　　　", "已读短信　　　", "自动播放"};
  const char* sliderNames[3] = {"unread-speed", "read-speed", "auto-speed"};
  for (int i = 0; i < 3; ++i) {
    label(0, 18, 40 + 22 * i, 90, sliderLabels[i]);
    slider(0, 110, 40 + 22 * i, 185, kTextSliders[i].id, sliderNames[i], edit_.*kTextSliders[i].field,
           kTextSliders[i].high, true);
  }
  label(0, 18, 110, 70, "字体　　");
  radios(0, 90, 110, 68, IdFontKind, "font", {{"混合", 0}, {"明朝", 1}, {"哥特式　", 2}}, edit_.FontKind, true);
  label(0, 18, 134, 70, "文字阴影");
  radios(0, 90, 134, 68, IdTextShadow, "shadow", {{"有　", 1}, {"无　", 0}}, edit_.TextShadow, true);

  group(0, 8, 168, 297, 217, "声音　　");
  label(0, 150, 182, 40, "ＭＩＮ");
  label(0, 255, 182, 40, "ＭＡＸ");
  for (int row = 0; row < 4; ++row) {
    const int y = 200 + 24 * row;
    const std::string name = kSoundRowScript[row];
    check(0, 16, y, 80, IdSoundCheck + row, kSoundRowScript[row], kSoundRowNames[row],
          sound && Enabled(edit_, row) != 0, sound);
    const bool playing = row == 0 ? host_.IsMusicPlaying() : row == 3 ? host_.IsEnvPlaying() : false;
    const char* caption = (row == 0 || row == 3) ? (playing ? "停止" : "再生") : "播放";
    DialogWidget* play = button(0, 98, y, 48, kRowHeight, IdSoundPlay + row, "", caption, sound);
    play->name = name + "-play";
    DialogWidget& s = add(0, WidgetKind::Slider, 150, y, 145, kRowHeight, "");
    s.id = IdSoundVolume + row;
    s.name = name + "-volume";
    s.high = 100;
    s.value = sound ? std::clamp(Volume(edit_, row), 0, 100) : 0;
    s.enabled = sound;
  }
  const std::pair<const char*, int> yesNo[] = {{"有　", 1}, {"无　", 0}};
  label(0, 16, 298, 120, "女性角色声音　");
  radios(0, 140, 298, 70, IdFemaleVoices, "female-voices", {yesNo[0], yesNo[1]}, sound ? edit_.FemaleVoices : -1,
         sound);
  label(0, 16, 322, 120, "男性角色声音　");
  radios(0, 140, 322, 70, IdMaleVoices, "male-voices", {yesNo[0], yesNo[1]}, sound ? edit_.MaleVoices : -1, sound);
  label(0, 16, 346, 120, "换页声音　　　　");
  radios(0, 140, 346, 70, IdStopVoice, "stop-voice", {{"停止　", 1}, {"不停止　", 0}},
         sound ? edit_.StopVoiceOnAdvance : -1, sound);

  group(0, 312, 8, 297, 153, "表示");
  label(0, 320, 26, 120, "画面模式　");
  radios(0, 430, 26, 88, IdFullScreen, "fullscreen", {{"窗口模式　", 0}, {"全屏模式　　　", 1}}, edit_.FullScreen,
         true);
  label(0, 320, 48, 120, "画面效果");
  radios(0, 430, 48, 88, IdScreenEffects, "effects", {yesNo[0], yesNo[1]}, edit_.ScreenEffects, true);
  label(0, 320, 70, 120, "文字顏色　　　");
  radios(0, 430, 70, 88, IdTextColour, "text-colour", {yesNo[0], yesNo[1]}, edit_.TextColour, true);
  label(0, 320, 92, 120, "鼠标指針　　　");
  radios(0, 430, 92, 88, IdHideCursor, "hide-cursor", {{"消除", 1}, {"不消除　", 0}}, edit_.HideIdleCursor, true);
  label(0, 320, 114, 150, "标题栏表示　　　");
  check(0, 336, 136, 120, IdCaptionChapter, "caption-chapter", "章节标题　", edit_.ShowChapterInCaption != 0, true);
  check(0, 466, 136, 120, IdCaptionTime, "caption-time", "游戏时间　", edit_.ShowPlayTimeInCaption != 0, true);

  group(0, 312, 168, 297, 73, "ＳＫＩＰ");
  label(0, 320, 188, 150, "快进的消息　　　　　　");
  radios(0, 470, 188, 66, IdSkipAll, "skip-all", {{"全部", 1}, {"只有已读", 0}}, edit_.SkipAllText, true);
  label(0, 320, 212, 150, "选择项后快进停止　　　");
  radios(0, 470, 212, 66, IdStopSkip, "stop-skip", {{"是　", 1}, {"否　　", 0}}, edit_.StopSkipAfterChoice, true);

  group(0, 312, 248, 297, 137, "老板键　　　　　");
  radios(0, 328, 272, 28, IdBossAction, "boss-key",
         {{"隐藏到系统后台　　", 0}, {"最小化時伪装为记事本　", 1}, {"快速存档后结束　　　　", 2}}, edit_.BossKeyAction,
         true, true);
  for (DialogWidget& w : f.widgets)
    if (w.id == IdBossAction) w.width = 260;

  // Page 2: keys.
  group(1, 8, 8, 217, 137, "鼠标  ");
  const char* mouseLabels[4] = {facts_.swappedButtons ? "鼠標左键  " : "鼠標右鍵  ", "鼠標中键  ", "向上滚轮↑",
                                "向下滚轮↓"};
  const char* mouseNames[4] = {"right-button", "middle-button", "wheel-up", "wheel-down"};
  for (int i = 0; i < 4; ++i) {
    label(1, 16, 32 + 26 * i, 70, mouseLabels[i]);
    list(1, 82, 32 + 26 * i, IdRightButton + i, mouseNames[i]);
  }
  group(1, 232, 8, 217, 377, "Keyboard  ");
  label(1, 240, 30, 70, "空格    ");
  list(1, 306, 30, IdSpace, "space");
  for (int i = 0; i < kFunctionKeys; ++i) {
    const int y = 60 + 24 * i + 8 * (i / 4);
    char text[8];
    std::snprintf(text, sizeof text, "F%d", i + 1);
    label(1, 240, y, 60, text);
    char name[8];
    std::snprintf(name, sizeof name, "f%d", i + 1);
    list(1, 306, y, IdFunctionKey + i, name);
  }
  group(1, 8, 152, 217, 233, "Gamepad     ");
  for (int i = 0; i < kPadButtons; ++i) {
    char text[32];
    std::snprintf(text, sizeof text, "按鍵   %d", i + 1);
    DialogWidget& l = label(1, 16, 152 + 28 + 24 * i, 70, text);
    l.enabled = RowEnabled(IdPadButton + i);
    char name[8];
    std::snprintf(name, sizeof name, "pad%d", i + 1);
    list(1, 82, 152 + 28 + 24 * i, IdPadButton + i, name);
  }
  group(1, 456, 8, 153, 377, "Shortcut一览      ");
  add(1, WidgetKind::Text, 464, 28, 137, 350, kShortcutList);

  // Page 3: version.
  group(2, 8, 8, 297, 177, "作品Version   ");
  const std::pair<const char*, const std::string*> product[] = {{"作品名 ：", &facts_.title},
                                                                {"制作商 ：", &facts_.vendor},
                                                                {"DataVersion       ：", &facts_.version},
                                                                {"Release年月日  ：", &facts_.date}};
  for (int i = 0; i < 4; ++i) {
    label(2, 18, 32 + 36 * i, 130, product[i].first);
    label(2, 150, 32 + 36 * i, 150, *product[i].second);
  }
  group(2, 8, 192, 297, 137, "SystemVersion     ");
  const std::pair<const char*, std::string> system[] = {
      {"System名称 ：", kSystemName}, {"Version    ：", kSystemVersion}, {"Bulid年月日  ：", facts_.buildDate}};
  for (int i = 0; i < 3; ++i) {
    label(2, 18, 216 + 36 * i, 130, system[i].first);
    label(2, 150, 216 + 36 * i, 150, system[i].second);
  }
  group(2, 312, 8, 297, 321, "System信息  ");
  const SystemReport& sys = facts_.system;
  const struct {
    const char* label;
    const std::string* value;
    int y, h;
  } lines[] = {{"ＯＳ ：", &sys.os, 28, 40},           {"DirectX ：", &sys.graphics, 70, 40},
               {"ＣＰＵ ：", &sys.cpu, 112, 40},       {"内存   ：", &sys.ram, 154, 20},
               {"ＶＲＡＭ ：", &sys.vram, 176, 20},    {"Pad    ：", &sys.pad, 198, 20},
               {"追加信息 ：", &sys.missing, 220, 100}};
  for (const auto& line : lines) {
    label(2, 320, line.y, 76, line.label);
    label(2, 398, line.y, 206, *line.value, line.h);
  }
  button(2, 400, 341, 200, 40, IdCopy, "copy", "复制Version信息       ", true);

  // Under the tabs.
  button(-1, 392, 424, 113, 25, IdOk, "ok", "OK", true)->isDefault = true;
  button(-1, 512, 424, 113, 25, IdCancel, "cancel", "Cancel    ", true);
}

bool RunConfigDialog(UserSettings& settings, ConfigDialogFacts facts, ConfigDialogHost& host) {
  // What plays now comes back afterwards; the play buttons start it, or the
  // sample sound when nothing plays.
  const std::string music = host.MusicName();
  const bool loops = host.MusicLoops();
  const std::string env = host.EnvName();
  ConfigDialog dialog(settings, std::move(facts), host, music.empty() ? kSampleSound : music, loops,
                      env.empty() ? kSampleSound : env);
  if (!host.ShowDialog(dialog)) return false;
  if (dialog.result() == ConfigDialog::Confirmed) settings = dialog.settings();
  host.RestoreSoundNames(music, loops, env);
  host.ApplySoundSettings(settings);
  host.UpdateCaption();
  host.SetFullScreen(settings.FullScreen != 0);
  return true;
}

}  // namespace lyraban
