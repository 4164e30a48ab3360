#include "persist/user_settings.h"

#include <cstdio>
#include <cstring>

#include "base/regular_file.h"
#include "persist/pending_file.h"

namespace lyraban {

void ResetUserSettings(UserSettings& s) {
  std::memset(&s, 0, sizeof s);
  s.UnreadTextSpeed = 2;
  s.ReadTextSpeed = 2;
  s.AutoModeSpeed = 5;
  s.FontKind = 0;
  s.TextShadow = 1;
  s.SeEnabled = 1;
  s.VoiceEnabled = 1;
  s.EnvEnabled = 1;
  s.BgmEnabled = 1;
  s.SeVolume = 50;
  s.VoiceVolume = 50;
  s.EnvVolume = 50;
  s.BgmVolume = 50;
  s.MaleVoices = 1;
  s.FemaleVoices = 1;
  s.StopVoiceOnAdvance = 1;
  s.FullScreen = 0;
  s.ScreenEffects = 1;
  s.StopSkipAfterChoice = 1;
  s.BossKeyAction = 0;
  s.RightButtonCommand = 11;
  s.MiddleButtonCommand = 22;
  s.WheelUpCommand = 14;
  s.WheelDownCommand = 4;
  s.SpaceCommand = 2;
  s.PadButtonCommands[0] = 2;
  s.PadButtonCommands[1] = 3;
}

void LoadUserSettings(UserSettings& settings, const std::filesystem::path& path) {
  ResetUserSettings(settings);
  std::FILE* in = OpenRegularStreamForRead(path.c_str());
  if (!in) return;
  // Read into a scratch block first: a short file replaces only the bytes it
  // really holds.
  char block[sizeof(UserSettings)];
  const std::size_t got = std::fread(block, 1, sizeof block, in);
  std::fclose(in);
  if (got > 0) std::memcpy(&settings, block, got);
}

void SaveUserSettings(const UserSettings& settings, const std::filesystem::path& path) {
  WriteFileAtomically(path, std::string_view(reinterpret_cast<const char*>(&settings), sizeof settings));
}

}  // namespace lyraban
