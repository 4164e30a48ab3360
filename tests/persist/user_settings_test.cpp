#include "persist/user_settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/temp_dir.h"

namespace lyraban {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;

u32 U32At(const std::string& bytes, std::size_t offset) {
  u32 v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<u8>(bytes[offset + i]);
  return v;
}

// First start: no file, so the defaults are what gets saved.
TEST(UserSettings, DefaultsLandAtEveryFieldOffset) {
  TempDir dir;
  UserSettings s;
  std::memset(&s, 0xAB, sizeof s);
  const auto path = dir.path() / "lyraban.cfg";
  LoadUserSettings(s, path);
  SaveUserSettings(s, path);
  const std::string bytes = ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), 336u);
  EXPECT_EQ(U32At(bytes, 0), 2u);
  EXPECT_EQ(U32At(bytes, 4), 2u);
  EXPECT_EQ(U32At(bytes, 8), 5u);
  for (u32 off : {20u, 24u, 28u, 32u}) EXPECT_EQ(U32At(bytes, off), 50u) << off;
  const std::pair<std::size_t, int> bytesExpected[] = {
      {12, 0},   {13, 1},  {14, 1},  {15, 1},  {16, 1},  {17, 1},  {36, 1},  {37, 1},  {38, 1},   {39, 0},
      {40, 1},   {41, 0},  {42, 0},  {43, 0},  {44, 0},  {45, 0},  {46, 1},  {47, 0},  {308, 11}, {309, 22},
      {310, 14}, {311, 4}, {312, 2}, {313, 0}, {324, 0}, {325, 2}, {326, 3}, {327, 0}, {332, 0}};
  for (auto [offset, value] : bytesExpected) EXPECT_EQ(static_cast<u8>(bytes[offset]), value) << offset;
  // Gap, reserved and tail bytes are zero.
  for (std::size_t i : {18u, 19u, 48u, 200u, 307u, 333u, 335u}) EXPECT_EQ(bytes[i], '\0') << i;
}

TEST(UserSettings, RoundTripKeepsEveryByte) {
  TempDir dir;
  const auto path = dir.path() / "lyraban.cfg";
  UserSettings written;
  auto* raw = reinterpret_cast<u8*>(&written);
  for (std::size_t i = 0; i < sizeof written; ++i) raw[i] = static_cast<u8>(i * 7 + 3);
  SaveUserSettings(written, path);
  UserSettings read;
  LoadUserSettings(read, path);
  EXPECT_EQ(std::memcmp(&written, &read, sizeof read), 0);
  // Reserved bytes come back as they were read, not as zero.
  EXPECT_EQ(read.Reserved[10], static_cast<u8>((48 + 10) * 7 + 3));
}

TEST(UserSettings, ShortFileReplacesOnlyItsLeadingBytes) {
  TempDir dir;
  std::string forty(40, '\0');
  forty[0] = 4;    // UnreadTextSpeed
  forty[17] = 0;   // music off
  forty[32] = 77;  // BgmVolume
  forty[39] = 1;   // full screen
  const auto path = dir.Write("lyraban.cfg", forty);
  UserSettings s;
  LoadUserSettings(s, path);
  EXPECT_EQ(s.UnreadTextSpeed, 4);
  EXPECT_EQ(s.TextShadow, 0);  // byte 13 came from the file
  EXPECT_EQ(s.BgmEnabled, 0);
  EXPECT_EQ(s.BgmVolume, 77);
  EXPECT_EQ(s.FullScreen, 1);
  // From offset 40 on, the defaults stay.
  EXPECT_EQ(s.ScreenEffects, 1);
  EXPECT_EQ(s.HideIdleCursor, 0);
  EXPECT_EQ(s.StopSkipAfterChoice, 1);
  EXPECT_EQ(s.RightButtonCommand, 11);
  EXPECT_EQ(s.MiddleButtonCommand, 22);
  EXPECT_EQ(s.PadButtonCommands[0], 2);
  EXPECT_EQ(s.PadButtonCommands[1], 3);
}

TEST(UserSettings, FailedSaveKeepsThePreviousFile) {
  TempDir dir;
  UserSettings s;
  ResetUserSettings(s);
  // The target is a folder: the rename fails and nothing is left behind.
  std::filesystem::create_directory(dir.path() / "lyraban.cfg");
  SaveUserSettings(s, dir.path() / "lyraban.cfg");
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "lyraban.cfg"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "lyraban.cfg.tmp"));
  // A folder that does not exist: silent.
  SaveUserSettings(s, dir.path() / "missing" / "lyraban.cfg");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
}

}  // namespace
}  // namespace lyraban
