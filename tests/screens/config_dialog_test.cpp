#include "screens/config_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace lyraban::testing {
namespace {

using platform::DialogWidget;
using platform::WidgetKind;

// Records what the dialog asks of the engine; the dialog loop is a script of
// steps run against the model.
struct FakeHost final : ConfigDialogHost {
  std::function<void(ConfigDialog&)> steps;
  bool quitting = false, musicPlaying = false, envPlaying = false, musicLoops = true, fullScreen = false;
  int joystick = -1, fullScreenCalls = 0;
  std::string musicName, envName, clipboard;
  std::vector<std::string> log;
  std::vector<UserSettings> saved, applied;

  bool ShowDialog(platform::DialogModel& model) override {
    log.push_back("show");
    if (steps) steps(static_cast<ConfigDialog&>(model));
    if (!model.Idle()) return false;
    if (!model.Finished()) model.Cancel();
    return true;
  }
  void SetChannel(SoundRow row, bool enabled, int volume) override {
    log.push_back("channel " + std::to_string(static_cast<int>(row)) + (enabled ? " on " : " off ") +
                  std::to_string(volume));
  }
  void PlayMusic(std::string_view name, bool loop) override {
    log.push_back("music " + std::string(name) + (loop ? " loop" : " once"));
  }
  void RestoreSoundNames(const std::string& music, bool, const std::string& env) override {
    log.push_back("restore " + music + "|" + env);
  }
  // clang-format off
  bool Idle() override { return !quitting; }  bool MusicLoops() override { return musicLoops; }
  bool IsMusicPlaying() override { return musicPlaying; }  bool IsEnvPlaying() override { return envPlaying; }
  const std::string& MusicName() override { return musicName; }
  const std::string& EnvName() override { return envName; }
  void StopMusic() override { log.push_back("stop music"); }  void StopEnv() override { log.push_back("stop env"); }
  void PlayEnv(std::string_view name) override { log.push_back("env " + std::string(name)); }
  void PlayVoice(std::string_view name) override { log.push_back("voice " + std::string(name)); }
  void PlaySE(std::string_view name) override { log.push_back("se " + std::string(name)); }
  void ApplySoundSettings(const UserSettings& s) override { applied.push_back(s), log.push_back("apply sound"); }
  void SaveUserSettings(const UserSettings& s) override { saved.push_back(s); }
  void CopyToClipboard(std::string_view text) override { clipboard = std::string(text); }
  int JoystickButtons() override { return joystick; }  void UpdateCaption() override { log.push_back("caption"); }
  void SetFullScreen(bool on) override {
    ++fullScreenCalls, fullScreen = on, log.push_back(on ? "full screen" : "window");
  }
  // clang-format on
  std::string_view CommandName(int code) override {
    static const std::map<int, std::string> names = {{0, " （无） "},  {4, "显示下文"},  {12, "隐藏窗"},
                                                     {14, "显示记录"}, {23, "向导　　"}, {24, "老板来了！！"}};
    const auto it = names.find(code);
    return it == names.end() ? std::string_view("other") : std::string_view(it->second);
  }
};

ConfigDialogFacts Facts() {
  // clang-format off
  return {.title = "琴音海岸", .vendor = "Lyraban", .version = "1.0", .date = "2026/12/01", .buildDate = "2026/12/06",
          .system = {.os = "Debian GNU/Linux 12 (bookworm) (Linux 6.1.0)", .graphics = "SDL 2.26.5 (x11, opengl)",
                     .cpu = "Test CPU", .ram = "2 GB", .vram = "256 MB", .pad = "",
                     .missing = "不能播放Movie· [DirectShow]      \n"}};
  // clang-format on
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

// The five single key rows: right, middle, wheel up, wheel down, Space.
std::vector<int> Keys(const UserSettings& s) {
  return {s.RightButtonCommand, s.MiddleButtonCommand, s.WheelUpCommand, s.WheelDownCommand, s.SpaceCommand};
}

class ConfigDialogTest : public ::testing::Test {
 protected:
  ConfigDialogTest() { ResetUserSettings(settings); }
  ConfigDialog Open(ConfigDialogFacts facts = Facts(), std::string music = "", bool loop = true, std::string env = "") {
    return ConfigDialog(settings, std::move(facts), host, std::move(music), loop, std::move(env));
  }
  // OK closes the dialog, which saves once.
  const UserSettings& Saved(ConfigDialog& d) {
    d.Confirm();
    EXPECT_EQ(host.saved.size(), 1u);
    return host.saved.at(0);
  }

  FakeHost host;
  UserSettings settings;
};

// --- the key-assignment lists ------------------------------------------------

TEST_F(ConfigDialogTest, EachRowOffersItsCommandsInOrderAndOnlyFunctionKeysTheBossKey) {
  ConfigDialog d = Open();
  const struct {
    const char* name;
    std::vector<int> codes;
    int shown;
  } rows[] = {
      {"right-button", {11, 12, 14, 15, 16, 17, 20, 21, 22, 23}, 0},
      {"middle-button", {22, 11, 12, 14, 15, 16, 17, 20, 21, 23}, 0},
      {"wheel-up", {12, 11, 14, 15, 16, 17, 20, 21, 22, 23}, 2},
      {"wheel-down", {4, 11, 12, 14, 15, 16, 17, 20, 21, 22, 23}, 0},
      {"space", {4, 12, 14, 23}, 0},  // Space = 2 is not offered: the first entry is shown
      {"f1", {0, 12, 14, 15, 16, 17, 20, 21, 22, 24, 23}, 0},
      {"f12", {0, 12, 14, 15, 16, 17, 20, 21, 22, 24, 23}, 0},
      {"pad1", {0, 2, 3, 9, 10, 12, 14, 15, 16, 17, 20, 21, 22, 23}, 1},
      {"pad2", {0, 2, 3, 9, 10, 12, 14, 15, 16, 17, 20, 21, 22, 23}, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const DialogWidget* list = Find(d, row.name);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->itemValues, row.codes);
    EXPECT_EQ(list->items.size(), row.codes.size());
    EXPECT_EQ(list->value, row.shown);
  }
  EXPECT_EQ(Find(d, "f5")->items.at(9), "老板来了！！");
  EXPECT_EQ(Find(d, "space")->items.at(0), "显示下文");
}

TEST_F(ConfigDialogTest, OkStoresTheChosenEntriesAndTheFirstForAValueNotOffered) {
  ConfigDialog d = Open();  // Space = 2 is not offered; the other rows are offered and kept
  EXPECT_EQ(Keys(Saved(d)), (std::vector<int>{11, 22, 14, 4, 4}));
  EXPECT_EQ(d.settings().SpaceCommand, 4);
  host.saved.clear();
  ConfigDialog e = Open();
  e.Change(ConfigDialog::IdFunctionKey + 2, IndexOf(*Find(e, "f3"), 24));
  e.Change(ConfigDialog::IdSpace, IndexOf(*Find(e, "space"), 14));
  e.Change(ConfigDialog::IdSpace, 99);  // no such entry: ignored
  const UserSettings& saved = Saved(e);
  EXPECT_EQ(std::pair(int{saved.FunctionKeyCommands[2]}, int{saved.SpaceCommand}), std::pair(24, 14));
}

TEST_F(ConfigDialogTest, PadRowsFollowTheJoystickAndDisabledRowsKeepTheirValues) {
  settings.PadButtonCommands[5] = 7;  // not offered by the pad lists
  ConfigDialog d = Open();
  // No joystick: the whole group is disabled and the pad line empty; a pad with four buttons comes after.
  for (int joystick : {-1, 4}) {
    if (joystick > 0) host.joystick = joystick, d.DevicesChanged();
    for (int i = 1; i <= 8; ++i) EXPECT_EQ(Find(d, "pad" + std::to_string(i))->enabled, i <= joystick) << "pad" << i;
    EXPECT_EQ(d.facts().system.pad, joystick < 0 ? "" : "已连接   （4 按鍵）");
    d.Change(ConfigDialog::IdPadButton, 0);  // ignored while disabled
    EXPECT_EQ(Find(d, "pad1")->value, joystick < 0 ? 1 : 0);
  }
  d.Change(ConfigDialog::IdPadButton, IndexOf(*Find(d, "pad1"), 14));
  const UserSettings& saved = Saved(d);
  EXPECT_EQ(std::vector<int>(saved.PadButtonCommands, saved.PadButtonCommands + 8),
            (std::vector<int>{14, 3, 0, 0, 0, 7, 0, 0}))
      << "a disabled row (the sixth) must keep the stored command";
}

// --- the other controls ------------------------------------------------------

TEST_F(ConfigDialogTest, EveryControlEditsItsField) {
  using C = ConfigDialog;
  using S = UserSettings;
  ConfigDialog d = Open();
  // clang-format off
  const std::tuple<int, int, i32 S::*> wide[] = {{C::IdUnreadSpeed, 4, &S::UnreadTextSpeed},
      {C::IdReadSpeed, 0, &S::ReadTextSpeed}, {C::IdAutoSpeed, 10, &S::AutoModeSpeed},
      {C::IdSoundVolume + 0, 80, &S::BgmVolume}, {C::IdSoundVolume + 1, 81, &S::VoiceVolume},
      {C::IdSoundVolume + 2, 82, &S::SeVolume}, {C::IdSoundVolume + 3, 83, &S::EnvVolume}};
  const std::tuple<int, int, u8 S::*> narrow[] = {{C::IdFontKind, 2, &S::FontKind},
      {C::IdTextShadow, 0, &S::TextShadow}, {C::IdSoundCheck + 0, 0, &S::BgmEnabled},
      {C::IdSoundCheck + 1, 0, &S::VoiceEnabled}, {C::IdSoundCheck + 2, 0, &S::SeEnabled},
      {C::IdSoundCheck + 3, 0, &S::EnvEnabled},
      {C::IdFemaleVoices, 0, &S::FemaleVoices}, {C::IdMaleVoices, 0, &S::MaleVoices},
      {C::IdStopVoice, 0, &S::StopVoiceOnAdvance}, {C::IdFullScreen, 1, &S::FullScreen},
      {C::IdScreenEffects, 0, &S::ScreenEffects}, {C::IdTextColour, 1, &S::TextColour},
      {C::IdHideCursor, 1, &S::HideIdleCursor}, {C::IdCaptionChapter, 1, &S::ShowChapterInCaption},
      {C::IdCaptionTime, 1, &S::ShowPlayTimeInCaption}, {C::IdSkipAll, 1, &S::SkipAllText},
      {C::IdStopSkip, 0, &S::StopSkipAfterChoice}, {C::IdBossAction, 2, &S::BossKeyAction}};
  // clang-format on
  for (auto [id, value, field] : wide) d.Change(id, value);
  for (auto [id, value, field] : narrow) d.Change(id, value);
  const UserSettings read = d.ReadControls();
  for (auto [id, value, field] : wide) EXPECT_EQ(read.*field, value) << "control " << id;
  for (auto [id, value, field] : narrow) EXPECT_EQ(int{read.*field}, value) << "control " << id;
  EXPECT_TRUE(host.saved.empty()) << "nothing is saved before OK";
}

TEST_F(ConfigDialogTest, RangesAndChoicesAreKept) {
  settings.AutoModeSpeed = 30;  // out of the slider's range in the file
  ConfigDialog d = Open();
  EXPECT_EQ(Find(d, "auto-speed")->value, 10);
  d.Change(ConfigDialog::IdUnreadSpeed, 9);
  d.Change(ConfigDialog::IdSoundVolume, -5);
  d.Change(ConfigDialog::IdFontKind, 3);     // no such radio button
  d.Change(ConfigDialog::IdTextShadow, 2);   // no such radio button
  d.Change(ConfigDialog::IdBossAction, -1);  // no such radio button
  const UserSettings read = d.ReadControls();
  // Unread speed, auto speed, music volume, font, shadow, boss action.
  EXPECT_EQ((std::vector<int>{read.UnreadTextSpeed, read.AutoModeSpeed, read.BgmVolume, read.FontKind, read.TextShadow,
                              read.BossKeyAction}),
            (std::vector<int>{4, 10, 0, 0, 1, 0}));
  // Radio buttons show which one is chosen.
  EXPECT_TRUE(Find(d, "fullscreen", 0)->on);
  EXPECT_FALSE(Find(d, "fullscreen", 1)->on);
}

// --- sound while the dialog is open ------------------------------------------

TEST_F(ConfigDialogTest, SlidersAndBoxesAreHeardAtOnce) {
  ConfigDialog d = Open();
  d.Change(ConfigDialog::IdSoundVolume + 0, 90);
  d.Change(ConfigDialog::IdSoundCheck + 2, 0);
  d.Change(ConfigDialog::IdSoundVolume + 3, 10);
  EXPECT_EQ(host.log, (std::vector<std::string>{"channel 0 on 90", "channel 2 off 50", "channel 3 on 10"}));
}

TEST_F(ConfigDialogTest, PlayButtonsStartAndStopTheRememberedSoundsWithTheirCaptions) {
  ConfigDialog d = Open(Facts(), "bgm_theme.ogg", false, "sample.ogg");
  const auto captions = [&] {
    std::vector<std::string> texts;
    for (const char* name : {"bgm-play", "env-play", "voice-play", "se-play"}) texts.push_back(Find(d, name)->text);
    return texts;
  };
  EXPECT_EQ(captions(), (std::vector<std::string>{"再生", "再生", "播放", "播放"}));
  d.Press(ConfigDialog::IdSoundPlay + 0);
  host.musicPlaying = true;
  EXPECT_EQ(Find(d, "bgm-play")->text, "停止");
  for (int row : {0, 1, 2, 3}) d.Press(ConfigDialog::IdSoundPlay + row);
  host.envPlaying = true;
  d.Press(ConfigDialog::IdSoundPlay + 3);
  EXPECT_EQ(host.log, (std::vector<std::string>{"music bgm_theme.ogg once", "stop music", "voice sample.ogg",
                                                "se sample.ogg", "env sample.ogg", "stop env"}));
}

TEST_F(ConfigDialogTest, WithoutSoundOutputTheGroupIsDisabledAndKeepsTheStoredValues) {
  ConfigDialogFacts facts = Facts();
  facts.soundAvailable = false;
  settings.BgmVolume = 77;
  ConfigDialog d = Open(facts);
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
  const UserSettings& saved = Saved(d);
  EXPECT_EQ(saved.BgmVolume, 77);
  EXPECT_EQ(saved.MaleVoices, 1);
}

// --- ways out ----------------------------------------------------------------

TEST_F(ConfigDialogTest, CancelKeepsTheSettingsAndReappliesSoundCaptionAndWindowMode) {
  host.musicName = "bgm_title.ogg";
  host.steps = [](ConfigDialog& d) {
    d.Change(ConfigDialog::IdSoundVolume, 5);
    d.Change(ConfigDialog::IdFullScreen, 1);
    d.Cancel();
    d.Confirm();  // too late: the dialog is closed
  };
  EXPECT_TRUE(RunConfigDialog(settings, Facts(), host));
  EXPECT_TRUE(host.saved.empty());
  EXPECT_EQ(std::tuple(settings.BgmVolume, int{settings.FullScreen}), std::tuple(50, 0));
  ASSERT_EQ(host.applied.size(), 1u);
  EXPECT_EQ(host.applied[0].BgmVolume, 50);
  EXPECT_EQ(host.log, (std::vector<std::string>{"show", "channel 0 on 5", "restore bgm_title.ogg|", "apply sound",
                                                "caption", "window"}));
}

TEST_F(ConfigDialogTest, OkStoresSavesAndSwitchesToFullScreenAfterClosing) {
  host.steps = [&](ConfigDialog& d) {
    d.Change(ConfigDialog::IdFullScreen, 1);
    d.Change(ConfigDialog::IdSoundVolume, 70);
    EXPECT_EQ(host.fullScreenCalls, 0) << "the window mode changes only after the dialog";
    d.Press(ConfigDialog::IdOk);
  };
  EXPECT_TRUE(RunConfigDialog(settings, Facts(), host));
  ASSERT_EQ(host.saved.size(), 1u);
  // Saved full screen, kept full screen, kept volume, window mode.
  EXPECT_EQ(std::tuple(int{host.saved[0].FullScreen}, int{settings.FullScreen}, settings.BgmVolume, host.fullScreen),
            std::tuple(1, 1, 70, true));
  ASSERT_EQ(host.applied.size(), 1u);
  EXPECT_EQ(host.applied[0].BgmVolume, 70);
}

TEST_F(ConfigDialogTest, TheRememberedSoundsOrTheSampleArePlayedAndPutBack) {
  host.envName = "env_waves.ogg";
  host.steps = [](ConfigDialog& d) {
    d.Press(ConfigDialog::IdSoundPlay + 0);
    d.Press(ConfigDialog::IdSoundPlay + 3);
  };
  EXPECT_TRUE(RunConfigDialog(settings, Facts(), host));
  ASSERT_GE(host.log.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(host.log.begin() + 1, host.log.begin() + 4),
            (std::vector<std::string>{"music sample.ogg loop", "env env_waves.ogg", "restore |env_waves.ogg"}));
}

TEST_F(ConfigDialogTest, QuittingWhileOpenReturnsAtOnce) {
  host.quitting = true;
  EXPECT_FALSE(RunConfigDialog(settings, Facts(), host));
  EXPECT_EQ(host.log, (std::vector<std::string>{"show"}));
}

// --- texts, layout and the version report ------------------------------------

TEST_F(ConfigDialogTest, TabsButtonsAndFixedTexts) {
  ConfigDialog d = Open();
  const platform::DialogForm& f = d.Form();
  EXPECT_EQ(std::tuple(f.caption, f.width, f.height), std::tuple("设置　　　", 629, 453));
  EXPECT_EQ(f.tabs, (std::vector<std::string>{"基本设置", "按键设置", "版本信息　　　"}));
  // clang-format off
  for (auto [name, text, id] : {std::tuple{"ok", "OK", 1}, {"cancel", "Cancel    ", 2},
       {"copy", "复制Version信息       ", 999}}) {
    // clang-format on
    const DialogWidget* w = Find(d, name);
    ASSERT_NE(w, nullptr) << name;
    EXPECT_EQ(std::tuple(w->text, w->id, w->isDefault), std::tuple(text, id, id == 1)) << name;
  }
  EXPECT_EQ(std::pair(Find(d, "ok")->x, Find(d, "ok")->y), std::pair(392, 424));
  // clang-format off
  for (const char* text : {"文字　　", "声音　　", "表示", "ＳＫＩＰ", "老板键　　　　　", "鼠标  ", "Keyboard  ",
       "Gamepad     ", "Shortcut一览      ", "作品Version   ", "SystemVersion     ", "System信息  ", "全屏模式　　　",
       "最小化時伪装为记事本　", "鼠標右鍵  ", "按鍵   8", "文字顏色　　　", "鼠标指針　　　", "Lyraban 汎式β", "1.03b",
       "Bulid年月日  ："})
    // clang-format on
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

TEST_F(ConfigDialogTest, FunctionKeyRowsAreGroupedByFoursAndSwappedButtonsNameTheLeft) {
  ConfigDialog d = Open();
  const int page1y = Find(d, "f1")->y;
  const int expected[] = {0, 24, 48, 72, 104, 128, 152, 176, 208, 232, 256, 280};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(Find(d, "f" + std::to_string(i + 1))->y - page1y, expected[i]) << "F" << i + 1;

  ConfigDialogFacts facts = Facts();
  facts.swappedButtons = true;
  ConfigDialog swapped = Open(facts);
  EXPECT_NE(FindText(swapped, "鼠標左键  "), nullptr);
  EXPECT_EQ(FindText(swapped, "鼠標右鍵  "), nullptr);
}

TEST_F(ConfigDialogTest, CopyPutsTheReportOnTheClipboard) {
  ConfigDialog d = Open();
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
