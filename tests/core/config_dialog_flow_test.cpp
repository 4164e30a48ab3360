#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "core/test_game.h"
#include "platform/sdl/sdl_dialog.h"
#include "screens/config_dialog.h"
#include "sound/ogg_maker.h"
#include "sound/sound.h"

namespace lyraban {
namespace {

using testing::InGameFolder;
using testing::Play;
using testing::Played;
using testing::TestGame;

// Text that waits for the player, so that the dialog's keys reach a reader.
constexpr const char* kWaitingScript = "Hello\r\n.QUIT\r\n";

// A game whose text waits, played from its own folder, where the settings
// file lives.
class ConfigDialogInGame : public ::testing::Test {
 protected:
  ConfigDialogInGame() { game.Script(kWaitingScript); }
  std::string SettingsFile() const { return testing::ReadFileBytes(game.dir.path() / "lyraban.cfg"); }
  bool Saved() const { return std::filesystem::exists(game.dir.path() / "lyraban.cfg"); }
  TestGame game;
  InGameFolder here{game};
};

TEST(ConfigDialogFlow, EveryWayInOpensTheDialog) {
  const struct {
    const char* way;
    const char* input;
    const char* script;
  } ways[] = {
      {"Escape", "500 key Escape\n", kWaitingScript},
      {"keypad plus", "500 key KpPlus\n", kWaitingScript},
      {"middle button", "500 mclick 10 10\n", kWaitingScript},
      {"popup menu item", "400 menu 22\n500 rclick 10 10\n", kWaitingScript},
      {"system config tag", "", ".system config\r\n.QUIT\r\n"},
      {"message box button", "500 move 560 580\n520 click 560 580\n", kWaitingScript},
  };
  for (const auto& w : ways) {
    TestGame game(800, 600);
    game.Script(w.script);
    // The message box's settings button, in the button bar.
    game.dir.Write("data/img/sys_box_config.png", testing::FramesPng(80, 24, 3));
    InGameFolder here(game);
    Played play(game, std::string(w.input) + "1000 dialog cancel\n", 3000);
    EXPECT_EQ(play.platform.dialogsShown(), 1u) << w.way;
    EXPECT_FALSE(std::filesystem::exists(game.dir.path() / "lyraban.cfg")) << w.way << ": Cancel saved the settings";
  }
}

// Cancel and keypad plus put back what was changed: the music is heard louder
// at once while the dialog is open and as before once it closes.
TEST_F(ConfigDialogInGame, CancelAndKeypadPlusRestoreTheMusicVolumeAndSaveNothing) {
  game.Script(std::string(".bgm theme.ogg\r\n") + kWaitingScript);
  const auto ogg = testing::EncodeOgg(2, 44100, testing::MakeTones(2, 44100, {{6.0, 8000.0}}));
  game.dir.Write("data/bgm/theme.ogg", std::string(ogg.begin(), ogg.end()));
  for (const char* close : {"dialog cancel", "key KpPlus"}) {
    SCOPED_TRACE(close);
    Play play(game, std::string("1000 key Escape\n1500 dialog bgm-volume 100\n2500 ") + close + "\n", 4000);
    const auto mixed = play.RunCapturing();
    ASSERT_GT(mixed.size(), 2u * 44100 * 3);
    const double before = testing::Rms(mixed.data(), 2, 44100 * 5 / 10, 44100 / 4);
    const double louder = testing::Rms(mixed.data(), 2, 44100 * 17 / 10, 44100 / 4);
    const double after = testing::Rms(mixed.data(), 2, 44100 * 30 / 10, 44100 / 4);
    ASSERT_GT(before, 1000.0) << "the music does not play";
    // Volume 100 is 6 dB above volume 50: twice the amplitude.
    EXPECT_NEAR(louder / before, 2.0, 0.1);
    EXPECT_NEAR(after / before, 1.0, 0.05);
    EXPECT_EQ(play.engine->sound()->bgm().volume, 50);
    EXPECT_EQ(play.engine->userSettings().BgmVolume, 50);
    EXPECT_EQ(play.platform.dialogsShown(), 1u);
    EXPECT_FALSE(Saved());
  }
}

// Enter presses OK. The pad rows follow a pad plugged in while the dialog is
// open: before it, and on a row beyond its two buttons, they are disabled.
TEST_F(ConfigDialogInGame, OkSavesTheFileWholeSwitchesToFullScreenAndTheNextStartReadsIt) {
  Played play(game,
              "500 key Escape\n520 dialog pad1 14\n540 pad 2\n560 dialog pad1 14\n580 dialog pad3 14\n"
              "600 dialog fullscreen 1\n700 dialog bgm-volume 30\n800 dialog skip-all 1\n900 dialog f3 24\n"
              "1000 key Enter\n",
              3000);
  EXPECT_EQ(play.platform.dialogsShown(), 1u);
  EXPECT_EQ(play.platform.unmatchedDialogActions(), (std::vector<std::string>{"pad1 14", "pad3 14"}));
  EXPECT_TRUE(play.platform.IsFullScreen()) << "the game is not in full screen after OK";

  const std::string file = SettingsFile();
  ASSERT_EQ(file.size(), 336u);
  EXPECT_FALSE(std::filesystem::exists(game.dir.path() / "lyraban.cfg.tmp"));
  EXPECT_EQ(std::pair(int{file[325]}, int{file[327]}), std::pair(14, 0)) << "pad buttons 1 and 3";

  // The next start takes them, full screen included.
  Played next(game, "", 500);
  const UserSettings& read = next.engine->userSettings();
  EXPECT_EQ(std::tuple(read.BgmVolume, int{read.SkipAllText}, int{read.FunctionKeyCommands[2]}, int{read.FullScreen},
                       next.engine->sound()->bgm().volume),
            std::tuple(30, 1, 24, 1, 30))
      << "music volume, skip all, F3, full screen, music channel";
  UserSettings expected;
  std::memcpy(&expected, file.data(), sizeof expected);
  EXPECT_EQ(std::memcmp(&read, &expected, sizeof expected), 0) << "the settings read differ from the file";
}

TEST_F(ConfigDialogInGame, CopyPutsTheReportOnTheClipboardAndQuittingEndsTheDialog) {
  Played play(game, "500 key Escape\n600 dialog copy\n", 2000);
  const std::string& text = play.platform.clipboard();
  EXPECT_EQ(text.rfind("Version信息（請將Support郵件地址粘貼如下）", 0), 0u) << text;
  EXPECT_NE(text.find("\r\nTitle：Flags\r\nVendor：???\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nName：Lyraban 汎式β\r\nVersion：1.03b\r\nBuild：20"), std::string::npos) << text;
  // The run limit closed the program while the dialog was open: nothing saved.
  EXPECT_TRUE(play.engine->quitting());
  EXPECT_FALSE(Saved());
}

// The panel's font must draw every character the dialog can show: its
// fixed texts (traditional forms included), both captions of the play
// buttons, the pad line and every missing-feature line.
TEST(ConfigDialogFlow, TheDialogFontHoldsEveryCharacterOfItsTexts) {
  struct NoHost final : ConfigDialogHost {
    bool ShowDialog(platform::DialogModel&) override { return true; }
    bool Idle() override { return true; }
    void SetChannel(SoundRow, bool, int) override {}
    bool IsMusicPlaying() override { return false; }
    bool IsEnvPlaying() override { return true; }
    const std::string& MusicName() override { return name; }
    const std::string& EnvName() override { return name; }
    bool MusicLoops() override { return true; }
    void PlayMusic(std::string_view, bool) override {}
    void StopMusic() override {}
    void PlayEnv(std::string_view) override {}
    void StopEnv() override {}
    void PlayVoice(std::string_view) override {}
    void PlaySE(std::string_view) override {}
    void RestoreSoundNames(const std::string&, bool, const std::string&) override {}
    void ApplySoundSettings(const UserSettings&) override {}
    void SaveUserSettings(const UserSettings&) override {}
    void CopyToClipboard(std::string_view) override {}
    int JoystickButtons() override { return 8; }
    std::string_view CommandName(int code) override { return InputCommandName(code); }
    void UpdateCaption() override {}
    void SetFullScreen(bool) override {}
    std::string name;
  } host;
  ConfigDialogFacts facts;
  facts.swappedButtons = true;
  facts.system.missing = DescribeMissingFeatures(false, false, false, false);
  UserSettings settings;
  ResetUserSettings(settings);
  ConfigDialog dialog(settings, facts, host, "", true, "");
  std::string texts = platform::DialogTexts(dialog.Form()) + "停止再生鼠標右鍵  ";
  for (int code = 0; code <= 28; ++code) texts += InputCommandName(code);
  const std::u32string missing = platform::MissingDialogGlyphs(texts);
  std::string shown;
  for (char32_t c : missing) shown += "U+" + std::to_string(static_cast<unsigned>(c)) + " ";
  EXPECT_EQ(shown, "") << "characters the dialog font cannot draw";
}

}  // namespace
}  // namespace lyraban
