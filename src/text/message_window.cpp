#include "text/message_window.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>

#include "base/strings.h"
#include "graphics/blend.h"

namespace lyraban {

namespace {

// Input commands the window reacts to itself.
constexpr u8 kClick = 1, kConfirm = 2, kCancel = 3, kAdvance = 4, kRight = 6, kHide = 12;
constexpr u8 kContextReading = 0, kContextMenu = 2;

// The game's speakers and their text colours (used when the player turns
// coloured text on). Names are matched ignoring ASCII letter case; several
// speakers of one household share a colour.
struct SpeakerRow {
  const char* name;
  TextColour colour;
};
constexpr TextColour kRose{255, 200, 200}, kSky{200, 220, 255}, kCream{255, 240, 180}, kMint{200, 255, 210},
    kLilac{230, 200, 255}, kApricot{255, 215, 160}, kAqua{180, 240, 240}, kLemon{240, 240, 160}, kPink{255, 180, 220};
constexpr SpeakerRow kSpeakers[] = {
    {"Lyra", kLilac}, {"林夏", kRose},  {"苏晴", kSky},     {"叶澜", kMint}, {"沈遥", kCream},  {"顾言", kApricot},
    {"江雪", kAqua},  {"白露", kPink},  {"陆川", kLemon},   {"秦月", kSky},  {"温知", kMint},   {"林母", kRose},
    {"林父", kRose},  {"店长", kLemon}, {"老师", kApricot}, {"少女", kPink}, {"？？？", kAqua},
};
constexpr TextColour kNarrationColour{215, 215, 215};
constexpr TextColour kWhite{255, 255, 255};

// The name plate is centred on this column of the box.
constexpr int kNameCentreX = 142, kNameY = 18;
constexpr int kNamePlateWidth = 300, kNamePlateHeight = 45;
constexpr int kWindowPenX = 80, kWindowPenY = 70;

// Clock pieces on the box: hands turn about their own (80, 80) at the box
// point (715, 105); the face sits at (630, 0). During the clock event the
// hand turns at the same place on the screen.
constexpr int kHandBoxX = 715, kHandBoxY = 105, kHandPivot = 80;
constexpr int kFaceX = 630, kFaceY = 0;
constexpr int kEventClockX = 715, kEventClockY = 505, kCatchRadiusSquared = 3025;
constexpr int kFlashX = 630, kFlashY = 400;
constexpr u32 kClockEventMs = 4000;

bool IsAdvance(u8 command) { return command == kClick || command == kConfirm || command == kAdvance; }

// Releases the button bar on every way out of a wait.
class ButtonsHiddenOnExit {
 public:
  explicit ButtonsHiddenOnExit(MessageHost& host) : host_(host) {}
  ~ButtonsHiddenOnExit() { host_.SetButtons(MessageButtons::Hidden); }
  ButtonsHiddenOnExit(const ButtonsHiddenOnExit&) = delete;
  ButtonsHiddenOnExit& operator=(const ButtonsHiddenOnExit&) = delete;

 private:
  MessageHost& host_;
};

}  // namespace

MessageWindow::MessageWindow(MessageHost& host, GlyphRasterizer& rasterizer, platform::FontService& fonts,
                             const UserSettings& settings, ResourceReader reader, platform::Clock& clock, Trace& trace)
    : host_(host),
      settings_(settings),
      reader_(std::move(reader)),
      clock_(clock),
      trace_(trace),
      text_(rasterizer, fonts, settings, trace),
      codePage_(rasterizer.codePage()) {
  progressFlag_ = codePage_.FromUtf8("シナリオ進行");
  minuteFlag_ = codePage_.FromUtf8("Ｍフラグ合計");
  hourFlag_ = codePage_.FromUtf8("Ｌフラグ合計");
  for (const SpeakerRow& row : kSpeakers) speakers_.push_back({codePage_.FromUtf8(row.name), row.colour});
}

int MessageWindow::TypingDivisor(i32 speed) {
  switch (speed) {
    case 0:
      return 24;
    case 1:
      return 16;
    case 2:
      return 8;
    case 3:
      return 4;
    case 4:
      return 0;
    default:
      return 10;
  }
}

u32 MessageWindow::AutoModeDelay(i32 speed) {
  const i64 delay = 7000 - 700 * static_cast<i64>(speed);
  return static_cast<u32>(std::clamp<i64>(delay, 0, UINT32_MAX));
}

TextColour MessageWindow::SpeakerColour(std::string_view name) const {
  if (!settings_.TextColour) return kWhite;
  if (name.empty()) return kNarrationColour;
  for (const Speaker& s : speakers_)
    if (EqualsNoCase(s.name, name)) return s.colour;
  return kWhite;
}

bool MessageWindow::LoadPicture(std::string_view name, Surface& target) {
  target.Release();
  if (reader_ && LoadPng(reader_, name, target) && target.HasPixels()) return true;
  target.Release();
  trace_.DebugTrace("画像を読み込めません（%s）", std::string(name).c_str());
  return false;
}

bool MessageWindow::LoadPrompt() { return LoadPicture("sys_box_prompt.png", prompt_); }

void MessageWindow::EmptyBox() {
  // Without its picture the box is transparent, so the text still shows.
  if (box_.Create(4, kScreenWidth, kScreenHeight - kWindowY)) std::memset(box_.pixels(), 0, box_.ByteSize());
}

void MessageWindow::BuildMessageBox(bool face) {
  const i32 progress = host_.GetFlag(progressFlag_);
  // The box is built again only when what it shows changed. The same
  // progress and face name the same pictures; when they all loaded last
  // time they load again without a word, so only the hands' flags are read
  // (in the order building reads them) to tell.
  const bool samePictures = boxMemo_.valid && boxMemo_.progress == progress && boxMemo_.face == face;
  boxMemo_.valid = false;
  const bool clock = progress >= 1 && progress <= 3;
  std::optional<i32> minute, hour;
  if (samePictures && clock) {
    minute = host_.GetFlag(minuteFlag_);
    hour = host_.GetFlag(hourFlag_);
    if (*minute == boxMemo_.minute && *hour == boxMemo_.hour) {
      boxMemo_.valid = true;
      return;
    }
  } else if (samePictures) {
    boxMemo_.valid = true;
    return;
  }
  bool loaded = true;
  if (clock) {
    if (!LoadPicture("sys_box_base.png", box_)) {
      EmptyBox();
      loaded = false;
    }
    Surface hand;
    if (LoadPicture("sys_box_clock_a.png", hand)) {
      if (!minute) minute = host_.GetFlag(minuteFlag_);
      RotateBlit(box_, hand, kHandBoxX, kHandBoxY, kHandPivot, kHandPivot, *minute / 14.0, 1.0);
    } else {
      loaded = false;
    }
    if (LoadPicture("sys_box_clock_b.png", hand)) {
      if (!hour) hour = host_.GetFlag(hourFlag_);
      RotateBlit(box_, hand, kHandBoxX, kHandBoxY, kHandPivot, kHandPivot, *hour / 16.0, 1.0);
    } else {
      loaded = false;
    }
    if (face) {
      static constexpr const char* kFaces[] = {"sys_box_clock1.png", "sys_box_clock2.png", "sys_box_clock3.png"};
      Surface picture;
      if (LoadPicture(kFaces[progress - 1], picture))
        Blit(box_, picture, kFaceX, kFaceY, picture.width(), picture.height(), 0, 0);
      else
        loaded = false;
    }
  } else if (!LoadPicture(progress == 0 ? "sys_box_normal.png" : "sys_box_noclock.png", box_)) {
    EmptyBox();
    loaded = false;
  }
  boxMemo_ = {loaded, progress, minute.value_or(0), hour.value_or(0), face};
}

void MessageWindow::SetMessageMode(u8 mode) {
  screenX_ = 0;
  if (mode == kModeNovel || mode == kModeNovel2) {
    screenY_ = 0;
    if (textSurface_.Create(4, kScreenWidth, kScreenHeight))
      std::memset(textSurface_.pixels(), 0, textSurface_.ByteSize());
  } else {
    screenY_ = kWindowY;
    BuildMessageBox(true);
    AssignSurface(textSurface_, box_);
  }
  ClearPage();
}

void MessageWindow::ClearPage() {
  if (settings_.StopVoiceOnAdvance) host_.StopVoice();
  if (textSurface_.HasPixels()) std::memset(textSurface_.pixels(), 0, textSurface_.ByteSize());
  if (host_.ScriptMode() == kModeNovel) {
    text_.SelectTextArea(kNovelTextArea);
    // The page darkens the scene behind it by half.
    FillRectWithOpacity(textSurface_, 0, 0, 0, 0, 0, kScreenWidth, kScreenHeight, 127);
  } else {
    text_.SelectTextArea(kWindowTextArea);
  }
  text_.penX = text_.area.left;
  text_.penY = text_.area.top;
}

void MessageWindow::ClearNamePlate() {
  if (!textSurface_.HasPixels()) return;
  const int rows = std::min(kNamePlateHeight, textSurface_.height());
  const std::size_t bytes =
      static_cast<std::size_t>(std::min(kNamePlateWidth, textSurface_.width())) * textSurface_.bytesPerPixel();
  for (int y = 0; y < rows; ++y) std::memset(textSurface_.Row(y), 0, bytes);
}

void MessageWindow::BeginMessage(std::string_view name, bool novel) {
  text_.colour = SpeakerColour(name);
  if (!novel) {
    AssignSurface(textSurface_, box_);
    text_.SelectTextArea(kWindowTextArea);
    if (name.empty()) {
      ClearNamePlate();
    } else {
      // Centred on the plate by byte count: a double-byte character is one
      // cell wide, a single-byte one half a cell.
      const i64 half = static_cast<i64>(name.size()) * MessageText::kSize / 4;
      const int x = static_cast<int>(std::max<i64>(INT_MIN / 2, kNameCentreX - half));
      text_.DrawNameText(textSurface_, name, x, kNameY);
    }
    text_.penX = kWindowPenX;
    text_.penY = kWindowPenY;
  } else {
    text_.SelectTextArea(kNovelTextArea);
    text_.NewLine();
    if (!name.empty()) {
      std::string label(name);
      const TextCode open = text_.openBracketCode();
      if (open > 0xFF) label.push_back(static_cast<char>(open >> 8));
      if (open != 0) label.push_back(static_cast<char>(open & 0xFF));
      // Wrapped lines of this speech align under its first character.
      const int x = text_.DrawNameText(textSurface_, label, text_.penX, text_.penY);
      text_.penX = x;
      text_.area.left = x;
      if (text_.closeBracketCode() != 0) text_.AppendCode(text_.closeBracketCode());
    }
  }
  text_.BeginMessage();
}

void MessageWindow::DrawMessageWindow(bool withPrompt) {
  Surface& screen = host_.ScreenSurface();
  if (textSurface_.HasPixels())
    Blit(screen, textSurface_, screenX_, screenY_, textSurface_.width(), textSurface_.height(), 0, 0);
  if (withPrompt && prompt_.HasPixels()) {
    const int frame = PromptFrame(clock_.Now());
    Blit(screen, prompt_, screenX_ + text_.penX, screenY_ + text_.penY, kPromptSize, kPromptSize, 0,
         kPromptSize * frame);
  }
}

void MessageWindow::DrawFrame(bool withPrompt, bool withButtons) {
  host_.UpdateScreen();
  DrawMessageWindow(withPrompt);
  if (withButtons) host_.DrawButtons();
  host_.PresentScreen();
}

void MessageWindow::DrawWaitingFrame(WaitingLook& last) {
  // Taken before drawing: a prompt frame that turns while the frame is drawn
  // only costs one more drawing.
  const int prompt = PromptFrame(clock_.Now());
  u64 scene = 0;
  const bool atRest = host_.SceneAtRest(scene);
  if (atRest && last.valid && scene == last.scene && prompt == last.prompt &&
      host_.ScreenSurface().edits() == last.screenEdits) {
    host_.PresentScreen();
    return;
  }
  host_.UpdateScreen();
  DrawMessageWindow(true);
  host_.DrawButtons();
  last.valid = atRest;
  if (atRest) {
    last.scene = scene;
    last.prompt = prompt;
    last.screenEdits = host_.ScreenSurface().edits();
  }
  host_.PresentScreen();
}

MessageEnd MessageWindow::ShowScriptText(std::string_view line, bool alreadyRead, u8 mode) {
  std::string_view name, words = line;
  if (const auto colon = line.find(':'); colon != std::string_view::npos) {
    name = line.substr(0, colon);
    words = line.substr(colon + 1);
  }
  MessageEnd end = MessageEnd::NotShown;
  if (mode == kModeAdv || mode == kModeNovel) end = ShowMessage(name, words, mode == kModeNovel, alreadyRead);
  if (settings_.StopVoiceOnAdvance) host_.StopVoice();
  return end;
}

MessageEnd MessageWindow::ShowMessage(std::string_view name, std::string_view words, bool novel, bool alreadyRead) {
  host_.ClearInput();
  text_.ParseMessageText(words);
  host_.AddBacklogEntry(name, text_.PlainMessageText());
  BeginMessage(name, novel);

  const int divisor = TypingDivisor(alreadyRead ? settings_.ReadTextSpeed : settings_.UnreadTextSpeed);
  DrawFrame(false, false);
  const u32 start = clock_.Now();
  for (;;) {
    if (!host_.PumpInput(kContextReading, false)) return MessageEnd::Quit;
    int budget = -1;
    if (divisor != 0) budget = static_cast<int>(std::min<u32>(ElapsedMs(start, clock_.Now()) / divisor, INT_MAX));
    // Skipping, or a click while typing, shows the rest at once.
    if (host_.IsSkipping() || IsAdvance(host_.PendingCommand())) budget = -1;
    const bool more = text_.TypeMessage(textSurface_, budget);
    DrawFrame(false, false);
    if (!more) break;
    if (HandleSystemCommand(kContextReading)) return MessageEnd::Abandoned;
  }

  host_.ClearInput();
  if (host_.IsSkipping()) return MessageEnd::Skipped;

  const bool voiceWasPlaying = host_.IsVoicePlaying();
  const u32 waitStart = clock_.Now();
  ButtonsHiddenOnExit bar(host_);
  host_.SetButtons(MessageButtons::Waiting);
  WaitingLook look;
  for (;;) {
    if (!host_.PumpInput(kContextReading, true)) return MessageEnd::Quit;
    if (host_.IsSkipping()) return MessageEnd::Skipped;
    if (host_.IsAutoMode()) {
      // A voice that was playing decides; otherwise the reader's delay.
      if (voiceWasPlaying ? !host_.IsVoicePlaying()
                          : ElapsedMs(waitStart, clock_.Now()) >= AutoModeDelay(settings_.AutoModeSpeed))
        return MessageEnd::Advanced;
    }
    DrawWaitingFrame(look);
    const u8 command = host_.PendingCommand();
    if (command == 0) continue;
    if (IsAdvance(command)) {
      // The click is used up here, so that a wait on the next line does not
      // see it too.
      host_.ClearInput();
      return MessageEnd::Advanced;
    }
    // Any other key in auto mode was already spent by the pump on ending
    // auto mode; what is left here is a system command.
    if (HandleSystemCommand(kContextReading)) return MessageEnd::Abandoned;
    host_.SetButtons(MessageButtons::Waiting);
    // A menu or a screen may have drawn anything meanwhile.
    look.valid = false;
  }
}

bool MessageWindow::HandleSystemCommand(u8 context) {
  if (host_.ScriptMode() == kModeSystem) return false;
  host_.SetButtons(MessageButtons::Hidden);
  const u8 command = host_.PendingCommand();
  if (command == 0) return false;
  if (command == kHide) {
    host_.ClearInput();
    HideWindow();
    return false;
  }
  return host_.DispatchSystemCommand(context);
}

bool MessageWindow::HideWindow() {
  displayState_ = kDisplayHidden;
  bool running = true;
  for (;;) {
    if (!host_.PumpInput(kContextMenu, true)) {
      running = false;
      break;
    }
    if (host_.PendingCommand() != 0) {
      // The key or click that brings the window back does nothing else.
      host_.ClearInput();
      break;
    }
    host_.UpdateScreen();
    host_.PresentScreen();
  }
  displayState_ = kDisplayShown;
  return running;
}

void MessageWindow::ClockEvent(std::string_view flagA, std::string_view flagB) {
  if (host_.GetFlag(flagB) == 0 || host_.GetFlag(flagA) != 0) return;
  const bool skipWasOn = host_.IsSkipping();
  Surface flash, hand;
  LoadPicture("sys_box_flash.png", flash);
  LoadPicture("sys_box_clock_c.png", hand);
  host_.PlaySE("se_020.ogg");

  bool caught = false;
  const u32 start = clock_.Now();
  for (;;) {
    if (!host_.PumpInput(kContextMenu, true)) return;
    const u32 t = ElapsedMs(start, clock_.Now());
    if (t >= kClockEventMs) break;
    const u8 command = host_.PendingCommand();
    if (command == kClick || command == kConfirm) {
      i32 x = 0, y = 0;
      host_.GetMouse(x, y);
      // Far is far: clamping keeps the squares of any pointer position in range.
      const i64 dx = std::clamp<i64>(i64{x} - kEventClockX, -65536, 65536);
      const i64 dy = std::clamp<i64>(i64{y} - kEventClockY, -65536, 65536);
      if (dx * dx + dy * dy < kCatchRadiusSquared) caught = true;
    } else if (command >= kCancel && command <= kRight) {
      // Keyboard and pad players get the pointer put on the clock.
      host_.WarpMouse(kEventClockX, kEventClockY);
    }
    if (command != 0) host_.ClearInput();
    if (caught) break;

    host_.UpdateScreen();
    DrawMessageWindow(false);
    Surface& screen = host_.ScreenSurface();
    const double turns = static_cast<double>(kClockEventMs - t) * 0.00025;
    if (hand.HasPixels()) RotateBlit(screen, hand, kEventClockX, kEventClockY, kHandPivot, kHandPivot, turns, 1.0);
    if (flash.HasPixels()) {
      const int alpha = std::min(255, static_cast<int>(turns * 255));
      BlendWithOpacity(screen, flash, BlendMode::Screen, kFlashX, kFlashY, flash.width(), flash.height(), 0, 0, alpha);
    }
    host_.PresentScreen();
  }

  if (caught) {
    host_.PlaySE("se_017.ogg");
    host_.Flash(2, 255, 255, 255);
    host_.SetFlag(flagA, 1);
  } else {
    host_.StopSE();
  }
  host_.ClearInput();
  if (skipWasOn && !settings_.StopSkipAfterChoice) host_.SetSkipMode();
}

}  // namespace lyraban
