#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "base/trace.h"
#include "base/types.h"
#include "graphics/png.h"
#include "graphics/surface.h"
#include "persist/user_settings.h"
#include "platform/clock.h"
#include "platform/font.h"
#include "text/glyph.h"
#include "text/message_text.h"

namespace lyraban {

// What the message window asks of the button bar under it.
enum class MessageButtons : u8 {
  Hidden,   // no on-screen set takes the mouse
  Waiting,  // a line waits: the bar with commands 16, 15, 12, 20, 21, 22
};

// Everything the message window needs from the engine and the subsystems
// above the text library. The engine implements it over its input state,
// interpreter, flags, sound, backlog, button sets and screen transitions;
// tests implement it with scripted input on a virtual clock.
class MessageHost {
 public:
  virtual ~MessageHost() = default;

  // One input pump in a context (0 reading, 2 a screen of its own), with the
  // 1 ms yield when asked. False once the program is quitting.
  virtual bool PumpInput(u8 context, bool yield) = 0;
  virtual u8 PendingCommand() = 0;
  // Pending command 0, pending button -1.
  virtual void ClearInput() = 0;
  // Skip run mode, skip forced by the script, or the skip key held.
  virtual bool IsSkipping() = 0;
  virtual bool IsAutoMode() = 0;
  virtual void SetSkipMode() = 0;
  // Mouse position in client coordinates as the last pump read it.
  virtual void GetMouse(i32& x, i32& y) = 0;
  virtual void WarpMouse(i32 x, i32 y) = 0;

  // A frame is built in this order: UpdateScreen (the composed scene and any
  // running cross-fade into ScreenSurface), the window draws itself onto
  // ScreenSurface, DrawButtons, PresentScreen.
  virtual void UpdateScreen() = 0;
  virtual Surface& ScreenSurface() = 0;
  virtual void DrawButtons() = 0;
  virtual void PresentScreen() = 0;
  virtual void SetButtons(MessageButtons buttons) = 0;
  // While the scene stands still (no composition, anime or fade pending),
  // true with `look` set to a value that changes whenever the on-screen
  // buttons would draw differently. False while the scene moves.
  virtual bool SceneAtRest(u64& look) {
    (void)look;
    return false;
  }

  // The commands that are the same everywhere (save, load, backlog, menus,
  // configuration, window modes, exit); true when the running script must
  // unwind (a game was loaded, the title was asked for, the program closes).
  virtual bool DispatchSystemCommand(u8 context) = 0;

  // The interpreter's script mode byte.
  virtual u8 ScriptMode() = 0;
  // Game flags by name (code-page bytes).
  virtual i32 GetFlag(std::string_view name) = 0;
  virtual void SetFlag(std::string_view name, i32 value) = 0;

  virtual bool IsVoicePlaying() = 0;
  virtual void StopVoice() = 0;
  virtual void PlaySE(std::string_view name) = 0;
  virtual void StopSE() = 0;
  // The screen flash effect: `count` flashes of one colour.
  virtual void Flash(int count, u8 red, u8 green, u8 blue) = 0;

  // One backlog entry per shown line: speaker and plain text.
  virtual void AddBacklogEntry(std::string_view name, std::string_view plainText) = 0;
};

// How a shown line ended.
enum class MessageEnd : u8 {
  Advanced,   // click, OK, wheel or the auto timer
  Skipped,    // skip was active: no wait
  Abandoned,  // a system command asked the script to unwind
  Quit,       // the program is closing
  NotShown,   // the script mode shows no text lines
};

// The on-screen box in which dialogue is typed out, or the full-screen page
// of the novel layout. One per engine.
class MessageWindow {
 public:
  // Script modes as the window reads them.
  static constexpr u8 kModeAdv = 0, kModeNovel = 1, kModeNovel2 = 2, kModeSystem = 3, kModeDemo = 4;
  static constexpr int kScreenWidth = 800, kScreenHeight = 600;
  static constexpr int kWindowY = 400;
  static constexpr int kPromptSize = 24, kPromptFrames = 8;
  // Display states the engine reads: shown, or hidden by the player.
  static constexpr u8 kDisplayShown = 1, kDisplayHidden = 3;

  MessageWindow(MessageHost& host, GlyphRasterizer& rasterizer, platform::FontService& fonts,
                const UserSettings& settings, ResourceReader reader, platform::Clock& clock, Trace& trace);

  // Engine start: loads the prompt picture. False when it is missing (the
  // prompt is then never drawn).
  bool LoadPrompt();

  // A script text line: "speaker:words" or plain words. Shown in modes 0
  // (window) and 1 (page); dropped in the others. The voice stops afterwards
  // when the player asked for that.
  MessageEnd ShowScriptText(std::string_view line, bool alreadyRead, u8 mode);
  // Types one line, then waits for the reader (unless skipping).
  MessageEnd ShowMessage(std::string_view name, std::string_view text, bool novel, bool alreadyRead);

  // Layout of a mode (page for 1 and 2, window otherwise), then ClearPage.
  void SetMessageMode(u8 mode);
  void ClearPage();
  // Draws the text surface onto the host's screen surface; the prompt goes
  // just after the last typed character.
  void DrawMessageWindow(bool withPrompt);
  // True when the current line must be abandoned.
  bool HandleSystemCommand(u8 context);
  // Shows only the scene until any command arrives (which is consumed).
  // False when the program quit meanwhile.
  bool HideWindow();
  // Composes the box picture from the scenario progress flag; `face` adds the
  // clock face over the hands.
  void BuildMessageBox(bool face);
  // The timed "catch the clock" event.
  void ClockEvent(std::string_view flagA, std::string_view flagB);

  TextColour SpeakerColour(std::string_view name) const;

  // 0 for instant typing.
  static int TypingDivisor(i32 speed);
  static u32 AutoModeDelay(i32 speed);
  static int PromptFrame(u32 now) { return static_cast<int>((now >> 7) & 7); }

  u8 displayState() const { return displayState_; }
  const Surface& textSurface() const { return textSurface_; }
  const Surface& boxSurface() const { return box_; }
  const Surface& promptSurface() const { return prompt_; }
  int screenX() const { return screenX_; }
  int screenY() const { return screenY_; }
  MessageText& text() { return text_; }

 private:
  void BeginMessage(std::string_view name, bool novel);
  void DrawFrame(bool withPrompt, bool withButtons);
  // What the waiting frame was last drawn from; a frame drawn from the same
  // is the same picture, and is presented without drawing it again.
  struct WaitingLook {
    bool valid = false;
    u64 scene = 0;
    int prompt = 0;
    u64 screenEdits = 0;
  };
  void DrawWaitingFrame(WaitingLook& last);
  void ClearNamePlate();
  bool LoadPicture(std::string_view name, Surface& target);
  void EmptyBox();

  MessageHost& host_;
  const UserSettings& settings_;
  ResourceReader reader_;
  platform::Clock& clock_;
  Trace& trace_;
  MessageText text_;
  CodePage codePage_;

  Surface box_;
  // What box_ was last built from; valid only when every picture loaded.
  struct BoxMemo {
    bool valid = false;
    i32 progress = 0, minute = 0, hour = 0;
    bool face = false;
  };
  BoxMemo boxMemo_;
  Surface textSurface_;
  Surface prompt_;
  int screenX_ = 0, screenY_ = kWindowY;
  u8 displayState_ = kDisplayShown;

  // Engine words and the speaker table, in the game's code page.
  std::string progressFlag_, minuteFlag_, hourFlag_;
  struct Speaker {
    std::string name;
    TextColour colour;
  };
  std::vector<Speaker> speakers_;
};

}  // namespace lyraban
