#include <utility>

#include "core/engine.h"
#include "movie/movie_player.h"
#include "screens/config_dialog.h"
#include "sound/sound.h"
#include "sysinfo/system_info.h"

namespace lyraban {

// What the configuration dialog needs from the engine: its modal loop on
// the platform, the timers, the sound channels and the window.
class Engine::DialogHost final : public ConfigDialogHost {
 public:
  explicit DialogHost(Engine& e) : e_(e), sound_(*e.sound_) {}

  bool ShowDialog(platform::DialogModel& model) override { return e_.platform_.RunDialog(model); }
  bool Idle() override {
    e_.CheckTimers();
    return !e_.quitPosted_ && !e_.quit_;
  }
  void SetChannel(SoundRow row, bool enabled, int volume) override {
    switch (row) {
      case SoundRow::Bgm:
        sound_.SetBGM(enabled, volume);
        break;
      case SoundRow::Voice:
        sound_.SetVoice(enabled, volume);
        break;
      case SoundRow::Se:
        sound_.SetSE(enabled, volume);
        break;
      case SoundRow::Env:
        sound_.SetEnv(enabled, volume);
        break;
    }
  }
  bool IsMusicPlaying() override { return sound_.IsBGMPlaying(); }
  bool IsEnvPlaying() override { return sound_.IsEnvPlaying(); }
  const std::string& MusicName() override { return sound_.nameBGM(); }
  const std::string& EnvName() override { return sound_.nameENV(); }
  bool MusicLoops() override { return sound_.loopBGM(); }
  void PlayMusic(std::string_view name, bool loop) override { sound_.PlayBGM(name, loop); }
  void StopMusic() override { sound_.StopBGM(); }
  void PlayEnv(std::string_view name) override { sound_.PlayEnv(name); }
  void StopEnv() override { sound_.StopEnv(); }
  void PlayVoice(std::string_view name) override { sound_.PlayVoice(name); }
  void PlaySE(std::string_view name) override { sound_.PlaySE(name); }
  void RestoreSoundNames(const std::string& music, bool loop, const std::string& env) override {
    sound_.RestoreNames(music, loop, env);
  }
  void ApplySoundSettings(const UserSettings& settings) override { sound_.ApplyUserSettings(settings); }
  void SaveUserSettings(const UserSettings& settings) override {
    lyraban::SaveUserSettings(settings, kUserSettingsFileName);
  }
  void CopyToClipboard(std::string_view utf8) override { e_.platform_.SetClipboardText(utf8); }
  int JoystickButtons() override { return e_.platform_.JoystickButtonCount(); }
  std::string_view CommandName(int code) override { return InputCommandName(code); }
  void UpdateCaption() override { e_.UpdateCaption(); }
  void SetFullScreen(bool on) override { e_.SetFullScreen(on); }

 private:
  Engine& e_;
  SoundSystem& sound_;
};

bool Engine::RunConfigDialog() {
  // One dialog at a time, and only over a window.
  if (dialogOpen_ || !platform_.HasMainWindow()) return true;
  const CodePage& page = system_.GameCodePage;
  ConfigDialogFacts facts;
  facts.title = page.ToUtf8(system_.Title);
  facts.vendor = page.ToUtf8(system_.Vendor);
  facts.version = page.ToUtf8(system_.Version);
  facts.date = page.ToUtf8(system_.Date);
  facts.buildDate = DescribeBuildDate();
  SystemReport& r = facts.system;
  DescribeOperatingSystem(r.os);
  platform::GraphicsFacts graphics;
  if (platform_.DescribeGraphics(graphics))
    FormatGraphics(graphics.library, graphics.driver, graphics.renderer, r.graphics);
  DescribeProcessor(r.cpu);
  DescribeMemory(r.ram);
  r.vram = FormatVideoMemory(GetVideoMemoryBytes(graphics.desktopBytes));
  facts.soundAvailable = sound_->started();
  r.missing = DescribeMissingFeatures(ProcessorHasMmx(), graphics.fullScreen, facts.soundAvailable,
                                      movie_ && movie_->available());

  DialogHost host(*this);
  // The pointer is never hidden while the dialog is open.
  if (cursorHidden_) {
    platform_.ShowCursor(true);
    cursorHidden_ = false;
  }
  dialogOpen_ = true;
  const bool ok = ::lyraban::RunConfigDialog(user_, std::move(facts), host);
  dialogOpen_ = false;
  idleTicks_ = 0;
  return ok;
}

}  // namespace lyraban
