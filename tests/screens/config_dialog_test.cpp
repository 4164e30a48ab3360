#include "screens/config_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace lyraban::testing {
namespace {

using platform::DialogWidget;
using platform::WidgetKind;

// Records what the dialog asks of the engine; the dialog loop is a script of
// steps run against the model.
struct FakeHost final : ConfigDialogHost {
  std::function<void(ConfigDialog&)> steps;
  bool quitting = false;
  int joystick = -1;
  bool musicPlaying = false, envPlaying = false;
  std::string musicName, envName;
  bool musicLoops = true;
  std::vector<std::string> log;
  std::vector<UserSettings> saved;
  std::vector<UserSettings> applied;
  std::string clipboard;
  int fullScreenCalls = 0;
  bool fullScreen = false;

  bool ShowDialog(platform::DialogModel& model) override {
    log.push_back("show");
    if (steps) steps(static_cast<ConfigDialog&>(model));
    if (!model.Idle()) return false;
    if (!model.Finished()) model.Cancel();
    return true;
  }
  bool Idle() override { return !quitting; }
  void SetChannel(SoundRow row, bool enabled, int volume) override {
    log.push_back("channel " + std::to_string(static_cast<int>(row)) + (enabled ? " on " : " off ") +
                  std::to_string(volume));
  }
  bool IsMusicPlaying() override { return musicPlaying; }
  bool IsEnvPlaying() override { return envPlaying; }
  const std::string& MusicName() override { return musicName; }
  const std::string& EnvName() override { return envName; }
  bool MusicLoops() override { return musicLoops; }
  void PlayMusic(std::string_view name, bool loop) override {
    log.push_back("music " + std::string(name) + (loop ? " loop" : " once"));
  }
  void StopMusic() override { log.push_back("stop music"); }
  void PlayEnv(std::string_view name) override { log.push_back("env " + std::string(name)); }
  void StopEnv() override { log.push_back("stop env"); }
  void PlayVoice(std::string_view name) override { log.push_back("voice " + std::string(name)); }
  void PlaySE(std::string_view name) override { log.push_back("se " + std::string(name)); }
  void RestoreSoundNames(const std::string& music, bool, const std::string& env) override {
    log.push_back("restore " + music + "|" + env);
  }
  void ApplySoundSettings(const UserSettings& s) override {
    applied.push_back(s);
    log.push_back("apply sound");
  }
  void SaveUserSettings(const UserSettings& s) override { saved.push_back(s); }
  void CopyToClipboard(std::string_view text) override { clipboard = std::string(text); }
  int JoystickButtons() override { return joystick; }
  std::string_view CommandName(int code) override {
    switch (code) {
      case 0:
        return " （无） ";
      case 4:
        return "显示下文";
      case 12:
        return "隐藏窗";
      case 14:
        return "显示记录";
      case 23:
        return "向导　　";
      case 24:
        return "老板来了！！";
      default:
        return "other";
    }
  }
  void UpdateCaption() override { log.push_back("caption"); }
  void SetFullScreen(bool on) override {
    ++fullScreenCalls;
    fullScreen = on;
    log.push_back(on ? "full screen" : "window");
  }
};

UserSettings Defaults() {
  UserSettings s;
  ResetUserSettings(s);
  return s;
}

ConfigDialogFacts Facts() {
  ConfigDialogFacts f;
  f.title = "琴音海岸";
  f.vendor = "Lyraban";
  f.version = "1.0";
  f.date = "2026/12/01";
  f.buildDate = "2026/12/06";
  f.system.os = "Debian GNU/Linux 12 (bookworm) (Linux 6.1.0)";
  f.system.graphics = "SDL 2.26.5 (x11, opengl)";
  f.system.cpu = "Test CPU";
  f.system.ram = "2 GB";
  f.system.vram = "256 MB";
  f.system.missing = "不能播放Movie· [DirectShow]      \n";
  return f;
}

const DialogWidget* Find(ConfigDialog& d, const std::string& name, int value = -1) {
  for (const DialogWidget& w : d.Form().widgets)
    if (w.name == name && (value < 0 || w.kind != WidgetKind::Radio || w.value == value)) return &w;
  return nullptr;
}

const DialogWidget* FindText(ConfigDialog& d, const std::string& text) {
  for (const DialogWidget& w : d.Form().widgets)
    if (w.text == text) return &w;
  return nullptr;
}

int IndexOf(const DialogWidget& list, int code) {
  for (size_t i = 0; i < list.itemValues.size(); ++i)
    if (list.itemValues[i] == code) return static_cast<int>(i);
  return -1;
}

// --- the key-assignment lists ------------------------------------------------

TEST(ConfigDialogLists, AValueNotOfferedShowsTheFirstEntryAndOkStoresIt) {
  FakeHost host;
  UserSettings s = Defaults();  // Space = 2, which the Space list does not offer
  ConfigDialog d(s, Facts(), host, "sample.ogg", true, "sample.ogg");
  const DialogWidget* space = Find(d, "space");
  ASSERT_NE(space, nullptr);
  EXPECT_EQ(space->value, 0);
  EXPECT_EQ(space->items.at(0), "显示下文");
  EXPECT_EQ(space->itemValues, (std::vector<int>{4, 12, 14, 23}));
  d.Confirm();
  ASSERT_EQ(host.saved.size(), 1u);
  EXPECT_EQ(host.saved[0].SpaceCommand, 4);
  EXPECT_EQ(d.settings().SpaceCommand, 4);
  // Offered values are shown as stored and kept.
  EXPECT_EQ(host.saved[0].RightButtonCommand, 11);
  EXPECT_EQ(host.saved[0].MiddleButtonCommand, 22);
  EXPECT_EQ(host.saved[0].WheelUpCommand, 14);
  EXPECT_EQ(host.saved[0].WheelDownCommand, 4);
}

TEST(ConfigDialogLists, EachRowOffersItsCommandsInOrderAndOnlyFunctionKeysTheBossKey) {
  FakeHost host;
  ConfigDialog d(Defaults(), Facts(), host, "", true, "");
  const struct {
    const char* name;
    std::vector<int> codes;
    int shown;
  } rows[] = {
      {"right-button", {11, 12, 14, 15, 16, 17, 20, 21, 22, 23}, 0},
      {"middle-button", {22, 11, 12, 14, 15, 16, 17, 20, 21, 23}, 0},
      {"wheel-up", {12, 11, 14, 15, 16, 17, 20, 21, 22, 23}, 2},
      {"wheel-down", {4, 11, 12, 14, 15, 16, 17, 20, 21, 22, 23}, 0},
      {"f1", {0, 12, 14, 15, 16, 17, 20, 21, 22, 24, 23}, 0},
      {"f12", {0, 12, 14, 15, 16, 17, 20, 21, 22, 24, 23}, 0},
      {"pad1", {0, 2, 3, 9, 10, 12, 14, 15, 16, 17, 20, 21, 22, 23}, 1},
      {"pad2", {0, 2, 3, 9, 10, 12, 14, 15, 16, 17, 20, 21, 22, 23}, 2},
  };
  for (const auto& row : rows) {
    const DialogWidget* list = Find(d, row.name);
    ASSERT_NE(list, nullptr) << row.name;
    EXPECT_EQ(list->itemValues, row.codes) << row.name;
    EXPECT_EQ(list->items.size(), row.codes.size()) << row.name;
    EXPECT_EQ(list->value, row.shown) << row.name;
  }
  EXPECT_EQ(Find(d, "f5")->items.at(9), "老板来了！！");
}

TEST(ConfigDialogLists, ChoosingAnEntryStoresItsCommand) {
  FakeHost host;
  ConfigDialog d(Defaults(), Facts(), host, "", true, "");
  d.Change(ConfigDialog::IdFunctionKey + 2, IndexOf(*Find(d, "f3"), 24));
  d.Change(ConfigDialog::IdSpace, IndexOf(*Find(d, "space"), 14));
  d.Change(ConfigDialog::IdSpace, 99);  // no such entry: ignored
  d.Confirm();
  ASSERT_EQ(host.saved.size(), 1u);
  EXPECT_EQ(host.saved[0].FunctionKeyCommands[2], 24);
  EXPECT_EQ(host.saved[0].SpaceCommand, 14);
}

TEST(ConfigDialogLists, PadRowsFollowTheJoystickAndDisabledRowsKeepTheirValues) {
  FakeHost host;
  UserSettings s = Defaults();
  s.PadButtonCommands[5] = 7;  // not offered by the pad lists
  ConfigDialog d(s, Facts(), host, "", true, "");
  // No joystick: the whole group is disabled and the pad line empty.
  for (int i = 1; i <= 8; ++i) EXPECT_FALSE(Find(d, "pad" + std::to_string(i))->enabled) << "pad" << i;
  EXPECT_EQ(d.facts().system.pad, "");
  d.Change(ConfigDialog::IdPadButton, 0);  // ignored while disabled
  EXPECT_EQ(Find(d, "pad1")->value, 1);

  // A pad with four buttons is plugged in.
  host.joystick = 4;
  d.DevicesChanged();
  for (int i = 1; i <= 8; ++i) EXPECT_EQ(Find(d, "pad" + std::to_string(i))->enabled, i <= 4) << "pad" << i;
  EXPECT_EQ(d.facts().system.pad, "已连接   （4 按鍵）");
  d.Change(ConfigDialog::IdPadButton, IndexOf(*Find(d, "pad1"), 14));
  d.Confirm();
  ASSERT_EQ(host.saved.size(), 1u);
  EXPECT_EQ(host.saved[0].PadButtonCommands[0], 14);
  EXPECT_EQ(host.saved[0].PadButtonCommands[1], 3);
  EXPECT_EQ(host.saved[0].PadButtonCommands[5], 7) << "a disabled row must keep the stored command";
}

// --- the other controls ------------------------------------------------------

TEST(ConfigDialogControls, EveryControlEditsItsField) {
  FakeHost host;
  ConfigDialog d(Defaults(), Facts(), host, "", true, "");
  const struct {
    int id;
    int value;
    std::function<int(const UserSettings&)> field;
  } edits[] = {
      {ConfigDialog::IdUnreadSpeed, 4, [](const UserSettings& s) { return s.UnreadTextSpeed; }},
      {ConfigDialog::IdReadSpeed, 0, [](const UserSettings& s) { return s.ReadTextSpeed; }},
      {ConfigDialog::IdAutoSpeed, 10, [](const UserSettings& s) { return s.AutoModeSpeed; }},
      {ConfigDialog::IdFontKind, 2, [](const UserSettings& s) { return s.FontKind; }},
      {ConfigDialog::IdTextShadow, 0, [](const UserSettings& s) { return s.TextShadow; }},
      {ConfigDialog::IdSoundCheck + 0, 0, [](const UserSettings& s) { return s.BgmEnabled; }},
      {ConfigDialog::IdSoundCheck + 1, 0, [](const UserSettings& s) { return s.VoiceEnabled; }},
      {ConfigDialog::IdSoundCheck + 2, 0, [](const UserSettings& s) { return s.SeEnabled; }},
      {ConfigDialog::IdSoundCheck + 3, 0, [](const UserSettings& s) { return s.EnvEnabled; }},
      {ConfigDialog::IdSoundVolume + 0, 80, [](const UserSettings& s) { return s.BgmVolume; }},
      {ConfigDialog::IdSoundVolume + 1, 81, [](const UserSettings& s) { return s.VoiceVolume; }},
      {ConfigDialog::IdSoundVolume + 2, 82, [](const UserSettings& s) { return s.SeVolume; }},
      {ConfigDialog::IdSoundVolume + 3, 83, [](const UserSettings& s) { return s.EnvVolume; }},
      {ConfigDialog::IdFemaleVoices, 0, [](const UserSettings& s) { return s.FemaleVoices; }},
      {ConfigDialog::IdMaleVoices, 0, [](const UserSettings& s) { return s.MaleVoices; }},
      {ConfigDialog::IdStopVoice, 0, [](const UserSettings& s) { return s.StopVoiceOnAdvance; }},
      {ConfigDialog::IdFullScreen, 1, [](const UserSettings& s) { return s.FullScreen; }},
      {ConfigDialog::IdScreenEffects, 0, [](const UserSettings& s) { return s.ScreenEffects; }},
      {ConfigDialog::IdTextColour, 1, [](const UserSettings& s) { return s.TextColour; }},
      {ConfigDialog::IdHideCursor, 1, [](const UserSettings& s) { return s.HideIdleCursor; }},
      {ConfigDialog::IdCaptionChapter, 1, [](const UserSettings& s) { return s.ShowChapterInCaption; }},
      {ConfigDialog::IdCaptionTime, 1, [](const UserSettings& s) { return s.ShowPlayTimeInCaption; }},
      {ConfigDialog::IdSkipAll, 1, [](const UserSettings& s) { return s.SkipAllText; }},
      {ConfigDialog::IdStopSkip, 0, [](const UserSettings& s) { return s.StopSkipAfterChoice; }},
      {ConfigDialog::IdBossAction, 2, [](const UserSettings& s) { return s.BossKeyAction; }},
  };
  for (const auto& e : edits) d.Change(e.id, e.value);
  const UserSettings read = d.ReadControls();
  for (const auto& e : edits) EXPECT_EQ(e.field(read), e.value) << "control " << e.id;
  EXPECT_TRUE(host.saved.empty()) << "nothing is saved before OK";
}

TEST(ConfigDialogControls, RangesAndChoicesAreKept) {
  FakeHost host;
  UserSettings s = Defaults();
  s.AutoModeSpeed = 30;  // out of the slider's range in the file
  ConfigDialog d(s, Facts(), host, "", true, "");
  EXPECT_EQ(Find(d, "auto-speed")->value, 10);
  d.Change(ConfigDialog::IdUnreadSpeed, 9);
  d.Change(ConfigDialog::IdSoundVolume, -5);
  d.Change(ConfigDialog::IdFontKind, 3);     // no such radio button
  d.Change(ConfigDialog::IdTextShadow, 2);   // no such radio button
  d.Change(ConfigDialog::IdBossAction, -1);  // no such radio button
  const UserSettings read = d.ReadControls();
  EXPECT_EQ(read.UnreadTextSpeed, 4);
  EXPECT_EQ(read.AutoModeSpeed, 10);
  EXPECT_EQ(read.BgmVolume, 0);
  EXPECT_EQ(read.FontKind, 0);
  EXPECT_EQ(read.TextShadow, 1);
  EXPECT_EQ(read.BossKeyAction, 0);
  // Radio buttons show which one is chosen.
  EXPECT_TRUE(Find(d, "fullscreen", 0)->on);
  EXPECT_FALSE(Find(d, "fullscreen", 1)->on);
}

// --- sound while the dialog is open ------------------------------------------

TEST(ConfigDialogSound, SlidersAndBoxesAreHeardAtOnce) {
  FakeHost host;
  ConfigDialog d(Defaults(), Facts(), host, "", true, "");
  d.Change(ConfigDialog::IdSoundVolume + 0, 90);
  d.Change(ConfigDialog::IdSoundCheck + 2, 0);
  d.Change(ConfigDialog::IdSoundVolume + 3, 10);
  EXPECT_EQ(host.log, (std::vector<std::string>{"channel 0 on 90", "channel 2 off 50", "channel 3 on 10"}));
}

TEST(ConfigDialogSound, PlayButtonsStartAndStopTheRememberedSoundsWithTheirCaptions) {
  FakeHost host;
  ConfigDialog d(Defaults(), Facts(), host, "bgm_theme.ogg", false, "sample.ogg");
  EXPECT_EQ(Find(d, "bgm-play")->text, "再生");
  EXPECT_EQ(Find(d, "env-play")->text, "再生");
  EXPECT_EQ(Find(d, "voice-play")->text, "播放");
  EXPECT_EQ(Find(d, "se-play")->text, "播放");
  d.Press(ConfigDialog::IdSoundPlay + 0);
  host.musicPlaying = true;
  EXPECT_EQ(Find(d, "bgm-play")->text, "停止");
  d.Press(ConfigDialog::IdSoundPlay + 0);
  d.Press(ConfigDialog::IdSoundPlay + 1);
  d.Press(ConfigDialog::IdSoundPlay + 2);
  d.Press(ConfigDialog::IdSoundPlay + 3);
  host.envPlaying = true;
  d.Press(ConfigDialog::IdSoundPlay + 3);
  EXPECT_EQ(host.log, (std::vector<std::string>{"music bgm_theme.ogg once", "stop music", "voice sample.ogg",
                                                "se sample.ogg", "env sample.ogg", "stop env"}));
}

TEST(ConfigDialogSound, WithoutSoundOutputTheGroupIsDisabledAndKeepsTheStoredValues) {
  FakeHost host;
  ConfigDialogFacts facts = Facts();
  facts.soundAvailable = false;
  UserSettings s = Defaults();
  s.BgmVolume = 77;
  ConfigDialog d(s, facts, host, "", true, "");
  for (const char* name : {"bgm", "bgm-volume", "bgm-play", "voice", "se-volume", "env-play", "female-voices"}) {
    const DialogWidget* w = Find(d, name);
    ASSERT_NE(w, nullptr) << name;
    EXPECT_FALSE(w->enabled) << name;
  }
  EXPECT_EQ(Find(d, "bgm-volume")->value, 0) << "the stored volume is not shown";
  d.Change(ConfigDialog::IdSoundVolume, 10);
  d.Change(ConfigDialog::IdMaleVoices, 0);
  d.Press(ConfigDialog::IdSoundPlay);
  EXPECT_TRUE(host.log.empty());
  d.Confirm();
  ASSERT_EQ(host.saved.size(), 1u);
  EXPECT_EQ(host.saved[0].BgmVolume, 77);
  EXPECT_EQ(host.saved[0].MaleVoices, 1);
}

// --- ways out ----------------------------------------------------------------

TEST(ConfigDialogRun, CancelKeepsTheSettingsAndReappliesSoundCaptionAndWindowMode) {
  FakeHost host;
  host.musicName = "bgm_title.ogg";
  host.envName = "";
  UserSettings s = Defaults();
  host.steps = [](ConfigDialog& d) {
    d.Change(ConfigDialog::IdSoundVolume, 5);
    d.Change(ConfigDialog::IdFullScreen, 1);
    d.Cancel();
    d.Confirm();  // too late: the dialog is closed
  };
  EXPECT_TRUE(RunConfigDialog(s, Facts(), host));
  EXPECT_TRUE(host.saved.empty());
  EXPECT_EQ(s.BgmVolume, 50);
  EXPECT_EQ(s.FullScreen, 0);
  ASSERT_EQ(host.applied.size(), 1u);
  EXPECT_EQ(host.applied[0].BgmVolume, 50);
  EXPECT_EQ(host.log, (std::vector<std::string>{"show", "channel 0 on 5", "restore bgm_title.ogg|", "apply sound",
                                                "caption", "window"}));
}

TEST(ConfigDialogRun, OkStoresSavesAndSwitchesToFullScreenAfterClosing) {
  FakeHost host;
  UserSettings s = Defaults();
  host.steps = [&](ConfigDialog& d) {
    d.Change(ConfigDialog::IdFullScreen, 1);
    d.Change(ConfigDialog::IdSoundVolume, 70);
    EXPECT_EQ(host.fullScreenCalls, 0) << "the window mode changes only after the dialog";
    d.Press(ConfigDialog::IdOk);
  };
  EXPECT_TRUE(RunConfigDialog(s, Facts(), host));
  ASSERT_EQ(host.saved.size(), 1u);
  EXPECT_EQ(host.saved[0].FullScreen, 1);
  EXPECT_EQ(s.FullScreen, 1);
  EXPECT_EQ(s.BgmVolume, 70);
  EXPECT_TRUE(host.fullScreen);
  ASSERT_EQ(host.applied.size(), 1u);
  EXPECT_EQ(host.applied[0].BgmVolume, 70);
}

TEST(ConfigDialogRun, TheRememberedSoundsOrTheSampleArePlayedAndPutBack) {
  FakeHost host;
  host.envName = "env_waves.ogg";
  UserSettings s = Defaults();
  host.steps = [](ConfigDialog& d) {
    d.Press(ConfigDialog::IdSoundPlay + 0);
    d.Press(ConfigDialog::IdSoundPlay + 3);
  };
  EXPECT_TRUE(RunConfigDialog(s, Facts(), host));
  EXPECT_EQ(host.log.at(1), "music sample.ogg loop");
  EXPECT_EQ(host.log.at(2), "env env_waves.ogg");
  EXPECT_EQ(host.log.at(3), "restore |env_waves.ogg");
}

TEST(ConfigDialogRun, QuittingWhileOpenReturnsAtOnce) {
  FakeHost host;
  host.quitting = true;
  UserSettings s = Defaults();
  EXPECT_FALSE(RunConfigDialog(s, Facts(), host));
  EXPECT_EQ(host.log, (std::vector<std::string>{"show"}));
}

// --- texts and layout --------------------------------------------------------

TEST(ConfigDialogForm, TabsButtonsAndFixedTexts) {
  FakeHost host;
  ConfigDialog d(Defaults(), Facts(), host, "", true, "");
  const platform::DialogForm& f = d.Form();
  EXPECT_EQ(f.caption, "设置　　　");
  EXPECT_EQ(f.width, 629);
  EXPECT_EQ(f.height, 453);
  EXPECT_EQ(f.tabs, (std::vector<std::string>{"基本设置", "按键设置", "版本信息　　　"}));
  const DialogWidget* ok = Find(d, "ok");
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text, "OK");
  EXPECT_EQ(ok->id, 1);
  EXPECT_TRUE(ok->isDefault);
  EXPECT_EQ(ok->x, 392);
  EXPECT_EQ(ok->y, 424);
  EXPECT_EQ(Find(d, "cancel")->text, "Cancel    ");
  EXPECT_EQ(Find(d, "cancel")->id, 2);
  EXPECT_EQ(Find(d, "copy")->id, 999);
  EXPECT_EQ(Find(d, "copy")->text, "复制Version信息       ");
  for (const char* text : {"文字　　",
                           "声音　　",
                           "表示",
                           "ＳＫＩＰ",
                           "老板键　　　　　",
                           "鼠标  ",
                           "Keyboard  ",
                           "Gamepad     ",
                           "Shortcut一览      ",
                           "作品Version   ",
                           "SystemVersion     ",
                           "System信息  ",
                           "全屏模式　　　",
                           "最小化時伪装为记事本　",
                           "鼠標右鍵  ",
                           "按鍵   8",
                           "文字顏色　　　",
                           "鼠标指針　　　",
                           "Lyraban 汎式β",
                           "1.03b",
                           "Bulid年月日  ："})
    EXPECT_NE(FindText(d, text), nullptr) << "no widget shows \"" << text << "\"";
  const DialogWidget* shortcuts = nullptr;
  for (const DialogWidget& w : f.widgets)
    if (w.kind == WidgetKind::Text) shortcuts = &w;
  ASSERT_NE(shortcuts, nullptr);
  const std::string head = "Enter\t显示下文\nEsc\tConfig    \nTab\t对话框\nCtrl\tＳＫＩＰ    \n\nInsert\t";
  const std::string tail = "\n\n小键盘   +\tAuto  \n小键盘   -\tSkip    \n小键盘   *\t显示记录\n小键盘   /\t对话框\n";
  ASSERT_GT(shortcuts->text.size(), head.size() + tail.size());
  EXPECT_EQ(shortcuts->text.substr(0, head.size()), head);
  EXPECT_EQ(shortcuts->text.substr(shortcuts->text.size() - tail.size()), tail);
}

TEST(ConfigDialogForm, FunctionKeyRowsAreGroupedByFours) {
  FakeHost host;
  ConfigDialog d(Defaults(), Facts(), host, "", true, "");
  const int page1y = Find(d, "f1")->y;
  const int expected[] = {0, 24, 48, 72, 104, 128, 152, 176, 208, 232, 256, 280};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(Find(d, "f" + std::to_string(i + 1))->y - page1y, expected[i]) << "F" << i + 1;
}

TEST(ConfigDialogForm, SwappedMouseButtonsNameTheLeftButton) {
  FakeHost host;
  ConfigDialogFacts facts = Facts();
  facts.swappedButtons = true;
  ConfigDialog d(Defaults(), facts, host, "", true, "");
  EXPECT_NE(FindText(d, "鼠標左键  "), nullptr);
  EXPECT_EQ(FindText(d, "鼠標右鍵  "), nullptr);
}

// --- the version page and its report -----------------------------------------

TEST(ConfigDialogReport, CopyPutsTheReportOnTheClipboard) {
  FakeHost host;
  ConfigDialog d(Defaults(), Facts(), host, "", true, "");
  d.Press(ConfigDialog::IdCopy);
  const std::string rule = "----------------------------------------------------------------";
  const std::string expected = "Version信息（請將Support郵件地址粘貼如下）            \r\n" + rule +
                               "\r\n\r\n[System version]\r\nName：Lyraban 汎式β\r\nVersion：1.03b"
                               "\r\nBuild：2026/12/06\r\n\r\n[Product info]\r\nTitle：琴音海岸\r\nVendor：Lyraban"
                               "\r\nVersion：1.0\r\nRelease：2026/12/01\r\n\r\n[System info]"
                               "\r\nOS：Debian GNU/Linux 12 (bookworm) (Linux 6.1.0)"
                               "\r\nDirectX：SDL 2.26.5 (x11, opengl)\r\nCPU：Test CPU\r\nRAM：2 GB\r\nVRAM：256 MB"
                               "\r\n\r\n" +
                               rule + "\r\n";
  EXPECT_EQ(host.clipboard, expected);
  EXPECT_FALSE(d.Finished()) << "copying does not close the dialog";
}

}  // namespace
}  // namespace lyraban::testing
