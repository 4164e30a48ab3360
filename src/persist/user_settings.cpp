#include "persist/user_settings.h"

#include <cstring>
#include <fstream>

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
  std::ifstream in(path, std::ios::binary);
  if (!in) return;
  // Read into a scratch block first: a short file replaces only the bytes it
  // really holds, whatever the stream leaves behind after a short read.
  char block[sizeof(UserSettings)];
  in.read(block, sizeof block);
  const std::streamsize got = in.gcount();
  if (got > 0) std::memcpy(&settings, block, static_cast<std::size_t>(got));
}

void SaveUserSettings(const UserSettings& settings, const std::filesystem::path& path) {
  WriteFileAtomically(path, std::string_view(reinterpret_cast<const char*>(&settings), sizeof settings));
}

}  // namespace lyraban
