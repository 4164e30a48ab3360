#pragma once
#include <memory>
#include <string>

#include "base/codepage.h"
#include "base/trace.h"
#include "core/config/config_tree.h"
#include "core/config/system_settings.h"
#include "core/frame_stats.h"
#include "core/input.h"
#include "core/options.h"
#include "core/popup_menu.h"
#include "flow/flow_state.h"
#include "graphics/layer.h"
#include "graphics/surface.h"
#include "graphics/transition.h"
#include "persist/player_folders.h"
#include "persist/read_log.h"
#include "persist/save_slots.h"
#include "persist/user_settings.h"
#include "platform/platform.h"
#include "resources/resources.h"
#include "screens/backlog.h"
#include "screens/button_sets.h"
#include "screens/choice_menu.h"
#include "script/flags.h"
#include "script/interpreter.h"
#include "script/script_host.h"
#include "script/tag_targets.h"
#include "script/tags.h"
#include "text/glyph.h"
#include "text/message_window.h"

namespace lyraban {

class DecodeAhead;
class SoundSystem;
class MovieHost;
class MoviePlayer;
namespace platform {
class AudioConverterFactory;
class CloseSignals;
class FontService;
class MovieDecoderFactory;
}  // namespace platform

// The engine's own words, converted once to the game's code page so they
// match what authors write in their files.
struct EngineWords {
  std::string SceneRecollection;  // the flag that disables quick save/load
  std::string QuickSaveTitle;
  std::string DeathCount;  // the flag a save's header shows
  std::string CaptionChapterOpen;
  std::string CaptionChapterClose;
  std::string CaptionTimeSpace;

  void Convert(const CodePage& codePage);
};

// The whole program: one instance owns every subsystem, brought up in the
// start-up order and released in reverse.
class Engine {
 public:
  // `environment` decides where saves and settings go when the game folder
  // cannot be written.
  Engine(platform::Platform& platform, EngineOptions options,
         FolderEnvironment environment = FolderEnvironment::FromProcess());
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Start-up, the outer loop and shut-down. Always 0.
  int Run();

  Trace& trace() { return trace_; }
  bool quitting() const { return quit_; }
  // True when the program ended because the start script was missing.
  bool missingStartScript() const { return missingStartScript_; }
  // False when the main window could not be made (the program then ends).
  bool windowCreated() const { return windowCreated_; }
  // Another copy of this game (same product id) is running; this one ended.
  bool secondInstance() const { return secondInstance_; }

  // Parts a test looks at.
  Resources& resources() { return resources_; }
  const SystemSettings& systemSettings() const { return system_; }
  UserSettings& userSettings() { return user_; }
  FlagStore& flags() { return flags_; }
  Interpreter& interpreter() { return interpreter_; }
  InputState& input() { return input_; }
  ReadLog& readLog() { return readLog_; }
  BacklogStore& backlog() { return backlog_; }
  FlowState& flow() { return flow_; }
  SaveSlots& saveSlots() { return *slots_; }
  SoundSystem* sound() { return sound_.get(); }
  MoviePlayer* movie() { return movie_.get(); }
  // While a movie plays, presentation and full-screen switching rest.
  bool IsMoviePlaying() const;
  MessageWindow* messageWindow() { return window_.get(); }
  // The message window's display state: 1 shown, 3 hidden by the player.
  u8 displayState() const { return window_ ? window_->displayState() : MessageWindow::kDisplayShown; }
  ScreenBuffers& screens() { return screens_; }
  LayerSet* layers() { return layers_.get(); }
  // Brings the screen up to date with the layers.
  void UpdateScreen();
  const std::string& gameFolder() const { return gameFolder_; }
  const std::string& saveFolder() const { return saveFolder_; }
  const std::string& settingsFile() const { return settingsFile_; }
  const EngineWords& words() const { return words_; }

  // The message pumps every wait calls. False once the quit flag is set.
  bool PumpMessages();
  bool PumpInput(u8 context, bool yield);
  // Waits for the next event and handles it (modal waits such as the boss
  // key). False once the quit flag is set.
  bool PumpMessagesBlocking();
  // Carries out the commands that are the same everywhere; true when the
  // running script must return to the outer loop.
  bool DispatchSystemCommand(u8 context);
  bool IsSkipping();
  void UpdateCaption();
  void PostCloseRequest() { platform_.PostCloseRequest(); }
  // SIGTERM and SIGINT taken from `signals` end the program as a confirmed
  // close does (no question). The engine only reads them; the caller keeps
  // them for its whole run.
  void WatchCloseSignals(platform::CloseSignals& signals) { closeSignals_ = &signals; }
  // Every presented frame is noted in `stats` from now on.
  void RecordFrameStats(FrameStats& stats) { frameStats_ = &stats; }
  void PresentScreen();
  void FramePresented();
  // Switches between the window and full screen; the result is kept in the
  // FullScreen setting. False when nothing changed.
  bool SetFullScreen(bool on);
  u32 GetPlayMinutes() { return interpreter_.GetPlayMinutes(); }
  // The configuration dialog over the game; false when the program began
  // quitting while it was open.
  bool RunConfigDialog();
  bool dialogOpen() const { return dialogOpen_; }
  // Quick save into slot 0 under the quick-save title.
  bool QuickSave();
  // Loads a slot; on success the running script unwinds at its next line
  // and the saved chain resumes. A failed load changes nothing.
  bool LoadSavedGame(int slot);
  // The save/load screen; true when a game was loaded.
  bool RunSaveLoadScreen(bool saveMode);

 private:
  class Host;
  class Targets;
  class Effects;
  class Screens;
  class Boss;
  class Messages;
  class DialogHost;
  class Saves;
  class SaveScreen;
  class Movies;

  bool InitEngine();
  void ShutdownEngine();
  void ReadConfiguration();
  void ChoosePlayerFolders();
  // The window procedure: what happens to an event that no shortcut took.
  void HandleEvent(const platform::Event& event);
  void CloseWindow(bool ask);
  void CheckTimers();
  // The backlog and flow chart screens; the caller redraws the scene.
  void RunBacklog();
  void ShowFlowchart();
  std::unique_ptr<TextPen> MakeScreenPen(int size, int gap);
  void TimerTick();

  platform::Platform& platform_;
  EngineOptions options_;
  std::string gameFolder_;
  FolderEnvironment folderEnvironment_;
  std::string saveFolder_;
  std::string settingsFile_;

  Trace trace_;
  Resources resources_;
  ConfigTree config_;
  SystemSettings system_;
  EngineWords words_;
  ScreenBuffers screens_;
  std::unique_ptr<LayerSet> layers_;
  std::unique_ptr<DecodeAhead> decodeAhead_;  // null with --no-decode-ahead
  std::unique_ptr<EffectHost> effectHost_;
  std::unique_ptr<ScreenTransitions> transitions_;
  UserSettings user_{};
  InputState input_;
  PopupMenu popup_;
  std::unique_ptr<platform::AudioConverterFactory> converters_;
  std::unique_ptr<SoundSystem> sound_;
  std::unique_ptr<platform::MovieDecoderFactory> movieDecoders_;
  bool openingMoviePrepared_ = false;
  std::unique_ptr<MovieHost> movieHost_;
  std::unique_ptr<MoviePlayer> movie_;
  FlagStore flags_;
  ReadLog readLog_;
  BacklogStore backlog_;
  FlowState flow_;
  std::unique_ptr<platform::FontService> fonts_;
  std::unique_ptr<GlyphRasterizer> penRasterizer_;
  std::unique_ptr<GlyphRasterizer> windowRasterizer_;
  std::unique_ptr<MessageHost> messageHost_;
  std::unique_ptr<MessageWindow> window_;
  ButtonSets buttons_;
  std::unique_ptr<ScreenHost> screenHost_;
  std::unique_ptr<ChoiceMenu> choices_;
  std::unique_ptr<BossKeyHost> bossHost_;
  std::unique_ptr<BossKey> boss_;
  std::unique_ptr<Host> host_;
  std::unique_ptr<Targets> targets_;
  TagTable tags_;
  Interpreter interpreter_;
  std::unique_ptr<SaveSlotHost> saveHost_;
  std::unique_ptr<SaveSlots> slots_;
  std::unique_ptr<SaveScreen> saveScreenHost_;

  // Window and loop state.
  bool quit_ = false;        // sticky: every loop unwinds once it is set
  bool quitPosted_ = false;  // the window is gone; the next pump quits
  bool skipQuitQuestion_ = false;
  bool windowClosed_ = false;
  bool missingStartScript_ = false;
  bool windowCreated_ = false;
  bool secondInstance_ = false;
  bool instanceHeld_ = false;
  bool runLimitReached_ = false;
  u32 timerStart_ = 0;
  int idleTicks_ = 0;
  int captionTicks_ = 0;
  bool cursorHidden_ = false;
  bool questionOpen_ = false;  // the quit question disables the window
  bool dialogOpen_ = false;    // so does the configuration dialog
  platform::CloseSignals* closeSignals_ = nullptr;
  FrameStats* frameStats_ = nullptr;
  u64 presentedEdits_ = ~u64{0};  // the front buffer's edits() when last presented
};

}  // namespace lyraban
