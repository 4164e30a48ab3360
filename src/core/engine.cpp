#include "core/engine.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "graphics/png.h"
#include "platform/freetype/freetype_fonts.h"
#include "platform/sdl/sdl_audio.h"
#include "screens/choice_label.h"
#include "sound/sound.h"
#include "text/game_font.h"

namespace lyraban {

namespace {

// The folder the program runs from; empty when it cannot be found.
std::string ProgramFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return exe.parent_path().string();
}

constexpr u32 kTimerMs = 2000;

}  // namespace

void EngineWords::Convert(const CodePage& codePage) {
  SceneRecollection = codePage.FromUtf8("シーン回想");
  QuickSaveTitle = codePage.FromUtf8("クイックセーブ");
  CaptionChapterOpen = codePage.FromUtf8("　「");
  CaptionChapterClose = codePage.FromUtf8("」");
  CaptionTimeSpace = codePage.FromUtf8("　");
}

// What the interpreter needs from the engine.
class Engine::Host final : public ScriptHost {
 public:
  explicit Host(Engine& e) : e_(e) {}
  bool PumpMessages() override { return e_.PumpMessages(); }
  bool PumpInput() override { return e_.PumpInput(ContextReading, true); }
  bool IsSkipping() override { return e_.IsSkipping(); }
  void SetRunModeNormal() override { e_.input_.SetRunMode(RunMode::Normal); }
  bool SkipAllText() override { return e_.user_.SkipAllText != 0; }
  void ShowScriptText(std::string_view text, bool alreadyRead, u8 mode) override {
    if (e_.window_) e_.window_->ShowScriptText(text, alreadyRead, mode);
  }
  void ClearPage() override {
    if (e_.window_) e_.window_->ClearPage();
  }
  void SetMessageMode(u8 mode) override {
    if (e_.window_) e_.window_->SetMessageMode(mode);
  }
  void MarkBacklogPage() override {}
  void BeginChoices() override { e_.choices_->BeginChoices(); }
  void AddChoice(i32 number, std::string_view text) override { e_.choices_->AddChoice(number, text); }
  i32 RunChoice() override { return e_.choices_->RunChoice(); }
  bool PrepareMap(std::string_view name) override { return e_.choices_->PrepareMap(name); }
  void AddMapPlace(i32 number, std::string_view icon, std::string_view place, bool enabled) override {
    e_.choices_->AddMapPlace(number, icon, place, enabled);
  }
  i32 RunMap() override { return e_.choices_->RunMap(); }
  void UpdateCaption() override { e_.UpdateCaption(); }
  void RequestClose() override { e_.PostCloseRequest(); }

 private:
  Engine& e_;
};

// What the tag commands act on. Operations of subsystems that this build
// does not have yet do nothing (layers, transitions, screens, backlog,
// flow chart, movies).
class Engine::Targets final : public TagTargets {
 public:
  explicit Targets(Engine& e) : e_(e) {}

  void ClearAllLayers() override {
    if (e_.layers_) e_.layers_->ClearAllLayers();
  }
  void ResetLayer(int layer) override {
    if (e_.layers_) e_.layers_->ResetLayer(layer);
  }
  bool SetLayerImage(int layer, std::string_view name) override {
    return e_.layers_ && e_.layers_->SetLayerImage(layer, name);
  }
  bool ApplyLayerDefinition(int layer, int code) override {
    return e_.layers_ && e_.layers_->ApplyLayerDefinition(layer, code);
  }
  void ResetLayerAnchor(int layer) override {
    if (e_.layers_) e_.layers_->ResetLayerAnchor(layer);
  }
  void SetLayerX(int layer, int x) override {
    if (e_.layers_) e_.layers_->SetLayerX(layer, x);
  }
  void SetLayerY(int layer, int y) override {
    if (e_.layers_) e_.layers_->SetLayerY(layer, y);
  }

  void SetNextFadeDuration(int ms) override { e_.transitions_->SetNextFadeDuration(ms); }
  void UpdateScreen() override { e_.UpdateScreen(); }
  void PresentScreen() override { e_.PresentScreen(); }
  void ClearScreenSurfaces() override {
    for (Surface* s : {&e_.screens_.FrontBuffer(), &e_.screens_.ComposedBuffer(), &e_.screens_.PreviousBuffer()})
      if (s->HasPixels()) FillScreen(*s, 0, 0, 0);
  }
  void Flash(int count, Rgb colour) override { e_.transitions_->Flash(count, colour.r, colour.g, colour.b); }
  void Shake(int ax, int ay, int rx, int ry, int ms) override { e_.transitions_->Shake(ax, ay, rx, ry, ms); }
  void Wipe(std::string_view rule, int ms) override { e_.transitions_->Wipe(rule, ms); }
  void FadeWipe(std::string_view rule, int ms) override { e_.transitions_->FadeWipe(rule, ms); }
  // The developer's picture check: "_test.png" drawn over the scene with
  // its centre (numbers 2, 3) at a screen point (numbers 0, 1), turned by
  // number 4 degrees and scaled by number 5 percent (0 = 100); numbers 6 and
  // 7 are free for a game's own use.
  void ShowTestImage(const std::array<int, 8>& n) override {
    Surface picture;
    if (!LoadPng(ResourceReaderFor(e_.resources_), "_test.png", picture)) return;
    e_.UpdateScreen();
    const double scale = n[5] == 0 ? 1.0 : n[5] / 100.0;
    RotateBlit(e_.screens_.FrontBuffer(), picture, n[0], n[1], n[2], n[3], n[4] / 360.0, scale);
    e_.PresentScreen();
  }

  void PlayBGM(std::string_view name, bool loop) override {
    if (e_.sound_) e_.sound_->PlayBGM(name, loop);
  }
  void FadeBGM() override {
    if (e_.sound_) e_.sound_->FadeBGM();
  }
  void StopBGM() override {
    if (e_.sound_) e_.sound_->StopBGM();
  }
  void PlayEnv(std::string_view name) override {
    if (e_.sound_) e_.sound_->PlayEnv(name);
  }
  void StopEnv() override {
    if (e_.sound_) e_.sound_->StopEnv();
  }
  void PlaySE(std::string_view name) override {
    if (e_.sound_) e_.sound_->PlaySE(name);
  }
  void StopSE() override {
    if (e_.sound_) e_.sound_->StopSE();
  }
  void PlayVoice(std::string_view path) override {
    if (e_.sound_) e_.sound_->PlayVoice(path);
  }
  void SetPendingVoice(std::string_view) override {}

  bool PumpInput(u8 context, bool yield) override { return e_.PumpInput(context, yield); }
  u8 PendingCommand() override { return e_.input_.pending(); }
  void ClearPendingInput() override { e_.input_.ClearPending(); }
  bool IsSkipping() override { return e_.IsSkipping(); }
  bool IsAutoMode() override { return e_.input_.IsAutoMode(); }

  void RunSaveLoadScreen(SaveLoadMode) override {}
  void RunConfigDialog() override {}

  void SetMessageMode(u8 mode) override { e_.interpreter_.SetMessageMode(mode); }
  void ClockEvent(std::string_view a, std::string_view b) override {
    if (e_.window_) e_.window_->ClockEvent(a, b);
  }
  void FlowReset() override {}
  void FlowNewRoute() override {}

  u8 ScriptMode() override { return e_.interpreter_.ScriptMode; }
  void SetChapterDate(std::string_view date) override { e_.interpreter_.ChapterDate = std::string(date); }
  void SetChapterName(std::string_view name) override { e_.interpreter_.ChapterName = std::string(name); }
  void UpdateCaption() override { e_.UpdateCaption(); }

  bool OpenMovie(std::string_view) override { return false; }
  bool IsMoviePlaying() override { return false; }
  void CloseMovie() override {}

 private:
  Engine& e_;
};

// What the screen effects need from the engine.
class Engine::Effects final : public EffectHost {
 public:
  explicit Effects(Engine& e) : e_(e) {}
  void PresentScreen() override { e_.PresentScreen(); }
  bool PumpInput(bool yield) override { return e_.PumpInput(ContextReading, yield); }
  bool IsSkipping() override { return e_.IsSkipping(); }
  u8 ScriptMode() override { return e_.interpreter_.ScriptMode; }
  bool ScreenEffectsEnabled() override { return e_.user_.ScreenEffects != 0; }
  bool LayersDirty() override { return e_.layers_ && e_.layers_->dirty(); }
  void ComposeLayers(Surface& composed) override {
    if (e_.layers_) e_.layers_->ComposeLayers(composed);
  }
  bool FirstLayerIsMovie() override {
    const Layer* first = e_.layers_ ? e_.layers_->layer(0) : nullptr;
    return first && first->type == LayerType::Movie;
  }
  bool ReadResource(std::string_view folder, std::string_view name, std::string& bytes) override {
    return e_.resources_.ReadWholeResource(folder, name, bytes);
  }

 private:
  Engine& e_;
};

// What the choice menu and the other screens need from the engine.
class Engine::Screens final : public ScreenHost {
 public:
  explicit Screens(Engine& e) : e_(e) {}
  bool PumpInput(u8 context, bool yield) override { return e_.PumpInput(context, yield); }
  u8 PendingCommand() override { return e_.input_.pending(); }
  i32 PendingButton() override { return e_.input_.pendingButton(); }
  void SetPendingCommand(u8 command, i32 button) override { e_.input_.SetPending(command, button); }
  void ClearInput() override { e_.input_.ClearPending(); }
  Pointer MousePointer() override { return Pointer{e_.input_.mouseX(), e_.input_.mouseY(), e_.input_.leftDown()}; }
  void WarpMouse(i32 x, i32 y) override { e_.platform_.WarpMouse(x, y); }
  void UpdateScreen() override { e_.UpdateScreen(); }
  Surface& ScreenSurface() override { return e_.screens_.FrontBuffer(); }
  void PresentScreen() override { e_.PresentScreen(); }
  void DrawMessageWindow() override {
    if (e_.window_) e_.window_->DrawMessageWindow(false);
  }
  bool IsSkipping() override { return e_.IsSkipping(); }
  bool IsAutoMode() override { return e_.input_.IsAutoMode(); }
  void SetSkipMode() override { e_.input_.SetSkipMode(); }
  bool StopSkipAfterChoice() override { return e_.user_.StopSkipAfterChoice != 0; }
  bool HandleSystemCommand(u8 context) override {
    return e_.window_ ? e_.window_->HandleSystemCommand(context) : e_.DispatchSystemCommand(context);
  }
  u8 ScriptMode() override { return e_.interpreter_.ScriptMode; }
  void SetMessageMode(u8 mode) override { e_.interpreter_.SetMessageMode(mode); }
  void DrawChoiceText(Surface& overlay, i32 x, i32 y, std::string_view text) override {
    if (e_.fonts_ && e_.penRasterizer_)
      DrawChoiceLabel(*e_.penRasterizer_, *e_.fonts_, e_.screens_.width(), e_.screens_.height(), overlay, x, y, text);
  }

 private:
  Engine& e_;
};

// What the boss key needs from the engine.
class Engine::Boss final : public BossKeyHost {
 public:
  explicit Boss(Engine& e) : e_(e) {}
  bool PumpMessagesBlocking() override { return e_.PumpMessagesBlocking(); }
  void UpdateCaption() override { e_.UpdateCaption(); }
  // Save slots are not part of this build: the quick save writes nothing.
  bool QuickSave() override { return false; }
  void SetSkipQuitQuestion() override { e_.skipQuitQuestion_ = true; }
  void PostCloseRequest() override { e_.PostCloseRequest(); }

 private:
  Engine& e_;
};

// What the message window needs from the engine.
class Engine::Messages final : public MessageHost {
 public:
  explicit Messages(Engine& e) : e_(e) {}
  bool PumpInput(u8 context, bool yield) override { return e_.PumpInput(context, yield); }
  u8 PendingCommand() override { return e_.input_.pending(); }
  void ClearInput() override { e_.input_.ClearPending(); }
  bool IsSkipping() override { return e_.IsSkipping(); }
  bool IsAutoMode() override { return e_.input_.IsAutoMode(); }
  void SetSkipMode() override { e_.input_.SetSkipMode(); }
  void GetMouse(i32& x, i32& y) override {
    x = e_.input_.mouseX();
    y = e_.input_.mouseY();
  }
  void WarpMouse(i32 x, i32 y) override { e_.platform_.WarpMouse(x, y); }
  void UpdateScreen() override { e_.UpdateScreen(); }
  Surface& ScreenSurface() override { return e_.screens_.FrontBuffer(); }
  void DrawButtons() override {
    e_.buttons_.Draw(e_.screens_.FrontBuffer(), Pointer{e_.input_.mouseX(), e_.input_.mouseY(), e_.input_.leftDown()},
                     e_.IsSkipping() || e_.input_.IsAutoMode());
  }
  void PresentScreen() override { e_.PresentScreen(); }
  void SetButtons(MessageButtons buttons) override {
    e_.buttons_.SetMode(buttons == MessageButtons::Waiting ? ButtonMode::Waiting : ButtonMode::Hidden);
  }
  bool DispatchSystemCommand(u8 context) override { return e_.DispatchSystemCommand(context); }
  u8 ScriptMode() override { return e_.interpreter_.ScriptMode; }
  i32 GetFlag(std::string_view name) override { return e_.flags_.GetFlag(name); }
  void SetFlag(std::string_view name, i32 value) override { e_.flags_.SetFlag(name, value); }
  bool IsVoicePlaying() override { return e_.sound_ && e_.sound_->IsVoicePlaying(); }
  void StopVoice() override {
    if (e_.sound_) e_.sound_->StopVoice();
  }
  void PlaySE(std::string_view name) override {
    if (e_.sound_) e_.sound_->PlaySE(name);
  }
  void StopSE() override {
    if (e_.sound_) e_.sound_->StopSE();
  }
  void Flash(int count, u8 red, u8 green, u8 blue) override { e_.transitions_->Flash(count, red, green, blue); }
  // The backlog is not part of this build.
  void AddBacklogEntry(std::string_view, std::string_view) override {}

 private:
  Engine& e_;
};

Engine::Engine(platform::Platform& platform, EngineOptions options)
    : platform_(platform),
      options_(std::move(options)),
      resources_(trace_),
      effectHost_(std::make_unique<Effects>(*this)),
      transitions_(std::make_unique<ScreenTransitions>(screens_, *effectHost_, platform.clock())),
      input_(user_),
      popup_(platform, input_, trace_),
      converters_(std::make_unique<platform::SdlAudioConverterFactory>()),
      sound_(std::make_unique<SoundSystem>(resources_, platform.clock(), *converters_, trace_)),
      flags_(trace_, {}),
      readLog_(trace_),
      messageHost_(std::make_unique<Messages>(*this)),
      buttons_(ResourceReaderFor(resources_)),
      screenHost_(std::make_unique<Screens>(*this)),
      choices_(std::make_unique<ChoiceMenu>(buttons_, *screenHost_, ResourceReaderFor(resources_), trace_)),
      bossHost_(std::make_unique<Boss>(*this)),
      boss_(std::make_unique<BossKey>(platform, *bossHost_)),
      host_(std::make_unique<Host>(*this)),
      targets_(std::make_unique<Targets>(*this)),
      tags_(*targets_, flags_, user_, platform.clock()),
      interpreter_(resources_, readLog_, flags_, tags_, *host_, platform.clock(), trace_) {
  ResetUserSettings(user_);
  words_.Convert(system_.GameCodePage);
  gameFolder_ = options_.gameFolder.empty() ? ProgramFolder() : options_.gameFolder;
  if (gameFolder_.empty()) gameFolder_.assign(1, '.');
  // A trailing separator: the save folder is used as a prefix.
  saveFolder_ = (std::filesystem::path(gameFolder_) / "save" / "").string();
}

Engine::~Engine() = default;

namespace {
// A frame's time, given to a restart that did not wait at all.
constexpr u32 kIdleRestartFrameMs = 16;
}  // namespace

void Engine::ReadConfiguration() {
  LoadConfigTree(config_, resources_);
  ReadSystemSettings(config_, system_, ProcessorHasMmx(), &trace_);
  trace_.SetCodePage(system_.GameCodePage);
  words_.Convert(system_.GameCodePage);
}

int Engine::Run() {
  resources_.OpenDataFolder(gameFolder_);
  ReadConfiguration();
  // The surfaces and the window take the size read now; a later archive's
  // configuration does not resize them.
  // One copy per product id: a second one asks the first to come forward
  // and ends.
  if (!platform_.AcquireSingleInstance(system_.ProductID)) {
    secondInstance_ = true;
    return 0;
  }
  instanceHeld_ = true;
  // A broken size still gets a window (with no picture): only a window that
  // cannot be made ends the program.
  if (!platform_.CreateMainWindow(std::max(1, system_.ScreenWidth), std::max(1, system_.ScreenHeight))) {
    platform_.ReleaseSingleInstance();
    return 0;
  }
  windowCreated_ = true;
  timerStart_ = platform_.clock().Now();
  if (InitEngine()) {
    interpreter_.RequestGameRestart();
    bool first = true;
    bool idleRestartTraced = false;
    while (PumpMessages()) {
      if (sound_) {
        sound_->StopSE();
        sound_->StopVoice();
      }
      const u32 stepStart = platform_.clock().Now();
      if (!interpreter_.RunGameStep()) {
        if (first && !quit_) missingStartScript_ = true;
        break;
      }
      first = false;
      // A start script that ends without ever waiting would restart at full
      // speed for ever: say so once, and let each such restart take a frame
      // so that time (and a timed headless run) goes on.
      const u32 stepMs = ElapsedMs(stepStart, platform_.clock().Now());
      if (stepMs < kIdleRestartFrameMs && !quit_) {
        if (!idleRestartTraced) trace_.DebugTrace("ゲームが待たずに最初からやり直しています（%s）", "start.txt");
        idleRestartTraced = true;
        platform_.clock().Sleep(kIdleRestartFrameMs - stepMs);
      }
    }
  }
  ShutdownEngine();
  platform_.ReleaseSingleInstance();
  return 0;
}

bool Engine::InitEngine() {
  // 1-2: the screen surfaces, black, with the splash image on the first.
  if (screens_.Create(system_.ScreenWidth, system_.ScreenHeight)) {
    FillScreen(screens_.FrontBuffer(), 0, 0, 0);
    FillScreen(screens_.ComposedBuffer(), 0, 0, 0);
    FillScreen(screens_.PreviousBuffer(), 0, 0, 0);
    if (!system_.SplashImage.empty()) {
      Surface splash;
      if (LoadPng(ResourceReaderFor(resources_), system_.SplashImage, splash))
        Blit(screens_.FrontBuffer(), splash, 0, 0, splash.width(), splash.height(), 0, 0);
    }
  }
  // 3: show the window with its caption; the first frame is the black one.
  platform_.ShowMainWindow();
  UpdateCaption();
  PresentScreen();
  // 4-5: every archive, then the configuration again.
  resources_.OpenAllArchives();
  ReadConfiguration();
  tags_.SetScreenSize(system_.ScreenWidth, system_.ScreenHeight);
  LayerSet::Hooks hooks;
  hooks.markSeen = [this](std::string_view name) { flags_.MarkSeen(name); };
  hooks.lookupColour = [](std::string_view name, LayerColour& colour) {
    Rgb rgb;
    if (!LookupNamedColour(name, rgb)) return false;
    colour = LayerColour{rgb.r, rgb.g, rgb.b};
    return true;
  };
  layers_ = std::make_unique<LayerSet>(resources_, trace_, platform_.clock(), screens_.width(), screens_.height(),
                                       std::move(hooks));
  // 6: the player's settings.
  LoadUserSettings(user_, kUserSettingsFileName);
  // 7-10: shortcut tables are data, and there is no COM to start.
  // 11: the window mode the player left the game in.
  SetFullScreen(user_.FullScreen != 0);
  // 12: sound output.
  sound_->ApplyUserSettings(user_);
  if (platform::AudioOutput* output = platform_.audio()) sound_->Start(*output);
  // Fonts: a game's own font file, else the system's CJK faces.
  fonts_ = std::make_unique<platform::FreeTypeFontService>(trace_);
  LoadGameFont(resources_, *fonts_);
  penRasterizer_ = std::make_unique<GlyphRasterizer>(system_.GameCodePage, trace_);
  windowRasterizer_ = std::make_unique<GlyphRasterizer>(system_.GameCodePage, trace_);
  window_ = std::make_unique<MessageWindow>(*messageHost_, *windowRasterizer_, *fonts_, user_,
                                            ResourceReaderFor(resources_), platform_.clock(), trace_);
  window_->LoadPrompt();
  // 13: the message box button bar with its configuration button.
  buttons_.CreateBar();
  // 14: the layers are composed afresh at the next screen update.
  layers_->MarkDirty();
  transitions_->SetMmxSwitch(system_.EnableMMX);
  // 16: flag definitions, with the banks kept in the save folder.
  flags_.SetSaveFolder(saveFolder_);
  flags_.LoadFlagDefinitions(config_);
  // The box picture shows the scenario progress, so it is built once the
  // flags are known.
  window_->SetMessageMode(interpreter_.ScriptMode);
  // 18: which text the player has read.
  readLog_.LoadReadLog(saveFolder_);
  return true;
}

void Engine::ShutdownEngine() {
  readLog_.SaveReadLog(saveFolder_);
  if (sound_) sound_->Shutdown();
  if (!windowClosed_ && platform_.HasMainWindow()) {
    platform_.SetFullScreen(false);
    platform_.DestroyMainWindow();
  }
}

bool Engine::PumpMessages() {
  if (quit_) return false;
  CheckTimers();
  platform::Event event;
  while (!quitPosted_ && platform_.PollEvent(event)) HandleEvent(event);
  if (quitPosted_) {
    quit_ = true;
    return false;
  }
  return true;
}

bool Engine::PumpInput(u8 context, bool yield) {
  if (quit_) return false;
  if (yield || !input_.appActive()) {
    if (platform_.IsMinimized())
      platform_.WaitEvent();
    else
      platform_.clock().Sleep(1);
  }
  CheckTimers();
  platform::Event event;
  while (!quitPosted_ && platform_.PollEvent(event)) {
    if (event.kind == platform::EventKind::KeyDown) {
      if (u8 code = InputState::LookupAccelerator(context, event.key, event.modifiers)) {
        input_.SetPending(code, input_.pendingButton());
        continue;
      }
    }
    HandleEvent(event);
  }
  if (quitPosted_) {
    quit_ = true;
    return false;
  }
  if (input_.appActive()) {
    i32 x = 0, y = 0;
    bool left = false;
    platform_.GetMouse(x, y, left);
    input_.SetMouse(x, y, left);
    if (input_.pending() == 0) {
      platform::JoystickState stick;
      if (platform_.ReadJoystick(stick)) {
        if (u8 code = input_.PollJoystick(stick)) input_.SetPending(code);
      }
    }
  }
  if (input_.pending() != 0) input_.SetPending(input_.TranslateRaw(input_.pending(), context), input_.pendingButton());
  input_.UpdateRunMode(context);
  return true;
}

bool Engine::PumpMessagesBlocking() {
  if (quit_) return false;
  platform_.WaitEvent();
  return PumpMessages();
}

bool Engine::IsSkipping() { return input_.IsSkipping(platform_.IsKeyHeld(platform::vk::Control), input_.appActive()); }

void Engine::HandleEvent(const platform::Event& event) {
  using platform::EventKind;
  switch (event.kind) {
    case EventKind::MouseMove:
    case EventKind::MouseDown:
    case EventKind::MouseUp:
    case EventKind::MouseWheel:
      idleTicks_ = 0;
      if (cursorHidden_) {
        platform_.ShowCursor(true);
        cursorHidden_ = false;
      }
      // On-screen buttons take the left button first.
      if (event.button == platform::MouseButton::Left && event.kind == EventKind::MouseDown &&
          buttons_.OnLeftButtonDown(event.x, event.y, input_.IsNormalMode()))
        break;
      if (event.button == platform::MouseButton::Left && event.kind == EventKind::MouseUp) {
        const ButtonRelease release = buttons_.OnLeftButtonUp(event.x, event.y);
        if (release.command) input_.SetPending(release.command, release.button);
        break;
      }
      input_.TranslateMouse(event);
      break;
    case EventKind::Activate:
      input_.SetAppActive(true);
      break;
    case EventKind::Deactivate:
      input_.SetAppActive(false);
      break;
    case EventKind::Expose: {
      // Repainting is not presenting: it happens even while frames are
      // dropped during forced skip.
      Surface& front = screens_.FrontBuffer();
      if (platform_.HasMainWindow() && front.HasPixels())
        platform_.Present(front.pixels(), front.width(), front.height(), front.stride() * front.bytesPerPixel());
      break;
    }
    case EventKind::Maximize:
      SetFullScreen(true);
      break;
    case EventKind::CloseRequest:
      CloseWindow(!skipQuitQuestion_);
      break;
    default:
      break;
  }
}

void Engine::CloseWindow(bool ask) {
  if (windowClosed_) return;
  if (ask) {
    const std::string title = system_.GameCodePage.ToUtf8(system_.Title);
    questionOpen_ = true;
    const bool yes = platform_.AskYesNo("结束游戏？", title);
    questionOpen_ = false;
    if (!yes) return;
  }
  // The window goes; the next pump, wherever it is, sets the quit flag.
  if (sound_) sound_->StopVoice();
  platform_.DestroyMainWindow();
  windowClosed_ = true;
  quitPosted_ = true;
}

void Engine::CheckTimers() {
  const u32 now = platform_.clock().Now();
  if (options_.runLimit && !runLimitReached_ && now >= options_.runMs) {
    runLimitReached_ = true;
    CloseWindow(false);
  }
  // One tick however long the wait was, as a timer message is never queued
  // twice.
  const u32 elapsed = ElapsedMs(timerStart_, now);
  if (elapsed >= kTimerMs) {
    timerStart_ = now - elapsed % kTimerMs;
    TimerTick();
  }
}

void Engine::TimerTick() {
  if (user_.HideIdleCursor) ++idleTicks_;
  if (displayState() == MessageWindow::kDisplayHidden || popup_.windowDisabled() || questionOpen_) {
    idleTicks_ = 0;
    if (cursorHidden_) {
      platform_.ShowCursor(true);
      cursorHidden_ = false;
    }
  } else if (idleTicks_ > 2 && !cursorHidden_) {
    platform_.ShowCursor(false);
    cursorHidden_ = true;
  }
  if (++captionTicks_ > 8) {
    UpdateCaption();
    captionTicks_ = 0;
  }
}

void Engine::UpdateCaption() {
  if (!platform_.HasMainWindow() || platform_.IsMinimized()) return;
  std::string caption = system_.Title;
  if (user_.ShowChapterInCaption && !interpreter_.ChapterName.empty())
    caption += words_.CaptionChapterOpen + interpreter_.ChapterName + words_.CaptionChapterClose;
  if (user_.ShowPlayTimeInCaption && displayState() != MessageWindow::kDisplayHidden) {
    const u32 minutes = interpreter_.GetPlayMinutes();
    char time[32];
    std::snprintf(time, sizeof time, "[%u:%02u]", minutes / 60, minutes % 60);
    caption += words_.CaptionTimeSpace + time;
  }
  platform_.SetCaption(system_.GameCodePage.ToUtf8(caption));
}

void Engine::UpdateScreen() { transitions_->UpdateScreen(); }

void Engine::PresentScreen() {
  // Frames shown while the script forces skipping are dropped.
  if (!platform_.HasMainWindow() || input_.IsForcedSkip()) return;
  Surface& front = screens_.FrontBuffer();
  if (!front.HasPixels()) return;
  platform_.Present(front.pixels(), front.width(), front.height(), front.stride() * front.bytesPerPixel());
}

bool Engine::SetFullScreen(bool on) {
  if (!platform_.HasMainWindow() || on == platform_.IsFullScreen()) return false;
  if (!platform_.SetFullScreen(on)) return false;
  user_.FullScreen = platform_.IsFullScreen() ? 1 : 0;
  return true;
}

bool Engine::DispatchSystemCommand(u8 context) {
  if (displayState() == MessageWindow::kDisplayHidden) return false;
  buttons_.SetMode(ButtonMode::Hidden);
  while (u8 code = input_.pending()) {
    input_.ClearPending();
    // Quick save/load and the save screens are blocked while the scene
    // recollection flag is set. They need the save slots, which this build
    // does not have yet, so they do nothing.
    if (code == cmd::QuickSave || code == cmd::QuickLoad || code == cmd::SaveScreen || code == cmd::LoadScreen)
      return false;
    switch (code) {
      case cmd::HideWindow:
        if (window_) window_->HideWindow();
        return false;
      case cmd::ReturnToTitle:
        interpreter_.RequestGameRestart();
        return true;
      case cmd::Exit:
        PostCloseRequest();
        return true;
      case cmd::ToggleFullScreen:
        SetFullScreen(!platform_.IsFullScreen());
        return false;
      case cmd::WindowMode:
        SetFullScreen(false);
        return false;
      case cmd::FullScreenMode:
        SetFullScreen(true);
        return false;
      case cmd::PopupMenu:
        popup_.ShowPopupMenu([this] { CheckTimers(); });
        idleTicks_ = 0;
        if (!PumpInput(context, false)) return false;
        continue;
      case cmd::BossKey:
        boss_->RunBossKey(user_.BossKeyAction);
        if (!PumpInput(context, false)) return false;
        continue;
      case cmd::FlowChart:
        // The flow chart screen is not part of this build.
        if (!PumpInput(context, false)) return false;
        continue;
      default:
        return false;
    }
  }
  return false;
}

}  // namespace lyraban
