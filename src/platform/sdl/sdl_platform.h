#pragma once
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/frame_pacing.h"
#include "platform/sdl/sdl_clock.h"
#include "platform/sdl/single_instance.h"

// SDL's own types stay out of this header so that the engine's code, which
// constructs the platform, never sees SDL.
struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
struct _SDL_Joystick;
union SDL_Event;

namespace lyraban::platform {

class SdlAudioOutput;
class SdlPopupMenu;
class SdlDialog;
class SdlTextField;
class SdlQuestion;

// The desktop platform: one resizable window whose picture keeps the game's
// aspect (black bars around it), full screen on the desktop's own mode,
// keyboard, mouse and joystick 0, the wall clock and the default sound device.
class SdlPlatform final : public Platform {
 public:
  // `lockFolder` is where single-instance locks live; empty for the default.
  explicit SdlPlatform(std::string lockFolder = {});
  ~SdlPlatform() override;
  SdlPlatform(const SdlPlatform&) = delete;
  SdlPlatform& operator=(const SdlPlatform&) = delete;

  Clock& clock() override { return clock_; }

  bool CreateMainWindow(int width, int height) override;
  void ShowMainWindow() override;
  void DestroyMainWindow() override;
  bool HasMainWindow() const override { return window_ != nullptr; }
  bool IsMinimized() const override;
  void SetCaption(std::string_view utf8) override;
  void ShowCursor(bool visible) override;
  // There is no notification area to hide in: the window is hidden and a
  // small "Lyraban" message box offers it back (shown by WaitEvent, where
  // the game waits for the window to return). Where no box can be shown the
  // window comes back minimised instead, for the task list to restore.
  void MinimizeMainWindow() override;
  void SetWindowIcon(WindowIcon icon) override;

  // Drawn with Dear ImGui over the last frame; see SdlPopupMenu.
  i32 RunPopupMenu(const std::vector<PopupItem>& items, i32 x, i32 y, const std::function<void()>& idle) override;
  bool EditText(const TextFieldRequest& field, std::string& utf8,
                const std::function<bool(std::string_view)>& accept) override;
  // The font file the popup menu was drawn with (empty for ImGui's own).
  const std::string& popupFontFile() const;

  bool PollEvent(Event& event) override;
  void WaitEvent() override;
  void PostCloseRequest() override;

  bool IsKeyHeld(u16 virtualKey) const override;
  void GetMouse(i32& x, i32& y, bool& leftDown) const override;
  void WarpMouse(i32 x, i32 y) override;
  bool ReadJoystick(JoystickState& state) override;

  bool SetFullScreen(bool on) override;
  bool IsFullScreen() const override;

  // At most one frame per display refresh (vsync where the renderer has
  // it, a wait for the next event or the due time where not); a frame
  // byte-identical to the one on screen is neither uploaded nor presented.
  void Present(const u8* pixels, int width, int height, int pitch) override;
  void PresentUnchanged(const u8* pixels, int width, int height, int pitch) override;
  void WaitForInputOrFrame() override;
  // Frames that reached the screen, and whether the renderer waits for the
  // display's refresh itself.
  u64 framesShown() const { return framesShown_; }
  bool vsync() const { return vsync_; }
  bool CopyLastFrame(std::vector<u8>& bgr, int& width, int& height) override;
  // The YUV planes go to a streaming texture: the graphics card converts
  // and scales them.
  bool PresentVideo(const VideoPicture& picture) override;

  // Drawn with Dear ImGui over the game picture (see SdlQuestion); without
  // a window to draw on, the desktop's own box with "是" and "否". No box
  // at all gives No: the game does not end on an answer nobody gave.
  bool AskYesNo(std::string_view utf8Text, std::string_view utf8Caption) override;
  void ShowMessage(std::string_view utf8Text, std::string_view utf8Caption) override;
  void SetClipboardText(std::string_view utf8) override;

  bool AcquireSingleInstance(std::string_view productId) override;
  void ReleaseSingleInstance() override;

  AudioOutput* audio() override;

  // Drawn with Dear ImGui over the last frame; see SdlDialog.
  bool RunDialog(DialogModel& model) override;
  int JoystickButtonCount() override;
  bool DescribeGraphics(GraphicsFacts& facts) override;

  // SDL's message for the last operation that failed (window, renderer,
  // full screen, message box), for the program's diagnostics.
  const std::string& lastError() const { return lastError_; }
  SDL_Window* window() const { return window_; }

 private:
  void Translate(const SDL_Event& e);
  void Push(const Event& event) { queue_.push_back(event); }
  void MapToGame(int windowX, int windowY, i32& x, i32& y) const;
  void Redraw();
  void DrawFrame();
  // Waits, taking events into the queue, until the next frame is due.
  void PaceFrame();
  void GameToWindow(i32 x, i32 y, int& windowX, int& windowY) const;
  void ApplyIcon();
  void ServiceOtherCopies(bool now);
  void Fail();

  SdlClock clock_;
  SingleInstance instance_;
  std::unique_ptr<SdlAudioOutput> audio_;
  std::unique_ptr<SdlPopupMenu> popup_;
  std::unique_ptr<SdlDialog> dialog_;
  std::unique_ptr<SdlTextField> textField_;
  std::unique_ptr<SdlQuestion> question_;
  bool videoStarted_ = false, joystickStarted_ = false;

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int textureWidth_ = 0, textureHeight_ = 0;
  SDL_Texture* video_ = nullptr;  // the movie picture, shown instead while showingVideo_
  int videoWidth_ = 0, videoHeight_ = 0;
  bool showingVideo_ = false;
  int gameWidth_ = 0, gameHeight_ = 0;
  std::string caption_;
  bool minimizePending_ = false;  // minimising was asked and not yet seen done
  WindowIcon icon_ = WindowIcon::Main;

  std::vector<u8> frame_;
  int frameWidth_ = 0, frameHeight_ = 0;
  FramePacer pacer_;
  bool vsync_ = false;
  bool redrawDue_ = false;  // the window lost its picture (exposed, resized)
  u64 framesShown_ = 0;

  std::deque<Event> queue_;
  bool altAlone_ = false;  // Alt is down and nothing else was pressed since
  bool lastWasWindowClose_ = false;
  u32 lastInstanceCheck_ = 0;

  _SDL_Joystick* joystick_ = nullptr;
  std::string lastError_;
};

}  // namespace lyraban::platform
