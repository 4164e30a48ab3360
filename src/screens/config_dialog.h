#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"
#include "persist/user_settings.h"
#include "platform/dialog.h"
#include "sysinfo/system_info.h"

namespace lyraban {

// The four rows of the sound group, top to bottom.
enum class SoundRow : u8 { Bgm = 0, Voice = 1, Se = 2, Env = 3 };

// What the configuration dialog needs from the engine.
class ConfigDialogHost {
 public:
  virtual ~ConfigDialogHost() = default;

  // Runs the dialog's modal loop (the platform's); false when the program
  // began quitting while it was open.
  virtual bool ShowDialog(platform::DialogModel& model) = 0;
  // The engine's timers, every turn of the dialog loop; false once quitting.
  virtual bool Idle() = 0;

  // Live sound. Names are in the game's code page.
  virtual void SetChannel(SoundRow row, bool enabled, int volume) = 0;
  virtual bool IsMusicPlaying() = 0;
  virtual bool IsEnvPlaying() = 0;
  virtual const std::string& MusicName() = 0;
  virtual const std::string& EnvName() = 0;
  virtual bool MusicLoops() = 0;
  virtual void PlayMusic(std::string_view name, bool loop) = 0;
  virtual void StopMusic() = 0;
  virtual void PlayEnv(std::string_view name) = 0;
  virtual void StopEnv() = 0;
  virtual void PlayVoice(std::string_view name) = 0;
  virtual void PlaySE(std::string_view name) = 0;
  // The remembered names go back as the channels' names (nothing plays yet).
  virtual void RestoreSoundNames(const std::string& music, bool loop, const std::string& env) = 0;
  virtual void ApplySoundSettings(const UserSettings& settings) = 0;

  virtual void SaveUserSettings(const UserSettings& settings) = 0;
  virtual void CopyToClipboard(std::string_view utf8) = 0;
  // Buttons of joystick 0 (at most 8), -1 without a joystick.
  virtual int JoystickButtons() = 0;
  // The display name of an input command (UTF-8).
  virtual std::string_view CommandName(int code) = 0;

  // After the dialog: the caption and the window mode from the settings.
  virtual void UpdateCaption() = 0;
  virtual void SetFullScreen(bool on) = 0;
};

// What the version page shows besides the machine (UTF-8).
struct ConfigDialogFacts {
  std::string title, vendor, version, date;  // the game's System.Info
  std::string buildDate;
  SystemReport system;
  bool soundAvailable = true;   // sound output exists
  int functionKeys = 12;        // function keys the keyboard has
  bool swappedButtons = false;  // the system swaps the mouse buttons
};

inline constexpr const char* kSystemName = "Lyraban 汎式β";
inline constexpr const char* kSystemVersion = "1.03b";
inline constexpr const char* kSampleSound = "sample.ogg";

// The support report the copy button puts on the clipboard, line breaks as
// CR LF.
std::string BuildVersionReport(const ConfigDialogFacts& facts);

// The configuration dialog's state and rules: a working copy of the
// settings that the controls edit, the key-assignment lists, live sound
// while it is open, and what OK and Cancel keep. Drawing is the platform's.
class ConfigDialog final : public platform::DialogModel {
 public:
  enum Result : u8 { Open = 0, Confirmed = 1, Cancelled = 2 };
  // Control identifiers: those of the buttons are the dialog's own numbers.
  enum Id : int {
    IdOk = 1,
    IdCancel = 2,
    IdSoundCheck = 500,  // + row
    IdSoundPlay = 504,   // + row
    IdCopy = 999,
    IdUnreadSpeed = 100,
    IdReadSpeed,
    IdAutoSpeed,
    IdFontKind,
    IdTextShadow,
    IdSoundVolume,  // + row (4 ids)
    IdFemaleVoices = IdSoundVolume + 4,
    IdMaleVoices,
    IdStopVoice,
    IdFullScreen,
    IdScreenEffects,
    IdTextColour,
    IdHideCursor,
    IdCaptionChapter,
    IdCaptionTime,
    IdSkipAll,
    IdStopSkip,
    IdBossAction,
    IdRightButton,
    IdMiddleButton,
    IdWheelUp,
    IdWheelDown,
    IdSpace,
    IdFunctionKey = 200,  // + 0..11
    IdPadButton = 220,    // + 0..7
  };

  // `music` and `env` are the names the two play buttons start.
  ConfigDialog(const UserSettings& settings, ConfigDialogFacts facts, ConfigDialogHost& host, std::string music,
               bool musicLoops, std::string env);

  const platform::DialogForm& Form() override;
  int CurrentPage() const override { return page_; }
  void SelectPage(int page) override;
  void Change(int id, int value) override;
  void Press(int id) override;
  void Confirm() override { Press(IdOk); }
  void Cancel() override;
  bool Finished() const override { return result_ != Open; }
  bool Idle() override { return host_.Idle(); }
  void DevicesChanged() override;

  Result result() const { return result_; }
  // The settings as the controls hold them now (what OK would store).
  UserSettings ReadControls() const;
  // The settings OK stored; the ones given at the start until then.
  const UserSettings& settings() const { return settings_; }
  int joystickButtons() const { return padButtons_; }
  const ConfigDialogFacts& facts() const { return facts_; }

 private:
  bool RowEnabled(int id) const;
  void ApplySoundRow(int row);
  void Rebuild();

  UserSettings settings_;
  UserSettings edit_;
  // The entry each assignment list shows: mouse rows and Space, F1..F12,
  // pad buttons 1..8.
  std::array<int, 25> listIndex_{};
  ConfigDialogFacts facts_;
  ConfigDialogHost& host_;
  std::string music_, env_;
  bool musicLoops_ = true;
  int page_ = 0;
  int padButtons_ = -1;
  Result result_ = Open;
  platform::DialogForm form_;
};

// The whole visit: remembers what plays, shows the dialog, then puts the
// names back and re-applies the sound settings, the caption and the window
// mode whichever way it was left. OK stores into `settings` and saves.
// False only when the program began quitting while it was open.
bool RunConfigDialog(UserSettings& settings, ConfigDialogFacts facts, ConfigDialogHost& host);

}  // namespace lyraban
