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
  Maximize,  // the window's maximise box: the game goes full screen instead
  Expose,  // the window needs repainting
};

enum class MouseButton : u8 { Left, Right, Middle };

struct Event {
  EventKind kind = EventKind::Expose;
  u16 key = 0;       // virtual-key code for key events
  u8 modifiers = 0;  // Modifier bits held with a key event
  MouseButton button = MouseButton::Left;
  i32 x = 0, y = 0;  // mouse position in game pixels
  i32 wheel = 0;     // wheel steps, positive away from the user
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
  virtual void SetClipboardText(std::string_view utf8) = 0;

  // One running copy per product id. True when this is the first copy (or the
  // id is empty, which never conflicts); a later copy gets false, and the
  // first one brings its window to the front.
  virtual bool AcquireSingleInstance(std::string_view productId) = 0;
  virtual void ReleaseSingleInstance() = 0;

  // Sound output; null when the platform has none.
  virtual AudioOutput* audio() = 0;
};

}  // namespace lyraban::platform
