#pragma once
#include <bit>
#include <cstddef>
#include <filesystem>
#include <type_traits>

#include "base/types.h"

namespace lyraban {

// The player's preferences, stored byte for byte in "lyraban.cfg". The record
// in memory is the file layout, so it is loaded and saved as one block and
// every Part reads its fields directly. One-byte switches are u8, not bool:
// a file may hold any byte there and it is taken as it is.
struct UserSettings {
  i32 UnreadTextSpeed;
  i32 ReadTextSpeed;
  i32 AutoModeSpeed;
  u8 FontKind;  // 0 mixed, 1 Mincho, 2 Gothic
  u8 TextShadow;
  u8 SeEnabled;
  u8 VoiceEnabled;
  u8 EnvEnabled;
  u8 BgmEnabled;
  u8 Gap[2];
  i32 SeVolume;  // volumes are percentages 0..100
  i32 VoiceVolume;
  i32 EnvVolume;
  i32 BgmVolume;
  u8 MaleVoices;
  u8 FemaleVoices;
  u8 StopVoiceOnAdvance;
  u8 FullScreen;
  u8 ScreenEffects;
  u8 TextColour;
  u8 HideIdleCursor;
  u8 ShowChapterInCaption;
  u8 ShowPlayTimeInCaption;
  u8 SkipAllText;
  u8 StopSkipAfterChoice;
  u8 BossKeyAction;  // 0 hide to tray, 1 disguise as editor, 2 quick save and quit
  u8 Reserved[260];  // unused, kept as read
  u8 RightButtonCommand;
  u8 MiddleButtonCommand;
  u8 WheelUpCommand;
  u8 WheelDownCommand;
  u8 SpaceCommand;
  u8 FunctionKeyCommands[12];  // F1..F12
  u8 PadButtonCommands[8];     // joystick buttons 1..8
  u8 Tail[3];
};

inline constexpr std::size_t kUserSettingsSize = 336;
inline constexpr const char* kUserSettingsFileName = "lyraban.cfg";

// The file is the in-memory record, so the layout must be the file's exactly.
static_assert(std::endian::native == std::endian::little, "the settings file is little-endian");
static_assert(std::is_trivially_copyable_v<UserSettings> && std::is_standard_layout_v<UserSettings>);
static_assert(sizeof(UserSettings) == kUserSettingsSize);
static_assert(offsetof(UserSettings, ReadTextSpeed) == 4);
static_assert(offsetof(UserSettings, AutoModeSpeed) == 8);
static_assert(offsetof(UserSettings, FontKind) == 12);
static_assert(offsetof(UserSettings, BgmEnabled) == 17);
static_assert(offsetof(UserSettings, Gap) == 18);
static_assert(offsetof(UserSettings, SeVolume) == 20);
static_assert(offsetof(UserSettings, BgmVolume) == 32);
static_assert(offsetof(UserSettings, MaleVoices) == 36);
static_assert(offsetof(UserSettings, FullScreen) == 39);
static_assert(offsetof(UserSettings, ScreenEffects) == 40);
static_assert(offsetof(UserSettings, BossKeyAction) == 47);
static_assert(offsetof(UserSettings, Reserved) == 48);
static_assert(offsetof(UserSettings, RightButtonCommand) == 308);
static_assert(offsetof(UserSettings, SpaceCommand) == 312);
static_assert(offsetof(UserSettings, FunctionKeyCommands) == 313);
static_assert(offsetof(UserSettings, PadButtonCommands) == 325);
static_assert(offsetof(UserSettings, Tail) == 333);

// Zeroes the whole record, then stores the defaults.
void ResetUserSettings(UserSettings& settings);

// Defaults first, then up to 336 bytes of the file over them: a missing or
// unreadable file leaves the defaults, a shorter one replaces only its
// leading bytes. No magic or version exists to check.
void LoadUserSettings(UserSettings& settings, const std::filesystem::path& path);

// Writes the 336 bytes whole to a temporary file beside the target, then
// renames it into place. Failures are silent and keep the old file.
void SaveUserSettings(const UserSettings& settings, const std::filesystem::path& path);

}  // namespace lyraban
