#include "core/engine.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "core/config/flag_definitions.h"
#include "core/decode_ahead.h"
#include "core/default_game.h"
#include "core/opening_movie.h"
#include "core/unusable_game.h"
#include "flow/flowchart_screen.h"
#include "graphics/png.h"
#include "graphics/thumbnail.h"
#include "movie/movie_player.h"
#include "platform/close_signals.h"
#include "platform/ffmpeg/ffmpeg_movie.h"
#include "platform/freetype/freetype_fonts.h"
#include "platform/sdl/sdl_audio.h"
#include "screens/choice_label.h"
#include "screens/save_load_screen.h"
#include "script/script_state.h"
#include "sound/sound.h"
#include "text/game_font.h"
#include "text/text_pen.h"

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
  DeathCount = codePage.FromUtf8("死亡回数");
  CaptionChapterOpen = codePage.FromUtf8("　「");
  CaptionChapterClose = codePage.FromUtf8("」");
  CaptionTimeSpace = codePage.FromUtf8("　");
}

// What the interpreter needs from the engine.
class Engine::Host final : public ScriptHost {
 public:
  explicit Host(Engine& e) : e_(e) {}
  bool PumpMessages() override { return e_.PumpMessages(); }
  void LookAhead(const ScriptProgram& program) override {
    if (e_.decodeAhead_)
      e_.decodeAhead_->LookAhead(e_.interpreter_.RootProgram, program,
                                 e_.layers_ ? e_.layers_->PendingPictureNames() : std::vector<std::string>());
  }
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
  void MarkBacklogPage() override { e_.backlog_.MarkBacklogPage(); }
  void FlowPass(std::string_view script) override { e_.flow_.FlowPass(script); }
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
// does not have yet do nothing (screens, backlog, flow chart).
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
  void SetPendingVoice(std::string_view path) override { e_.backlog_.SetPendingVoice(path); }

  bool PumpInput(u8 context, bool yield) override { return e_.PumpInput(context, yield); }
  u8 PendingCommand() override { return e_.input_.pending(); }
  void ClearPendingInput() override { e_.input_.ClearPending(); }
  bool IsSkipping() override { return e_.IsSkipping(); }
  bool IsAutoMode() override { return e_.input_.IsAutoMode(); }

  // The result is not the tag's business: a load has already requested the
  // restart that unwinds the script.
  void RunSaveLoadScreen(SaveLoadMode mode) override { e_.RunSaveLoadScreen(mode == SaveLoadMode::Save); }
  void RunConfigDialog() override { e_.RunConfigDialog(); }

  void SetMessageMode(u8 mode) override { e_.interpreter_.SetMessageMode(mode); }
  void ClockEvent(std::string_view a, std::string_view b) override {
    if (e_.window_) e_.window_->ClockEvent(a, b);
  }
  void FlowReset() override { e_.flow_.FlowReset(); }
  void FlowNewRoute() override { e_.flow_.FlowNewRoute(); }

  u8 ScriptMode() override { return e_.interpreter_.ScriptMode; }
  void SetChapterDate(std::string_view date) override { e_.interpreter_.ChapterDate = std::string(date); }
  void SetChapterName(std::string_view name) override { e_.interpreter_.ChapterName = std::string(name); }
  void UpdateCaption() override { e_.UpdateCaption(); }

  void PlayMovie(std::string_view name) override {
    // The movie's libraries are the largest thing the program loads; unless
    // they were loaded ahead, what was decoded for the lines after the movie
    // gives way while they load, and is decoded again from its first frame.
    if (e_.decodeAhead_ && e_.movie_->OpenLoads()) e_.decodeAhead_->Hold();
    e_.movie_->Play(name, e_.gameFolder_);
  }

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
  bool TakeDecodedPicture(std::string_view name, Surface& pixels) override {
    return e_.decodeAhead_ && e_.decodeAhead_->Take(name, pixels);
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
  bool QuickSave() override { return e_.QuickSave(); }
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
  bool SceneAtRest(u64& look) override {
    if (!e_.transitions_->Settled()) return false;
    // What the buttons are drawn from: the pointer, skip or auto, and which
    // sets show.
    const bool skipOrAuto = e_.IsSkipping() || e_.input_.IsAutoMode();
    look = u64{static_cast<u16>(e_.input_.mouseX())} | u64{static_cast<u16>(e_.input_.mouseY())} << 16 |
           u64{e_.input_.leftDown()} << 32 | u64{skipOrAuto} << 33 | u64{e_.buttons_.saveLoadShown()} << 34 |
           u64{static_cast<u8>(e_.buttons_.mode())} << 40;
    return true;
  }
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
  void AddBacklogEntry(std::string_view name, std::string_view plainText) override {
    e_.backlog_.AddBacklogEntry(name, plainText);
  }

 private:
  Engine& e_;
};

// What a save takes from the running game besides its sections.
class Engine::Saves final : public SaveSlotHost {
 public:
  explicit Saves(Engine& e) : e_(e) {}
  SaveMoment LocalNow() override {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return SaveMoment{local.tm_year + 1900,
                      local.tm_mon + 1,
                      local.tm_mday,
                      local.tm_hour,
                      local.tm_min,
                      local.tm_sec,
                      static_cast<int>(now.tv_nsec / 1000000)};
  }
  i32 DeathCount() override { return e_.flags_.GetFlag(e_.words_.DeathCount); }
  std::string ChapterDate() override { return e_.interpreter_.ChapterDate; }
  std::string ChapterName() override { return e_.interpreter_.ChapterName; }
  void DrawThumbnail(u8* pixels) override {
    MakeThumbnail(e_.screens_.ComposedBuffer(), kThumbnailWidth, kThumbnailHeight, pixels);
  }

 private:
  Engine& e_;
};

// What the movie player needs from the engine.
class Engine::Movies final : public MovieHost {
 public:
  explicit Movies(Engine& e) : e_(e) {}
  bool PumpInput() override { return e_.PumpInput(ContextMenu, false); }
  u8 PendingCommand() override { return e_.input_.pending(); }
  void ClearPendingInput() override { e_.input_.ClearPending(); }
  bool PresentVideo(const platform::VideoPicture& picture) override {
    if (!e_.platform_.HasMainWindow() || !e_.platform_.PresentVideo(picture)) return false;
    e_.FramePresented();
    return true;
  }
  Surface& ScreenSurface() override { return e_.screens_.FrontBuffer(); }
  void PresentSurface() override {
    Surface& front = e_.screens_.FrontBuffer();
    if (!e_.platform_.HasMainWindow() || !front.HasPixels()) return;
    e_.platform_.Present(front.pixels(), front.width(), front.height(), front.stride() * front.bytesPerPixel());
    e_.FramePresented();
  }
  Mixer* SoundMixer() override { return e_.sound_ && e_.sound_->started() ? &e_.sound_->mixer() : nullptr; }
  i32 MusicAttenuation() override { return e_.user_.BgmEnabled ? VolumeToAttenuation(e_.user_.BgmVolume) : -10000; }

 private:
  Engine& e_;
};

// What the save/load screen needs from the engine: the panel's pen, the
// comment field and the load.
class Engine::SaveScreen final : public SaveLoadHost {
 public:
  explicit SaveScreen(Engine& e) : e_(e) {}
  void DrawPanelText(Surface& panel, i32 x, i32 y, std::string_view text) override {
    if (!e_.fonts_ || !e_.penRasterizer_) return;
    TextPen pen(*e_.penRasterizer_, *e_.fonts_, panel.width(), panel.height());
    if (!pen.SetFont(20, 20)) return;
    pen.penX = x;
    pen.penY = y;
    pen.DrawString(panel, text, false);
  }
  bool EditComment(std::string& text) override {
    const CodePage& page = e_.system_.GameCodePage;
    platform::TextFieldRequest field;
    field.x = 148;
    field.y = 522;
    field.width = 609;
    field.height = 20;
    field.fontHeight = 20;
    field.textRgb = 0xFFFFFF;
    field.backRgb = 0x0A006D;
    std::string utf8 = page.ToUtf8(text);
    // A character the code page lacks, or text past the field's 255 bytes,
    // is refused rather than saved as something else.
    auto accept = [&](std::string_view typed) {
      std::string converted;
      if (!ToCodePage(page, typed, converted)) {
        e_.trace_.DebugTrace("コメントに使えない文字があります");
        return false;
      }
      return converted.size() <= SlotHeader::kTextSize - 1;
    };
    if (!e_.platform_.EditText(field, utf8, accept)) return false;
    return ToCodePage(page, utf8, text);
  }
  bool LoadGame(int slot) override { return e_.LoadSavedGame(slot); }

  // Each UTF-8 character on its own, so that one the code page lacks is
  // found instead of turning into '?'.
  static bool ToCodePage(const CodePage& page, std::string_view utf8, std::string& out) {
    out.clear();
    std::size_t i = 0;
    while (i < utf8.size()) {
      std::size_t n = 1;
      while (i + n < utf8.size() && (static_cast<u8>(utf8[i + n]) & 0xC0) == 0x80) ++n;
      const std::string_view one = utf8.substr(i, n);
      const u32 code = page.CodeFromUtf8(one);
      if (code == 0) return false;
      if (code > 0xFF) out.push_back(static_cast<char>(code >> 8));
      out.push_back(static_cast<char>(code & 0xFF));
      i += n;
    }
    return true;
  }

 private:
  Engine& e_;
};

Engine::Engine(platform::Platform& platform, EngineOptions options, FolderEnvironment environment)
    : platform_(platform),
      options_(std::move(options)),
      folderEnvironment_(std::move(environment)),
      resources_(trace_),
      effectHost_(std::make_unique<Effects>(*this)),
      transitions_(std::make_unique<ScreenTransitions>(screens_, *effectHost_, platform.clock())),
      input_(user_),
      popup_(platform, input_, trace_),
      converters_(std::make_unique<platform::SdlAudioConverterFactory>()),
      sound_(std::make_unique<SoundSystem>(resources_, platform.clock(), *converters_, trace_)),
      movieDecoders_(std::make_unique<platform::FfmpegMovieDecoderFactory>()),
      movieHost_(std::make_unique<Movies>(*this)),
      movie_(std::make_unique<MoviePlayer>(*movieHost_, *movieDecoders_, platform.clock(), trace_)),
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
      interpreter_(resources_, readLog_, flags_, tags_, *host_, platform.clock(), trace_),
      saveHost_(std::make_unique<Saves>(*this)),
      saveScreenHost_(std::make_unique<SaveScreen>(*this)) {
  ResetUserSettings(user_);
  words_.Convert(system_.GameCodePage);
  gameFolder_ = options_.gameFolder.empty() ? DefaultGameFolder(ProgramFolder()) : options_.gameFolder;
  if (gameFolder_.empty()) gameFolder_.assign(1, '.');
  // A trailing separator: the save folder is used as a prefix.
  saveFolder_ = (std::filesystem::path(gameFolder_) / "save" / "").string();
  settingsFile_ = kUserSettingsFileName;
  slots_ = std::make_unique<SaveSlots>(saveFolder_, *saveHost_, trace_);
  slots_->SetQuickSaveComment(words_.QuickSaveTitle);
  // One owner per section, in the file's order.
  slots_->SetSectionOwner(SaveSectionKind::Script, [this](SaveArchive& a) { SerializeScriptState(interpreter_, a); });
  slots_->SetSectionOwner(SaveSectionKind::Sound, [this](SaveArchive& a) {
    if (sound_) sound_->SerializeSound(a);
  });
  slots_->SetSectionOwner(SaveSectionKind::Anime, [this](SaveArchive& a) {
    if (!layers_) return;
    if (a.IsWriting())
      layers_->SaveLayers(a);
    else
      layers_->LoadLayers(a, screens_.ComposedBuffer());
  });
  slots_->SetSectionOwner(SaveSectionKind::Flags, [this](SaveArchive& a) { flags_.SerializeLocalFlags(a); });
  slots_->SetSectionOwner(SaveSectionKind::Log, [this](SaveArchive& a) { backlog_.SerializeBacklog(a); });
  slots_->SetSectionOwner(SaveSectionKind::Flow, [this](SaveArchive& a) { flow_.SerializeFlow(a); });
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
  if (slots_) slots_->SetQuickSaveComment(words_.QuickSaveTitle);
}

void Engine::ChoosePlayerFolders() {
  const std::string product =
      SafeProductName(system_.GameCodePage.ToUtf8(system_.ProductID), system_.GameCodePage.ToUtf8(system_.Title));
  const PlayerFolders folders = lyraban::ChoosePlayerFolders(gameFolder_, product, folderEnvironment_);
  saveFolder_ = folders.saveFolder;
  settingsFile_ = folders.settingsFile;
  if (slots_) slots_->SetFolder(saveFolder_);
  if (folders.besideGame) {
    trace_.Emit(Trace::FormatText("セーブフォルダ：%s（ゲームフォルダ）", saveFolder_.c_str()));
    return;
  }
  trace_.Emit(Trace::FormatText("ゲームフォルダに書き込めないため、セーブフォルダ：%s、設定ファイル：%s",
                                saveFolder_.c_str(), settingsFile_.c_str()));
  if (!CreatePlayerFolders(folders)) trace_.Emit("セーブフォルダまたは設定フォルダを作成できません");
}

int Engine::Run() {
  resources_.OpenDataFolder(gameFolder_);
  ReadConfiguration();
  // Saves and settings follow the product id read now, like the instance
  // lock, so a later archive cannot move them.
  ChoosePlayerFolders();
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
      // A restart or a load: what was decoded ahead belonged to the old run.
      if (decodeAhead_) decodeAhead_->Stop();
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
    // Started from the desktop there is no terminal: the player hears why
    // the game did not start through a message box.
    if (missingStartScript_)
      platform_.ShowMessage(UnusableGameMessage(DiagnoseUnusableGame(resources_.dataFolder()), gameFolder_), "Lyraban");
  }
  ShutdownEngine();
  platform_.ReleaseSingleInstance();
  return 0;
}

bool Engine::InitEngine() {
  // The system's font list loads on a worker while the window comes up and
  // the archives open; the first text waits for it only if it is not done.
  std::shared_ptr<platform::SystemFonts> systemFonts = platform::LoadSystemFontsAhead();
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
  // A game that opens with a movie has its decoder loaded on a worker while
  // the rest of start-up runs. The start script is read again, with its
  // diagnostics, when it runs.
  TextLines start;
  {
    Trace::Muted muted(trace_);
    resources_.LoadTextLines(start, "script", "start.txt");
  }
  if (OpensWithMovie(start)) {
    movieDecoders_->Prepare();
    openingMoviePrepared_ = true;
    if (options_.decodeAhead) movie_->OpenAhead(OpeningMovieName(start), gameFolder_);
  }
  tags_.SetScreenSize(system_.ScreenWidth, system_.ScreenHeight);
  tags_.SetTrace(&trace_);
  tags_.SetNoteHook([this](const std::vector<std::string>& notes) { interpreter_.NoteTagArguments(notes); });
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
  if (options_.decodeAhead) {
    decodeAhead_ =
        std::make_unique<DecodeAhead>(resources_, DecodeAhead::DefaultBudget(screens_.width(), screens_.height()));
    layers_->SetDecodedSource(
        [this](std::string_view name, Surface& pixels) { return decodeAhead_->Take(name, pixels); });
    sound_->SetAhead(&decodeAhead_->sounds());
    // Nothing is decoded ahead while the opening movie's libraries load.
    if (openingMoviePrepared_) decodeAhead_->Hold();
  }
  // 6: the player's settings.
  LoadUserSettings(user_, settingsFile_);
  // 7-10: shortcut tables are data, and there is no COM to start.
  // 11: the window mode the player left the game in.
  SetFullScreen(user_.FullScreen != 0);
  // 12: sound output.
  sound_->ApplyUserSettings(user_);
  if (platform::AudioOutput* output = platform_.audio()) sound_->Start(*output);
  // Fonts: a game's own font file, else the system's CJK faces.
  fonts_ = std::make_unique<platform::FreeTypeFontService>(trace_, std::move(systemFonts));
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
  flags_.LoadFlagDefinitions(*ReadFlagDefinitions(config_));
  // The box picture shows the scenario progress, so it is built once the
  // flags are known.
  window_->SetMessageMode(interpreter_.ScriptMode);
  // 18: which text the player has read.
  readLog_.LoadReadLog(saveFolder_);
  // 19: the story points of the flow chart.
  flow_.ClearChecklist();
  TextLines checklist;
  if (resources_.LoadTextLines(checklist, "flow", "checklist.txt")) flow_.LoadChecklist(checklist);
  return true;
}

void Engine::ShutdownEngine() {
  if (decodeAhead_) decodeAhead_->Stop();
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
      platform_.WaitForInputOrFrame();
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
      // dropped during forced skip. A movie repaints with its next picture.
      if (IsMoviePlaying()) break;
      const Surface& front = screens_.FrontBuffer();
      if (platform_.HasMainWindow() && front.HasPixels()) {
        platform_.Present(front.pixels(), front.width(), front.height(), front.stride() * front.bytesPerPixel());
        FramePresented();
      }
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
  if (closeSignals_ && closeSignals_->Take()) CloseWindow(false);
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
  if (displayState() == MessageWindow::kDisplayHidden || popup_.windowDisabled() || questionOpen_ || dialogOpen_) {
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

bool Engine::IsMoviePlaying() const { return movie_ && movie_->playing(); }

void Engine::PresentScreen() {
  // Frames shown while the script forces skipping are dropped.
  if (!platform_.HasMainWindow() || input_.IsForcedSkip() || IsMoviePlaying()) return;
  const Surface& front = screens_.FrontBuffer();
  if (!front.HasPixels()) return;
  const int pitch = front.stride() * front.bytesPerPixel();
  // Nothing drew into the front buffer since it was last presented: the
  // platform may keep the picture it has.
  if (front.edits() == presentedEdits_) {
    platform_.PresentUnchanged(front.pixels(), front.width(), front.height(), pitch);
  } else {
    presentedEdits_ = front.edits();
    platform_.Present(front.pixels(), front.width(), front.height(), pitch);
  }
  FramePresented();
}

void Engine::FramePresented() {
  // A movie's first frame: its libraries are in.
  if (decodeAhead_) decodeAhead_->Resume();
  // The opening movie took what was prepared before its first frame; if it
  // did not come, the decoder is not kept for later.
  if (openingMoviePrepared_) {
    openingMoviePrepared_ = false;
    movie_->DropOpenAhead();
    movieDecoders_->Unprepare();
  }
  if (frameStats_) frameStats_->FramePresented(platform_.clock().Now());
}

bool Engine::SetFullScreen(bool on) {
  if (!platform_.HasMainWindow() || on == platform_.IsFullScreen() || IsMoviePlaying()) return false;
  if (!platform_.SetFullScreen(on)) return false;
  user_.FullScreen = platform_.IsFullScreen() ? 1 : 0;
  return true;
}

bool Engine::QuickSave() { return slots_->QuickSave(); }

bool Engine::LoadSavedGame(int slot) {
  if (!slots_->LoadGame(slot)) return false;
  // The restored mode takes its window layout before the first restored line.
  interpreter_.SetMessageMode(interpreter_.ScriptMode);
  if (window_) window_->ClearPage();
  // The restored scene shows at once.
  CopyScreen(screens_.FrontBuffer(), screens_.ComposedBuffer());
  PresentScreen();
  UpdateCaption();
  return true;
}

bool Engine::RunSaveLoadScreen(bool saveMode) {
  // The screen draws over the scene as it stands now.
  UpdateScreen();
  SaveLoadScreen screen(*screenHost_, *saveScreenHost_, buttons_, *slots_, ResourceReaderFor(resources_));
  return screen.RunSaveLoadScreen(saveMode);
}

bool Engine::DispatchSystemCommand(u8 context) {
  if (displayState() == MessageWindow::kDisplayHidden) return false;
  buttons_.SetMode(ButtonMode::Hidden);
  while (u8 code = input_.pending()) {
    input_.ClearPending();
    // Quick save/load and the save screens are blocked while the scene
    // recollection flag is set.
    if (code == cmd::QuickSave || code == cmd::QuickLoad || code == cmd::SaveScreen || code == cmd::LoadScreen) {
      if (flags_.GetFlag(words_.SceneRecollection) != 0) return false;
      switch (code) {
        case cmd::QuickSave:
          QuickSave();
          return false;
        case cmd::QuickLoad:
          return LoadSavedGame(kQuickSaveSlot);
        case cmd::SaveScreen:
          RunSaveLoadScreen(true);
          return false;
        default:
          return RunSaveLoadScreen(false);
      }
    }
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
      case cmd::ConfigDialog:
        RunConfigDialog();
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
      case cmd::Backlog:
        RunBacklog();
        return false;
      case cmd::FlowChart:
        ShowFlowchart();
        if (!PumpInput(context, false)) return false;
        continue;
      default:
        return false;
    }
  }
  return false;
}

std::unique_ptr<TextPen> Engine::MakeScreenPen(int size, int gap) {
  if (!fonts_ || !penRasterizer_) return nullptr;
  auto pen = std::make_unique<TextPen>(*penRasterizer_, *fonts_, screens_.width(), screens_.height());
  if (!pen->SetFont(size, gap)) return nullptr;
  return pen;
}

void Engine::RunBacklog() {
  BacklogScreen screen(
      *screenHost_, buttons_, ResourceReaderFor(resources_),
      [this](int size, int gap) { return MakeScreenPen(size, gap); },
      [this](std::string_view voice) {
        if (sound_) sound_->PlayVoice(voice);
      });
  screen.RunBacklog(backlog_);
}

void Engine::ShowFlowchart() {
  FlowchartScreen screen(*screenHost_, ResourceReaderFor(resources_),
                         [this](int size, int gap) { return MakeScreenPen(size, gap); });
  screen.ShowFlowchart(flow_);
}

}  // namespace lyraban
