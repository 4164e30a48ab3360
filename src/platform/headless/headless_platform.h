#pragma once
#include <deque>
#include <map>
#include <set>
#include <vector>

#include "platform/headless/virtual_clock.h"
#include "platform/platform.h"

namespace lyraban::platform {

// No window, no audio device: a virtual clock that moves by every sleep and
// by 16 ms per presented frame, and input that a test or an input script
// schedules ahead of time.
class HeadlessPlatform final : public Platform {
 public:
  static constexpr u32 kFrameMs = 16;
  // Polls of the event queue that let one millisecond pass when nothing
  // else moves the clock (a script looping without waits).
  static constexpr u32 kPollsPerMs = 4096;

  HeadlessPlatform() = default;

  Clock& clock() override { return clock_; }
  VirtualClock& virtualClock() { return clock_; }

  bool CreateMainWindow(int width, int height) override;
  void ShowMainWindow() override {}
  void MinimizeMainWindow() override { minimized_ = created_; }
  void SetWindowIcon(WindowIcon icon) override { icon_ = icon; }
  void DestroyMainWindow() override { created_ = false; }
  bool HasMainWindow() const override { return created_; }
  bool IsMinimized() const override { return minimized_; }
  void SetCaption(std::string_view utf8) override { caption_ = std::string(utf8); }
  void ShowCursor(bool visible) override { cursorVisible_ = visible; }

  // Answers with the next scripted choice (0, dismissed, when there is none)
  // and remembers what was shown.
  i32 RunPopupMenu(const std::vector<PopupItem>& items, i32 x, i32 y, const std::function<void()>& idle) override;

  // Types the scripted text events into the field until a scripted Enter
  // (confirm) or Escape (cancel); Backspace removes the last character. With
  // no scripted input left the field is cancelled.
  bool EditText(const TextFieldRequest& field, std::string& utf8,
                const std::function<bool(std::string_view)>& accept) override;
  u32 textFieldsShown() const { return textFields_; }
  const TextFieldRequest& lastTextField() const { return lastField_; }

  bool PollEvent(Event& event) override;
  void WaitEvent() override;
  void PostCloseRequest() override;

  bool IsKeyHeld(u16 virtualKey) const override { return held_.count(virtualKey) != 0; }
  void GetMouse(i32& x, i32& y, bool& leftDown) const override;
  void WarpMouse(i32 x, i32 y) override {
    mouseX_ = x;
    mouseY_ = y;
  }
  bool ReadJoystick(JoystickState& state) override;

  // No display to refuse it: the flag is only remembered.
  bool SetFullScreen(bool on) override {
    fullScreen_ = on;
    return true;
  }
  bool IsFullScreen() const override { return fullScreen_; }

  void Present(const u8* pixels, int width, int height, int pitch) override;
  bool CopyLastFrame(std::vector<u8>& bgr, int& width, int& height) override;

  bool AskYesNo(std::string_view utf8Text, std::string_view utf8Caption) override;
  // No one to click it away: the message goes to standard error.
  void ShowMessage(std::string_view utf8Text, std::string_view utf8Caption) override;
  void SetClipboardText(std::string_view utf8) override { clipboard_ = std::string(utf8); }

  // Headless runs never see each other: every copy is the first.
  bool AcquireSingleInstance(std::string_view) override { return true; }
  void ReleaseSingleInstance() override {}

  AudioOutput* audio() override { return audio_; }
  void SetAudio(AudioOutput* audio) { audio_ = audio; }

  // The dialog answers scripted actions (see DialogAction) and the keys
  // Enter (OK), Escape and the keypad's plus (Cancel); other input waits,
  // as the game's window is disabled meanwhile.
  bool RunDialog(DialogModel& model) override;
  int JoystickButtonCount() override { return joystickButtons_; }
  // A joystick with that many buttons is plugged in (-1: pulled out) once
  // the clock reaches `atMs`; an open dialog hears of it.
  void ScheduleJoystickDevice(u32 atMs, int buttons);
  // What the player does in the next dialog: a control named by the dialog
  // set to a value (a list takes the value of an entry), a button pressed
  // (no value), "ok", "cancel" or "tab" with a page number from 1. Actions
  // wait for a dialog to open, like menu answers.
  struct DialogAction {
    std::string control;
    bool hasValue = false;
    i32 value = 0;
  };
  void ScheduleDialogAction(u32 atMs, DialogAction action);
  u32 dialogsShown() const { return dialogsShown_; }
  // Actions that named no control of the dialog, or a disabled one.
  const std::vector<std::string>& unmatchedDialogActions() const { return unmatchedActions_; }

  // Scripted input: the event is delivered once the clock reaches `atMs`.
  void Schedule(u32 atMs, const Event& event);
  void ScheduleJoystick(u32 atMs, const JoystickState& state);
  // The answer of the next popup menu opened; scheduled ones join the queue
  // once the clock reaches `atMs`. Answers wait for a menu to open.
  void QueueMenuAnswer(i32 id) { menuAnswers_.push_back(id); }
  void ScheduleMenuAnswer(u32 atMs, i32 id);
  // The answer the next yes/no questions get (Yes unless told otherwise).
  void SetYesNoAnswer(bool yes) { answerYes_ = yes; }

  // What a test or a screenshot looks at.
  const std::string& caption() const { return caption_; }
  const std::string& clipboard() const { return clipboard_; }
  bool cursorVisible() const { return cursorVisible_; }
  const std::vector<u8>& lastFrame() const { return frame_; }  // width*3 bytes per row
  int frameWidth() const { return frameWidth_; }
  int frameHeight() const { return frameHeight_; }
  u32 framesPresented() const { return framesPresented_; }
  const std::vector<std::string>& questionsAsked() const { return questions_; }
  const std::vector<std::string>& messagesShown() const { return messages_; }
  WindowIcon windowIcon() const { return icon_; }
  u32 menusShown() const { return menusShown_; }
  const std::vector<PopupItem>& lastMenuItems() const { return menuItems_; }
  i32 lastMenuX() const { return menuX_; }
  i32 lastMenuY() const { return menuY_; }

 private:
  enum class PendingKind : u8 { Event, Joystick, MenuAnswer, DialogAction, JoystickDevice };
  struct Pending {
    u32 at;
    u64 order;
    PendingKind kind;
    Event event;
    JoystickState stick;
    i32 menuAnswer = 0;
    DialogAction action = {};
  };
  std::vector<std::string> messages_;
  void ApplyDialogAction(DialogModel& model, const DialogAction& action);
  void MoveDue();
  void Apply(const Event& event);

  VirtualClock clock_;
  u32 pollsThisMs_ = 0;
  u32 lastPollTime_ = 0;
  std::deque<Event> queue_;
  std::deque<i32> menuAnswers_;
  u32 menusShown_ = 0;
  u32 textFields_ = 0;
  TextFieldRequest lastField_;
  std::vector<PopupItem> menuItems_;
  i32 menuX_ = 0, menuY_ = 0;
  WindowIcon icon_ = WindowIcon::Main;
  // By due time; a multimap keeps equal times in insertion order.
  std::multimap<u32, Pending> scheduled_;
  u64 nextOrder_ = 0;
  std::set<u16> held_;
  i32 mouseX_ = 0, mouseY_ = 0;
  bool leftDown_ = false;
  JoystickState joystick_;
  bool created_ = false, minimized_ = false, cursorVisible_ = true;
  bool answerYes_ = true, fullScreen_ = false;
  std::string caption_, clipboard_;
  std::vector<std::string> questions_;
  std::vector<u8> frame_;
  int frameWidth_ = 0, frameHeight_ = 0;
  u32 framesPresented_ = 0;
  AudioOutput* audio_ = nullptr;
  std::deque<DialogAction> dialogActions_;
  std::vector<std::string> unmatchedActions_;
  u32 dialogsShown_ = 0;
  int joystickButtons_ = -1;
  bool devicesChanged_ = false;
};

}  // namespace lyraban::platform
