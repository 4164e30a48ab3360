#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"
#include "platform/clock.h"
#include "platform/keys.h"

namespace lyraban::platform {

class AudioOutput;
class DialogModel;

// What the display side of a platform is built on, for the system report.
struct GraphicsFacts {
  std::string library;  // e.g. "SDL 2.26.5"
  std::string driver;   // the video driver
  std::string renderer;
  u64 desktopBytes = 0;     // the visible desktop surface: width x height x bytes per pixel
  bool fullScreen = false;  // a full-screen mode can be entered
};
class VideoPicture;

// Largest frame a platform keeps a copy of (a 16384 × 5461 screen); larger
// sizes come only from broken configuration files.
inline constexpr u64 kMaxFrameBytes = u64{1} << 28;

enum class EventKind : u8 {
  CloseRequest,  // the window's close box, or a close posted by the program
  KeyDown,
  KeyUp,
  MouseMove,
  MouseDown,
  MouseUp,
  MouseWheel,
  Activate,    // the application became active
  Deactivate,  // the application lost the focus
  Minimize,
  Restore,
  Maximize,   // the window's maximise box: the game goes full screen instead
  Expose,     // the window needs repainting
  TextInput,  // typed or composed text for an open text field (UTF-8 in `text`)
};

enum class MouseButton : u8 { Left, Right, Middle };

struct Event {
  EventKind kind = EventKind::Expose;
  u16 key = 0;       // virtual-key code for key events
  u8 modifiers = 0;  // Modifier bits held with a key event
  MouseButton button = MouseButton::Left;
  i32 x = 0, y = 0;  // mouse position in game pixels
  i32 wheel = 0;     // wheel steps, positive away from the user
  std::string text;  // TextInput only
};

// A one-line text field over the game picture: its rectangle in game
// pixels, font height, colours as 0xRRGGBB and the longest text in bytes of
// the game's code page.
struct TextFieldRequest {
  i32 x = 0, y = 0, width = 0, height = 0;
  i32 fontHeight = 20;
  u32 textRgb = 0xFFFFFF;
  u32 backRgb = 0x000000;
};

// One line of a popup menu. The text is UTF-8; "&" marks the letter that
// chooses the item from the keyboard ("&&" is a plain "&") and a tab starts
// the shortcut column.
struct PopupItem {
  i32 id = 0;  // what choosing the item returns; unused for separators
  std::string text;
  bool separator = false;
  bool checked = false;
  bool enabled = true;
};

// The pictures the main window can wear: the game's own, and the text
// editor's that the boss key's disguise puts on.
enum class WindowIcon : u8 { Main, TextEditor };

struct JoystickState {
  u32 x = 32768, y = 32768;  // 0 … 65535, centre 32768
  u32 buttons = 0;           // bit i = button i + 1 pressed
};

// What the engine needs from the operating system. Two implementations: a
// real desktop one and a headless one for automated runs and tests.
class Platform {
 public:
  virtual ~Platform() = default;

  virtual Clock& clock() = 0;

  // The main window. Captions and message texts are UTF-8.
  virtual bool CreateMainWindow(int width, int height) = 0;
  virtual void ShowMainWindow() = 0;
  virtual void DestroyMainWindow() = 0;
  virtual bool HasMainWindow() const = 0;
  virtual bool IsMinimized() const = 0;
  virtual void SetCaption(std::string_view utf8) = 0;
  virtual void ShowCursor(bool visible) = 0;
  // Asks for the window to be minimised; IsMinimized is true from now on
  // until the player restores it, even where the window manager takes its
  // time.
  virtual void MinimizeMainWindow() = 0;
  virtual void SetWindowIcon(WindowIcon icon) = 0;

  // A modal menu at a point in game pixels (mapped like the mouse). Returns
  // the chosen item's id, or 0 when it was dismissed (a click elsewhere,
  // Escape, the focus lost, a close request). `idle` is called now and then
  // while the menu is open, so that timers keep running.
  virtual i32 RunPopupMenu(const std::vector<PopupItem>& items, i32 x, i32 y, const std::function<void()>& idle) = 0;

  // A modal one-line text field holding `utf8`, with the system's text
  // input (and input method) on. Every change is offered to `accept` first
  // and dropped when refused. True with the text when Enter confirms; false,
  // text unchanged, on Escape, a lost focus or a close request.
  virtual bool EditText(const TextFieldRequest& field, std::string& utf8,
                        const std::function<bool(std::string_view)>& accept) = 0;

  // Takes the next queued event; false when the queue is empty.
  virtual bool PollEvent(Event& event) = 0;
  // Blocks until an event is queued (used while minimised).
  virtual void WaitEvent() = 0;
  // Queues a close request, as the window's close box would.
  virtual void PostCloseRequest() = 0;

  // Current input state, as the asynchronous key and cursor reads give it.
  virtual bool IsKeyHeld(u16 virtualKey) const = 0;
  virtual void GetMouse(i32& x, i32& y, bool& leftDown) const = 0;
  // Moves the mouse pointer to a game pixel (keyboard navigation of buttons).
  virtual void WarpMouse(i32 x, i32 y) = 0;
  virtual bool ReadJoystick(JoystickState& state) = 0;

  // Full screen at the desktop's own resolution, the picture scaled with its
  // aspect kept. True when the window is in the requested mode afterwards;
  // false when there is no window or the display cannot do it.
  virtual bool SetFullScreen(bool on) = 0;
  virtual bool IsFullScreen() const = 0;

  // Shows a 24-bit frame (blue, green, red bytes, top row first).
  virtual void Present(const u8* pixels, int width, int height, int pitch) = 0;
  // Presents again a frame that nothing has drawn into since it was last
  // presented. Where presenting costs, the platform may keep the picture on
  // screen and only keep the pace.
  virtual void PresentUnchanged(const u8* pixels, int width, int height, int pitch) {
    Present(pixels, width, height, pitch);
  }
  // The pause of a loop that only polls input between its frames: returns
  // at the next event or once the next frame is due. One millisecond of the
  // clock where the platform has no frames to pace.
  virtual void WaitForInputOrFrame() { clock().Sleep(1); }
  // The frame on screen (black after the window was created), width * 3
  // bytes per row; false when there is none.
  virtual bool CopyLastFrame(std::vector<u8>& bgr, int& width, int& height) = 0;
  // Shows a movie picture stretched over the game screen, letterboxed like
  // Present's frames, until the next Present. False where the platform does
  // not draw movies itself: the caller then converts the picture into its
  // frame and presents that.
  virtual bool PresentVideo(const VideoPicture&) { return false; }

  // The quit question and other yes/no questions; true for Yes.
  virtual bool AskYesNo(std::string_view utf8Text, std::string_view utf8Caption) = 0;
  // A message the player must see even without a terminal (the game cannot
  // start); returns once it was acknowledged. Also written to standard error.
  virtual void ShowMessage(std::string_view utf8Text, std::string_view utf8Caption) = 0;
  virtual void SetClipboardText(std::string_view utf8) = 0;

  // One running copy per product id. True when this is the first copy (or the
  // id is empty, which never conflicts); a later copy gets false, and the
  // first one brings its window to the front.
  virtual bool AcquireSingleInstance(std::string_view productId) = 0;
  virtual void ReleaseSingleInstance() = 0;

  // Sound output; null when the platform has none.
  virtual AudioOutput* audio() = 0;

  // A modal dialog over the game until the model finishes. False when the
  // model's idle call reported that the program is quitting. A platform
  // that cannot show dialogs cancels at once.
  virtual bool RunDialog(DialogModel& model);
  // Buttons of joystick 0 (at most 8), -1 when there is no joystick.
  virtual int JoystickButtonCount() { return -1; }
  // False when nothing is known about the display.
  virtual bool DescribeGraphics(GraphicsFacts&) { return false; }
};

}  // namespace lyraban::platform
