#include "platform/sdl/dialog_program.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "support/temp_dir.h"

// The desktop dialog programs that stand in when SDL cannot show a message
// box: stand-ins on PATH record how they were called.
namespace lyraban::platform {
namespace {

class DialogProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* path = std::getenv("PATH");
    savedPath_ = path ? path : "";
    ::setenv("PATH", dir_.str().c_str(), 1);
  }
  void TearDown() override { ::setenv("PATH", savedPath_.c_str(), 1); }

  // A program that writes its arguments, one a line, to NAME.log and exits
  // with `status`.
  void FakeProgram(const std::string& name, int status) {
    const auto path = dir_.Write(name, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + dir_.str() +
                                           "/" + name + ".log\"\nexit " + std::to_string(status) + "\n");
    ::chmod(path.c_str(), 0755);
  }
  std::string Log(const std::string& name) {
    const auto path = dir_.path() / (name + ".log");
    return std::filesystem::exists(path) ? lyraban::testing::ReadFileBytes(path) : "<not run>";
  }

  lyraban::testing::TempDir dir_;
  std::string savedPath_;
};

TEST_F(DialogProgramTest, FirstProgramThatShowsTheTextOrIsClosedWins) {
  FakeProgram("zenity", 255);  // installed, but no display to show on
  FakeProgram("kdialog", 0);
  FakeProgram("xmessage", 0);
  EXPECT_TRUE(ShowMessageWithDialogProgram("无法开始游戏\n\nThe game cannot start", "Lyraban"));
  EXPECT_EQ(Log("zenity"), "--error\n--no-markup\n--title\nLyraban\n--text\n无法开始游戏\n\nThe game cannot start\n");
  EXPECT_EQ(Log("kdialog"), "--title\nLyraban\n--error\n无法开始游戏\n\nThe game cannot start\n");
  EXPECT_EQ(Log("xmessage"), "<not run>");
  // Closed by the window's close box: shown all the same.
  FakeProgram("zenity", 1);
  std::filesystem::remove(dir_.path() / "kdialog.log");
  EXPECT_TRUE(ShowMessageWithDialogProgram("text", "caption"));
  EXPECT_EQ(Log("kdialog"), "<not run>");
}

TEST_F(DialogProgramTest, LastResortGetsTheAsciiLinesAndThenNothingIsLeft) {
  FakeProgram("xmessage", 0);
  EXPECT_TRUE(ShowMessageWithDialogProgram("无法开始游戏\n\nThe game cannot start:\n    script.dat\n“x”", "caption"));
  EXPECT_EQ(Log("xmessage"), "-center\n-title\ncaption\n-buttons\nOK:0\nThe game cannot start:\n    script.dat\n\n");
  std::filesystem::remove(dir_.path() / "xmessage");
  EXPECT_FALSE(ShowMessageWithDialogProgram("text", "caption"));
}

}  // namespace
}  // namespace lyraban::platform
